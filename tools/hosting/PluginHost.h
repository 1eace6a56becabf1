// The host side of the VST 2.4 binary interface: loads one plug-in binary with
// dlopen and its exported entry point, exactly as a DAW does, answers its host
// callbacks and drives it through the record and the dispatcher. It knows
// nothing of any particular plug-in and must never include project code other
// than the binary interface header; it must never trust a plug-in's strings or
// numbers without bounds.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vst/vst2.h"

namespace zelto {

const char* categoryName(VstIntPtr category);
const char* hostOpcodeName(VstInt32 opcode);

class PluginHost {
  public:
    /// Loads the library, finds the entry, creates the effect, checks the
    /// magic and sends effOpen. Throws ToolError with a distinct exit code for
    /// each way this can fail.
    explicit PluginHost(const std::string& path);
    /// Suspends a running effect, sends effClose and unloads the library.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    AEffect& effect() const { return *effect_; }
    const std::string& path() const { return path_; }
    bool isEntryMain() const { return entryIsMain_; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    /// Runs a string opcode into a large zeroed buffer and returns the cleaned
    /// text; `answer` receives the dispatcher's return value.
    std::string getString(VstInt32 opcode, VstInt32 index = 0, VstIntPtr* answer = nullptr);

    std::string effectName() { return getString(effGetEffectName); }
    std::string vendorString() { return getString(effGetVendorString); }
    std::string productString() { return getString(effGetProductString); }
    std::string programName() { return getString(effGetProgramName); }
    VstIntPtr vendorVersion() { return dispatch(effGetVendorVersion); }
    VstIntPtr vstVersion() { return dispatch(effGetVstVersion); }
    VstIntPtr category() { return dispatch(effGetPlugCategory); }

    int numParams() const;
    std::string paramName(int index) { return getString(effGetParamName, index); }
    std::string paramLabel(int index) { return getString(effGetParamLabel, index); }
    std::string paramDisplay(int index) { return getString(effGetParamDisplay, index); }
    float getParameter(int index);
    void setParameter(int index, float value);
    /// Parameter by name (case-insensitive, surrounding blanks ignored) or by
    /// decimal index. Throws a usage ToolError if none or several match.
    int findParameter(std::string_view nameOrIndex);

    /// Sample rate and block size are also what the host callback answers.
    void setSampleRate(double rate);
    void setBlockSize(int frames);
    void setPrecision64(bool on);
    void resume();   // effMainsChanged 1, then effStartProcess
    void suspend();  // effStopProcess, then effMainsChanged 0
    bool resumed() const { return resumed_; }
    /// The record's current initial delay, re-read on every call because
    /// plug-ins change it without telling the host.
    int latency() const { return effect_->initialDelay; }

    /// Runs one block of silence through every pin (single precision) and
    /// returns the latency afterwards: some plug-ins only publish their delay
    /// from inside a process call. Does nothing without processReplacing or
    /// with implausible pin counts.
    int processSilence(int frames);

    /// How many input and output pins the host has connected; answered to
    /// audioMasterPinConnected.
    void setConnectedPins(int inputs, int outputs);

    bool canReplacing() const { return effect_->processReplacing != nullptr; }
    bool canDoubleReplacing() const;
    void process(float** inputs, float** outputs, int frames);
    void process(double** inputs, double** outputs, int frames);

    /// Told of every audioMasterAutomate, audioMasterBeginEdit and
    /// audioMasterEndEdit, on the thread the plug-in calls from, before the
    /// callback answers; set it before the plug-in may send any.
    using EditListener = std::function<void(VstInt32 opcode, VstInt32 index, float value)>;
    void setEditListener(EditListener listener) { editListener_ = std::move(listener); }

    /// audioMaster opcodes the plug-in has called so far, with their counts.
    std::vector<std::pair<VstInt32, int64_t>> hostCalls() const;
    int64_t hostCallCount(VstInt32 opcode) const;

    static constexpr double kInitialSampleRate = 44100.0;
    static constexpr int kInitialBlockSize = 512;
    static constexpr size_t kStringBufferSize = 1024;

  private:
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    static constexpr int kCountedOpcodes = 64;

    std::string path_;
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    bool entryIsMain_ = false;
    bool resumed_ = false;
    bool opened_ = false;

    // Read by the callback, which the plug-in may call from its own threads.
    std::atomic<double> sampleRate_{kInitialSampleRate};
    std::atomic<int> blockSize_{kInitialBlockSize};
    std::atomic<int> connectedInputs_{2};
    std::atomic<int> connectedOutputs_{2};
    std::atomic<bool> inProcess_{false};
    std::atomic<int64_t> callCounts_[kCountedOpcodes] = {};
    EditListener editListener_;
};

}  // namespace zelto
