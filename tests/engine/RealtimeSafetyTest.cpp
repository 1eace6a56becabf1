// Real-time safety of the engine: no heap allocation anywhere on the audio path
// (nor in the setters), and no data race between the audio thread, setters on
// other threads, meter polls and reconfiguration under the engine lock.
//
// This file replaces the global allocation functions of the test binary to count
// allocations while a flag is up; with sanitizers only operator new is replaced,
// since they own malloc.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "engine/EngineState.h"
#include "engine/EngineTestSupport.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZELTO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZELTO_SANITIZED 1
#endif
#endif

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void noteAllocation() {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1);
}

void* allocate(std::size_t n) {
    noteAllocation();
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* allocateAligned(std::size_t n, std::align_val_t a) {
    noteAllocation();
    const std::size_t al = static_cast<std::size_t>(a);
#ifdef _WIN32
    // The Windows C library has no aligned_alloc; its aligned blocks need
    // their own free (releaseAligned).
    void* p = _aligned_malloc(n == 0 ? 1 : n, al);
#else
    void* p = std::aligned_alloc(al, (n + al - 1) / al * al);
#endif
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

// Out of line, so the compiler does not pair an inlined free() with operator new.
__attribute__((noinline)) void release(void* p) noexcept {
    std::free(p);
}

__attribute__((noinline)) void releaseAligned(void* p) noexcept {
#ifdef _WIN32
    _aligned_free(p);
#else
    std::free(p);
#endif
}
}  // namespace

void* operator new(std::size_t n) {
    return allocate(n);
}
void* operator new[](std::size_t n) {
    return allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t n, std::align_val_t a) {
    return allocateAligned(n, a);
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return allocateAligned(n, a);
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(n, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned(n, a);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    releaseAligned(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    releaseAligned(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    releaseAligned(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    releaseAligned(p);
}

#if !defined(ZELTO_SANITIZED) && defined(__GLIBC__)
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
void* malloc(std::size_t n) {
    noteAllocation();
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t s) {
    noteAllocation();
    return __libc_calloc(n, s);
}
void* realloc(void* p, std::size_t n) {
    noteAllocation();
    return __libc_realloc(p, n);
}
void free(void* p) {
    __libc_free(p);
}
}
#endif

namespace zelto {
namespace {

using test::RefSettings;

TEST(RealtimeSafety, ProcessingAndSettersAllocateNothing) {
    auto e = test::makeEngine(44100, 0, RefSettings{});
    ASSERT_TRUE(e);
    std::vector<double> dl, dr;
    test::makeProgramme(dl, dr, 2048, 8);
    std::vector<float> fl(dl.begin(), dl.end()), fr(dr.begin(), dr.end());
    std::vector<double> odl(2048), odr(2048);
    std::vector<float> ofl(2048), ofr(2048);
    // A probe that the counter itself works.
    // (A direct call: an optimiser may drop a new-expression that is deleted at once.)
    gCounting = true;
    ::operator delete(::operator new(16));
    gCounting = false;
    ASSERT_GE(gAllocations.exchange(0), 1);

    gCounting = true;
    for (int rate : {44100, 96000, 192000}) {
        e->suspendInit();
        e->setSampleRate(rate);
        for (int shape = 0; shape < 3; ++shape) {
            if (e->setTransShape(shape)) e->suspendInit();
            for (int variant = 0; variant < 4; ++variant) {
                e->setDriveTarget(8.0);
                e->setTransientMix(0.1 * variant);
                e->setReleaseMs(20.0 + variant);
                e->setLinkAmount(variant * 0.3);
                e->setDetectorOversample(variant & 1);
                e->setDetectorOrder(variant & 2);
                e->setMeterOvs(variant & 1);
                e->setQuantizeOn(variant >= 2);
                e->setNoiseShapeType(variant);
                e->setAutoblackOn(variant & 1);
                e->setBitsIndex(variant % 3);
                e->setLeveller(0.5f, 0.5);
                e->setAttShowMask(variant);
                e->setPowerOn(variant == 3 ? 0.0 : 1.0);
                e->setAutoOut(variant & 1);
                e->setPostMeter(variant & 1);
                e->setCalibrateMode(0);
                test::run<double>(*e, dl, dr, odl, odr, 0, 2048);
                test::run<float>(*e, fl, fr, ofl, ofr, 0, 2048);
                e->setCalibrateMode(1 + variant % 3);
                e->setScaleIndex(variant % 3);
                test::run<double>(*e, dl, dr, odl, odr, 0, 512);
                test::run<float>(*e, fl, fr, ofl, ofr, 0, 512);
                (void)e->getMeterValues();
            }
        }
    }
    gCounting = false;
    EXPECT_EQ(gAllocations.load(), 0);
}

bool allFiniteWithinFullScale(const std::vector<double>& x) {
    for (double v : x) {
        if (!std::isfinite(v) || std::fabs(v) > 1.0) return false;
    }
    return true;
}

// Settings written from another thread without a lock, meters polled from a third,
// while the audio thread processes.
TEST(EngineConcurrency, SettersAndMeterPollsWhileProcessing) {
    auto e = test::makeEngine(48000, 1, RefSettings{});
    ASSERT_TRUE(e);
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        std::mt19937 gen(1);
        std::uniform_real_distribution<double> uni(0.0, 1.0);
        while (!stop.load()) {
            e->setDriveTarget(std::pow(2.0, 8.0 * (uni(gen) - 0.5)));
            e->setOutputTarget(std::pow(2.0, 2.0 * (uni(gen) - 1.0)));
            e->setTransientMix(0.5 * uni(gen));
            e->setReleaseMs(std::pow(10.0, 3.0 * uni(gen)));
            e->setLinkAmount(uni(gen));
            e->setDetectorOversample(gen() & 1);
            e->setDetectorOrder(gen() & 1);
            e->setPowerOn(uni(gen) < 0.9 ? 1.0 : 0.0);
            e->setQuantizeOn(gen() & 1);
            e->setNoiseShapeType(static_cast<int32_t>(gen() % 4));
            e->setBitsIndex(static_cast<int32_t>(gen() % 3));
            e->setAutoblackOn(gen() & 1);
            e->setMeterOvs(gen() & 1);
            e->setAttShowMask(static_cast<int32_t>(gen() % 8));
            e->setLeveller(static_cast<float>(uni(gen)), uni(gen));
            e->setCalibrateMode(uni(gen) < 0.1 ? 2 : 0);
            e->setScaleIndex(static_cast<int32_t>(gen() % 3));
            e->setAutoOut(gen() & 1);
            e->setPostMeter(gen() & 1);
            std::this_thread::yield();
        }
    });
    std::thread poller([&] {
        while (!stop.load()) {
            const MeterSnapshot m = e->getMeterValues();
            for (float v : m.values) EXPECT_TRUE(std::isfinite(v));
            std::this_thread::yield();
        }
    });
    std::vector<double> inL, inR;
    test::makeProgramme(inL, inR, 256, 2);
    std::vector<double> outL(256), outR(256);
    bool ok = true;
    for (int block = 0; block < 1500; ++block) {
        test::run<double>(*e, inL, inR, outL, outR, 0, 256);
        if (!allFiniteWithinFullScale(outL) || !allFiniteWithinFullScale(outR)) {
            ok = false;
            for (int i = 0; i < 256; ++i) {
                if (!(std::fabs(outL[i]) <= 1.0) || !(std::fabs(outR[i]) <= 1.0)) {
                    ADD_FAILURE() << block << " " << i << " " << outL[i] << " " << outR[i];
                    break;
                }
            }
        }
    }
    stop = true;
    setter.join();
    poller.join();
    EXPECT_TRUE(ok);
}

// Sample-rate and shape changes take the engine lock, as the audio thread does.
TEST(EngineConcurrency, ReconfigurationUnderLockWhileProcessing) {
    auto e = test::makeEngine(44100, 0, RefSettings{});
    ASSERT_TRUE(e);
    std::mutex engineLock;
    std::atomic<bool> stop{false};
    std::thread reconfigure([&] {
        const int rates[] = {44100, 96000, 192000, 48000, 32000};
        int i = 0;
        while (!stop.load()) {
            {
                std::lock_guard<std::mutex> lock(engineLock);
                if (e->setTransShape(i % 3)) e->suspendInit();
            }
            {
                std::lock_guard<std::mutex> lock(engineLock);
                e->suspendInit();
                e->setSampleRate(rates[i % 5]);
            }
            ++i;
            std::this_thread::yield();
        }
    });
    std::vector<float> inL(512), inR(512), outL(512), outR(512);
    for (size_t i = 0; i < 512; ++i) inL[i] = inR[i] = 1.5f * std::sin(i * 0.3f);
    bool ok = true;
    for (int block = 0; block < 600; ++block) {
        std::lock_guard<std::mutex> lock(engineLock);
        test::run<float>(*e, inL, inR, outL, outR, 0, 512);
        for (float v : outL) ok = ok && std::isfinite(v) && std::fabs(v) <= 1.0f;
    }
    stop = true;
    reconfigure.join();
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace zelto
