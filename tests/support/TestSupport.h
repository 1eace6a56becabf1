// Shared test helpers: a private settings folder per test, a recording host
// callback, and a loader for the built plug-in binary.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "vst/vst2.h"

namespace zelto::test {

#ifdef _WIN32
/// Points the settings store at a fresh registry key of its own for the
/// test's lifetime, and deletes that key's whole tree afterwards: tests never
/// touch the real key.
class ScopedConfigHome {
  public:
    ScopedConfigHome() {
        static std::atomic<unsigned> counter{0};
        vendor_ = "SOFTWARE\\KRW-soundlab-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(GetTickCount64()) + "-" + std::to_string(counter++);
        path_ = vendor_ + "\\KRWzelto";
        const char* old = getenv("ZELTO_REGISTRY_ROOT");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        // _putenv_s changes both the C runtime's copy and the process's own.
        _putenv_s("ZELTO_REGISTRY_ROOT", path_.c_str());
        // Tests also keep their files in a folder of their own.
        std::error_code ec;
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path(ec) /
            ("zelto-test-" + vendor_.substr(vendor_.find('-') + 1));
        std::filesystem::create_directories(folder, ec);
        folder_ = folder.generic_string();
    }
    ~ScopedConfigHome() {
        // An empty value removes the variable.
        _putenv_s("ZELTO_REGISTRY_ROOT", hadOld_ ? old_.c_str() : "");
        const std::wstring vendor(vendor_.begin(), vendor_.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, vendor.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, vendor.c_str());
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    ScopedConfigHome(const ScopedConfigHome&) = delete;
    ScopedConfigHome& operator=(const ScopedConfigHome&) = delete;
    /// The product's key below HKEY_CURRENT_USER.
    const std::string& registryKey() const { return path_; }
    std::string productDir() const { return "HKEY_CURRENT_USER\\" + path_; }
    /// A fresh folder for the test's files ('/' as separator, as on Linux).
    const std::string& path() const { return folder_; }

  private:
    std::string folder_;
    std::string vendor_;
    std::string path_;
    std::string old_;
    bool hadOld_ = false;
};
#else
/// Points the settings store at a fresh empty folder for the test's lifetime.
class ScopedConfigHome {
  public:
    ScopedConfigHome() {
        char templ[] = "/tmp/zelto-config-XXXXXX";
        const char* made = mkdtemp(templ);
        path_ = made != nullptr ? made : "";
        const char* old = getenv("ZELTO_CONFIG_HOME");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        setenv("ZELTO_CONFIG_HOME", path_.c_str(), 1);
    }
    ~ScopedConfigHome() {
        if (hadOld_) {
            setenv("ZELTO_CONFIG_HOME", old_.c_str(), 1);
        } else {
            unsetenv("ZELTO_CONFIG_HOME");
        }
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string productDir() const { return path_ + "/KRW-soundlab/KRWzelto"; }

  private:
    std::string path_;
    std::string old_;
    bool hadOld_ = false;
};
#endif

/// A host that records what the plug-in asks of it.
struct HostRecorder {
    static inline std::atomic<int> versionCalls{0};
    static inline std::atomic<int> automateCalls{0};
    static inline std::atomic<int> updateDisplayCalls{0};
    static inline std::atomic<int> beginEditCalls{0};
    static inline std::atomic<int> endEditCalls{0};
    static inline std::atomic<int> lastEditIndex{-1};
    static inline std::atomic<VstIntPtr> versionAnswer{2400};
    static inline std::atomic<bool> pin1Connected{true};

    static void reset() {
        versionCalls = 0;
        automateCalls = 0;
        updateDisplayCalls = 0;
        beginEditCalls = 0;
        endEditCalls = 0;
        lastEditIndex = -1;
        versionAnswer = 2400;
        pin1Connected = true;
    }

    static VstIntPtr callback(AEffect* /*effect*/, VstInt32 opcode, VstInt32 index,
                              VstIntPtr /*value*/, void* /*ptr*/, float /*opt*/) {
        switch (opcode) {
            case audioMasterVersion:
                ++versionCalls;
                return versionAnswer;
            case audioMasterAutomate:
                ++automateCalls;
                return 0;
            case audioMasterUpdateDisplay:
                ++updateDisplayCalls;
                return 1;
            case audioMasterBeginEdit:
                ++beginEditCalls;
                lastEditIndex = index;
                return 1;
            case audioMasterEndEdit:
                ++endEditCalls;
                lastEditIndex = index;
                return 1;
            case audioMasterPinConnected:
                return (index == 0 || pin1Connected) ? 0 : 1;
            default:
                return 0;
        }
    }
};

/// The built plug-in, loaded as a host loads it.
class LoadedPlugin {
  public:
    using Entry = AEffect* (*)(audioMasterCallback);

#ifdef _WIN32
    explicit LoadedPlugin(const char* symbol = "VSTPluginMain") {
        HMODULE module = LoadLibraryA(ZELTO_PLUGIN_PATH);
        if (module == nullptr) error_ = "LoadLibrary error " + std::to_string(GetLastError());
        handle_ = module;
        if (module != nullptr) {
            entry_ = reinterpret_cast<Entry>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, symbol)));
        }
    }
    ~LoadedPlugin() {
        if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    }
#else
    explicit LoadedPlugin(const char* symbol = "VSTPluginMain") {
        handle_ = dlopen(ZELTO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) error_ = dlerror();
        if (handle_ != nullptr) entry_ = reinterpret_cast<Entry>(dlsym(handle_, symbol));
    }
    ~LoadedPlugin() {
        if (handle_ != nullptr) dlclose(handle_);
    }
#endif
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    void* handle() const {
        return handle_;
    }
    Entry entry() const {
        return entry_;
    }

    /// Why the library did not load ("" when it did).
    const std::string& error() const {
        return error_;
    }

  private:
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
    std::string error_;
};

/// One open instance of the loaded plug-in, closed with effClose.
class Instance {
  public:
    explicit Instance(const LoadedPlugin& plugin) {
        if (plugin.entry() != nullptr) effect_ = plugin.entry()(HostRecorder::callback);
        if (effect_ != nullptr) dispatch(effOpen);
    }
    ~Instance() {
        if (effect_ != nullptr) dispatch(effClose);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }
    std::string text(VstInt32 opcode, VstInt32 index = 0) {
        char buffer[256] = {};
        dispatch(opcode, index, 0, buffer);
        return buffer;
    }

  private:
    AEffect* effect_ = nullptr;
};

}  // namespace zelto::test
