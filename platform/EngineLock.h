// The engine lock: a recursive mutex with a bounded wait that remembers its
// owner, so that a release by a thread that does not hold it does nothing.
// (std::recursive_timed_mutex makes a foreign unlock undefined behaviour.)
// On Windows it is an unnamed system mutex, recursive by nature; the owner
// and depth are kept beside it so that the same questions can be answered.
// Never allocates after construction; safe to use from the audio thread.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <atomic>
#else
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace zelto {

class EngineLock {
  public:
    EngineLock();
    ~EngineLock();
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

    /// Waits for the lock; timeoutMs 0 waits without limit. Returns true when
    /// the lock is held afterwards, false when the wait timed out (callers of
    /// the engine proceed unguarded then, and their release does nothing).
    bool acquire(uint32_t timeoutMs);

    /// Releases one level of ownership. A thread that does not own the lock
    /// changes nothing.
    void release();

    bool heldByCurrentThread() const;
    int depth() const;

  private:
#ifdef _WIN32
    // A missing handle (creation failed) makes every call do nothing.
    void* handle_ = nullptr;
    // Written only by the thread that holds the mutex; 0 is no thread.
    std::atomic<uint32_t> owner_{0};
    std::atomic<int> depth_{0};
#else
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::thread::id owner_{};
    int depth_ = 0;
#endif
};

/// Holds the lock for one scope. Used where a bounded wait that may time out
/// is acceptable: the destructor releases only what was really taken.
class EngineLockGuard {
  public:
    EngineLockGuard(EngineLock* lock, uint32_t timeoutMs)
        : lock_(lock), held_(lock != nullptr && lock->acquire(timeoutMs)) {}
    ~EngineLockGuard() {
        if (held_) lock_->release();
    }
    EngineLockGuard(const EngineLockGuard&) = delete;
    EngineLockGuard& operator=(const EngineLockGuard&) = delete;

  private:
    EngineLock* lock_;
    bool held_;
};

}  // namespace zelto
