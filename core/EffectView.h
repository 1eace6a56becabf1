// The effect as its editor sees it, whatever plug-in format carries both:
// parameter values, edits with their gestures, meters, latency and the
// programs. The editor holds nothing else of the effect.
// Threads: every call on the user-interface thread, except getParameter,
// which any thread may call.
#pragma once

#include <cstdint>

#include "engine/EngineState.h"
#include "presets/PresetRecord.h"

namespace zelto {

class PresetSystem;

class EffectView {
  public:
    virtual ~EffectView() = default;

    /// The normalised value (0..1) of parameter 0..25.
    virtual float getParameter(int32_t index) = 0;
    /// A change the user made: applied, then reported to the host as automation.
    virtual void setParameterAutomated(int32_t index, float value) = 0;
    /// The start and end of an edit gesture (a drag); tags that are not
    /// parameters are ignored.
    virtual void beginEdit(int32_t index) = 0;
    virtual void endEdit(int32_t index) = 0;

    /// The ten meter values; restarts the engine's holds.
    virtual MeterSnapshot getMeterValues() = 0;
    /// The latency the host compensates now, in samples.
    virtual int32_t latencySamples() const = 0;

    // Programs.
    virtual int32_t getCurrentPreset() const = 0;
    virtual PresetRecord presetRecord(int32_t index) const = 0;
    virtual void selectPreset(int32_t index) = 0;
    virtual void renameCurrentPreset(const char* name) = 0;
    /// Preset and bank files, stored defaults and memos.
    virtual PresetSystem& presets() = 0;
};

}  // namespace zelto
