// Host automation may arrive on the audio thread: the editor's side of a
// parameter change allocates nothing, and changes from another thread while
// the window idles, opens and closes are race-free (this file runs under
// ThreadSanitizer too) and end with the last value shown.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>

#include "editor/CMyKnob.h"
#include "editor/Editor.h"
#include "formats/vst2/Plugin.h"
#include "support/TestSupport.h"

using namespace zelto;
using namespace zelto::test;

namespace {

// Allocations made by the current thread while counting is on.
thread_local bool countAllocations = false;
std::atomic<int> allocations{0};

void* allocate(std::size_t size) {
    if (countAllocations) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

// Out of line, so the compiler does not pair an inlined free() with operator new.
__attribute__((noinline)) void release(void* p) noexcept {
    std::free(p);
}

}  // namespace

// The aligned forms stay the library's, with their own deletes.
void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
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

TEST(EditorThreadRule, ParameterChangesOnAnOpenWindowAllocateNothing) {
    ScopedConfigHome home;
    HostRecorder::reset();
    Plugin plugin(HostRecorder::callback);
    auto* editor = static_cast<Editor*>(plugin.getEditor());
    ASSERT_TRUE(editor->open(nullptr));
    editor->idle();

    allocations = 0;
    countAllocations = true;
    for (int round = 0; round < 4; ++round) {
        for (VstInt32 i = 0; i < kNumParams; ++i) {
            const float v = 0.1f + 0.25f * static_cast<float>(round);
            editor->setParameter(i, v);
            plugin.setParameter(i, v);
        }
    }
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);

    // The counter does count: showing the values formats text on idle.
    countAllocations = true;
    editor->getFrame()->invalidRect(editor->getFrame()->getViewSize());
    editor->getFrame()->updateOffscreen();
    countAllocations = false;
    EXPECT_GT(allocations.load(), 0);
    editor->close();
}

TEST(EditorConcurrency, AutomationFromAnotherThreadWhileTheWindowIdlesOpensAndCloses) {
    ScopedConfigHome home;
    HostRecorder::reset();
    Plugin plugin(HostRecorder::callback);
    auto* editor = static_cast<Editor*>(plugin.getEditor());
    uint32_t tick = 1000;
    editor->setTickSource([&tick] { return tick; });
    ASSERT_TRUE(editor->open(nullptr));

    std::atomic<bool> stop{false};
    std::thread automation([&] {
        float v = 0.0f;
        while (!stop.load()) {
            for (VstInt32 i : {kParamOutput, kParamDrive, kParamRelease, kParamQuantize, kParamBits,
                               kParamAttShow, kParamScale, kParamMeterType, kParamCalibrate}) {
                plugin.setParameter(i, v);
            }
            v = v >= 1.0f ? 0.0f : v + 0.01f;
        }
        // The last word: what the window must show in the end.
        plugin.setParameter(kParamDrive, 0.625f);
        plugin.setParameter(kParamRelease, 0.125f);
    });
    for (int pass = 0; pass < 300; ++pass) {
        tick += 20;
        editor->idle();
        if (pass % 50 == 49) {
            editor->close();
            ASSERT_TRUE(editor->open(nullptr));
        }
    }
    stop = true;
    automation.join();
    tick += 40;
    editor->idle();
    EXPECT_EQ(editor->findControl(kParamDrive)->getValue(), 0.625f);
    EXPECT_EQ(editor->findValueField(kParamDrive)->getValue(), 0.625f);
    EXPECT_EQ(editor->findValueField(kParamRelease)->getDisplayText(), "3.5ms");
    editor->close();
}
