// The effect itself, whatever plug-in format carries it: the engine and its
// lock, the 26 parameters mapped onto it, the bank of 24 programs with the
// factory programs and the start-up template, the state as bytes, the meter
// feed and the latency. A format wrapper owns one per instance, passes the
// host's calls on and hears back through EffectHost.
//
// Threads: process on the audio thread (takes the engine lock, 1000 ms
// bound); setSampleRate, suspend and a "TransShape" change take the same
// lock; every other call runs on any host thread without it. Program names
// have a short lock of their own, never taken on the audio path.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "core/EffectView.h"
#include "core/Parameters.h"
#include "engine/EngineState.h"
#include "platform/EngineLock.h"
#include "presets/PresetRecord.h"
#include "presets/PresetSystem.h"
#include "presets/ProgramStore.h"

namespace zelto {

/// What the effect tells the format that carries it. Every call may come on
/// any thread but the audio thread; none is made with the engine lock held
/// except latencyChanged (inside setSampleRate).
class EffectHost {
  public:
    virtual ~EffectHost() = default;
    /// A parameter took this value, from the host, a program or the editor.
    virtual void parameterChanged(int32_t /*index*/, float /*value*/) {}
    /// The user changed a parameter in the editor: the host records it.
    virtual void parameterAutomated(int32_t /*index*/, float /*value*/) {}
    virtual void editBegun(int32_t /*index*/) {}
    virtual void editEnded(int32_t /*index*/) {}
    /// A program was applied: every parameter may have changed.
    virtual void programApplied() {}
    /// The current program's name changed.
    virtual void programRenamed() {}
    /// A name to show as the current program's in the editor.
    virtual void programNameShown(const char* /*name*/) {}
    virtual void latencyChanged(int32_t /*samples*/) {}
};

class Effect final : public EffectView, public ProgramStore {
  public:
    static constexpr int32_t kUniqueId = ('K' << 24) | ('R' << 16) | ('z' << 8) | 't';
    static constexpr uint32_t kLockTimeoutMs = 1000;
    static constexpr int32_t kNumInputs = 2;
    static constexpr int32_t kNumOutputs = 2;
    static constexpr const char* kEffectName = "KRW Zelto";
    static constexpr const char* kVendorName = "krw-soundlab.com";
    static constexpr const char* kProductName = "Full band precision limiter";

    /// Allocates every buffer, loads the factory programs and applies the
    /// stored metering preferences. The host may be null (no notifications).
    explicit Effect(EffectHost* host = nullptr);
    ~Effect() override;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    /// False when an engine buffer or the bank could not be allocated: the
    /// instance must not be used then.
    bool isReady() const { return ready_; }
    /// The second half of start-up, once the format has its editor: the
    /// template, the stored default bank and preset, then program 0 applied.
    void start();
    void setHost(EffectHost* host) { host_ = host; }

    // Lifecycle.
    void suspend();
    /// Rebuilds the engine for the rate; the latency follows by rate class.
    void setSampleRate(float rate);
    float sampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    /// 0, 1 or 2 for rates below 80 kHz, below 170 kHz, and above.
    int32_t rateClass() const { return engine_.rateClass(); }
    int32_t latencySamples() const override { return engine_.latencySamples(); }

    /// Audio thread: one block of two channels. A null second input or a
    /// channel the host says is not connected counts as such.
    void process(float** inputs, float** outputs, int32_t frames, bool input1 = true,
                 bool output1 = true);
    void process(double** inputs, double** outputs, int32_t frames, bool input1 = true,
                 bool output1 = true);

    // Parameters 0..25 as normalised values (any thread).
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index) override;
    /// The step index the engine uses for a live parameter.
    int32_t stepOf(int32_t index) const;
    /// The display text of a live parameter; "" where it has none.
    void getParameterDisplay(int32_t index, char* text);

    // EffectView.
    void setParameterAutomated(int32_t index, float value) override;
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    MeterSnapshot getMeterValues() override;
    PresetSystem& presets() override { return presets_; }

    // Programs (ProgramStore and EffectView).
    bool hasBank() const override { return bank_ != nullptr; }
    int32_t getSignature() const override { return kUniqueId; }
    int32_t getCurrentPreset() const override {
        return currentPreset_.load(std::memory_order_relaxed);
    }
    PresetRecord presetRecord(int32_t index) const override;
    void setPresetRecord(int32_t index, const PresetRecord& record) override;
    void setPresetValue(int32_t program, int32_t param, float value) override;
    void resetPresetToTemplate(int32_t index) override;
    void selectPreset(int32_t index) override;
    void renameCurrentPreset(const char* name) override;
    bool isExcludedFromSave(int32_t /*param*/) const override { return false; }
    bool isExcludedFromLoad(int32_t /*param*/) const override { return false; }
    void showPresetName(const char* name) override;

    /// Names the current program as a host does (at most 24 characters
    /// taken); the editor shows the name.
    void setProgramName(const char* name);
    /// The current program's name, or program i's, into 25 bytes; false
    /// for an index outside 0..23.
    void getProgramName(char* name) const;
    bool getProgramNameIndexed(int32_t index, char* text) const;
    void loadFactoryPresets();
    const PresetRecord& templatePreset() const { return templateRecord_; }
    /// The value kept in the current program (0 outside 0..25).
    float storedValue(int32_t index) const;
    /// True on the thread that is applying a program, for this effect only.
    bool isPresetLoading() const;

    // State: the whole bank as a tagged image behind an 8-byte prefix (24049
    // bytes), the same bytes for every format. loadState takes that, either
    // byte order, and the older flat bank; false when nothing was loaded
    // (foreign, damaged or out-of-range data changes nothing).
    std::vector<uint8_t> saveState();
    bool loadState(const uint8_t* data, size_t size);

    // Read-only views for tests.
    const EngineState& engine() const { return engine_; }
    EngineLock& engineLock() { return engineLock_; }

  private:
    void storeValue(int32_t index, float value);
    void applyLiveParameter(int32_t index, float value);
    void convertLegacyProgram();
    void loadMeterPrefs();
    void setStep(int32_t index, float value, int32_t steps);
    bool loadFlatBankState(const uint8_t* data, size_t size, bool swap);
    template <typename T>
    void processGuarded(T** inputs, T** outputs, int32_t frames, bool input1, bool output1);

    EffectHost* host_;
    EngineLock engineLock_;
    EngineState engine_;
    std::atomic<float> sampleRate_{44100.0f};
    std::atomic<float> values_[kNumLiveParams] = {};
    std::atomic<int32_t> steps_[kNumLiveParams] = {};
    bool ready_ = false;

    PresetBank* bank_ = nullptr;
    PresetRecord templateRecord_{};
    std::atomic<int32_t> currentPreset_{0};
    // The thread applying a program right now (none: a default id).
    std::atomic<std::thread::id> applyingThread_{};
    mutable std::mutex namesMutex_;  // every read and write of a program name
    PresetSystem presets_;
};

}  // namespace zelto
