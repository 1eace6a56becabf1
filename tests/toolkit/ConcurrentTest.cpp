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

// Marks the view dirty from another thread while the frame is painting it,
// after the view's own draw has cleared its flag: that mark is for the next
// paint and must survive this one.
class MarkedWhilePainting : public ProbeView {
  public:
    using ProbeView::ProbeView;
    bool markDuringNextDraw = false;
    void draw(CDrawContext* context) override {
        ProbeView::draw(context);
        if (!markDuringNextDraw) return;
        markDuringNextDraw = false;
        std::thread other([this] { invalid(); });
        other.join();
    }
};

TEST(Concurrent, DirtyFlagSetDuringAPaintIsNotLost) {
    TestFrame frame(CRect(0, 0, 20, 20));
    auto* view = new MarkedWhilePainting(CRect(0, 0, 10, 10), kWhiteCColor);
    frame->addView(view);
    frame->idle();
    ASSERT_FALSE(view->isDirty());

    view->markDuringNextDraw = true;
    view->invalid();
    const int32_t before = view->draws;
    frame->idle();
    ASSERT_EQ(view->draws, before + 1);
    EXPECT_TRUE(view->isDirty()) << "the mark made during the paint was cleared by it";
    frame->idle();
    EXPECT_EQ(view->draws, before + 2) << "the mark made during the paint was never painted";
    EXPECT_FALSE(view->isDirty());

    // The same under load, for the thread checker: marks from another thread
    // while the frame idles.
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
    EXPECT_GT(marks.load(), 0);
}

}  // namespace
}  // namespace zelto::test
