// The host side of the VST 2.4 binary interface; see PluginHost.h. Everything
// the plug-in hands back (strings, counts, pointers) is treated as untrusted.
#include "tools/hosting/PluginHost.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "platform/FileIO.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace {

using EntryProc = AEffect* (*)(audioMasterCallback);

// The callback is called before the entry point has returned the record, so
// during creation the host is found through this pointer instead of resvd1.
thread_local PluginHost* t_creating = nullptr;

constexpr const char* kHostVendor = "KRW-soundlab";
constexpr const char* kHostProduct = "KRW Zelto host";
constexpr VstIntPtr kHostVersion = 1000;

void copyText(void* ptr, const char* text, size_t capacity) {
    if (ptr == nullptr) return;
    std::strncpy(static_cast<char*>(ptr), text, capacity - 1);
    static_cast<char*>(ptr)[capacity - 1] = '\0';
}

bool hostCanDo(const char* what) {
    if (what == nullptr) return false;
    // The host brackets processing with effStartProcess/effStopProcess and
    // re-reads the record's initial delay after every rate change.
    static const char* const kYes[] = {"startStopProcess", "acceptIOChanges"};
    for (const char* yes : kYes) {
        if (std::strncmp(what, yes, 64) == 0) return true;
    }
    return false;
}

}  // namespace

const char* categoryName(VstIntPtr category) {
    static const char* const kNames[] = {"Unknown",     "Effect",         "Synth",  "Analysis",
                                         "Mastering",   "Spacializer",    "RoomFx", "SurroundFx",
                                         "Restoration", "OfflineProcess", "Shell",  "Generator"};
    if (category < 0 || category >= static_cast<VstIntPtr>(std::size(kNames))) return "?";
    return kNames[category];
}

const char* hostOpcodeName(VstInt32 opcode) {
    switch (opcode) {
        case audioMasterAutomate:
            return "audioMasterAutomate";
        case audioMasterVersion:
            return "audioMasterVersion";
        case audioMasterCurrentId:
            return "audioMasterCurrentId";
        case audioMasterIdle:
            return "audioMasterIdle";
        case audioMasterPinConnected:
            return "audioMasterPinConnected";
        case audioMasterWantMidi:
            return "audioMasterWantMidi";
        case audioMasterGetTime:
            return "audioMasterGetTime";
        case audioMasterProcessEvents:
            return "audioMasterProcessEvents";
        case audioMasterIOChanged:
            return "audioMasterIOChanged";
        case audioMasterSizeWindow:
            return "audioMasterSizeWindow";
        case audioMasterGetSampleRate:
            return "audioMasterGetSampleRate";
        case audioMasterGetBlockSize:
            return "audioMasterGetBlockSize";
        case audioMasterGetInputLatency:
            return "audioMasterGetInputLatency";
        case audioMasterGetOutputLatency:
            return "audioMasterGetOutputLatency";
        case audioMasterGetCurrentProcessLevel:
            return "audioMasterGetCurrentProcessLevel";
        case audioMasterGetAutomationState:
            return "audioMasterGetAutomationState";
        case audioMasterGetVendorString:
            return "audioMasterGetVendorString";
        case audioMasterGetProductString:
            return "audioMasterGetProductString";
        case audioMasterGetVendorVersion:
            return "audioMasterGetVendorVersion";
        case audioMasterVendorSpecific:
            return "audioMasterVendorSpecific";
        case audioMasterCanDo:
            return "audioMasterCanDo";
        case audioMasterGetLanguage:
            return "audioMasterGetLanguage";
        case audioMasterGetDirectory:
            return "audioMasterGetDirectory";
        case audioMasterUpdateDisplay:
            return "audioMasterUpdateDisplay";
        case audioMasterBeginEdit:
            return "audioMasterBeginEdit";
        case audioMasterEndEdit:
            return "audioMasterEndEdit";
        default:
            return nullptr;
    }
}

PluginHost::PluginHost(const std::string& path) : path_(path) {
    // dlopen would block on a FIFO; look at the file without blocking first.
    ReadError why = ReadError::None;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) {
        const int openErrno = errno;
        struct stat st {};
        if (why == ReadError::NotAFile && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            throw ToolError(kExitPluginMissing, "plug-in '" + path + "' is a directory");
        }
        throw ToolError(kExitPluginMissing,
                        "cannot open plug-in '" + path + "': " +
                            (why == ReadError::Missing    ? std::string(std::strerror(ENOENT))
                             : why == ReadError::NotAFile ? std::string("not a regular file")
                                                          : std::string(std::strerror(openErrno))));
    }
    ::close(fd);
    // Without a slash dlopen would search the system's library path instead
    // of the file the user named.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    library_ = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library_ == nullptr) {
        const char* why = dlerror();
        throw ToolError(kExitPluginMissing, "cannot load plug-in '" + path +
                                                "': " + (why ? why : "unknown dlopen error"));
    }

    void* symbol = dlsym(library_, "VSTPluginMain");
    if (symbol == nullptr) {
        symbol = dlsym(library_, "main");
        entryIsMain_ = symbol != nullptr;
    }
    if (symbol == nullptr) {
        dlclose(library_);
        throw ToolError(kExitNoEntry, "'" + path +
                                          "' is not a VST 2 plug-in: it exports neither "
                                          "VSTPluginMain nor main");
    }

    const auto entry = reinterpret_cast<EntryProc>(symbol);
    t_creating = this;
    effect_ = entry(&PluginHost::hostCallback);
    t_creating = nullptr;
    if (effect_ == nullptr) {
        dlclose(library_);
        throw ToolError(kExitNoEffect, "plug-in '" + path +
                                           "' refused to create an effect (its entry point "
                                           "returned null)");
    }
    if (effect_->magic != kEffectMagic) {
        // The record is not what it claims to be: calling into it or unloading
        // code that may have started threads is riskier than leaking it.
        const std::string got = hex32(static_cast<uint32_t>(effect_->magic));
        effect_ = nullptr;
        throw ToolError(kExitBadMagic, "plug-in '" + path + "' returned a record with magic " +
                                           got + " instead of " + hex32(kEffectMagic) +
                                           " ('VstP')");
    }
    if (effect_->dispatcher == nullptr) {
        effect_ = nullptr;
        throw ToolError(kExitBadMagic, "plug-in '" + path + "' has no dispatcher");
    }
    effect_->resvd1 = reinterpret_cast<VstIntPtr>(this);
    dispatch(effOpen);
    opened_ = true;
}

namespace {

[[maybe_unused]] void releaseFontCaches() {
    using Reset = void (*)();
    const std::pair<const char*, const char*> caches[] = {
        {"libcairo.so.2", "cairo_debug_reset_static_data"}, {"libfontconfig.so.1", "FcFini"}};
    for (const auto& [library, function] : caches) {
        // Only libraries the plug-in brought in; nothing new is loaded.
        void* handle = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
        if (handle == nullptr) continue;
        if (auto reset = reinterpret_cast<Reset>(dlsym(handle, function))) reset();
        dlclose(handle);
    }
}

}  // namespace

PluginHost::~PluginHost() {
    if (effect_ == nullptr) return;
    if (resumed_) suspend();
    if (opened_) dispatch(effClose);
    effect_ = nullptr;
#if defined(__SANITIZE_ADDRESS__)
    // Leak reports can name a plug-in only while its code is still mapped;
    // under AddressSanitizer the library stays loaded until the process ends.
    // Text drawing leaves process-wide font caches in cairo and fontconfig;
    // emptied now, the leak checker reports only what the plug-in left.
    releaseFontCaches();
#else
    if (library_ != nullptr) dlclose(library_);
#endif
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginHost::getString(VstInt32 opcode, VstInt32 index, VstIntPtr* answer) {
    // Plug-ins routinely write past the documented string limits; a large
    // zeroed buffer and a forced terminator keep that harmless.
    char buffer[kStringBufferSize] = {};
    const VstIntPtr r = dispatch(opcode, index, 0, buffer, 0.0f);
    buffer[kStringBufferSize - 1] = '\0';
    if (answer != nullptr) *answer = r;
    return cleanPluginText(std::string_view(buffer, std::strlen(buffer)));
}

int PluginHost::numParams() const {
    return effect_->numParams > 0 ? effect_->numParams : 0;
}

float PluginHost::getParameter(int index) {
    if (effect_->getParameter == nullptr || index < 0 || index >= numParams()) return 0.0f;
    return effect_->getParameter(effect_, index);
}

void PluginHost::setParameter(int index, float value) {
    if (effect_->setParameter == nullptr || index < 0 || index >= numParams()) return;
    effect_->setParameter(effect_, index, value);
}

int PluginHost::findParameter(std::string_view nameOrIndex) {
    const std::string wanted = toLower(trim(nameOrIndex));
    std::vector<int> matches;
    for (int i = 0; i < numParams(); ++i) {
        if (toLower(paramName(i)) == wanted) matches.push_back(i);
    }
    if (matches.size() == 1) return matches.front();
    if (matches.size() > 1) {
        std::string list;
        for (int m : matches) list += (list.empty() ? "" : ", ") + std::to_string(m);
        throw ToolError(kExitUsage, "parameter name '" + std::string(nameOrIndex) +
                                        "' is ambiguous (indices " + list +
                                        "); give the index instead");
    }
    if (const auto index = parseInt(wanted)) {
        if (*index >= 0 && *index < numParams()) return static_cast<int>(*index);
        throw ToolError(kExitUsage, "parameter index " + std::to_string(*index) +
                                        " is out of range (the plug-in has " +
                                        std::to_string(numParams()) + " parameters)");
    }
    throw ToolError(kExitUsage, "the plug-in has no parameter named '" + std::string(nameOrIndex) +
                                    "' (see 'zelto info' for the list)");
}

void PluginHost::setSampleRate(double rate) {
    sampleRate_ = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void PluginHost::setBlockSize(int frames) {
    blockSize_ = frames;
    dispatch(effSetBlockSize, 0, frames);
}

void PluginHost::setPrecision64(bool on) {
    dispatch(effSetProcessPrecision, 0, on ? kVstProcessPrecision64 : kVstProcessPrecision32);
}

void PluginHost::resume() {
    if (resumed_) return;
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    resumed_ = true;
}

void PluginHost::suspend() {
    if (!resumed_) return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    resumed_ = false;
}

void PluginHost::setConnectedPins(int inputs, int outputs) {
    connectedInputs_ = inputs;
    connectedOutputs_ = outputs;
}

bool PluginHost::canDoubleReplacing() const {
    return (effect_->flags & effFlagsCanDoubleReplacing) != 0 &&
           effect_->processDoubleReplacing != nullptr;
}

void PluginHost::process(float** inputs, float** outputs, int frames) {
    inProcess_.store(true, std::memory_order_relaxed);
    effect_->processReplacing(effect_, inputs, outputs, frames);
    inProcess_.store(false, std::memory_order_relaxed);
}

void PluginHost::process(double** inputs, double** outputs, int frames) {
    inProcess_.store(true, std::memory_order_relaxed);
    effect_->processDoubleReplacing(effect_, inputs, outputs, frames);
    inProcess_.store(false, std::memory_order_relaxed);
}

int PluginHost::processSilence(int frames) {
    constexpr int kMaxPins = 64;
    const int ins = effect_->numInputs, outs = effect_->numOutputs;
    if (!canReplacing() || frames <= 0 || ins < 0 || outs < 0 || ins > kMaxPins ||
        outs > kMaxPins) {
        return latency();
    }
    std::vector<std::vector<float>> buffers(static_cast<size_t>(ins + outs),
                                            std::vector<float>(static_cast<size_t>(frames)));
    std::vector<float*> in(static_cast<size_t>(ins) + 1), out(static_cast<size_t>(outs) + 1);
    for (int i = 0; i < ins; ++i)
        in[static_cast<size_t>(i)] = buffers[static_cast<size_t>(i)].data();
    for (int o = 0; o < outs; ++o) {
        out[static_cast<size_t>(o)] = buffers[static_cast<size_t>(ins + o)].data();
    }
    process(in.data(), out.data(), frames);
    return latency();
}

std::vector<std::pair<VstInt32, int64_t>> PluginHost::hostCalls() const {
    std::vector<std::pair<VstInt32, int64_t>> calls;
    for (int op = 0; op < kCountedOpcodes; ++op) {
        const int64_t n = callCounts_[op].load(std::memory_order_relaxed);
        if (n > 0) calls.emplace_back(op, n);
    }
    return calls;
}

int64_t PluginHost::hostCallCount(VstInt32 opcode) const {
    if (opcode < 0 || opcode >= kCountedOpcodes) return 0;
    return callCounts_[opcode].load(std::memory_order_relaxed);
}

VstIntPtr VSTCALLBACK PluginHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt) {
    PluginHost* host = nullptr;
    if (effect != nullptr && effect->resvd1 != 0) {
        host = reinterpret_cast<PluginHost*>(effect->resvd1);
    } else {
        host = t_creating;
    }
    if (host == nullptr) {
        // A call we cannot attribute (e.g. from a thread the plug-in started
        // while being created): answer what is true of every instance.
        return opcode == audioMasterVersion ? kVstVersion : 0;
    }
    return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) {
    if (opcode >= 0 && opcode < kCountedOpcodes) {
        callCounts_[opcode].fetch_add(1, std::memory_order_relaxed);
    }
    if (editListener_ && (opcode == audioMasterAutomate || opcode == audioMasterBeginEdit ||
                          opcode == audioMasterEndEdit)) {
        editListener_(opcode, index, opt);
    }
    switch (opcode) {
        case audioMasterVersion:
            return kVstVersion;
        case audioMasterCurrentId:
            return effect_ != nullptr ? effect_->uniqueID : 0;
        case audioMasterPinConnected: {
            // Answers 0 when the pin IS connected; value 0 asks about inputs.
            const int connected = value == 0 ? connectedInputs_.load() : connectedOutputs_.load();
            return (index >= 0 && index < connected) ? 0 : 1;
        }
        case audioMasterGetTime:
            return 0;  // no transport: a null VstTimeInfo
        case audioMasterIOChanged:
            return 1;  // the record is re-read before the next block anyway
        case audioMasterGetSampleRate:
            return static_cast<VstIntPtr>(sampleRate_.load());
        case audioMasterGetBlockSize:
            return blockSize_.load();
        case audioMasterGetCurrentProcessLevel:
            return inProcess_.load(std::memory_order_relaxed) ? 4 /* offline */ : 1 /* user */;
        case audioMasterGetAutomationState:
            return 1;  // automation off
        case audioMasterGetVendorString:
            copyText(ptr, kHostVendor, kVstMaxVendorStrLen);
            return 1;
        case audioMasterGetProductString:
            copyText(ptr, kHostProduct, kVstMaxProductStrLen);
            return 1;
        case audioMasterGetVendorVersion:
            return kHostVersion;
        case audioMasterCanDo:
            return hostCanDo(static_cast<const char*>(ptr)) ? 1 : 0;
        case audioMasterGetLanguage:
            return 1;  // English
        case audioMasterUpdateDisplay:
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
            return 1;
        case audioMasterAutomate:
        default:
            return 0;
    }
}

}  // namespace zelto
