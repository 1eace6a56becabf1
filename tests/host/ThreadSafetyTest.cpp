// The effect object across the host's threads: a block that runs unguarded
// after the lock timed out, automation arriving while another thread applies a
// program, chunk answers asked for from two threads, program names written and
// read at once, and a host callback that throws while the instance is built.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "formats/vst2/Plugin.h"
#include "support/TestSupport.h"

#if defined(__SANITIZE_THREAD__)
#define ZELTO_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZELTO_UNDER_TSAN 1
#endif
#endif

using namespace zelto;
using zelto::test::HostRecorder;
using zelto::test::Instance;
using zelto::test::LoadedPlugin;
using zelto::test::ScopedConfigHome;

TEST(LockTimeout, UnguardedBlockWhileTheLockHolderShrinksTheGeometryStaysInItsBuffers) {
    // A thread holds the engine lock past the one-second bound; the process call
    // gives up waiting and runs a long block at 192 kHz without it, while the
    // holder switches to 44.1 kHz (shorter lines, positions reset) and lets go.
    // The long block then stores positions of the longer lines; the blocks after
    // it must stay inside every buffer (AddressSanitizer watches) and in range.
#if defined(ZELTO_UNDER_TSAN)
    GTEST_SKIP() << "the unguarded block races the holder by design";
#endif
    ScopedConfigHome home;
    HostRecorder::reset();
    Plugin plugin(HostRecorder::callback);
    ASSERT_TRUE(plugin.isReady());
    plugin.setSampleRate(192000.0f);
    const size_t big = size_t{1} << 21;
    std::vector<float> inL(big), inR(big), outL(big), outR(big);
    for (size_t i = 0; i < big; ++i) {
        inL[i] = static_cast<float>(1.5 * std::sin(0.01 * static_cast<double>(i)));
        inR[i] = -inL[i];
    }
    float* inputs[] = {inL.data(), inR.data()};
    float* outputs[] = {outL.data(), outR.data()};
    plugin.processReplacing(inputs, outputs, 333);
    std::atomic<bool> held{false};
    std::thread holder([&] {
        plugin.engineLock().acquire(0);
        held = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1015));
        for (int k = 0; k < 6; ++k) plugin.setSampleRate(k & 1 ? 192000.0f : 44100.0f);
        plugin.setSampleRate(44100.0f);
        plugin.engineLock().release();
    });
    while (!held) std::this_thread::yield();
    plugin.processReplacing(inputs, outputs, static_cast<VstInt32>(big));
    holder.join();
    EXPECT_EQ(plugin.engine().windowLength(), 128);
    for (int block = 0; block < 4; ++block) {
        plugin.processReplacing(inputs, outputs, 8192);
        for (size_t i = 0; i < 8192; ++i) {
            ASSERT_TRUE(std::fabs(outL[i]) <= 1.0f && std::fabs(outR[i]) <= 1.0f) << i;
        }
    }
}

TEST(ConcurrentPrograms, AutomationDuringAProgramChangeOnAnotherThreadIsStored) {
    // The user-interface thread applies program 3 again and again; the audio
    // thread automates "Release" meanwhile. Values applied from the program are
    // not written back, but the automation is: the last automated value must
    // end up in program 3.
    ScopedConfigHome home;
    HostRecorder::reset();
    Plugin plugin(HostRecorder::callback);
    ASSERT_TRUE(plugin.isReady());
    plugin.selectPreset(3);
    std::atomic<bool> stop{false};
    std::thread ui([&] {
        while (!stop) plugin.selectPreset(3);
    });
    float last = 0.0f;
    for (int n = 1; n <= 4000; ++n) {
        last = static_cast<float>(n) / 4001.0f;
        plugin.setParameter(kParamRelease, last);
    }
    stop = true;
    ui.join();
    EXPECT_EQ(plugin.presetRecord(3).values[kParamRelease], last);
}

TEST(ConcurrentPrograms, NamesAndChunksFromSeveralThreadsStayWhole) {
    // One thread renames the program between two names of different lengths,
    // others read the name and take chunks. A name read is always one of the
    // two, whole; every chunk answer restores into a fresh instance.
    ScopedConfigHome home;
    HostRecorder::reset();
    Plugin plugin(HostRecorder::callback);
    ASSERT_TRUE(plugin.isReady());
    const char* names[] = {"Short", "A much longer name here"};
    char first[32] = "Short";
    plugin.setProgramName(first);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, badChunks{0};
    std::thread renamer([&] {
        for (int n = 0; n < 20000; ++n) {
            char name[32];
            std::strcpy(name, names[n & 1]);
            plugin.setProgramName(name);
        }
        stop = true;
    });
    std::thread reader([&] {
        while (!stop) {
            char name[32] = {};
            plugin.getProgramName(name);
            if (std::strcmp(name, names[0]) != 0 && std::strcmp(name, names[1]) != 0) ++torn;
        }
    });
    auto chunker = [&] {
        Plugin target(HostRecorder::callback);
        while (!stop) {
            void* data = nullptr;
            const VstInt32 size = plugin.getChunk(&data, false);
            std::vector<uint8_t> copy(static_cast<const uint8_t*>(data),
                                      static_cast<const uint8_t*>(data) + size);
            if (size <= 8 || target.setChunk(copy.data(), size, false) != 0) ++badChunks;
        }
    };
    std::thread chunksA(chunker), chunksB(chunker);
    renamer.join();
    reader.join();
    chunksA.join();
    chunksB.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(badChunks.load(), 0);
}

namespace {

std::atomic<int> throwingCalls{0};

VstIntPtr throwingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
    // Answers the version question, then throws from the first call made while
    // the instance is being built (program 0 being applied).
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterUpdateDisplay || opcode == audioMasterBeginEdit) {
        ++throwingCalls;
        throw std::runtime_error("host failure");
    }
    return HostRecorder::callback(effect, opcode, index, value, ptr, opt);
}

}  // namespace

TEST(EntryPoint, AnExceptionDuringConstructionEndsAsNoInstance) {
    ScopedConfigHome home;
    LoadedPlugin plugin;
    ASSERT_NE(plugin.entry(), nullptr);
    AEffect* effect = nullptr;
    EXPECT_NO_THROW(effect = plugin.entry()(throwingHost));
    EXPECT_EQ(effect, nullptr);
    EXPECT_GT(throwingCalls.load(), 0);
    // The library is still usable afterwards.
    HostRecorder::reset();
    Instance inst(plugin);
    EXPECT_NE(inst.effect(), nullptr);
}
