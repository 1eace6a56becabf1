// The effect's parameters as CLAP presents them: every real parameter (the
// placeholders and the version marker stay inside the state) under its
// index as a stable id, with a value in the unit its display shows where
// that unit has finite ends: Output and Drive in dB, Transient as the share
// of the fast gain (0 .. 0.5), Release in ms, L/R Link in %, stepped
// parameters as their step index. The Leveller's display runs down to -oo
// dB, so its value is the normalised threshold itself (0 .. 1), shown in dB.
// Texts are the plug-in's display texts with the unit after them, and are
// read back the same way, independently of the process locale.
// Pure functions over the parameter table: any thread, no allocation.
#pragma once

#include <cstdint>

namespace zelto::clap {

struct ParameterRange {
    double min, max;
    bool stepped;
    bool enumerated;  // each step has a name
};

/// Parameters the host sees: ids 0 .. count-1, the same as the indices.
uint32_t parameterCount();
bool parameterRange(uint32_t id, ParameterRange& range);

/// The CLAP value of a normalised value (kept within the range).
double clapValueFromNormalised(uint32_t id, float value);
/// The normalised value of a CLAP value; stepped values truncate to a
/// step as the interface prescribes, out-of-range ones are limited.
float normalisedFromClapValue(uint32_t id, double value);

/// The display text of a CLAP value with its unit ("-1.00 dB", "on").
/// False when the id is unknown or the buffer cannot take the text.
bool clapValueToText(uint32_t id, double value, char* text, uint32_t capacity);
/// Reads what clapValueToText writes, and numbers without their unit or
/// step indices; "off" and "-oo" for the Leveller. False for anything else.
bool clapTextToValue(uint32_t id, const char* text, double& value);

}  // namespace zelto::clap
