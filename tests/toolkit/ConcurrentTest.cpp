// Values, titles and texts set from another thread while the user-interface
// thread idles: the run under ThreadSanitizer checks these for races.
#include <atomic>
#include <thread>

#include "ToolkitTestSupport.h"

namespace zelto::test {
namespace {

TEST(Concurrent, ValuesSetFromAnotherThreadReachTheScreen) {
    TestFrame frame(CRect(0, 0, 120, 40));
    std::vector<uint32_t> pixels(10 * 1010);
    for (int y = 0; y < 1010; ++y) {
        for (int x = 0; x < 10; ++x)
            pixels[y * 10 + x] = 0xff000000u | static_cast<uint32_t>(y / 10);
    }
    CBitmap* strip = new CBitmap(10, 1010, pixels.data());
    auto* knob = new CAnimKnob(CRect(0, 0, 10, 10), nullptr, 0, 101, 10, strip);
    strip->forget();
    auto* field = new CTextEdit(CRect(20, 0, 120, 20), nullptr, 1, "x");
    auto* display = new CParamDisplay(CRect(20, 20, 120, 40));
    auto* menu = new COptionMenu(CRect(0, 20, 10, 30), nullptr, 2);
    for (int i = 0; i < 4; ++i) menu->addEntry("entry");
    frame->addView(knob);
    frame->addView(field);
    frame->addView(display);
    frame->addView(menu);

    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int i = 0; !stop.load(); ++i) {
            const float v = static_cast<float>(i % 101) / 100.0f;
            knob->setValue(v);
            display->setValue(v);
            field->setText(i % 2 ? "odd" : "even");
            menu->setEntryTitle(i % 4, i % 2 ? "A" : "B");
            menu->setCurrent(i % 4);
            frame->setDirty(i % 7 == 0);
            knob->invalid();
        }
    });
    for (int i = 0; i < 300 || (host.joinable() && i < 100000 && display->getValue() == 0); ++i) {
        frame->idle();
        (void)field->getText();
        (void)menu->getEntryTitle(i % 4);
    }
    stop = true;
    host.join();

    knob->setValue(0.5f);
    frame->idle();
    EXPECT_EQ(frame->getPixel(5, 5).blue, 50) << "the last value set is the one shown";
    EXPECT_FALSE(knob->isDirty());
}

TEST(Concurrent, DirtyFlagSetDuringAPaintIsNotLost) {
    TestFrame frame(CRect(0, 0, 20, 20));
    auto* view = new ProbeView(CRect(0, 0, 10, 10), kWhiteCColor);
    frame->addView(view);
    frame->idle();
    std::atomic<bool> stop{false};
    std::atomic<int> marks{0};
    std::thread other([&] {
        while (!stop.load()) {
            view->invalid();
            marks.fetch_add(1);
        }
    });
    for (int i = 0; i < 200 || (marks.load() < 1000 && i < 1000000); ++i) frame->idle();
    stop = true;
    other.join();
    // Whatever the interleaving, a mark after the last paint is still pending.
    view->invalid();
    const int32_t before = view->draws;
    frame->idle();
    EXPECT_EQ(view->draws, before + 1);
    EXPECT_GT(marks.load(), 0);
}

}  // namespace
}  // namespace zelto::test
