// The live parameters in the units they show (dB, ms, %, step indices), for
// plug-in formats whose hosts hold plain values rather than 0..1: a range,
// a kind and a short symbol per parameter, and the two mappings. Derived
// from the parameter table; pure functions, safe on any thread.
#pragma once

#include <cstdint>

#include "core/Parameters.h"

namespace zelto {

enum class PlainKind : uint8_t {
    Continuous,   // a real number in [minimum, maximum]
    Toggle,       // 0 or 1 (the two steps of an off/on switch)
    Enumeration,  // a step index 0..steps-1 with a text per step
    Integer,      // a step index without texts ("AttShow": a bit mask)
};

struct PlainInfo {
    const char* symbol;  // lower case, digits and '_', unique
    PlainKind kind;
    float minimum;
    float maximum;
    const char* unit;  // "db", "ms", "pc", "coef" or nullptr
};

/// For the live parameters 0..21; null symbol for the others.
PlainInfo plainInfo(int32_t index);

/// The plain value of normalised value v, as the parameter shows it, in
/// double precision (a format whose values are floats rounds it once).
double plainFromValue(int32_t index, float v);
/// The normalised value of a plain one (kept to the range first; a NaN
/// gives the range's minimum).
float valueFromPlain(int32_t index, double plain);

}  // namespace zelto
