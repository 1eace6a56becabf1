// Plain values: the engine mappings of Parameters.cpp turned into the units
// the display texts use, and back.
#include "core/PlainUnits.h"

#include <algorithm>
#include <cmath>

namespace zelto {

namespace {

// dB per unit of the normalised Output value: 2^(2(v-1)).
const double kOutputDbPerUnit = 40.0 * std::log10(2.0);
// Drive: 2^(8(v-0.5)).
const double kDriveDbPerUnit = 160.0 * std::log10(2.0);
constexpr double kReleaseExponent = 0.82030212;
constexpr double kTransientScale = 1.4142136;
// The Leveller shows 20 log10(v); its lowest plain value stands for "-oo".
constexpr float kLevellerFloorDb = -90.0f;

}  // namespace

PlainInfo plainInfo(int32_t index) {
    switch (index) {
        case kParamOutput:
            return {"output", PlainKind::Continuous, static_cast<float>(-kOutputDbPerUnit), 0.0f,
                    "db"};
        case kParamDrive:
            return {"drive", PlainKind::Continuous, static_cast<float>(-kDriveDbPerUnit / 2),
                    static_cast<float>(kDriveDbPerUnit / 2), "db"};
        case kParamTransient:
            return {"transient", PlainKind::Continuous, 0.0f, 0.5f, "coef"};
        case kParamRelease:
            return {"release", PlainKind::Continuous, 1.0f, 1000.0f, "ms"};
        case kParamTransShape:
            return {"trans_shape", PlainKind::Enumeration, 0.0f, 2.0f, nullptr};
        case kParamLink:
            return {"link", PlainKind::Continuous, 0.0f, 100.0f, "pc"};
        case kParamOversample:
            return {"oversample", PlainKind::Toggle, 0.0f, 1.0f, nullptr};
        case kParamDetectorOrder:
            return {"detector_order", PlainKind::Enumeration, 0.0f, 1.0f, nullptr};
        case kParamPower:
            return {"power", PlainKind::Toggle, 0.0f, 1.0f, nullptr};
        case kParamScale:
            return {"scale", PlainKind::Enumeration, 0.0f, 2.0f, nullptr};
        case kParamBits:
            return {"bits", PlainKind::Enumeration, 0.0f, 2.0f, nullptr};
        case kParamNoiseShape:
            return {"noise_shape", PlainKind::Enumeration, 0.0f, 3.0f, nullptr};
        case kParamCalibrate:
            return {"calibrate", PlainKind::Enumeration, 0.0f, 3.0f, nullptr};
        case kParamLeveller:
            return {"leveller", PlainKind::Continuous, kLevellerFloorDb, 0.0f, "db"};
        case kParamMeterOvs:
            return {"meter_ovs", PlainKind::Toggle, 0.0f, 1.0f, nullptr};
        case kParamAutoOut:
            return {"auto_out", PlainKind::Toggle, 0.0f, 1.0f, nullptr};
        case kParamQuantize:
            return {"quantize", PlainKind::Toggle, 0.0f, 1.0f, nullptr};
        case kParamAutoblack:
            return {"autoblack", PlainKind::Toggle, 0.0f, 1.0f, nullptr};
        case kParamMeterType:
            return {"meter_type", PlainKind::Enumeration, 0.0f, 1.0f, nullptr};
        case kParamAttZoom:
            return {"att_zoom", PlainKind::Enumeration, 0.0f, 1.0f, nullptr};
        case kParamAttShow:
            return {"att_show", PlainKind::Integer, 0.0f, 7.0f, nullptr};
        case kParamPostMeter:
            return {"post_meter", PlainKind::Enumeration, 0.0f, 1.0f, nullptr};
        default:
            return {nullptr, PlainKind::Continuous, 0.0f, 1.0f, nullptr};
    }
}

double plainFromValue(int32_t index, float v) {
    if (index < 0 || index >= kNumLiveParams) return v;
    const int32_t steps = kParamInfo[static_cast<size_t>(index)].steps;
    if (steps > 0) return stepFromValue(v, steps);
    const double x = static_cast<double>(std::clamp(v, 0.0f, 1.0f));
    switch (index) {
        case kParamOutput:
            return kOutputDbPerUnit * (x - 1.0);
        case kParamDrive:
            return kDriveDbPerUnit * (x - 0.5);
        case kParamTransient:
            return transientMixFromValue(static_cast<float>(x));
        case kParamRelease:
            return releaseMsFromValue(static_cast<float>(x));
        case kParamLink:
            return x * 100.0;
        case kParamLeveller:
            return x > 0.0 ? std::max<double>(kLevellerFloorDb, 20.0 * std::log10(x))
                           : kLevellerFloorDb;
        default:
            return v;
    }
}

float valueFromPlain(int32_t index, double plain) {
    if (index < 0 || index >= kNumLiveParams) return static_cast<float>(plain);
    const PlainInfo info = plainInfo(index);
    const double x =
        std::isnan(plain) ? info.minimum : std::clamp<double>(plain, info.minimum, info.maximum);
    const int32_t steps = kParamInfo[static_cast<size_t>(index)].steps;
    if (steps > 0) return valueFromStep(static_cast<int32_t>(std::lround(x)), steps);
    double v = 0.0;
    switch (index) {
        case kParamOutput:
            v = 1.0 + x / kOutputDbPerUnit;
            break;
        case kParamDrive:
            v = 0.5 + x / kDriveDbPerUnit;
            break;
        case kParamTransient:
            v = std::sqrt(4.0 * x) / kTransientScale;
            break;
        case kParamRelease:
            v = std::pow(std::log10(x) / 3.0, 1.0 / kReleaseExponent);
            break;
        case kParamLink:
            v = x / 100.0;
            break;
        case kParamLeveller:
            v = x <= kLevellerFloorDb ? 0.0 : std::pow(10.0, x / 20.0);
            break;
        default:
            break;
    }
    return std::clamp(static_cast<float>(v), 0.0f, 1.0f);
}

}  // namespace zelto
