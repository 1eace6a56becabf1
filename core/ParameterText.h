// Text to parameter value: the one reading of typed or written settings,
// shared by the editor's value fields and zelto's --set. Continuous
// parameters take a number in the unit the value fields show (dB, %, ms),
// stepped ones the texts the plug-in displays for their steps. Numbers are
// read with '.' as the decimal point whatever the process locale.
// Pure functions over the parameter table: safe on any thread, no allocation.
#pragma once

#include <cstdint>

namespace zelto {

/// The unit and range of a continuous parameter's typed number.
struct ParameterUnit {
    const char* unit;  // "dB", "%" or "ms"
    double lowest, highest;
    bool takesOff;  // "off" is also a value (the Leveller)
};

/// The unit of Output, Drive, Transient, Release, L/R Link and Leveller;
/// false for the others.
bool parameterUnit(int32_t index, ParameterUnit& unit);

/// The number in the parameter's unit for a normalised value (the inverse of
/// valueFromUnits); 0 for a parameter without a unit.
double unitsFromValue(int32_t index, float value);

/// The normalised value of a number in the parameter's unit, which the
/// caller has kept within the unit's range.
float valueFromUnits(int32_t index, double units);

/// The unit and range of a written setting (zelto's --set). Where the
/// value fields count dB on a straight scale (-6dB is half way), a written
/// setting in dB means the gain the engine applies, exactly as the plug-in's
/// display reads it: Output=-1dB is a ceiling of -1.000 dB, and the ranges
/// are the engine's (-12.04 .. 0 dB, Drive -24.08 .. +24.08 dB).
bool settingUnit(int32_t index, ParameterUnit& unit);

/// The normalised value of a written number in the setting's unit, within
/// its range.
float valueFromSettingUnits(int32_t index, double units);

/// What a value field makes of typed text: its leading number (the rest is
/// ignored, no number reads as 0) limited to the unit's range; the Leveller
/// also takes "off" in any case. 0 for a parameter without a unit.
float parseTypedValue(int32_t index, const char* text);

/// The step of a stepped parameter whose display text is text (blanks
/// around it allowed, any case); AttShow takes its mask letters in any
/// order ("12L") or "none". -1 for anything else.
int32_t stepOfDisplayText(int32_t index, const char* text);

/// Whether text, blanks around it allowed, is word in any case.
bool textIsWord(const char* text, const char* word);

/// A decimal number at the start of text (an optional sign, '+' too, '.'
/// as the point whatever the locale; also "inf" and "nan"): where it ends,
/// or text itself when there is none.
const char* readDecimal(const char* text, double& x);

enum class SettingTextError : uint8_t {
    None,
    NotUnderstood,  // neither a number in 0..1, nor one with the unit, nor a step's text
    WrongUnit,      // a number with a unit this parameter does not use
    OutOfRange,     // a number with the right unit outside its range
};

struct ParsedSetting {
    float value = 0.0f;
    SettingTextError error = SettingTextError::None;
};

/// A whole written setting (surrounding blanks allowed): a bare number from
/// 0 to 1 is the normalised value itself; a number followed by the unit
/// ("-1dB", "+6 dB", "150ms", "20%") or "off" where the parameter takes it;
/// for a stepped parameter the text it displays for a step, in any case
/// (the value given is the centre of that step). AttShow takes its mask
/// texts ("12L", "2", "none"); its "1" reads as the normalised 1.
ParsedSetting parseSettingText(int32_t index, const char* text);

}  // namespace zelto
