// Parameter table and value mappings.
#include "core/Parameters.h"

#include <strings.h>
#include <cmath>

#include "core/NumberText.h"

namespace zelto {

namespace {
constexpr std::array<const char*, 4> kNoTexts{nullptr, nullptr, nullptr, nullptr};
constexpr std::array<const char*, 4> kOffOn{"off", "on", nullptr, nullptr};
constexpr int32_t kMaxDisplayLen = 12;
}  // namespace

const std::array<ParamInfo, kNumParams> kParamInfo{{
    {"Output", "dB", 0, DisplayKind::GainDb, kNoTexts},
    {"Drive", "dB", 0, DisplayKind::GainDb, kNoTexts},
    {"Transient", "ms", 0, DisplayKind::Number, kNoTexts},
    {"Release", "ms", 0, DisplayKind::Number, kNoTexts},
    {"TransShape", nullptr, 3, DisplayKind::StepText, {"hard", "med", "soft", nullptr}},
    {"L/R Link", nullptr, 0, DisplayKind::Percent, kNoTexts},
    {"Oversample", nullptr, 2, DisplayKind::StepText, kOffOn},
    {"DetectorOrder", nullptr, 2, DisplayKind::Switch, {"I", "II", nullptr, nullptr}},
    {"Power", nullptr, 2, DisplayKind::Switch, kOffOn},
    {"Scale", nullptr, 3, DisplayKind::StepText, {"K-12", "K-14", "K-20", nullptr}},
    {"Bits", nullptr, 3, DisplayKind::StepText, {"8", "16", "24", nullptr}},
    {"NoiseShape", nullptr, 4, DisplayKind::StepText, {"off", "type A", "type B", "type C"}},
    {"Calibrate", nullptr, 4, DisplayKind::StepText, {"off", "left", "l+r uncor", "right"}},
    {"Leveller", "dB", 0, DisplayKind::ValueDb, kNoTexts},
    {"MeterOvs", nullptr, 2, DisplayKind::Switch, kOffOn},
    {"AutoOut", nullptr, 2, DisplayKind::Switch, kOffOn},
    {"Quantize", nullptr, 2, DisplayKind::Switch, kOffOn},
    {"Autoblack", nullptr, 2, DisplayKind::Switch, kOffOn},
    {"MeterType", nullptr, 2, DisplayKind::Switch, {"peak", "k-system", nullptr, nullptr}},
    {"AttZoom", nullptr, 2, DisplayKind::Switch, {"24dB", "12dB", nullptr, nullptr}},
    {"AttShow", nullptr, 8, DisplayKind::AttShowMask, kNoTexts},
    {"PostMeter", nullptr, 2, DisplayKind::Switch, {"pre", "post", nullptr, nullptr}},
    {"dummy", nullptr, 0, DisplayKind::None, kNoTexts},
    {"dummy", nullptr, 0, DisplayKind::None, kNoTexts},
    {"dummy", nullptr, 0, DisplayKind::None, kNoTexts},
    {"resvd-vid", nullptr, 0, DisplayKind::None, kNoTexts},
}};

int32_t stepFromValue(float value, int32_t steps) {
    if (steps <= 0) return 0;
    const float t = static_cast<float>(steps) * value;
    // Compare before converting: a huge or NaN product must not reach the
    // float-to-int conversion.
    if (!(t >= 1.0f)) return 0;
    if (t >= static_cast<float>(steps)) return steps - 1;
    return static_cast<int32_t>(t);
}

float valueFromStep(int32_t step, int32_t steps) {
    const float n = static_cast<float>(steps);
    return static_cast<float>(step) / n + 0.5f / n;
}

double outputGainFromValue(float v) {
    return std::pow(2.0, 2.0 * (static_cast<double>(v) - 1.0));
}

double driveGainFromValue(float v) {
    return std::pow(2.0, 8.0 * (static_cast<double>(v) - 0.5));
}

double transientMixFromValue(float v) {
    const double t = static_cast<double>(v) * 1.4142136;
    return t * t * 0.25;
}

double releaseMsFromValue(float v) {
    return std::pow(10.0, 3.0 * std::pow(static_cast<double>(v), 0.82030212));
}

double levellerThresholdFromValue(float v) {
    return outputGainFromValue(v);
}

bool formatParameterDisplay(int32_t index, float value, int32_t step, char* text) {
    if (index < 0 || index >= kNumLiveParams || text == nullptr) return false;
    const ParamInfo& info = kParamInfo[static_cast<size_t>(index)];
    switch (info.display) {
        case DisplayKind::GainDb: {
            const double gain =
                index == kParamOutput ? outputGainFromValue(value) : driveGainFromValue(value);
            dbToText(static_cast<float>(gain), text, kMaxDisplayLen);
            return true;
        }
        case DisplayKind::Number: {
            const double number =
                index == kParamTransient ? transientMixFromValue(value) : releaseMsFromValue(value);
            floatToText(static_cast<float>(number), text, kMaxDisplayLen);
            return true;
        }
        case DisplayKind::Percent:
            floatToText(value * 100.0f, text, kMaxDisplayLen);
            return true;
        case DisplayKind::ValueDb:
            dbToText(value, text, kMaxDisplayLen);
            return true;
        case DisplayKind::StepText:
            if (step < 0 || step >= info.steps || info.texts[static_cast<size_t>(step)] == nullptr)
                return false;
            copyText(text, info.texts[static_cast<size_t>(step)], kMaxDisplayLen);
            return true;
        case DisplayKind::Switch:
            copyText(text, info.texts[step == 0 ? 0 : 1], kMaxDisplayLen);
            return true;
        case DisplayKind::AttShowMask: {
            int pos = 0;
            if (step & 1) text[pos++] = '1';
            if (step & 2) text[pos++] = '2';
            if (step & 4) text[pos++] = 'L';
            text[pos] = 0;
            return true;
        }
        case DisplayKind::None:
            return false;
    }
    return false;
}

int32_t parameterIndexFromName(const char* name) {
    if (name == nullptr) return -1;
    for (int32_t i = 0; i < kNumParams; ++i) {
        if (strcasecmp(kParamInfo[static_cast<size_t>(i)].name, name) == 0) return i;
    }
    return -1;
}

}  // namespace zelto
