// Engine lock on Windows: an unnamed system mutex. The kernel keeps the real
// ownership; owner_ and depth_ mirror it for heldByCurrentThread() and
// depth(), and let release() refuse a thread that does not hold the lock
// before it ever reaches ReleaseMutex.
#include "platform/EngineLock.h"

#include <windows.h>

namespace zelto {

EngineLock::EngineLock() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {}

EngineLock::~EngineLock() {
    if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

bool EngineLock::acquire(uint32_t timeoutMs) {
    if (handle_ == nullptr) return false;
    const DWORD wait = WaitForSingleObject(static_cast<HANDLE>(handle_),
                                           timeoutMs == 0 ? INFINITE : DWORD{timeoutMs});
    const uint32_t self = GetCurrentThreadId();
    if (wait == WAIT_OBJECT_0 && owner_.load(std::memory_order_relaxed) == self) {
        depth_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    // WAIT_ABANDONED: a thread ended while holding the lock and the kernel
    // handed it to us at depth one, whatever that thread had counted.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        owner_.store(self, std::memory_order_relaxed);
        depth_.store(1, std::memory_order_relaxed);
        return true;
    }
    return false;
}

void EngineLock::release() {
    if (handle_ == nullptr) return;
    if (owner_.load(std::memory_order_relaxed) != GetCurrentThreadId() ||
        depth_.load(std::memory_order_relaxed) == 0) {
        return;
    }
    // The bookkeeping is cleared before the mutex is given up, so the next
    // owner never sees ours.
    if (depth_.fetch_sub(1, std::memory_order_relaxed) == 1) {
        owner_.store(0, std::memory_order_relaxed);
    }
    ReleaseMutex(static_cast<HANDLE>(handle_));
}

bool EngineLock::heldByCurrentThread() const {
    return depth_.load(std::memory_order_relaxed) > 0 &&
           owner_.load(std::memory_order_relaxed) == GetCurrentThreadId();
}

int EngineLock::depth() const {
    return depth_.load(std::memory_order_relaxed);
}

}  // namespace zelto
