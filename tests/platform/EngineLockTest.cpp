// The engine lock: recursion on one thread, bounded waits, and releases by
// threads that do not own it.
#include "platform/EngineLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using zelto::EngineLock;
using zelto::EngineLockGuard;
using Clock = std::chrono::steady_clock;

namespace {

bool tryFromOtherThread(EngineLock& lock, uint32_t timeoutMs) {
    bool got = false;
    std::thread other([&] {
        got = lock.acquire(timeoutMs);
        if (got) lock.release();
    });
    other.join();
    return got;
}

}  // namespace

TEST(EngineLock, IsRecursiveAndMustBeReleasedAsOftenAsTaken) {
    EngineLock lock;
    ASSERT_TRUE(lock.acquire(0));
    ASSERT_TRUE(lock.acquire(1000));
    EXPECT_EQ(lock.depth(), 2);
    lock.release();
    EXPECT_TRUE(lock.heldByCurrentThread());
    EXPECT_FALSE(tryFromOtherThread(lock, 20));
    lock.release();
    EXPECT_FALSE(lock.heldByCurrentThread());
    EXPECT_TRUE(tryFromOtherThread(lock, 20));
}

TEST(EngineLock, TimedWaitGivesUpAfterItsBound) {
    EngineLock lock;
    ASSERT_TRUE(lock.acquire(0));
    const auto start = Clock::now();
    EXPECT_FALSE(tryFromOtherThread(lock, 150));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
    lock.release();
}

TEST(EngineLock, ReleaseByAForeignThreadIsHarmless) {
    EngineLock lock;
    ASSERT_TRUE(lock.acquire(0));
    std::thread intruder([&] { lock.release(); });
    intruder.join();
    EXPECT_TRUE(lock.heldByCurrentThread());
    EXPECT_EQ(lock.depth(), 1);
    EXPECT_FALSE(tryFromOtherThread(lock, 20));
    lock.release();
    // Releasing a free lock is harmless too.
    lock.release();
    EXPECT_EQ(lock.depth(), 0);
    EXPECT_TRUE(tryFromOtherThread(lock, 20));
}

TEST(EngineLock, GuardReleasesOnlyWhatItTook) {
    EngineLock lock;
    ASSERT_TRUE(lock.acquire(0));
    std::thread other([&] {
        // Times out, proceeds unguarded, and must not release the owner's hold.
        EngineLockGuard guard(&lock, 30);
    });
    other.join();
    EXPECT_EQ(lock.depth(), 1);
    lock.release();
    { EngineLockGuard missing(nullptr, 10); }
}

TEST(EngineLock, ConcurrentWaitersAllGetTheirTurn) {
    EngineLock lock;
    std::atomic<int> inside{0};
    std::atomic<int> maxInside{0};
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                ASSERT_TRUE(lock.acquire(0));
                ASSERT_TRUE(lock.acquire(0));
                int now = ++inside;
                int seen = maxInside.load();
                while (now > seen && !maxInside.compare_exchange_weak(seen, now)) {
                }
                ++counter;
                --inside;
                lock.release();
                lock.release();
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 8000);
    EXPECT_EQ(maxInside.load(), 1);
}
