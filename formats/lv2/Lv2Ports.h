// The LV2 plug-in's identity and port layout, shared by the plug-in, the
// generator of its Turtle files and the tests: stereo audio, one control
// input per live parameter in the units it shows, the latency, and the ten
// meter values as control outputs.
#pragma once

#include <cstdint>

#include "core/Parameters.h"

namespace zelto::lv2 {

inline constexpr const char* kPluginUri = "https://krw-soundlab.com/plugins/zelto";
/// The state property holding the program bank (the VST2 chunk's bytes).
inline constexpr const char* kBankStateUri = "https://krw-soundlab.com/plugins/zelto#bank";
inline constexpr const char* kBundleName = "krw-zelto.lv2";
/// The editor (ui:X11UI), in a library of its own in the same bundle.
inline constexpr const char* kUiUri = "https://krw-soundlab.com/plugins/zelto#ui";
inline constexpr const char* kUiBinary = "krw-zelto-ui.so";

enum Port : uint32_t {
    kPortInL = 0,
    kPortInR,
    kPortOutL,
    kPortOutR,
    kPortFirstParameter,  // port = kPortFirstParameter + parameter index 0..21
    kPortLatency = kPortFirstParameter + kNumLiveParams,
    kPortFirstMeter,  // the ten MeterSnapshot values, in their order
    kNumPorts = kPortFirstMeter + 10,
};

struct MeterPort {
    const char* symbol;
    const char* name;
};

/// Linear values, 1.0 = full scale or no gain reduction.
inline constexpr MeterPort kMeterPorts[10] = {
    {"in_peak_l", "Input peak L"},
    {"in_peak_r", "Input peak R"},
    {"out_peak_l", "Output peak L"},
    {"out_peak_r", "Output peak R"},
    {"in_rms_l", "Input RMS L"},
    {"in_rms_r", "Input RMS R"},
    {"out_rms_l", "Output RMS L"},
    {"out_rms_r", "Output RMS R"},
    {"gain_l", "Gain L"},
    {"gain_r", "Gain R"},
};

}  // namespace zelto::lv2
