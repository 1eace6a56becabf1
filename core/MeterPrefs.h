// The six metering preferences every new instance starts with: the settings
// store's "PREFS" values, each the step index of one parameter. The effect
// reads them at construction, the editor writes them on request.
#pragma once

#include <array>
#include <cstdint>

#include "core/Parameters.h"

namespace zelto {

struct MeterPref {
    const char* name;  // value name in the settings store
    int32_t param;
    int32_t steps;
};

/// Written in this order.
inline constexpr std::array<MeterPref, 6> kMeterPrefs = {{
    {"Metering_Scale", kParamScale, 3},
    {"Metering_Type", kParamMeterType, 2},
    {"Metering_Zoom", kParamAttZoom, 2},
    {"Metering_AttShow", kParamAttShow, 8},
    {"Metering_Recon", kParamMeterOvs, 2},
    {"Metering_Post", kParamPostMeter, 2},
}};

/// The settings store's folder of the preferences.
inline constexpr const char* kMeterPrefsFolder = "PREFS";

}  // namespace zelto
