#include "platform/win32/ModuleHandle.h"

#include <atomic>

namespace zelto::win32 {

namespace {
std::atomic<HINSTANCE> stored{nullptr};
}

void setModuleHandle(HINSTANCE module) {
    stored.store(module);
}

HINSTANCE moduleHandle() {
    HINSTANCE module = stored.load();
    return module != nullptr ? module : GetModuleHandleW(nullptr);
}

}  // namespace zelto::win32
