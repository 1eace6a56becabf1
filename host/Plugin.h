// The product class: one instance per host instance. Owns the engine state and
// the engine lock, maps the 26 parameters onto the engine, reports latency and
// runs the guarded process dispatch.
// Threads: process* on the audio thread (takes the engine lock, 1000 ms bound);
// setSampleRate and a "TransShape" change take the same lock; every other
// entry runs on any host thread without a lock.
#pragma once

#include <atomic>

#include "engine/EngineState.h"
#include "host/Parameters.h"
#include "platform/EngineLock.h"
#include "presets/CPresetSystemEffect.h"

class Plugin : public CPresetSystemEffect {
  public:
    static constexpr VstInt32 kUniqueId = CCONST('K', 'R', 'z', 't');
    static constexpr uint32_t kLockTimeoutMs = 1000;

    explicit Plugin(audioMasterCallback audioMaster);
    ~Plugin() override;

    /// False when an engine buffer could not be allocated: the entry point
    /// then deletes the instance and answers null.
    bool isReady() const { return ready_; }

    // Lifecycle (host thread; setSampleRate takes the engine lock).
    void suspend() override;
    void resume() override {}
    void setSampleRate(float rate) override;

    // Audio thread.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // Parameters (any thread).
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    bool getParameterProperties(VstInt32 index, VstParameterProperties* properties) override;

    // Identity (any thread).
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 0; }
    VstPlugCategory getPlugCategory() override { return kPlugCategMastering; }
    /// The private calls of host/VendorApi.h (any non-audio thread).
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    bool isExcludedFromSave(VstInt32 /*param*/) override { return false; }
    bool isExcludedFromLoad(VstInt32 /*param*/) override { return false; }

    /// The ten meter values for the editor; restarts the engine's holds (any thread).
    virtual zelto::MeterSnapshot getMeterValues();
    /// 0, 1 or 2 for rates below 80 kHz, below 170 kHz, and above.
    virtual VstInt32 getRateClass() { return engine_.rateClass(); }

    // Read-only views for tests and the editor.
    const zelto::EngineState& engine() const { return engine_; }
    zelto::EngineLock& engineLock() { return engineLock_; }
    VstInt32 stepOf(VstInt32 index) const;

  private:
    void applyLiveParameter(VstInt32 index, float value);
    void convertLegacyProgram();
    void loadMeterPrefs();
    void setStep(VstInt32 index, float value, int32_t steps);
    template <typename T>
    void processGuarded(T** inputs, T** outputs, VstInt32 sampleFrames);

    zelto::EngineLock engineLock_;
    zelto::EngineState engine_;
    std::atomic<float> values_[zelto::kNumLiveParams] = {};
    std::atomic<int32_t> steps_[zelto::kNumLiveParams] = {};
    bool ready_ = false;
};
