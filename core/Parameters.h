// The 26 host parameters described once, as data: names, labels, steps, how
// each is displayed, and the mapping from a normalised value to the engine's
// real units. The effect, the editor's tags and zelto's --set all read this.
// Pure functions and constant tables: safe on any thread.
#pragma once

#include <array>
#include <cstdint>

namespace zelto {

enum ParamIndex : int32_t {
    kParamOutput = 0,
    kParamDrive,
    kParamTransient,
    kParamRelease,
    kParamTransShape,
    kParamLink,
    kParamOversample,
    kParamDetectorOrder,
    kParamPower,
    kParamScale,
    kParamBits,
    kParamNoiseShape,
    kParamCalibrate,
    kParamLeveller,
    kParamMeterOvs,
    kParamAutoOut,
    kParamQuantize,
    kParamAutoblack,
    kParamMeterType,
    kParamAttZoom,
    kParamAttShow,
    kParamPostMeter,
    kParamDummy1,
    kParamDummy2,
    kParamDummy3,
    kParamVersionMarker,
    kNumParams
};

/// Parameters 0..21 change the engine; 22..24 are placeholders; 25 marks the
/// version of the program that carries it.
constexpr int32_t kNumLiveParams = kParamPostMeter + 1;

/// What every current program carries at index 25.
constexpr float kVersionMarker = 0.015f;

enum class DisplayKind : uint8_t {
    GainDb,       // dB of the engine gain derived from the value
    Number,       // the derived engine value as a number
    Percent,      // value x 100, no label
    ValueDb,      // dB of the normalised value itself
    StepText,     // the text of the exact step index; nothing outside the list
    Switch,       // first text for index 0, second for anything else
    AttShowMask,  // "1", "2", "L" for bits 0, 1, 2
    None,
};

struct ParamInfo {
    const char* name;
    const char* label;  // nullptr: the host's label buffer is left as it is
    int32_t steps;      // 0 for continuous parameters
    DisplayKind display;
    std::array<const char*, 4> texts;
};

extern const std::array<ParamInfo, kNumParams> kParamInfo;

/// Step index of a normalised value: n*v in single precision, truncated,
/// kept within 0..n-1 (a damaged file can carry negative or huge values).
int32_t stepFromValue(float value, int32_t steps);

/// The centre of step i's band: i/n + 0.5/n in single precision.
float valueFromStep(int32_t step, int32_t steps);

// Engine mappings of the continuous parameters.
double outputGainFromValue(float v);         // 2^(2(v-1)): -12.04 .. 0 dB
double driveGainFromValue(float v);          // 2^(8(v-0.5)): -24.08 .. +24.08 dB
double transientMixFromValue(float v);       // (v*1.4142136)^2 * 0.25: 0 .. 0.5
double releaseMsFromValue(float v);          // 10^(3 v^0.82030212): 1 .. 1000 ms
double levellerThresholdFromValue(float v);  // 2^(2(v-1)): 0.25 .. 1

/// The display text of a live parameter (0..21) for its kept value and step.
/// Writes nothing (returns false) where the parameter has no text for it.
bool formatParameterDisplay(int32_t index, float value, int32_t step, char* text);

/// Index of the parameter with this name (case-insensitive), or -1.
int32_t parameterIndexFromName(const char* name);

}  // namespace zelto
