// CLAP values and texts of the parameters; see ClapParameters.h.
#include "formats/clap/ClapParameters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/ParameterText.h"
#include "core/Parameters.h"
#include "core/PlainUnits.h"

namespace zelto::clap {
namespace {

/// The unit written after a continuous parameter's text. Transient's value
/// is a share of the fast gain, which its display shows without a unit.
const char* unitOf(uint32_t id) {
    ParameterUnit unit{};
    if (id == kParamTransient || !parameterUnit(static_cast<int32_t>(id), unit)) return nullptr;
    return unit.unit;
}

const ParamInfo& infoOf(uint32_t id) {
    return kParamInfo[id];
}

const char* skipBlanks(const char* p) {
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

/// A leading finite number ('+' allowed) and where it ends; null for none.
const char* readNumber(const char* p, double& x) {
    const char* end = readDecimal(p, x);
    return end == p || !std::isfinite(x) ? nullptr : end;
}

}  // namespace

uint32_t parameterCount() {
    return kNumLiveParams;
}

bool parameterRange(uint32_t id, ParameterRange& range) {
    if (id >= parameterCount()) return false;
    const ParamInfo& info = infoOf(id);
    if (info.steps > 0) {
        range = {0.0, static_cast<double>(info.steps - 1), true,
                 info.display == DisplayKind::StepText || info.display == DisplayKind::Switch};
        return true;
    }
    range = {clapValueFromNormalised(id, 0.0f), clapValueFromNormalised(id, 1.0f), false, false};
    return true;
}

double clapValueFromNormalised(uint32_t id, float value) {
    if (id >= parameterCount()) return 0.0;
    const ParamInfo& info = infoOf(id);
    if (info.steps > 0) return stepFromValue(value, info.steps);
    if (id == kParamLeveller) return std::clamp(static_cast<double>(value), 0.0, 1.0);
    return plainFromValue(static_cast<int32_t>(id), value);
}

float normalisedFromClapValue(uint32_t id, double value) {
    if (id >= parameterCount() || std::isnan(value)) return 0.0f;
    const ParamInfo& info = infoOf(id);
    if (info.steps > 0) {
        const double step = std::clamp(std::trunc(value), 0.0, static_cast<double>(info.steps - 1));
        return valueFromStep(static_cast<int32_t>(step), info.steps);
    }
    ParameterRange range{};
    parameterRange(id, range);
    const double x = std::clamp(value, range.min, range.max);
    if (id == kParamLeveller) return static_cast<float>(x);
    return valueFromPlain(static_cast<int32_t>(id), x);
}

bool clapValueToText(uint32_t id, double value, char* text, uint32_t capacity) {
    if (id >= parameterCount() || text == nullptr || capacity == 0) return false;
    const float v = normalisedFromClapValue(id, value);
    const int32_t steps = infoOf(id).steps;
    char display[64] = {};
    if (!formatParameterDisplay(static_cast<int32_t>(id), v, stepFromValue(v, steps), display))
        return false;
    if (display[0] == 0) std::strcpy(display, "none");  // AttShow with no part shown
    if (const char* unit = unitOf(id)) {
        std::strcat(display, " ");
        std::strcat(display, unit);
    }
    if (std::strlen(display) + 1 > capacity) return false;
    std::strcpy(text, display);
    return true;
}

bool clapTextToValue(uint32_t id, const char* text, double& value) {
    if (id >= parameterCount() || text == nullptr) return false;
    const ParamInfo& info = infoOf(id);
    const char* p = skipBlanks(text);
    if (info.steps > 0) {
        if (const int32_t step = stepOfDisplayText(static_cast<int32_t>(id), p); step >= 0) {
            value = step;
            return true;
        }
        double x = 0.0;
        const char* end = readNumber(p, x);
        if (end == nullptr || *skipBlanks(end) != 0 || x != std::floor(x) || x < 0.0 ||
            x > info.steps - 1)
            return false;
        value = x;
        return true;
    }
    if (id == kParamLeveller) {
        if (textIsWord(p, "off")) {
            value = 1.0;
            return true;
        }
        if (textIsWord(p, "-oo") || textIsWord(p, "-oo dB") || textIsWord(p, "-inf dB") ||
            textIsWord(p, "-inf")) {
            value = 0.0;
            return true;
        }
    }
    double x = 0.0;
    const char* end = readNumber(p, x);
    if (end == nullptr) return false;
    const char* rest = skipBlanks(end);
    if (*rest != 0 && (unitOf(id) == nullptr || !textIsWord(rest, unitOf(id)))) return false;
    ParameterRange range{};
    parameterRange(id, range);
    // The Leveller's text is the threshold in dB; its value is the ratio.
    if (id == kParamLeveller) x = std::pow(10.0, x / 20.0);
    value = std::clamp(x, range.min, range.max);
    return true;
}

}  // namespace zelto::clap
