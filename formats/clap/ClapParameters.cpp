// CLAP values and texts of the parameters; see ClapParameters.h.
#include "formats/clap/ClapParameters.h"

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "core/ParameterText.h"
#include "core/Parameters.h"

namespace zelto::clap {
namespace {

// dB per unit of normalised value where the engine's gain is 2^(2(v-1)).
const double kDbPerUnit = 40.0 * std::log10(2.0);
// Transient's share of the fast gain is (v * kTransientScale)^2 / 4.
constexpr double kTransientScale = 1.4142136;

const char* unitOf(uint32_t id) {
    switch (id) {
        case kParamOutput:
        case kParamDrive:
        case kParamLeveller:
            return "dB";
        case kParamRelease:
            return "ms";
        case kParamLink:
            return "%";
        default:
            return nullptr;
    }
}

const ParamInfo& infoOf(uint32_t id) {
    return kParamInfo[id];
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

const char* skipBlanks(const char* p) {
    while (isBlank(*p)) ++p;
    return p;
}

/// Whether p, blanks around it allowed, is word in any case.
bool isWord(const char* p, const char* word) {
    p = skipBlanks(p);
    const size_t n = std::strlen(word);
    return strncasecmp(p, word, n) == 0 && *skipBlanks(p + n) == 0;
}

/// A leading number ('+' allowed) and where it ends; null for none.
const char* readNumber(const char* p, double& x) {
    if (*p == '+') ++p;
    if (*p == '+') return nullptr;
    const auto [end, ec] = std::from_chars(p, p + std::strlen(p), x);
    if (end == p || ec != std::errc() || !std::isfinite(x)) return nullptr;
    return end;
}

int32_t stepOfText(uint32_t id, const char* text) {
    const ParamInfo& info = infoOf(id);
    if (info.display == DisplayKind::AttShowMask) {
        if (isWord(text, "none")) return 0;
        int32_t mask = 0;
        const char* p = skipBlanks(text);
        for (; *p != 0 && !isBlank(*p); ++p) {
            const int32_t bit = *p == '1' ? 1 : *p == '2' ? 2 : (*p == 'L' || *p == 'l') ? 4 : 0;
            if (bit == 0 || (mask & bit) != 0) return -1;
            mask |= bit;
        }
        return mask != 0 && *skipBlanks(p) == 0 ? mask : -1;
    }
    const int32_t named = info.display == DisplayKind::Switch ? 2 : info.steps;
    for (int32_t i = 0; i < named; ++i) {
        const char* t = info.texts[static_cast<size_t>(i)];
        if (t != nullptr && isWord(text, t)) return i;
    }
    return -1;
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
    const double v = std::clamp(static_cast<double>(value), 0.0, 1.0);
    switch (id) {
        case kParamOutput:
            return (v - 1.0) * kDbPerUnit;
        case kParamDrive:
            return (v - 0.5) * 4.0 * kDbPerUnit;
        case kParamTransient:
            return transientMixFromValue(static_cast<float>(v));
        case kParamRelease:
            return releaseMsFromValue(static_cast<float>(v));
        case kParamLink:
            return v * 100.0;
        default:  // the Leveller
            return v;
    }
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
    double v = 0.0;
    switch (id) {
        case kParamOutput:
            v = 1.0 + x / kDbPerUnit;
            break;
        case kParamDrive:
            v = 0.5 + x / (4.0 * kDbPerUnit);
            break;
        case kParamTransient:
            v = std::sqrt(4.0 * x) / kTransientScale;
            break;
        case kParamRelease:
            return std::clamp(valueFromUnits(kParamRelease, x), 0.0f, 1.0f);
        case kParamLink:
            v = x / 100.0;
            break;
        default:
            v = x;
            break;
    }
    return static_cast<float>(std::clamp(v, 0.0, 1.0));
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
        if (const int32_t step = stepOfText(id, p); step >= 0) {
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
        if (isWord(p, "off")) {
            value = 1.0;
            return true;
        }
        if (isWord(p, "-oo") || isWord(p, "-oo dB") || isWord(p, "-inf dB") || isWord(p, "-inf")) {
            value = 0.0;
            return true;
        }
    }
    double x = 0.0;
    const char* end = readNumber(p, x);
    if (end == nullptr) return false;
    const char* rest = skipBlanks(end);
    if (*rest != 0 && (unitOf(id) == nullptr || !isWord(rest, unitOf(id)))) return false;
    ParameterRange range{};
    parameterRange(id, range);
    // The Leveller's text is the threshold in dB; its value is the ratio.
    if (id == kParamLeveller) x = std::pow(10.0, x / 20.0);
    value = std::clamp(x, range.min, range.max);
    return true;
}

}  // namespace zelto::clap
