// Engine lock implementation: std::mutex guards the owner and depth; waiters
// sleep on a condition variable until the depth returns to zero.
#include "platform/EngineLock.h"

#include <chrono>

namespace zelto {

EngineLock::EngineLock() = default;
EngineLock::~EngineLock() = default;

bool EngineLock::acquire(uint32_t timeoutMs) {
    const auto self = std::this_thread::get_id();
    std::unique_lock<std::mutex> guard(mutex_);
    if (depth_ > 0 && owner_ == self) {
        ++depth_;
        return true;
    }
    auto isFree = [this] { return depth_ == 0; };
    if (timeoutMs == 0) {
        released_.wait(guard, isFree);
    } else if (!released_.wait_for(guard, std::chrono::milliseconds(timeoutMs), isFree)) {
        return false;
    }
    owner_ = self;
    depth_ = 1;
    return true;
}

void EngineLock::release() {
    std::unique_lock<std::mutex> guard(mutex_);
    if (depth_ == 0 || owner_ != std::this_thread::get_id()) return;
    if (--depth_ == 0) {
        owner_ = std::thread::id{};
        guard.unlock();
        released_.notify_one();
    }
}

bool EngineLock::heldByCurrentThread() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return depth_ > 0 && owner_ == std::this_thread::get_id();
}

int EngineLock::depth() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return depth_;
}

}  // namespace zelto
