// The CLAP instance; see ClapPlugin.h.
#include "formats/clap/ClapPlugin.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/Parameters.h"
#include "formats/clap/ClapParameters.h"

#ifndef ZELTO_VERSION
#define ZELTO_VERSION "0.0.0"
#endif

namespace zelto::clap {
namespace {

const char* const kFeatures[] = {"audio-effect", "mastering", "limiter", "stereo", nullptr};

const clap_plugin_descriptor kDescriptor = {
    CLAP_VERSION_CURRENT,
    "com.krw-soundlab.zelto",
    "KRW Zelto",
    "KRW-soundlab",
    "https://krw-soundlab.com",
    "",
    "",
    ZELTO_VERSION,
    "Full band precision limiter",
    kFeatures,
};

// How often the editor's idle runs: input events every call, meters and
// repaint at their own 40 ms pace.
constexpr uint32_t kEditorTimerMs = 20;
// A bank is 24 KiB; anything far larger is not ours and is not read whole.
constexpr size_t kMaxStateBytes = 1u << 20;

}  // namespace

const clap_plugin_descriptor* ClapPlugin::descriptor() {
    return &kDescriptor;
}

ClapPlugin::ClapPlugin(const clap_host* host) : host_(host) {
    plugin_.desc = &kDescriptor;
    plugin_.plugin_data = this;
    plugin_.init = &ClapPlugin::init;
    plugin_.destroy = &ClapPlugin::destroy;
    plugin_.activate = &ClapPlugin::activate;
    plugin_.deactivate = &ClapPlugin::deactivate;
    plugin_.start_processing = &ClapPlugin::startProcessing;
    plugin_.stop_processing = &ClapPlugin::stopProcessing;
    plugin_.reset = &ClapPlugin::reset;
    plugin_.process = &ClapPlugin::process;
    plugin_.get_extension = &ClapPlugin::getExtension;
    plugin_.on_main_thread = &ClapPlugin::onMainThread;
}

const clap_plugin* ClapPlugin::create(const clap_host* host) {
    if (host == nullptr || !clapVersionIsCompatible(host->clap_version) ||
        host->get_extension == nullptr)
        return nullptr;
    auto* instance = new (std::nothrow) ClapPlugin(host);
    return instance != nullptr ? &instance->plugin_ : nullptr;
}

ClapPlugin* ClapPlugin::self(const clap_plugin* plugin) {
    return static_cast<ClapPlugin*>(plugin->plugin_data);
}

// A call on the wrong thread is a host fault that shows up much later as a
// race; in debug builds it stops at once with the call's name.
void ClapPlugin::checkMainThread([[maybe_unused]] const char* call) const {
#ifndef NDEBUG
    if (threadCheck_ != nullptr && !threadCheck_->is_main_thread(host_)) {
        std::fprintf(stderr, "KRW Zelto: %s called outside the host's main thread\n", call);
        std::abort();
    }
#endif
}

void ClapPlugin::checkAudioThread([[maybe_unused]] const char* call) const {
#ifndef NDEBUG
    if (threadCheck_ != nullptr && !threadCheck_->is_audio_thread(host_)) {
        std::fprintf(stderr, "KRW Zelto: %s called outside the host's audio thread\n", call);
        std::abort();
    }
#endif
}

// ---------------------------------------------------------------------------
// Lifecycle

bool ClapPlugin::init(const clap_plugin* plugin) {
    ClapPlugin* p = self(plugin);
    const clap_host* h = p->host_;
    p->threadCheck_ =
        static_cast<const clap_host_thread_check*>(h->get_extension(h, CLAP_EXT_THREAD_CHECK));
    p->checkMainThread("clap_plugin.init");
    p->hostParams_ = static_cast<const clap_host_params*>(h->get_extension(h, CLAP_EXT_PARAMS));
    p->hostState_ = static_cast<const clap_host_state*>(h->get_extension(h, CLAP_EXT_STATE));
    p->hostLatency_ = static_cast<const clap_host_latency*>(h->get_extension(h, CLAP_EXT_LATENCY));
    p->hostTimers_ =
        static_cast<const clap_host_timer_support*>(h->get_extension(h, CLAP_EXT_TIMER_SUPPORT));
    p->hostFds_ = static_cast<const clap_host_posix_fd_support*>(
        h->get_extension(h, CLAP_EXT_POSIX_FD_SUPPORT));
    p->hostPresets_ =
        static_cast<const clap_host_preset_load*>(h->get_extension(h, CLAP_EXT_PRESET_LOAD));
    if (p->hostPresets_ == nullptr)
        p->hostPresets_ = static_cast<const clap_host_preset_load*>(
            h->get_extension(h, CLAP_EXT_PRESET_LOAD_COMPAT));
    try {
        p->effect_ = EffectBinding::create(*p);
    } catch (...) {
        p->effect_.reset();
    }
    if (p->effect_ == nullptr) return false;
    for (uint32_t i = 0; i < parameterCount(); ++i)
        p->defaults_[i] = p->effect_->parameter(static_cast<int32_t>(i));
    p->reportedLatency_ = p->effect_->latencySamples();
    return true;
}

void ClapPlugin::destroy(const clap_plugin* plugin) {
    ClapPlugin* p = self(plugin);
    p->checkMainThread("clap_plugin.destroy");
    if (p->guiCreated_) {
        p->closeEditorWindow();
        if (p->timer_ != CLAP_INVALID_ID && p->hostTimers_ != nullptr)
            p->hostTimers_->unregister_timer(p->host_, p->timer_);
    }
    delete p;
}

bool ClapPlugin::activate(const clap_plugin* plugin, double rate, uint32_t /*minFrames*/,
                          uint32_t maxFrames) {
    ClapPlugin* p = self(plugin);
    p->checkMainThread("clap_plugin.activate");
    if (p->effect_ == nullptr || p->active_ || !(rate > 0.0) || rate > 1.0e7 || maxFrames == 0)
        return false;
    try {
        p->silence32_.assign(maxFrames, 0.0f);
        p->silence64_.assign(maxFrames, 0.0);
    } catch (...) {
        return false;
    }
    p->effect_->setSampleRate(rate);
    const uint32_t latency = p->effect_->latencySamples();
    if (latency != p->reportedLatency_) {
        p->reportedLatency_ = latency;
        if (p->hostLatency_ != nullptr) p->hostLatency_->changed(p->host_);
    }
    p->active_ = true;
    return true;
}

void ClapPlugin::deactivate(const clap_plugin* plugin) {
    ClapPlugin* p = self(plugin);
    p->checkMainThread("clap_plugin.deactivate");
    p->active_ = false;
}

bool ClapPlugin::startProcessing(const clap_plugin* plugin) {
    ClapPlugin* p = self(plugin);
    p->checkAudioThread("clap_plugin.start_processing");
    return p->active_;
}

void ClapPlugin::stopProcessing(const clap_plugin* plugin) {
    self(plugin)->checkAudioThread("clap_plugin.stop_processing");
}

void ClapPlugin::reset(const clap_plugin* plugin) {
    ClapPlugin* p = self(plugin);
    p->checkAudioThread("clap_plugin.reset");
    p->effect_->reset();
}

void ClapPlugin::onMainThread(const clap_plugin* plugin) {
    ClapPlugin* p = self(plugin);
    p->checkMainThread("clap_plugin.on_main_thread");
    if (p->valuesChanged_.exchange(false) && p->hostParams_ != nullptr)
        p->hostParams_->rescan(p->host_, CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT);
    if (p->stateDirty_.exchange(false) && p->hostState_ != nullptr)
        p->hostState_->mark_dirty(p->host_);
}

// ---------------------------------------------------------------------------
// Processing

void ClapPlugin::applyEvent(const clap_event_header* event) {
    if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID) return;
    if (event->type != CLAP_EVENT_PARAM_VALUE || event->size < sizeof(clap_event_param_value))
        return;
    const auto* change = reinterpret_cast<const clap_event_param_value*>(event);
    if (change->param_id >= parameterCount()) return;
    effect_->setParameter(static_cast<int32_t>(change->param_id),
                          normalisedFromClapValue(change->param_id, change->value));
}

void ClapPlugin::applyEvents(const clap_input_events* in) {
    if (in == nullptr) return;
    const uint32_t count = in->size(in);
    for (uint32_t i = 0; i < count; ++i) applyEvent(in->get(in, i));
}

void ClapPlugin::sendEdits(const clap_output_events* out) {
    if (out == nullptr) return;
    uint32_t read = editsRead_.load(std::memory_order_relaxed);
    const uint32_t written = editsWritten_.load(std::memory_order_acquire);
    for (; read != written; ++read) {
        const Edit& edit = edits_[read % kEditSlots];
        bool taken = false;
        if (edit.type == CLAP_EVENT_PARAM_VALUE) {
            clap_event_param_value event{};
            event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE,
                            CLAP_EVENT_IS_LIVE};
            event.param_id = edit.index;
            event.note_id = -1;
            event.port_index = event.channel = event.key = -1;
            event.value = clapValueFromNormalised(edit.index, edit.value);
            taken = out->try_push(out, &event.header);
        } else {
            clap_event_param_gesture event{};
            event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, edit.type,
                            CLAP_EVENT_IS_LIVE};
            event.param_id = edit.index;
            taken = out->try_push(out, &event.header);
        }
        // A full host queue keeps the rest for the next block.
        if (!taken) break;
    }
    editsRead_.store(read, std::memory_order_release);
}

template <typename T>
void ClapPlugin::processSplit(T** inputs, T** outputs, const clap_process* process) {
    const uint32_t frames = process->frames_count;
    uint32_t done = 0;
    auto run = [&](uint32_t until) {
        if (until <= done) return;
        T* in[2] = {inputs[0] + done, inputs[1] + done};
        T* out[2] = {outputs[0] + done, outputs[1] + done};
        effect_->process(in, out, until - done);
        done = until;
    };
    // A change takes effect at its own sample: the block is cut there.
    if (const clap_input_events* events = process->in_events) {
        const uint32_t count = events->size(events);
        for (uint32_t i = 0; i < count; ++i) {
            const clap_event_header* event = events->get(events, i);
            if (event == nullptr) continue;
            run(std::min(event->time, frames));
            applyEvent(event);
        }
    }
    run(frames);
}

clap_process_status ClapPlugin::process(const clap_plugin* plugin, const clap_process* process) {
    ClapPlugin* p = self(plugin);
    p->checkAudioThread("clap_plugin.process");
    if (process == nullptr || !p->active_) return CLAP_PROCESS_ERROR;
    const uint32_t frames = process->frames_count;
    if (frames > p->silence32_.size()) return CLAP_PROCESS_ERROR;
    const clap_audio_buffer* out =
        process->audio_outputs_count > 0 ? process->audio_outputs : nullptr;
    const clap_audio_buffer* in = process->audio_inputs_count > 0 ? process->audio_inputs : nullptr;
    if (out == nullptr || out->channel_count < 2) {
        // Nothing to write to: the events still count.
        p->applyEvents(process->in_events);
        p->sendEdits(process->out_events);
        return out == nullptr ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
    }
    const bool wide = out->data64 != nullptr && (in == nullptr || in->data64 != nullptr);
    if (wide) {
        double* inputs[2] = {p->silence64_.data(), p->silence64_.data()};
        if (in != nullptr && in->channel_count >= 1 && in->data64 != nullptr) {
            inputs[0] = in->data64[0];
            inputs[1] = in->channel_count >= 2 ? in->data64[1] : in->data64[0];
        }
        double* outputs[2] = {out->data64[0], out->data64[1]};
        p->processSplit(inputs, outputs, process);
    } else {
        if (out->data32 == nullptr) return CLAP_PROCESS_ERROR;
        float* inputs[2] = {p->silence32_.data(), p->silence32_.data()};
        if (in != nullptr && in->channel_count >= 1 && in->data32 != nullptr) {
            inputs[0] = in->data32[0];
            inputs[1] = in->channel_count >= 2 ? in->data32[1] : in->data32[0];
        }
        float* outputs[2] = {out->data32[0], out->data32[1]};
        p->processSplit(inputs, outputs, process);
    }
    // Every output sample was written: none of the channels is constant.
    process->audio_outputs[0].constant_mask = 0;
    p->sendEdits(process->out_events);
    return CLAP_PROCESS_CONTINUE;
}

// ---------------------------------------------------------------------------
// Edits from the editor window (its thread: main)

namespace {

bool pushEdit(std::atomic<uint32_t>& written, std::atomic<uint32_t>& read, uint32_t slots,
              auto* buffer, auto edit) {
    const uint32_t w = written.load(std::memory_order_relaxed);
    if (w - read.load(std::memory_order_acquire) >= slots) return false;
    buffer[w % slots] = edit;
    written.store(w + 1, std::memory_order_release);
    return true;
}

}  // namespace

void ClapPlugin::parameterEdited(int32_t index, float value) {
    const Edit edit{CLAP_EVENT_PARAM_VALUE, static_cast<uint32_t>(index), value};
    // A host that stopped taking events sees the values on the next rescan.
    if (!pushEdit(editsWritten_, editsRead_, kEditSlots, edits_, edit)) valuesChanged_ = true;
    stateDirty_ = true;
    if (hostParams_ != nullptr) hostParams_->request_flush(host_);
    host_->request_callback(host_);
}

void ClapPlugin::gestureBegan(int32_t index) {
    pushEdit(editsWritten_, editsRead_, kEditSlots, edits_,
             Edit{CLAP_EVENT_PARAM_GESTURE_BEGIN, static_cast<uint32_t>(index), 0.0f});
    if (hostParams_ != nullptr) hostParams_->request_flush(host_);
}

void ClapPlugin::gestureEnded(int32_t index) {
    pushEdit(editsWritten_, editsRead_, kEditSlots, edits_,
             Edit{CLAP_EVENT_PARAM_GESTURE_END, static_cast<uint32_t>(index), 0.0f});
    if (hostParams_ != nullptr) hostParams_->request_flush(host_);
}

void ClapPlugin::valuesChanged() {
    valuesChanged_ = true;
    if (!loadingState_) stateDirty_ = true;
    host_->request_callback(host_);
}

// The descriptor goes back to the host before the connection closes: a
// host must never watch a number the process may reuse.
void ClapPlugin::closeEditorWindow() {
    if (eventFd_ >= 0 && hostFds_ != nullptr) hostFds_->unregister_fd(host_, eventFd_);
    eventFd_ = -1;
    if (guiOpen_) effect_->closeEditor();
    guiOpen_ = false;
}

// ---------------------------------------------------------------------------
// Extensions

struct Extensions {
    static ClapPlugin* self(const clap_plugin* plugin) { return ClapPlugin::self(plugin); }

    // audio-ports: one stereo main input and output.
    static uint32_t portCount(const clap_plugin* plugin, bool /*isInput*/) {
        self(plugin)->checkMainThread("clap_plugin_audio_ports.count");
        return 1;
    }
    static bool portGet(const clap_plugin* plugin, uint32_t index, bool isInput,
                        clap_audio_port_info* info) {
        self(plugin)->checkMainThread("clap_plugin_audio_ports.get");
        if (index != 0 || info == nullptr) return false;
        *info = {};
        info->id = 0;
        std::snprintf(info->name, sizeof info->name, "%s", isInput ? "Stereo In" : "Stereo Out");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS |
                      CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE;
        info->channel_count = 2;
        info->port_type = CLAP_PORT_STEREO;
        info->in_place_pair = CLAP_INVALID_ID;
        return true;
    }
    static constexpr clap_plugin_audio_ports kAudioPorts = {&portCount, &portGet};

    // note-ports: none; an effect a host must not offer notes to.
    static uint32_t notePortCount(const clap_plugin* plugin, bool /*isInput*/) {
        self(plugin)->checkMainThread("clap_plugin_note_ports.count");
        return 0;
    }
    static bool notePortGet(const clap_plugin* plugin, uint32_t, bool, clap_note_port_info*) {
        self(plugin)->checkMainThread("clap_plugin_note_ports.get");
        return false;
    }
    static constexpr clap_plugin_note_ports kNotePorts = {&notePortCount, &notePortGet};

    // params
    static uint32_t paramCount(const clap_plugin* plugin) {
        self(plugin)->checkMainThread("clap_plugin_params.count");
        return parameterCount();
    }
    static bool paramInfo(const clap_plugin* plugin, uint32_t index, clap_param_info* info) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_params.get_info");
        ParameterRange range{};
        if (info == nullptr || !parameterRange(index, range)) return false;
        *info = {};
        info->id = index;
        info->flags = CLAP_PARAM_IS_AUTOMATABLE;
        if (range.stepped) info->flags |= CLAP_PARAM_IS_STEPPED;
        if (range.enumerated) info->flags |= CLAP_PARAM_IS_ENUM;
        // Written whole: hosts show the name as it is.
        std::snprintf(info->name, sizeof info->name, "%s", kParamInfo[index].name);
        info->min_value = range.min;
        info->max_value = range.max;
        info->default_value = clapValueFromNormalised(index, p->defaults_[index]);
        return true;
    }
    static bool paramValue(const clap_plugin* plugin, clap_id id, double* value) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_params.get_value");
        if (value == nullptr || id >= parameterCount()) return false;
        *value = clapValueFromNormalised(id, p->effect_->parameter(static_cast<int32_t>(id)));
        return true;
    }
    static bool paramToText(const clap_plugin* plugin, clap_id id, double value, char* text,
                            uint32_t capacity) {
        self(plugin)->checkMainThread("clap_plugin_params.value_to_text");
        return clapValueToText(id, value, text, capacity);
    }
    static bool paramFromText(const clap_plugin* plugin, clap_id id, const char* text,
                              double* value) {
        self(plugin)->checkMainThread("clap_plugin_params.text_to_value");
        return value != nullptr && clapTextToValue(id, text, *value);
    }
    static void paramFlush(const clap_plugin* plugin, const clap_input_events* in,
                           const clap_output_events* out) {
        ClapPlugin* p = self(plugin);
        if (p->active_)
            p->checkAudioThread("clap_plugin_params.flush");
        else
            p->checkMainThread("clap_plugin_params.flush");
        p->applyEvents(in);
        p->sendEdits(out);
    }
    static constexpr clap_plugin_params kParams = {&paramCount,  &paramInfo,     &paramValue,
                                                   &paramToText, &paramFromText, &paramFlush};

    // state: the same program bank the VST 2 chunk holds.
    // Nothing unwinds into the host: a failed allocation is a failed call.
    static bool stateSave(const clap_plugin* plugin, const clap_ostream* stream) {
        try {
            return saveTo(plugin, stream);
        } catch (...) {
            return false;
        }
    }
    static bool stateLoad(const clap_plugin* plugin, const clap_istream* stream) {
        try {
            return loadFrom(plugin, stream);
        } catch (...) {
            return false;
        }
    }
    static bool saveTo(const clap_plugin* plugin, const clap_ostream* stream) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_state.save");
        if (stream == nullptr) return false;
        const std::vector<uint8_t> bytes = p->effect_->saveState();
        if (bytes.empty()) return false;
        size_t done = 0;
        while (done < bytes.size()) {
            const int64_t n = stream->write(stream, bytes.data() + done, bytes.size() - done);
            if (n <= 0 || static_cast<uint64_t>(n) > bytes.size() - done) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    static bool loadFrom(const clap_plugin* plugin, const clap_istream* stream) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_state.load");
        if (stream == nullptr) return false;
        std::vector<uint8_t> bytes;
        uint8_t block[4096];
        for (;;) {
            const int64_t n = stream->read(stream, block, sizeof block);
            if (n == 0) break;
            if (n < 0 || static_cast<uint64_t>(n) > sizeof block) return false;
            if (bytes.size() + static_cast<size_t>(n) > kMaxStateBytes) return false;
            bytes.insert(bytes.end(), block, block + n);
        }
        p->loadingState_ = true;
        const bool loaded = p->effect_->loadState(bytes.data(), bytes.size());
        p->loadingState_ = false;
        if (loaded && p->hostParams_ != nullptr) {
            p->valuesChanged_ = false;
            p->hostParams_->rescan(p->host_, CLAP_PARAM_RESCAN_VALUES | CLAP_PARAM_RESCAN_TEXT);
        }
        return loaded;
    }
    static constexpr clap_plugin_state kState = {&stateSave, &stateLoad};

    // latency: 159, 287 or 543 samples by rate.
    static uint32_t latency(const clap_plugin* plugin) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_latency.get");
        return p->effect_->latencySamples();
    }
    static constexpr clap_plugin_latency kLatency = {&latency};

    // gui: an X11 child of the host's window, fixed size, idled by a host timer.
    static bool guiSupported(const clap_plugin* plugin, const char* api, bool floating) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.is_api_supported");
        return !floating && api != nullptr && std::strcmp(api, CLAP_WINDOW_API_X11) == 0 &&
               p->hostTimers_ != nullptr;
    }
    static bool guiPreferred(const clap_plugin* plugin, const char** api, bool* floating) {
        self(plugin)->checkMainThread("clap_plugin_gui.get_preferred_api");
        if (api == nullptr || floating == nullptr) return false;
        *api = CLAP_WINDOW_API_X11;
        *floating = false;
        return true;
    }
    static bool guiCreate(const clap_plugin* plugin, const char* api, bool floating) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.create");
        if (p->guiCreated_ || !guiSupported(plugin, api, floating)) return false;
        if (!p->hostTimers_->register_timer(p->host_, kEditorTimerMs, &p->timer_)) {
            p->timer_ = CLAP_INVALID_ID;
            return false;
        }
        p->guiCreated_ = true;
        return true;
    }
    static void guiDestroy(const clap_plugin* plugin) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.destroy");
        if (!p->guiCreated_) return;
        p->closeEditorWindow();
        if (p->timer_ != CLAP_INVALID_ID) p->hostTimers_->unregister_timer(p->host_, p->timer_);
        p->timer_ = CLAP_INVALID_ID;
        p->guiCreated_ = false;
    }
    static bool guiScale(const clap_plugin* plugin, double) {
        // The artwork is drawn for one size; the host scales nothing.
        self(plugin)->checkMainThread("clap_plugin_gui.set_scale");
        return false;
    }
    static bool guiSize(const clap_plugin* plugin, uint32_t* width, uint32_t* height) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.get_size");
        if (width == nullptr || height == nullptr) return false;
        p->effect_->editorSize(*width, *height);
        return *width > 0 && *height > 0;
    }
    static bool guiCanResize(const clap_plugin* plugin) {
        self(plugin)->checkMainThread("clap_plugin_gui.can_resize");
        return false;
    }
    static bool guiHints(const clap_plugin* plugin, clap_gui_resize_hints*) {
        self(plugin)->checkMainThread("clap_plugin_gui.get_resize_hints");
        return false;
    }
    static bool guiAdjust(const clap_plugin* plugin, uint32_t*, uint32_t*) {
        self(plugin)->checkMainThread("clap_plugin_gui.adjust_size");
        return false;
    }
    static bool guiSetSize(const clap_plugin* plugin, uint32_t width, uint32_t height) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.set_size");
        uint32_t w = 0, h = 0;
        p->effect_->editorSize(w, h);
        return width == w && height == h;
    }
    static bool guiSetParent(const clap_plugin* plugin, const clap_window* window) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.set_parent");
        if (!p->guiCreated_ || window == nullptr || window->api == nullptr ||
            std::strcmp(window->api, CLAP_WINDOW_API_X11) != 0 || window->x11 == 0)
            return false;
        p->closeEditorWindow();
        try {
            p->guiOpen_ = p->effect_->openEditor(window->x11);
        } catch (...) {
            p->guiOpen_ = false;
        }
        // Input then reaches the window as it arrives, not only on the timer.
        if (p->guiOpen_ && p->hostFds_ != nullptr) {
            const int fd = p->effect_->editorEventDescriptor();
            if (fd >= 0 && p->hostFds_->register_fd(p->host_, fd, CLAP_POSIX_FD_READ))
                p->eventFd_ = fd;
        }
        return p->guiOpen_;
    }
    static bool guiSetTransient(const clap_plugin* plugin, const clap_window*) {
        self(plugin)->checkMainThread("clap_plugin_gui.set_transient");
        return false;
    }
    static void guiTitle(const clap_plugin* plugin, const char*) {
        self(plugin)->checkMainThread("clap_plugin_gui.suggest_title");
    }
    // The window is a child of the host's: it shows and hides with it.
    static bool guiShow(const clap_plugin* plugin) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.show");
        return p->guiCreated_;
    }
    static bool guiHide(const clap_plugin* plugin) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_gui.hide");
        return p->guiCreated_;
    }
    static constexpr clap_plugin_gui kGui = {
        &guiSupported, &guiPreferred,    &guiCreate, &guiDestroy, &guiScale,
        &guiSize,      &guiCanResize,    &guiHints,  &guiAdjust,  &guiSetSize,
        &guiSetParent, &guiSetTransient, &guiTitle,  &guiShow,    &guiHide};

    // timer-support: the editor's idle.
    static void onTimer(const clap_plugin* plugin, clap_id timer) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_timer_support.on_timer");
        if (p->guiOpen_ && timer == p->timer_) p->effect_->idleEditor();
    }
    static constexpr clap_plugin_timer_support kTimers = {&onTimer};

    // posix-fd-support: the window's display connection has input.
    static void onFd(const clap_plugin* plugin, int fd, uint32_t /*flags*/) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_posix_fd_support.on_fd");
        if (p->guiOpen_ && fd == p->eventFd_) p->effect_->idleEditor();
    }
    static constexpr clap_plugin_posix_fd_support kFds = {&onFd};

    // preset-load: the factory programs the discovery factory lists, by
    // their load keys "0" .. "23".
    static bool presetLoad(const clap_plugin* plugin, uint32_t kind, const char* location,
                           const char* key) {
        ClapPlugin* p = self(plugin);
        p->checkMainThread("clap_plugin_preset_load.from_location");
        int32_t index = -1;
        if (kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN && key != nullptr) {
            const char* end = key + std::strlen(key);
            const auto [stop, ec] = std::from_chars(key, end, index);
            if (ec != std::errc() || stop != end || stop == key) index = -1;
        }
        if (index < 0 || !p->effect_->loadFactoryProgram(index)) {
            if (p->hostPresets_ != nullptr)
                p->hostPresets_->on_error(p->host_, kind, location, key, 0,
                                          "not a preset of this plug-in");
            return false;
        }
        if (p->hostPresets_ != nullptr) p->hostPresets_->loaded(p->host_, kind, location, key);
        return true;
    }
    static constexpr clap_plugin_preset_load kPresetLoad = {&presetLoad};
};

const void* ClapPlugin::getExtension(const clap_plugin* /*plugin*/, const char* id) {
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &Extensions::kAudioPorts;
    if (std::strcmp(id, CLAP_EXT_NOTE_PORTS) == 0) return &Extensions::kNotePorts;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &Extensions::kParams;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &Extensions::kState;
    if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &Extensions::kLatency;
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &Extensions::kGui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &Extensions::kTimers;
    if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &Extensions::kFds;
    if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0 ||
        std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT) == 0)
        return &Extensions::kPresetLoad;
    return nullptr;
}

}  // namespace zelto::clap
