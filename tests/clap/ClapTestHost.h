// A small CLAP host of our own, written against formats/clap/clap_abi.h: it
// loads a built .clap through dlopen and clap_entry as a DAW does, creates
// instances through the factory and offers the host extensions the plug-in
// asks for (thread-check, params, state, latency, timer-support,
// posix-fd-support, preset-load), recording
// what the plug-in tells it. The test thread is the host's main thread; it
// counts as the audio thread only while it is inside process or an
// active flush, which is how the plug-in's thread checks see it.
#pragma once

#include <dlfcn.h>
#include <poll.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "formats/clap/clap_abi.h"

namespace clap_test {

/// The library: dlopen, clap_entry->init, the plug-in factory.
class ClapLibrary {
  public:
    explicit ClapLibrary(const std::string& path) : path_(path) {
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) throw std::runtime_error(dlerror());
        entry_ = static_cast<const clap_plugin_entry*>(dlsym(handle_, "clap_entry"));
        if (entry_ == nullptr || !entry_->init(path.c_str())) throw std::runtime_error("entry");
        factory_ =
            static_cast<const clap_plugin_factory*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
        if (factory_ == nullptr) throw std::runtime_error("factory");
    }
    ~ClapLibrary() {
        entry_->deinit();
        dlclose(handle_);
    }
    ClapLibrary(const ClapLibrary&) = delete;
    ClapLibrary& operator=(const ClapLibrary&) = delete;

    void* handle() const { return handle_; }
    const clap_plugin_entry* entry() const { return entry_; }
    const clap_plugin_factory* factory() const { return factory_; }

  private:
    std::string path_;
    void* handle_ = nullptr;
    const clap_plugin_entry* entry_ = nullptr;
    const clap_plugin_factory* factory_ = nullptr;
};

/// One event the plug-in sent to the host.
struct SentEvent {
    uint16_t type;
    clap_id param;
    double value;
};

/// A parameter change for the plug-in: id, value, sample offset.
struct ParamChange {
    clap_id id;
    double value;
    uint32_t time;
};

class ClapInstance {
  public:
    explicit ClapInstance(const ClapLibrary& library,
                          const char* pluginId = "com.krw-soundlab.zelto") {
        host_.clap_version = CLAP_VERSION_CURRENT;
        host_.host_data = this;
        host_.name = "zelto test host";
        host_.vendor = "KRW-soundlab";
        host_.url = "";
        host_.version = "1";
        host_.get_extension = &getExtension;
        host_.request_restart = [](const clap_host*) {};
        host_.request_process = [](const clap_host*) {};
        host_.request_callback = [](const clap_host* h) { self(h)->callbackRequests++; };
        plugin_ = library.factory()->create_plugin(library.factory(), &host_, pluginId);
        if (plugin_ == nullptr) throw std::runtime_error("create_plugin");
        if (!plugin_->init(plugin_)) {
            plugin_->destroy(plugin_);
            throw std::runtime_error("init");
        }
    }
    ~ClapInstance() {
        if (active_) plugin_->deactivate(plugin_);
        plugin_->destroy(plugin_);
    }
    ClapInstance(const ClapInstance&) = delete;
    ClapInstance& operator=(const ClapInstance&) = delete;

    const clap_plugin* plugin() const { return plugin_; }
    template <typename T>
    const T* extension(const char* id) const {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }
    const clap_plugin_params* params() const {
        return extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    }
    const clap_plugin_state* state() const { return extension<clap_plugin_state>(CLAP_EXT_STATE); }
    const clap_plugin_latency* latency() const {
        return extension<clap_plugin_latency>(CLAP_EXT_LATENCY);
    }
    const clap_plugin_gui* gui() const { return extension<clap_plugin_gui>(CLAP_EXT_GUI); }

    bool activate(double rate, uint32_t maxFrames = 4096) {
        active_ = plugin_->activate(plugin_, rate, 1, maxFrames);
        if (active_) {
            inAudio_ = true;
            plugin_->start_processing(plugin_);
            inAudio_ = false;
        }
        return active_;
    }
    void deactivate() {
        if (!active_) return;
        inAudio_ = true;
        plugin_->stop_processing(plugin_);
        inAudio_ = false;
        plugin_->deactivate(plugin_);
        active_ = false;
    }

    /// One block, two channels in and out, with parameter changes sorted by
    /// time; what the plug-in sends back is appended to sent.
    template <typename T>
    clap_process_status process(T* const* in, T* const* out, uint32_t frames,
                                const std::vector<ParamChange>& changes = {}) {
        EventList events(changes);
        clap_audio_buffer input{}, output{};
        input.channel_count = output.channel_count = 2;
        if constexpr (sizeof(T) == 8) {
            input.data64 = const_cast<double**>(in);
            output.data64 = const_cast<double**>(out);
        } else {
            input.data32 = const_cast<float**>(in);
            output.data32 = const_cast<float**>(out);
        }
        clap_output_events sink{this, &pushEvent};
        clap_process process{};
        process.steady_time = -1;
        process.frames_count = frames;
        process.audio_inputs = &input;
        process.audio_outputs = &output;
        process.audio_inputs_count = process.audio_outputs_count = 1;
        process.in_events = &events.list;
        process.out_events = &sink;
        inAudio_ = true;
        const clap_process_status status = plugin_->process(plugin_, &process);
        inAudio_ = false;
        return status;
    }

    /// params.flush outside processing (as the main thread while inactive).
    void flush(const std::vector<ParamChange>& changes = {}) {
        EventList events(changes);
        clap_output_events sink{this, &pushEvent};
        inAudio_ = active_;
        params()->flush(plugin_, &events.list, &sink);
        inAudio_ = false;
    }

    double value(clap_id id) const {
        double v = 0.0;
        if (!params()->get_value(plugin_, id, &v)) throw std::runtime_error("get_value");
        return v;
    }

    std::vector<uint8_t> save() const {
        std::vector<uint8_t> bytes;
        clap_ostream stream{&bytes, [](const clap_ostream* s, const void* data, uint64_t size) {
                                auto* out = static_cast<std::vector<uint8_t>*>(s->ctx);
                                // Takes at most 1000 bytes a call, as a host may.
                                const uint64_t n = size < 1000 ? size : 1000;
                                const auto* p = static_cast<const uint8_t*>(data);
                                out->insert(out->end(), p, p + n);
                                return static_cast<int64_t>(n);
                            }};
        if (!state()->save(plugin_, &stream)) bytes.clear();
        return bytes;
    }

    /// Loads bytes through a stream that hands out at most `chunk` bytes a
    /// call and, with failAt >= 0, reports an error once that many are read.
    bool load(const std::vector<uint8_t>& bytes, size_t chunk = 333, long failAt = -1) {
        struct Source {
            const std::vector<uint8_t>* bytes;
            size_t pos, chunk;
            long failAt;
        } source{&bytes, 0, chunk, failAt};
        clap_istream stream{
            &source, [](const clap_istream* s, void* buffer, uint64_t size) {
                auto* src = static_cast<Source*>(s->ctx);
                if (src->failAt >= 0 && src->pos >= static_cast<size_t>(src->failAt))
                    return static_cast<int64_t>(-1);
                size_t n = src->bytes->size() - src->pos;
                if (n > size) n = static_cast<size_t>(size);
                if (n > src->chunk) n = src->chunk;
                // An empty state has no data pointer to copy from.
                if (n > 0) std::memcpy(buffer, src->bytes->data() + src->pos, n);
                src->pos += n;
                return static_cast<int64_t>(n);
            }};
        return state()->load(plugin_, &stream);
    }

    /// Runs the host's main loop once: timers due (all, here) and callbacks.
    void runMainLoop() {
        const auto* timers = extension<clap_plugin_timer_support>(CLAP_EXT_TIMER_SUPPORT);
        for (const auto& [id, period] : timers_) {
            (void)period;
            if (timers != nullptr) timers->on_timer(plugin_, id);
        }
        if (callbackRequests > 0) {
            callbackRequests = 0;
            plugin_->on_main_thread(plugin_);
        }
    }

    /// Waits up to `ms` for a registered descriptor to turn readable and
    /// tells the plug-in about the ones that did; how many did.
    int pollDescriptors(int ms) {
        const auto* fds = extension<clap_plugin_posix_fd_support>(CLAP_EXT_POSIX_FD_SUPPORT);
        std::vector<pollfd> watched;
        for (const auto& [fd, flags] : fds_)
            if (flags & CLAP_POSIX_FD_READ) watched.push_back({fd, POLLIN, 0});
        if (fds == nullptr || watched.empty() || poll(watched.data(), watched.size(), ms) <= 0)
            return 0;
        int ready = 0;
        for (const pollfd& w : watched) {
            if (w.revents & POLLIN) {
                fds->on_fd(plugin_, w.fd, CLAP_POSIX_FD_READ);
                ++ready;
            }
        }
        return ready;
    }

    /// Makes the host say the calling thread is the audio thread (or not).
    void pretendAudioThread(bool audio) { inAudio_ = audio; }

    // What the plug-in told the host.
    int latencyChanges = 0;
    int rescans = 0;
    uint32_t lastRescanFlags = 0;
    int flushRequests = 0;
    int callbackRequests = 0;
    int dirtyMarks = 0;
    std::vector<SentEvent> sent;
    std::map<clap_id, uint32_t> timers_;
    std::map<int, uint32_t> fds_;
    std::vector<std::string> presetsLoaded, presetErrors;  // load keys

  private:
    struct EventList {
        explicit EventList(const std::vector<ParamChange>& changes) {
            for (const ParamChange& c : changes) {
                clap_event_param_value e{};
                e.header = {sizeof e, c.time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
                e.param_id = c.id;
                e.note_id = -1;
                e.port_index = e.channel = e.key = -1;
                e.value = c.value;
                events.push_back(e);
            }
            list.ctx = this;
            list.size = [](const clap_input_events* l) {
                return static_cast<uint32_t>(static_cast<EventList*>(l->ctx)->events.size());
            };
            list.get = [](const clap_input_events* l, uint32_t i) -> const clap_event_header* {
                auto* self = static_cast<EventList*>(l->ctx);
                return i < self->events.size() ? &self->events[i].header : nullptr;
            };
        }
        std::vector<clap_event_param_value> events;
        clap_input_events list{};
    };

    static ClapInstance* self(const clap_host* h) {
        return static_cast<ClapInstance*>(h->host_data);
    }

    static bool pushEvent(const clap_output_events* list, const clap_event_header* e) {
        auto* self = static_cast<ClapInstance*>(list->ctx);
        if (e->type == CLAP_EVENT_PARAM_VALUE) {
            const auto* v = reinterpret_cast<const clap_event_param_value*>(e);
            self->sent.push_back({e->type, v->param_id, v->value});
        } else {
            const auto* g = reinterpret_cast<const clap_event_param_gesture*>(e);
            self->sent.push_back({e->type, g->param_id, 0.0});
        }
        return true;
    }

    static const void* getExtension(const clap_host* /*host*/, const char* id) {
        static const clap_host_thread_check threadCheck = {
            [](const clap_host* h) {
                return std::this_thread::get_id() == self(h)->mainThread_ && !self(h)->inAudio_;
            },
            [](const clap_host* h) { return self(h)->inAudio_; }};
        static const clap_host_params params = {
            [](const clap_host* h, uint32_t flags) {
                self(h)->rescans++;
                self(h)->lastRescanFlags = flags;
            },
            [](const clap_host*, clap_id, uint32_t) {},
            [](const clap_host* h) { self(h)->flushRequests++; }};
        static const clap_host_state state = {[](const clap_host* h) { self(h)->dirtyMarks++; }};
        static const clap_host_latency latency = {
            [](const clap_host* h) { self(h)->latencyChanges++; }};
        static const clap_host_timer_support timers = {
            [](const clap_host* h, uint32_t period, clap_id* id) {
                auto* s = self(h);
                *id = s->nextTimer_++;
                s->timers_[*id] = period;
                return true;
            },
            [](const clap_host* h, clap_id id) { return self(h)->timers_.erase(id) == 1; }};
        static const clap_host_posix_fd_support fds = {
            [](const clap_host* h, int fd, uint32_t flags) {
                return self(h)->fds_.emplace(fd, flags).second;
            },
            [](const clap_host* h, int fd, uint32_t flags) {
                auto it = self(h)->fds_.find(fd);
                if (it == self(h)->fds_.end()) return false;
                it->second = flags;
                return true;
            },
            [](const clap_host* h, int fd) { return self(h)->fds_.erase(fd) == 1; }};
        static const clap_host_preset_load presets = {
            [](const clap_host* h, uint32_t, const char*, const char* key, int32_t, const char*) {
                self(h)->presetErrors.push_back(key != nullptr ? key : "(null)");
            },
            [](const clap_host* h, uint32_t, const char*, const char* key) {
                self(h)->presetsLoaded.push_back(key != nullptr ? key : "(null)");
            }};
        if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0) return &presets;
        if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &fds;
        if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &threadCheck;
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &params;
        if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &state;
        if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &latency;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &timers;
        return nullptr;
    }

    clap_host host_{};
    const clap_plugin* plugin_ = nullptr;
    std::thread::id mainThread_ = std::this_thread::get_id();
    bool inAudio_ = false;
    bool active_ = false;
    clap_id nextTimer_ = 1;
};

}  // namespace clap_test
