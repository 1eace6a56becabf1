// One CLAP instance: the plug-in record the host holds, its extensions, and
// the translation between CLAP's calls and the effect's (EffectBinding).
// Thread rules are the interface's: lifecycle, parameters' info and texts,
// state, latency, ports and the editor on the main thread; process, reset,
// start/stop processing on the audio thread; flush on the audio thread while
// active, on the main thread otherwise. Debug builds check them wherever
// the host can tell its threads apart (clap.thread-check) and stop with the
// call's name. The process path allocates nothing and takes no lock but the
// effect's own engine lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/clap/EffectBinding.h"
#include "formats/clap/clap_abi.h"

namespace zelto::clap {

class ClapPlugin final : public EffectBinding::Listener {
  public:
    static const clap_plugin_descriptor* descriptor();
    /// Null when the host is unusable (no record, an older interface).
    static const clap_plugin* create(const clap_host* host);

    // EffectBinding::Listener: edits made in the editor window.
    void parameterEdited(int32_t index, float value) override;
    void gestureBegan(int32_t index) override;
    void gestureEnded(int32_t index) override;
    void valuesChanged() override;

  private:
    explicit ClapPlugin(const clap_host* host);

    static ClapPlugin* self(const clap_plugin* plugin);
    void checkMainThread(const char* call) const;
    void checkAudioThread(const char* call) const;

    // clap_plugin
    static bool init(const clap_plugin* plugin);
    static void destroy(const clap_plugin* plugin);
    static bool activate(const clap_plugin* plugin, double rate, uint32_t minFrames,
                         uint32_t maxFrames);
    static void deactivate(const clap_plugin* plugin);
    static bool startProcessing(const clap_plugin* plugin);
    static void stopProcessing(const clap_plugin* plugin);
    static void reset(const clap_plugin* plugin);
    static clap_process_status process(const clap_plugin* plugin, const clap_process* process);
    static const void* getExtension(const clap_plugin* plugin, const char* id);
    static void onMainThread(const clap_plugin* plugin);

    // Parameter events: one at a time from the host, edits to the host.
    void applyEvent(const clap_event_header* event);
    void applyEvents(const clap_input_events* in);
    void sendEdits(const clap_output_events* out);
    template <typename T>
    void processSplit(T** inputs, T** outputs, const clap_process* process);

    friend struct Extensions;

    clap_plugin plugin_{};
    const clap_host* host_;
    const clap_host_thread_check* threadCheck_ = nullptr;
    const clap_host_params* hostParams_ = nullptr;
    const clap_host_state* hostState_ = nullptr;
    const clap_host_latency* hostLatency_ = nullptr;
    const clap_host_timer_support* hostTimers_ = nullptr;
    const clap_host_posix_fd_support* hostFds_ = nullptr;
    const clap_host_preset_load* hostPresets_ = nullptr;

    std::unique_ptr<EffectBinding> effect_;
    std::atomic<bool> active_{false};  // written on the main thread, read by flush
    uint32_t reportedLatency_ = 0;
    float defaults_[32] = {};

    // Inputs that are missing or mono, read as silence or as two equal
    // channels; sized at activation.
    std::vector<float> silence32_;
    std::vector<double> silence64_;

    // Editor.
    bool guiCreated_ = false;
    bool guiOpen_ = false;
    clap_id timer_ = CLAP_INVALID_ID;
    int eventFd_ = -1;  // the window's input descriptor, registered with the host
    void closeEditorWindow();

    // Edits from the window on their way to the host: written on the main
    // thread, read by whichever thread runs process or flush.
    struct Edit {
        uint16_t type;  // CLAP_EVENT_PARAM_VALUE or a gesture
        uint32_t index;
        float value;
    };
    static constexpr uint32_t kEditSlots = 512;
    Edit edits_[kEditSlots] = {};
    std::atomic<uint32_t> editsWritten_{0};
    std::atomic<uint32_t> editsRead_{0};
    std::atomic<bool> valuesChanged_{false};
    std::atomic<bool> stateDirty_{false};
    bool loadingState_ = false;  // main thread: a state load is not an edit
};

}  // namespace zelto::clap
