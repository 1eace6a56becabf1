// The library's entry point: one Plugin per call, or null when the host is
// older than VST 2 or the instance could not be built. Exported as
// VSTPluginMain and, for older hosts, under the symbol "main".
#include <new>

#include "formats/vst2/Plugin.h"

#ifdef _WIN32
#include "platform/win32/ModuleHandle.h"
#endif

namespace {

AEffect* createInstance(audioMasterCallback audioMaster) {
    if (audioMaster == nullptr) return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    // Asked twice, as the instance is created apart from the entry's own check.
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    // Nothing may unwind into the host, which is C: anything the construction
    // throws ends here as "no instance".
    try {
        Plugin* plugin = new (std::nothrow) Plugin(audioMaster);
        if (plugin == nullptr) return nullptr;
        if (!plugin->isReady()) {
            delete plugin;
            return nullptr;
        }
        return plugin->getAeffect();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

extern "C" {

#ifdef _WIN32

// Keeps the module handle: the artwork and the window class belong to it.
BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        zelto::win32::setModuleHandle(module);
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

// The .def file exports these two, the second under the name "main".
AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    return createInstance(audioMaster);
}

AEffect* legacyPluginMain(audioMasterCallback audioMaster) {
    return createInstance(audioMaster);
}

#else

__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    return createInstance(audioMaster);
}

// C++ reserves the name main for the program's own; bind the legacy export
// to that symbol through an assembler name instead.
__attribute__((visibility("default"))) AEffect* legacyPluginMain(
    audioMasterCallback audioMaster) __asm__("main");
AEffect* legacyPluginMain(audioMasterCallback audioMaster) {
    return createInstance(audioMaster);
}

#endif
}
