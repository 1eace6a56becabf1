// The CLAP binary interface: the entry record, the plug-in factory, the
// plug-in and host records, processing (audio buffers and events) and the
// extensions this product speaks, written from the published x86-64 layout.
// Only what the plug-in and our test host use is declared. This header is
// shared by the plug-in and the tests' host; it must stay free of any
// implementation. Thread notes on each function are the interface's rules:
// [main] the host's main thread, [audio] the audio thread, [any] either.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

using clap_id = uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

constexpr uint32_t CLAP_NAME_SIZE = 256;
constexpr uint32_t CLAP_PATH_SIZE = 1024;

struct clap_version {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
// The records below carry a member of this name; the alias keeps the type
// nameable inside them.
using clap_version_t = clap_version;

// The interface version this product is written against. Hosts and plug-ins
// are compatible whenever the major version is 1 or more.
constexpr clap_version CLAP_VERSION_CURRENT = {1, 2, 2};
constexpr bool clapVersionIsCompatible(const clap_version& v) {
    return v.major >= 1;
}

// ---------------------------------------------------------------------------
// Host

struct clap_host {
    clap_version_t clap_version;  // the version the host was written against
    void* host_data;              // reserved for the host
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    /// An extension's function table, or null. [any]
    const void* (*get_extension)(const clap_host* host, const char* extension_id);
    /// Asks for deactivate + activate. [any]
    void (*request_restart)(const clap_host* host);
    /// Asks for activation and processing. [any]
    void (*request_process)(const clap_host* host);
    /// Asks for a call to on_main_thread. [any]
    void (*request_callback)(const clap_host* host);
};

// ---------------------------------------------------------------------------
// Plug-in descriptor and plug-in

struct clap_plugin_descriptor {
    clap_version_t clap_version;
    const char* id;  // reverse-domain, unique, never changes
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated list of feature words
};

struct clap_process;

enum clap_process_status : int32_t {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
    CLAP_PROCESS_TAIL = 3,
    CLAP_PROCESS_SLEEP = 4,
};

struct clap_plugin {
    const clap_plugin_descriptor* desc;
    void* plugin_data;  // reserved for the plug-in
    /// After creation, before anything else. [main]
    bool (*init)(const clap_plugin* plugin);
    /// Frees the instance; it is deactivated first. [main]
    void (*destroy)(const clap_plugin* plugin);
    /// Sample rate and block sizes for the processing to come. [main]
    bool (*activate)(const clap_plugin* plugin, double sample_rate, uint32_t min_frames_count,
                     uint32_t max_frames_count);
    void (*deactivate)(const clap_plugin* plugin);        // [main]
    bool (*start_processing)(const clap_plugin* plugin);  // [audio]
    void (*stop_processing)(const clap_plugin* plugin);   // [audio]
    /// Clears every buffer and follower, as after a transport jump. [audio]
    void (*reset)(const clap_plugin* plugin);
    clap_process_status (*process)(const clap_plugin* plugin,
                                   const clap_process* process);              // [audio]
    const void* (*get_extension)(const clap_plugin* plugin, const char* id);  // [any]
    void (*on_main_thread)(const clap_plugin* plugin);                        // [main]
};

// ---------------------------------------------------------------------------
// Entry and factory

struct clap_plugin_entry {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

constexpr const char* CLAP_PLUGIN_FACTORY_ID = "clap.plugin-factory";

struct clap_plugin_factory {
    uint32_t (*get_plugin_count)(const clap_plugin_factory* factory);
    const clap_plugin_descriptor* (*get_plugin_descriptor)(const clap_plugin_factory* factory,
                                                           uint32_t index);
    const clap_plugin* (*create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                        const char* plugin_id);
};

// ---------------------------------------------------------------------------
// Events

struct clap_event_header {
    uint32_t size;      // of the whole event, header included
    uint32_t time;      // sample offset inside the block
    uint16_t space_id;  // CLAP_CORE_EVENT_SPACE_ID for the events below
    uint16_t type;
    uint32_t flags;
};

constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum : uint32_t {
    CLAP_EVENT_IS_LIVE = 1u << 0,
    CLAP_EVENT_DONT_RECORD = 1u << 1,
};

enum : uint16_t {
    CLAP_EVENT_NOTE_ON = 0,
    CLAP_EVENT_NOTE_OFF = 1,
    CLAP_EVENT_NOTE_CHOKE = 2,
    CLAP_EVENT_NOTE_END = 3,
    CLAP_EVENT_NOTE_EXPRESSION = 4,
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
    CLAP_EVENT_MIDI = 10,
    CLAP_EVENT_MIDI_SYSEX = 11,
    CLAP_EVENT_MIDI2 = 12,
};

struct clap_event_param_value {
    clap_event_header header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;  // -1: every note (a plain parameter change)
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;  // in the parameter's own range
};

struct clap_event_param_gesture {
    clap_event_header header;
    clap_id param_id;
};

struct clap_input_events {
    void* ctx;
    uint32_t (*size)(const clap_input_events* list);
    /// Events are sorted by time.
    const clap_event_header* (*get)(const clap_input_events* list, uint32_t index);
};

struct clap_output_events {
    void* ctx;
    /// False when the host could not take the event.
    bool (*try_push)(const clap_output_events* list, const clap_event_header* event);
};

// ---------------------------------------------------------------------------
// Processing

struct clap_audio_buffer {
    float** data32;  // one of the two is set
    double** data64;
    uint32_t channel_count;
    uint32_t latency;        // of the host's own path to this buffer
    uint64_t constant_mask;  // bit i: channel i holds one value throughout
};

struct clap_event_transport;  // not read by this product

struct clap_process {
    int64_t steady_time;  // -1 when not available
    uint32_t frames_count;
    const clap_event_transport* transport;
    const clap_audio_buffer* audio_inputs;
    clap_audio_buffer* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events* in_events;
    const clap_output_events* out_events;
};

// ---------------------------------------------------------------------------
// Streams (state)

struct clap_istream {
    void* ctx;
    /// Bytes read, 0 at the end, -1 on error.
    int64_t (*read)(const clap_istream* stream, void* buffer, uint64_t size);
};

struct clap_ostream {
    void* ctx;
    /// Bytes written (maybe fewer than asked), -1 on error.
    int64_t (*write)(const clap_ostream* stream, const void* buffer, uint64_t size);
};

// ---------------------------------------------------------------------------
// Extension: audio ports

constexpr const char* CLAP_EXT_AUDIO_PORTS = "clap.audio-ports";
constexpr const char* CLAP_PORT_MONO = "mono";
constexpr const char* CLAP_PORT_STEREO = "stereo";

enum : uint32_t {
    CLAP_AUDIO_PORT_IS_MAIN = 1u << 0,
    CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1,
    CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2,
    CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3,
};

struct clap_audio_port_info {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;  // CLAP_PORT_STEREO, or null
    clap_id in_place_pair;  // CLAP_INVALID_ID: no in-place processing
};

struct clap_plugin_audio_ports {
    uint32_t (*count)(const clap_plugin* plugin, bool is_input);  // [main]
    bool (*get)(const clap_plugin* plugin, uint32_t index, bool is_input,
                clap_audio_port_info* info);  // [main]
};

// ---------------------------------------------------------------------------
// Extension: note ports (this effect has none; declared to answer "none")

constexpr const char* CLAP_EXT_NOTE_PORTS = "clap.note-ports";

struct clap_note_port_info {
    clap_id id;
    uint32_t supported_dialects;
    uint32_t preferred_dialect;
    char name[CLAP_NAME_SIZE];
};

struct clap_plugin_note_ports {
    uint32_t (*count)(const clap_plugin* plugin, bool is_input);  // [main]
    bool (*get)(const clap_plugin* plugin, uint32_t index, bool is_input,
                clap_note_port_info* info);  // [main]
};

// ---------------------------------------------------------------------------
// Extension: parameters

constexpr const char* CLAP_EXT_PARAMS = "clap.params";

enum : uint32_t {
    CLAP_PARAM_IS_STEPPED = 1u << 0,
    CLAP_PARAM_IS_PERIODIC = 1u << 1,
    CLAP_PARAM_IS_HIDDEN = 1u << 2,
    CLAP_PARAM_IS_READONLY = 1u << 3,
    CLAP_PARAM_IS_BYPASS = 1u << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
    CLAP_PARAM_IS_AUTOMATABLE_PER_NOTE_ID = 1u << 6,
    CLAP_PARAM_IS_AUTOMATABLE_PER_KEY = 1u << 7,
    CLAP_PARAM_IS_AUTOMATABLE_PER_CHANNEL = 1u << 8,
    CLAP_PARAM_IS_AUTOMATABLE_PER_PORT = 1u << 9,
    CLAP_PARAM_IS_MODULATABLE = 1u << 10,
    CLAP_PARAM_IS_MODULATABLE_PER_NOTE_ID = 1u << 11,
    CLAP_PARAM_IS_MODULATABLE_PER_KEY = 1u << 12,
    CLAP_PARAM_IS_MODULATABLE_PER_CHANNEL = 1u << 13,
    CLAP_PARAM_IS_MODULATABLE_PER_PORT = 1u << 14,
    CLAP_PARAM_REQUIRES_PROCESS = 1u << 15,
    CLAP_PARAM_IS_ENUM = 1u << 16,
};

struct clap_param_info {
    clap_id id;  // stable across versions: stored in hosts' sessions
    uint32_t flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params {
    uint32_t (*count)(const clap_plugin* plugin);  // [main]
    bool (*get_info)(const clap_plugin* plugin, uint32_t param_index,
                     clap_param_info* param_info);                                      // [main]
    bool (*get_value)(const clap_plugin* plugin, clap_id param_id, double* out_value);  // [main]
    bool (*value_to_text)(const clap_plugin* plugin, clap_id param_id, double value,
                          char* out_buffer, uint32_t out_buffer_capacity);  // [main]
    bool (*text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* param_value_text,
                          double* out_value);  // [main]
    /// Parameter events outside processing. [active ? audio : main]
    void (*flush)(const clap_plugin* plugin, const clap_input_events* in,
                  const clap_output_events* out);
};

enum : uint32_t {
    CLAP_PARAM_RESCAN_VALUES = 1u << 0,
    CLAP_PARAM_RESCAN_TEXT = 1u << 1,
    CLAP_PARAM_RESCAN_INFO = 1u << 2,
    CLAP_PARAM_RESCAN_ALL = 1u << 3,
};

struct clap_host_params {
    void (*rescan)(const clap_host* host, uint32_t flags);                   // [main]
    void (*clear)(const clap_host* host, clap_id param_id, uint32_t flags);  // [main]
    /// Asks for a flush (or a process call) to deliver queued events. [any]
    void (*request_flush)(const clap_host* host);
};

// ---------------------------------------------------------------------------
// Extension: state

constexpr const char* CLAP_EXT_STATE = "clap.state";

struct clap_plugin_state {
    bool (*save)(const clap_plugin* plugin, const clap_ostream* stream);  // [main]
    bool (*load)(const clap_plugin* plugin, const clap_istream* stream);  // [main]
};

struct clap_host_state {
    void (*mark_dirty)(const clap_host* host);  // [main]
};

// ---------------------------------------------------------------------------
// Extension: latency

constexpr const char* CLAP_EXT_LATENCY = "clap.latency";

struct clap_plugin_latency {
    uint32_t (*get)(const clap_plugin* plugin);  // [main]
};

struct clap_host_latency {
    /// The latency changed; only during activate. [main]
    void (*changed)(const clap_host* host);
};

// ---------------------------------------------------------------------------
// Extension: editor window

constexpr const char* CLAP_EXT_GUI = "clap.gui";
constexpr const char* CLAP_WINDOW_API_X11 = "x11";
constexpr const char* CLAP_WINDOW_API_WIN32 = "win32";

struct clap_window {
    const char* api;
    union {
        unsigned long x11;  // an X window id
        void* win32;        // an HWND
        void* ptr;
    };
};

struct clap_gui_resize_hints {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};

// Every call [main].
struct clap_plugin_gui {
    bool (*is_api_supported)(const clap_plugin* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin* plugin);
    bool (*set_scale)(const clap_plugin* plugin, double scale);
    bool (*get_size)(const clap_plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*can_resize)(const clap_plugin* plugin);
    bool (*get_resize_hints)(const clap_plugin* plugin, clap_gui_resize_hints* hints);
    bool (*adjust_size)(const clap_plugin* plugin, uint32_t* width, uint32_t* height);
    bool (*set_size)(const clap_plugin* plugin, uint32_t width, uint32_t height);
    bool (*set_parent)(const clap_plugin* plugin, const clap_window* window);
    bool (*set_transient)(const clap_plugin* plugin, const clap_window* window);
    void (*suggest_title)(const clap_plugin* plugin, const char* title);
    bool (*show)(const clap_plugin* plugin);
    bool (*hide)(const clap_plugin* plugin);
};

// Every call [any].
struct clap_host_gui {
    void (*resize_hints_changed)(const clap_host* host);
    bool (*request_resize)(const clap_host* host, uint32_t width, uint32_t height);
    bool (*request_show)(const clap_host* host);
    bool (*request_hide)(const clap_host* host);
    void (*closed)(const clap_host* host, bool was_destroyed);
};

// ---------------------------------------------------------------------------
// Extensions: timers and file descriptors run by the host's main loop

constexpr const char* CLAP_EXT_TIMER_SUPPORT = "clap.timer-support";

struct clap_plugin_timer_support {
    void (*on_timer)(const clap_plugin* plugin, clap_id timer_id);  // [main]
};

struct clap_host_timer_support {
    bool (*register_timer)(const clap_host* host, uint32_t period_ms, clap_id* timer_id);  // [main]
    bool (*unregister_timer)(const clap_host* host, clap_id timer_id);                     // [main]
};

constexpr const char* CLAP_EXT_POSIX_FD_SUPPORT = "clap.posix-fd-support";

enum : uint32_t {
    CLAP_POSIX_FD_READ = 1u << 0,
    CLAP_POSIX_FD_WRITE = 1u << 1,
    CLAP_POSIX_FD_ERROR = 1u << 2,
};

struct clap_plugin_posix_fd_support {
    void (*on_fd)(const clap_plugin* plugin, int fd, uint32_t flags);  // [main]
};

struct clap_host_posix_fd_support {
    bool (*register_fd)(const clap_host* host, int fd, uint32_t flags);  // [main]
    bool (*modify_fd)(const clap_host* host, int fd, uint32_t flags);    // [main]
    bool (*unregister_fd)(const clap_host* host, int fd);                // [main]
};

// ---------------------------------------------------------------------------
// Extension: which thread is which (asked by the plug-in's checks)

constexpr const char* CLAP_EXT_THREAD_CHECK = "clap.thread-check";

struct clap_host_thread_check {
    bool (*is_main_thread)(const clap_host* host);   // [any]
    bool (*is_audio_thread)(const clap_host* host);  // [any]
};

// ---------------------------------------------------------------------------
// Extension: loading a preset the host found through preset discovery

constexpr const char* CLAP_EXT_PRESET_LOAD = "clap.preset-load/2";
constexpr const char* CLAP_EXT_PRESET_LOAD_COMPAT = "clap.preset-load.draft/2";

enum : uint32_t {
    CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,  // inside the plug-in; the location is null
};

struct clap_plugin_preset_load {
    bool (*from_location)(const clap_plugin* plugin, uint32_t location_kind, const char* location,
                          const char* load_key);  // [main]
};

// Every call [main].
struct clap_host_preset_load {
    void (*on_error)(const clap_host* host, uint32_t location_kind, const char* location,
                     const char* load_key, int32_t os_error, const char* msg);
    void (*loaded)(const clap_host* host, uint32_t location_kind, const char* location,
                   const char* load_key);
};

// ---------------------------------------------------------------------------
// Factory: preset discovery (the host indexes presets without an instance)

constexpr const char* CLAP_PRESET_DISCOVERY_FACTORY_ID = "clap.preset-discovery-factory/2";
constexpr const char* CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT =
    "clap.preset-discovery-factory/draft-2";

enum : uint32_t {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0,
    CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1u << 1,
    CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1u << 2,
    CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1u << 3,
};

using clap_timestamp = uint64_t;  // seconds since 1970; 0 when unknown

struct clap_universal_plugin_id {
    const char* abi;  // "clap"
    const char* id;
};

// Not thread-safe: one indexing pass at a time.
struct clap_preset_discovery_metadata_receiver {
    void* receiver_data;
    void (*on_error)(const clap_preset_discovery_metadata_receiver* receiver, int32_t os_error,
                     const char* error_message);
    /// False: stop calling this receiver.
    bool (*begin_preset)(const clap_preset_discovery_metadata_receiver* receiver, const char* name,
                         const char* load_key);
    void (*add_plugin_id)(const clap_preset_discovery_metadata_receiver* receiver,
                          const clap_universal_plugin_id* plugin_id);
    void (*set_soundpack_id)(const clap_preset_discovery_metadata_receiver* receiver,
                             const char* soundpack_id);
    void (*set_flags)(const clap_preset_discovery_metadata_receiver* receiver, uint32_t flags);
    void (*add_creator)(const clap_preset_discovery_metadata_receiver* receiver,
                        const char* creator);
    void (*set_description)(const clap_preset_discovery_metadata_receiver* receiver,
                            const char* description);
    void (*set_timestamps)(const clap_preset_discovery_metadata_receiver* receiver,
                           clap_timestamp creation_time, clap_timestamp modification_time);
    void (*add_feature)(const clap_preset_discovery_metadata_receiver* receiver,
                        const char* feature);
    void (*add_extra_info)(const clap_preset_discovery_metadata_receiver* receiver, const char* key,
                           const char* value);
};

struct clap_preset_discovery_filetype {
    const char* name;
    const char* description;
    const char* file_extension;  // without the dot
};

struct clap_preset_discovery_location {
    uint32_t flags;
    const char* name;
    uint32_t kind;
    const char* location;  // null for CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN
};

struct clap_preset_discovery_soundpack {
    uint32_t flags;
    const char* id;
    const char* name;
    const char* description;
    const char* homepage_url;
    const char* vendor;
    const char* image_path;
    clap_timestamp release_timestamp;
};

struct clap_preset_discovery_provider_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
};

struct clap_preset_discovery_provider {
    const clap_preset_discovery_provider_descriptor* desc;
    void* provider_data;
    /// Declares the provider's locations, file types and sound packs.
    bool (*init)(const clap_preset_discovery_provider* provider);
    void (*destroy)(const clap_preset_discovery_provider* provider);
    bool (*get_metadata)(const clap_preset_discovery_provider* provider, uint32_t location_kind,
                         const char* location,
                         const clap_preset_discovery_metadata_receiver* metadata_receiver);
    const void* (*get_extension)(const clap_preset_discovery_provider* provider,
                                 const char* extension_id);
};

struct clap_preset_discovery_indexer {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool (*declare_filetype)(const clap_preset_discovery_indexer* indexer,
                             const clap_preset_discovery_filetype* filetype);
    bool (*declare_location)(const clap_preset_discovery_indexer* indexer,
                             const clap_preset_discovery_location* location);
    bool (*declare_soundpack)(const clap_preset_discovery_indexer* indexer,
                              const clap_preset_discovery_soundpack* soundpack);
    const void* (*get_extension)(const clap_preset_discovery_indexer* indexer,
                                 const char* extension_id);
};

// Every call [any].
struct clap_preset_discovery_factory {
    uint32_t (*count)(const clap_preset_discovery_factory* factory);
    const clap_preset_discovery_provider_descriptor* (*get_descriptor)(
        const clap_preset_discovery_factory* factory, uint32_t index);
    const clap_preset_discovery_provider* (*create)(const clap_preset_discovery_factory* factory,
                                                    const clap_preset_discovery_indexer* indexer,
                                                    const char* provider_id);
};

}  // extern "C"

// The published x86-64 layout (LP64): sizes and offsets every host assumes.
#if defined(__x86_64__) || defined(_M_X64)
static_assert(sizeof(clap_version) == 12, "clap_version layout");
static_assert(sizeof(clap_host) == 88, "clap_host layout");
static_assert(offsetof(clap_host, host_data) == 16, "clap_host layout");
static_assert(offsetof(clap_host, get_extension) == 56, "clap_host layout");
static_assert(offsetof(clap_host, request_callback) == 80, "clap_host layout");
static_assert(sizeof(clap_plugin_descriptor) == 88, "clap_plugin_descriptor layout");
static_assert(offsetof(clap_plugin_descriptor, id) == 16, "clap_plugin_descriptor layout");
static_assert(offsetof(clap_plugin_descriptor, features) == 80, "clap_plugin_descriptor layout");
static_assert(sizeof(clap_plugin) == 96, "clap_plugin layout");
static_assert(offsetof(clap_plugin, process) == 72, "clap_plugin layout");
static_assert(offsetof(clap_plugin, on_main_thread) == 88, "clap_plugin layout");
static_assert(sizeof(clap_plugin_entry) == 40, "clap_plugin_entry layout");
static_assert(offsetof(clap_plugin_entry, init) == 16, "clap_plugin_entry layout");
static_assert(offsetof(clap_plugin_entry, get_factory) == 32, "clap_plugin_entry layout");
static_assert(sizeof(clap_plugin_factory) == 24, "clap_plugin_factory layout");
static_assert(sizeof(clap_event_header) == 16, "clap_event_header layout");
static_assert(offsetof(clap_event_header, space_id) == 8, "clap_event_header layout");
static_assert(offsetof(clap_event_header, type) == 10, "clap_event_header layout");
static_assert(sizeof(clap_event_param_value) == 56, "clap_event_param_value layout");
static_assert(offsetof(clap_event_param_value, param_id) == 16, "clap_event_param_value layout");
static_assert(offsetof(clap_event_param_value, cookie) == 24, "clap_event_param_value layout");
static_assert(offsetof(clap_event_param_value, note_id) == 32, "clap_event_param_value layout");
static_assert(offsetof(clap_event_param_value, key) == 40, "clap_event_param_value layout");
static_assert(offsetof(clap_event_param_value, value) == 48, "clap_event_param_value layout");
static_assert(sizeof(clap_event_param_gesture) == 20, "clap_event_param_gesture layout");
static_assert(sizeof(clap_input_events) == 24, "clap_input_events layout");
static_assert(sizeof(clap_output_events) == 16, "clap_output_events layout");
static_assert(sizeof(clap_audio_buffer) == 32, "clap_audio_buffer layout");
static_assert(offsetof(clap_audio_buffer, channel_count) == 16, "clap_audio_buffer layout");
static_assert(offsetof(clap_audio_buffer, constant_mask) == 24, "clap_audio_buffer layout");
static_assert(sizeof(clap_process) == 64, "clap_process layout");
static_assert(offsetof(clap_process, frames_count) == 8, "clap_process layout");
static_assert(offsetof(clap_process, audio_inputs_count) == 40, "clap_process layout");
static_assert(offsetof(clap_process, audio_outputs_count) == 44, "clap_process layout");
static_assert(offsetof(clap_process, in_events) == 48, "clap_process layout");
static_assert(offsetof(clap_process, out_events) == 56, "clap_process layout");
static_assert(sizeof(clap_istream) == 16 && sizeof(clap_ostream) == 16, "stream layout");
static_assert(sizeof(clap_audio_port_info) == 288, "clap_audio_port_info layout");
static_assert(offsetof(clap_audio_port_info, flags) == 260, "clap_audio_port_info layout");
static_assert(offsetof(clap_audio_port_info, port_type) == 272, "clap_audio_port_info layout");
static_assert(offsetof(clap_audio_port_info, in_place_pair) == 280, "clap_audio_port_info layout");
static_assert(sizeof(clap_note_port_info) == 268, "clap_note_port_info layout");
static_assert(sizeof(clap_param_info) == 1320, "clap_param_info layout");
static_assert(offsetof(clap_param_info, cookie) == 8, "clap_param_info layout");
static_assert(offsetof(clap_param_info, name) == 16, "clap_param_info layout");
static_assert(offsetof(clap_param_info, module) == 272, "clap_param_info layout");
static_assert(offsetof(clap_param_info, min_value) == 1296, "clap_param_info layout");
static_assert(offsetof(clap_param_info, default_value) == 1312, "clap_param_info layout");
static_assert(sizeof(clap_plugin_params) == 48, "clap_plugin_params layout");
static_assert(sizeof(clap_host_params) == 24, "clap_host_params layout");
static_assert(sizeof(clap_window) == 16, "clap_window layout");
static_assert(offsetof(clap_window, x11) == 8, "clap_window layout");
static_assert(sizeof(clap_gui_resize_hints) == 12, "clap_gui_resize_hints layout");
static_assert(sizeof(clap_plugin_gui) == 120, "clap_plugin_gui layout");
static_assert(offsetof(clap_plugin_gui, set_parent) == 80, "clap_plugin_gui layout");
static_assert(sizeof(clap_host_gui) == 40, "clap_host_gui layout");
static_assert(sizeof(clap_host_posix_fd_support) == 24, "clap_host_posix_fd_support layout");
static_assert(sizeof(clap_host_thread_check) == 16, "clap_host_thread_check layout");
static_assert(sizeof(clap_host_preset_load) == 16, "clap_host_preset_load layout");
static_assert(sizeof(clap_universal_plugin_id) == 16, "clap_universal_plugin_id layout");
static_assert(sizeof(clap_preset_discovery_metadata_receiver) == 88, "receiver layout");
static_assert(offsetof(clap_preset_discovery_metadata_receiver, set_timestamps) == 64,
              "receiver layout");
static_assert(sizeof(clap_preset_discovery_location) == 32, "location layout");
static_assert(offsetof(clap_preset_discovery_location, kind) == 16, "location layout");
static_assert(offsetof(clap_preset_discovery_location, location) == 24, "location layout");
static_assert(sizeof(clap_preset_discovery_soundpack) == 64, "soundpack layout");
static_assert(sizeof(clap_preset_discovery_provider_descriptor) == 40, "provider layout");
static_assert(sizeof(clap_preset_discovery_provider) == 48, "provider layout");
static_assert(sizeof(clap_preset_discovery_indexer) == 88, "indexer layout");
static_assert(offsetof(clap_preset_discovery_indexer, indexer_data) == 48, "indexer layout");
static_assert(offsetof(clap_preset_discovery_indexer, declare_location) == 64, "indexer layout");
static_assert(sizeof(clap_preset_discovery_factory) == 24, "discovery factory layout");
#endif
