// The product class of the VST2 plug-in: one instance per host instance. The
// effect itself (engine, lock, parameters, programs) is the core's Effect,
// owned by the program layer; this class declares the record, creates the
// editor, and maps the host's calls onto the effect.
// Threads: process* on the audio thread (the effect takes the engine lock,
// 1000 ms bound); setSampleRate and a "TransShape" change take the same
// lock; every other entry runs on any host thread without a lock.
#pragma once

#include <atomic>

#include "core/Effect.h"
#include "core/Parameters.h"
#include "engine/EngineState.h"
#include "formats/vst2/CPresetSystemEffect.h"
#include "platform/EngineLock.h"

class Plugin : public CPresetSystemEffect {
  public:
    static constexpr VstInt32 kUniqueId = zelto::Effect::kUniqueId;
    static constexpr uint32_t kLockTimeoutMs = zelto::Effect::kLockTimeoutMs;

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
    /// The private calls of core/VendorApi.h (any non-audio thread).
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    bool isExcludedFromSave(VstInt32 /*param*/) override { return false; }
    bool isExcludedFromLoad(VstInt32 /*param*/) override { return false; }

    /// The ten meter values for the editor; restarts the engine's holds (any thread).
    virtual zelto::MeterSnapshot getMeterValues();
    /// 0, 1 or 2 for rates below 80 kHz, below 170 kHz, and above.
    virtual VstInt32 getRateClass() { return effect_.rateClass(); }

    // Read-only views for tests.
    const zelto::EngineState& engine() const { return effect_.engine(); }
    zelto::EngineLock& engineLock() { return effect_.engineLock(); }
    VstInt32 stepOf(VstInt32 index) const { return effect_.stepOf(index); }

    /// Reports a new latency to the host and the editor.
    void latencyChanged(int32_t samples) override;

  private:
    template <typename T>
    void processGuarded(T** inputs, T** outputs, VstInt32 sampleFrames);

    bool ready_ = false;
};
