// Text to parameter value; see ParameterText.h.
#include "core/ParameterText.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/Parameters.h"

namespace zelto {
namespace {

// The release curve, 10^(3 v^a): 1 ms at 0, 50 ms at 0.5, 1000 ms at 1; a
// number of milliseconds goes through its inverse, v = (log10(ms)/3)^(1/a).
constexpr double kReleaseInverseExponent = 1.2190630447230832;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* skipBlanks(const char* p) {
    while (isBlank(*p)) ++p;
    return p;
}

/// Reads a decimal number at p (an optional sign, digits, point, exponent,
/// also "inf" and "nan"); answers where it ends, or p when there is none.
const char* readNumber(const char* p, double& x) {
    const char* start = p;
    const bool plus = *p == '+';
    if (plus) ++p;
    // from_chars takes a '-' itself but no '+'; "+-1" is no number.
    if (plus && *p == '-') return start;
    const char* end = p + std::strlen(p);
    const auto [ptr, ec] = std::from_chars(p, end, x);
    if (ptr == p) return start;
    if (ec == std::errc::result_out_of_range) {
        // Beyond a double: a negative exponent means as good as 0, anything
        // else as far out as a double goes.
        const char* e = std::find_if(p, ptr, [](char c) { return c == 'e' || c == 'E'; });
        const bool tiny = e != ptr && e + 1 != ptr && e[1] == '-';
        x = tiny ? 0.0 : (*p == '-' ? -HUGE_VAL : HUGE_VAL);
    }
    return ptr;
}

/// Whether text from p to its end, with trailing blanks, equals word in any case.
bool restIs(const char* p, const char* word) {
    const size_t n = std::strlen(word);
    if (strncasecmp(p, word, n) != 0) return false;
    return *skipBlanks(p + n) == 0;
}

/// The step of a stepped parameter whose display text is the whole of text
/// (blanks around it allowed), or -1.
int32_t stepOfText(const ParamInfo& info, const char* text) {
    if (info.display != DisplayKind::StepText && info.display != DisplayKind::Switch) return -1;
    const int32_t texts = info.display == DisplayKind::Switch ? 2 : info.steps;
    for (int32_t i = 0; i < texts; ++i) {
        const char* t = info.texts[static_cast<size_t>(i)];
        if (t != nullptr && restIs(text, t)) return i;
    }
    return -1;
}

/// AttShow's mask from its display letters in any order ("12L", "L1"), or
/// "none" for the empty mask; -1 for anything else.
int32_t attShowMaskOfText(const char* text) {
    if (restIs(text, "none")) return 0;
    int32_t mask = 0;
    const char* p = text;
    for (; *p != 0 && !isBlank(*p); ++p) {
        const int32_t bit = *p == '1' ? 1 : *p == '2' ? 2 : (*p == 'L' || *p == 'l') ? 4 : 0;
        if (bit == 0 || (mask & bit) != 0) return -1;
        mask |= bit;
    }
    return mask != 0 && *skipBlanks(p) == 0 ? mask : -1;
}

bool isUnitWord(const char* p) {
    return restIs(p, "dB") || restIs(p, "%") || restIs(p, "ms");
}

}  // namespace

int32_t stepOfDisplayText(int32_t index, const char* text) {
    if (index < 0 || index >= kNumParams || text == nullptr) return -1;
    const ParamInfo& info = kParamInfo[static_cast<size_t>(index)];
    const char* p = skipBlanks(text);
    return info.display == DisplayKind::AttShowMask ? attShowMaskOfText(p) : stepOfText(info, p);
}

bool textIsWord(const char* text, const char* word) {
    return restIs(skipBlanks(text), word);
}

const char* readDecimal(const char* text, double& x) {
    return readNumber(text, x);
}

bool parameterUnit(int32_t index, ParameterUnit& unit) {
    switch (index) {
        case kParamOutput:
            unit = {"dB", -12.0, 0.0, false};
            return true;
        case kParamLeveller:
            unit = {"dB", -12.0, 0.0, true};
            return true;
        case kParamDrive:
            unit = {"dB", -24.0, 24.0, false};
            return true;
        case kParamTransient:
        case kParamLink:
            unit = {"%", 0.0, 100.0, false};
            return true;
        case kParamRelease:
            unit = {"ms", 1.0, 1000.0, false};
            return true;
        default:
            return false;
    }
}

double unitsFromValue(int32_t index, float value) {
    const double v = value;
    switch (index) {
        case kParamDrive:
            return (v - 0.5) * 48.0;
        case kParamOutput:
        case kParamLeveller:
            return (v - 1.0) * 12.0;
        case kParamTransient:
        case kParamLink:
            return v * 100.0;
        case kParamRelease:
            // Below 0 the curve has no value (a damaged file); take its start.
            return releaseMsFromValue(value < 0.0f ? 0.0f : value);
        default:
            return 0.0;
    }
}

float valueFromUnits(int32_t index, double units) {
    switch (index) {
        case kParamDrive:
            return static_cast<float>((units + 24.0) / 48.0);
        case kParamOutput:
        case kParamLeveller:
            return static_cast<float>((units + 12.0) / 12.0);
        case kParamTransient:
        case kParamLink:
            return static_cast<float>(units / 100.0);
        case kParamRelease:
            return static_cast<float>(std::pow(std::log10(units) / 3.0, kReleaseInverseExponent));
        default:
            return 0.0f;
    }
}

namespace {

// dB of gain per unit of normalised value where the engine's gain is
// 2^(2(v-1)) (Output, the Leveller's threshold); Drive's 2^(8(v-0.5))
// spans four times as much.
const double kDbPerUnit = 40.0 * std::log10(2.0);

}  // namespace

bool settingUnit(int32_t index, ParameterUnit& unit) {
    if (!parameterUnit(index, unit)) return false;
    if (index == kParamOutput || index == kParamLeveller) {
        unit.lowest = -kDbPerUnit;
    } else if (index == kParamDrive) {
        unit.lowest = -2.0 * kDbPerUnit;
        unit.highest = 2.0 * kDbPerUnit;
    }
    return true;
}

float valueFromSettingUnits(int32_t index, double units) {
    double v = 0.0;
    switch (index) {
        case kParamOutput:
        case kParamLeveller:
            v = 1.0 + units / kDbPerUnit;
            break;
        case kParamDrive:
            v = 0.5 + units / (4.0 * kDbPerUnit);
            break;
        default:
            return valueFromUnits(index, units);
    }
    v = std::clamp(v, 0.0, 1.0);
    float f = static_cast<float>(v);
    // A ceiling asked for lands at or under what was asked, never a hair above.
    if (index == kParamOutput && static_cast<double>(f) > v) f = std::nextafter(f, 0.0f);
    return f;
}

float parseTypedValue(int32_t index, const char* text) {
    ParameterUnit unit{};
    if (!parameterUnit(index, unit)) return 0.0f;
    if (text == nullptr) text = "";
    if (unit.takesOff && restIs(skipBlanks(text), "off")) return 1.0f;
    double x = 0.0;
    // No number, or "nan", reads as 0.
    if (readNumber(skipBlanks(text), x) == skipBlanks(text) || std::isnan(x)) x = 0.0;
    return valueFromUnits(index, std::clamp(x, unit.lowest, unit.highest));
}

ParsedSetting parseSettingText(int32_t index, const char* text) {
    ParsedSetting result;
    result.error = SettingTextError::NotUnderstood;
    if (index < 0 || index >= kNumParams || text == nullptr) return result;
    const ParamInfo& info = kParamInfo[static_cast<size_t>(index)];
    const char* p = skipBlanks(text);

    double x = 0.0;
    const char* afterNumber = readNumber(p, x);
    const bool number = afterNumber != p && std::isfinite(x);
    const char* rest = number ? skipBlanks(afterNumber) : p;
    // A bare number from 0 to 1 is the normalised value, for every parameter.
    if (number && *rest == 0 && x >= 0.0 && x <= 1.0) {
        result.value = static_cast<float>(x);
        result.error = SettingTextError::None;
        return result;
    }
    if (const int32_t step = stepOfText(info, p); step >= 0) {
        result.value = valueFromStep(step, info.steps);
        result.error = SettingTextError::None;
        return result;
    }
    if (info.display == DisplayKind::AttShowMask) {
        if (const int32_t mask = attShowMaskOfText(p); mask >= 0) {
            result.value = valueFromStep(mask, info.steps);
            result.error = SettingTextError::None;
        }
        return result;
    }
    ParameterUnit unit{};
    if (!settingUnit(index, unit)) return result;
    if (unit.takesOff && restIs(p, "off")) {
        result.value = 1.0f;
        result.error = SettingTextError::None;
        return result;
    }
    if (!number || *rest == 0) return result;
    if (!restIs(rest, unit.unit)) {
        if (isUnitWord(rest)) result.error = SettingTextError::WrongUnit;
        return result;
    }
    // The ranges in dB are what the display shows to two decimals
    // (-12.04 dB): that much is accepted at either end.
    const double slack = std::strcmp(unit.unit, "dB") == 0 ? 0.005 : 0.0;
    if (x < unit.lowest - slack || x > unit.highest + slack) {
        result.error = SettingTextError::OutOfRange;
        return result;
    }
    result.value = valueFromSettingUnits(index, x);
    result.error = SettingTextError::None;
    return result;
}

}  // namespace zelto
