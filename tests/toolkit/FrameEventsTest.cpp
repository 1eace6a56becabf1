// Event dispatch and repaint of the frame, offscreen.
#if !defined(_WIN32)
#include <cairo.h>
#endif

#include <algorithm>
#include <cstdio>

#include "ToolkitTestSupport.h"

namespace zelto::test {
namespace {

struct Scene {
    TestFrame frame;
    std::vector<std::string> log;
    ProbeView* lower;
    ProbeView* upper;

    Scene() {
        lower = new ProbeView(CRect(10, 10, 60, 60), CColor(200, 0, 0), &log, "lower");
        upper = new ProbeView(CRect(40, 40, 90, 90), CColor(0, 200, 0), &log, "upper");
        frame->addView(lower);
        frame->addView(upper);
    }
};

TEST(FrameEvents, LaterViewsLieOnTopForDrawingAndHitting) {
    Scene s;
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(45, 45), CColor(0, 200, 0)));
    EXPECT_TRUE(sameColor(s.frame->getPixel(15, 15), CColor(200, 0, 0)));
    EXPECT_EQ(s.frame->getViewAt(CPoint(45, 45)), s.upper);
    EXPECT_EQ(s.frame->getViewAt(CPoint(39, 45)), s.lower);
    EXPECT_EQ(s.frame->getViewAt(CPoint(95, 5)), nullptr);
    s.frame->injectMouseDown(CPoint(45, 45), kLButton);
    ASSERT_FALSE(s.log.empty());
    EXPECT_EQ(s.log.front(), "upper:down");
}

TEST(FrameEvents, PressFallsThroughViewsThatDoNotHandleIt) {
    Scene s;
    s.upper->downResult = kMouseEventNotHandled;
    s.frame->injectMouseDown(CPoint(45, 45), kRButton);
    EXPECT_EQ(s.log, (std::vector<std::string>{"upper:down", "lower:down"}));
}

TEST(FrameEvents, HiddenOrDisabledViewsAreSkipped) {
    Scene s;
    s.upper->setMouseEnabled(false);
    EXPECT_EQ(s.frame->getViewAt(CPoint(45, 45)), s.lower);
    s.upper->setMouseEnabled(true);
    s.upper->setVisible(false);
    s.frame->injectMouseDown(CPoint(45, 45), kLButton);
    EXPECT_EQ(s.log.back(), "lower:down");
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(45, 45), CColor(200, 0, 0)));
    EXPECT_TRUE(sameColor(s.frame->getPixel(80, 80), kBlackCColor));
}

TEST(FrameEvents, HandledPressCapturesMovesUntilRelease) {
    Scene s;
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(s.frame->getMouseDownView(), s.lower);
    s.log.clear();
    // Over the other view and outside every view: still the lower one's.
    s.frame->injectMouseMoved(CPoint(80, 80), kLButton);
    s.frame->injectMouseMoved(CPoint(150, 95), kLButton);
    EXPECT_EQ(s.lower->lastWhere, CPoint(150, 95));
    s.frame->injectMouseUp(CPoint(150, 95), kLButton);
    EXPECT_EQ(s.frame->getMouseDownView(), nullptr);
    for (const std::string& e : s.log) EXPECT_EQ(e.rfind("upper:", 0), std::string::npos) << e;
    EXPECT_NE(std::find(s.log.begin(), s.log.end(), "lower:up"), s.log.end());
    s.log.clear();
    s.frame->injectMouseMoved(CPoint(80, 80), 0);
    EXPECT_NE(std::find(s.log.begin(), s.log.end(), "upper:move"), s.log.end());
}

TEST(FrameEvents, PressThatNeedsNoMoreEventsCapturesNothing) {
    Scene s;
    s.lower->downResult = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(s.frame->getMouseDownView(), nullptr);
    s.log.clear();
    s.frame->injectMouseUp(CPoint(20, 20), kLButton);
    EXPECT_EQ(std::find(s.log.begin(), s.log.end(), "lower:up"), s.log.end());
}

TEST(FrameEvents, EnterAndExitFollowThePointer) {
    Scene s;
    s.frame->injectMouseMoved(CPoint(20, 20), 0);
    s.frame->injectMouseMoved(CPoint(25, 20), 0);
    s.frame->injectMouseMoved(CPoint(45, 45), 0);
    s.frame->injectMouseMoved(CPoint(150, 95), 0);
    s.frame->injectMouseMoved(CPoint(80, 80), 0);
    s.frame->injectMouseExited();
    const std::vector<std::string> expected = {
        "lower:enter", "lower:move", "lower:move",  "lower:exit", "upper:enter",
        "upper:move",  "upper:exit", "upper:enter", "upper:move", "upper:exit"};
    EXPECT_EQ(s.log, expected);
}

TEST(FrameEvents, DuringADragOnlyTheDraggedViewIsUnderThePointer) {
    Scene s;
    s.frame->injectMouseMoved(CPoint(20, 20), 0);
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    s.log.clear();
    s.frame->injectMouseMoved(CPoint(80, 80), kLButton);
    EXPECT_EQ(s.log, (std::vector<std::string>{"lower:exit", "lower:move"}));
    s.log.clear();
    s.frame->injectMouseUp(CPoint(80, 80), kLButton);
    EXPECT_EQ(s.log, (std::vector<std::string>{"lower:up", "upper:enter"}));
}

TEST(FrameEvents, DoubleClickNeedsTheSameButtonSoonAndNearby) {
    Scene s;
    auto press = [&s](CPoint where, int32_t button) {
        s.frame->injectMouseDown(where, button);
        s.frame->injectMouseUp(where, button);
        return (s.lower->lastDownButtons & kDoubleClick) != 0;
    };
    EXPECT_FALSE(press(CPoint(20, 20), kLButton));
    s.frame.now += 250;
    EXPECT_TRUE(press(CPoint(22, 21), kLButton));
    s.frame.now += 100;
    EXPECT_FALSE(press(CPoint(22, 21), kLButton)) << "a third click starts afresh";
    s.frame.now += 401;
    EXPECT_FALSE(press(CPoint(22, 21), kLButton)) << "too slow";
    s.frame.now += 100;
    EXPECT_FALSE(press(CPoint(30, 21), kLButton)) << "too far";
    s.frame.now += 100;
    EXPECT_FALSE(press(CPoint(30, 21), kRButton)) << "other button";
    s.frame.now += 100;
    EXPECT_TRUE(press(CPoint(30, 21), kRButton));
}

TEST(FrameEvents, DoubleClickSurvivesTheTickCountWrapping) {
    Scene s;
    s.frame.now = 0xffffff00u;
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    s.frame->injectMouseUp(CPoint(20, 20), kLButton);
    s.frame.now += 0x150;  // wraps past zero, 336 ms later
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    EXPECT_TRUE(s.lower->lastDownButtons & kDoubleClick);
}

TEST(FrameEvents, WheelGoesToTheTopMostViewThatTakesIt) {
    Scene s;
    s.upper->wheelResult = false;
    EXPECT_TRUE(s.frame->injectMouseWheel(CPoint(45, 45), -2.0f, kShift));
    EXPECT_EQ(s.log, (std::vector<std::string>{"upper:wheel", "lower:wheel"}));
    EXPECT_EQ(s.lower->lastWheel, -2.0f);
    EXPECT_EQ(s.lower->lastButtons, kShift);
    EXPECT_FALSE(s.frame->injectMouseWheel(CPoint(150, 5), 1.0f, 0));
}

TEST(FrameEvents, KeysGoToTheFocusedViewOnly) {
    Scene s;
    EXPECT_EQ(s.frame->injectKeyDown(makeCharKey('a')), -1);
    s.lower->setWantsFocus(true);
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    s.frame->injectMouseUp(CPoint(20, 20), kLButton);
    EXPECT_EQ(s.frame->getFocusView(), s.lower);
    EXPECT_EQ(s.frame->injectKeyDown(makeCharKey('a')), 1);
    EXPECT_EQ(s.log.back(), "lower:key 97");
    // A press elsewhere takes the focus away.
    s.frame->injectMouseDown(CPoint(150, 95), kLButton);
    EXPECT_EQ(s.frame->getFocusView(), nullptr);
}

TEST(FrameEvents, ModalViewTakesEveryMouseEventAndDrawsLast) {
    Scene s;
    auto* modal = new ProbeView(CRect(30, 30, 50, 50), CColor(0, 0, 250), &s.log, "modal");
    ASSERT_TRUE(s.frame->setModalView(modal));
    modal->forget();  // the frame holds it while it is modal
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    s.frame->injectMouseMoved(CPoint(45, 45), kLButton);
    s.frame->injectMouseUp(CPoint(45, 45), kLButton);
    s.frame->injectMouseWheel(CPoint(45, 45), 1.0f, 0);
    s.frame->injectMouseMoved(CPoint(70, 70), 0);
    EXPECT_EQ(s.log, (std::vector<std::string>{"modal:down", "modal:move", "modal:up",
                                               "modal:wheel", "modal:move"}));

    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(45, 45), CColor(0, 0, 250)));
    // Repainted over everything on every idle, even when a view below changes.
    s.upper->invalid();
    const int32_t drawsBefore = modal->draws;
    s.frame->idle();
    EXPECT_GT(modal->draws, drawsBefore);
    EXPECT_TRUE(sameColor(s.frame->getPixel(45, 45), CColor(0, 0, 250)));

    EXPECT_FALSE(s.frame->setModalView(s.upper)) << "one modal view at a time";
    s.frame->clearModalView();
    EXPECT_EQ(s.frame->getModalView(), nullptr);
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(45, 45), CColor(0, 200, 0)));
    s.log.clear();
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(s.log.front(), "lower:down");
}

// A child made modal, closing itself on a click as an information panel does.
class SelfClosingPanel : public ProbeView {
  public:
    using ProbeView::ProbeView;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override {
        ProbeView::onMouseDown(where, buttons);
        if (getFrame()->getModalView() == this) {
            getFrame()->clearModalView();
        } else {
            getFrame()->setModalView(this);
        }
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
};

TEST(FrameEvents, ChildCanMakeItselfModalAndLeaveAgain) {
    Scene s;
    auto* panel = new SelfClosingPanel(CRect(0, 0, 10, 10), CColor(9, 9, 9), &s.log, "panel");
    s.frame->addView(panel);
    s.frame->injectMouseDown(CPoint(5, 5), kLButton);
    EXPECT_EQ(s.frame->getModalView(), panel);
    s.frame->injectMouseDown(CPoint(45, 45), kLButton);  // on the upper view
    EXPECT_EQ(s.frame->getModalView(), nullptr);
    EXPECT_TRUE(s.frame->isChild(panel));
    EXPECT_EQ(std::count(s.log.begin(), s.log.end(), "upper:down"), 0);
}

TEST(FrameEvents, OnlyDirtyPartsAreRepainted) {
    Scene s;
    s.frame->idle();
    const int32_t lowerDraws = s.lower->draws;
    const int32_t upperDraws = s.upper->draws;
    s.frame->idle();
    EXPECT_EQ(s.lower->draws, lowerDraws) << "nothing dirty, nothing drawn";
    // The upper view overlaps the lower one: both are drawn for its area.
    s.upper->color = CColor(1, 2, 3);
    s.upper->invalid();
    const std::vector<CRect> painted = s.frame->updateOffscreen();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], CRect(40, 40, 90, 90));
    EXPECT_EQ(s.upper->draws, upperDraws + 1);
    EXPECT_EQ(s.lower->draws, lowerDraws + 1);
    EXPECT_TRUE(sameColor(s.frame->getPixel(41, 41), CColor(1, 2, 3)));
}

TEST(FrameEvents, MovingAViewRepaintsWhereItWas) {
    Scene s;
    s.frame->idle();
    s.upper->setViewSize(CRect(140, 40, 190, 90));
    s.frame->idle();
    EXPECT_TRUE(sameColor(s.frame->getPixel(80, 80), kBlackCColor));
    EXPECT_TRUE(sameColor(s.frame->getPixel(150, 50), CColor(0, 200, 0)));
}

TEST(FrameEvents, BackgroundBitmapShowsUnderTheViews) {
    TestFrame frame(CRect(0, 0, 30, 20));
    CBitmap* back = makeCoordinateBitmap(30, 20);
    frame->setBackground(back);
    back->forget();
    frame->idle();
    EXPECT_TRUE(sameColor(frame->getPixel(7, 5), CColor(7, 5, 77)));
    EXPECT_TRUE(sameColor(frame->getPixel(29, 19), CColor(29, 19, 77)));
}

// A view that removes itself (and its neighbour) from the frame on a click.
class Remover : public ProbeView {
  public:
    using ProbeView::ProbeView;
    CView* other = nullptr;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override {
        ProbeView::onMouseDown(where, buttons);
        CFrame* f = getFrame();
        f->removeView(other);
        f->removeView(this);
        return kMouseEventHandled;
    }
};

TEST(FrameEvents, ViewRemovedInsideItsOwnHandlerIsSafe) {
    Scene s;
    auto* remover = new Remover(CRect(0, 0, 100, 100), CColor(5, 5, 5), &s.log, "remover");
    remover->other = s.lower;
    s.frame->addView(remover);
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(s.frame->getNbViews(), 1);
    EXPECT_EQ(s.frame->getMouseDownView(), nullptr);
    s.frame->injectMouseMoved(CPoint(25, 25), kLButton);
    s.frame->injectMouseUp(CPoint(25, 25), kLButton);
    s.frame->idle();
}

#if !defined(_WIN32)
TEST(FrameEvents, SnapshotWritesTheOffscreenImage) {
    Scene s;
    const std::string path = ::testing::TempDir() + "toolkit_snapshot.png";
    ASSERT_TRUE(s.frame->snapshotPng(path.c_str()));
    cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(read), 200);
    EXPECT_EQ(cairo_image_surface_get_height(read), 100);
    const auto* row = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(read) +
                                                        45 * cairo_image_surface_get_stride(read));
    EXPECT_EQ(row[45] & 0xffffff, 0x00c800u);
    cairo_surface_destroy(read);
    std::remove(path.c_str());
    EXPECT_FALSE(s.frame->snapshotPng("/nonexistent-folder/x.png"));
}
#endif

TEST(FrameEvents, CloseReleasesEveryViewAndTheFrame) {
    auto* frame = new CFrame(CRect(0, 0, 50, 50), nullptr);
    auto* view = new ProbeView(CRect(0, 0, 10, 10), kWhiteCColor);
    view->remember();  // to watch it
    frame->addView(view);
    EXPECT_EQ(view->getNbReference(), 2);
    EXPECT_EQ(view->getFrame(), frame);
    frame->close();  // frees the frame
    EXPECT_EQ(view->getNbReference(), 1);
    EXPECT_EQ(view->getFrame(), nullptr);
    view->forget();
}

TEST(FrameEvents, OpenWithoutParentStaysOffscreen) {
    TestFrame frame;
    EXPECT_FALSE(frame->open(nullptr));
    EXPECT_FALSE(frame->isWindowOpen());
    EXPECT_EQ(frame->getWindowId(), 0u);
    EXPECT_EQ(frame->getTopLevelWindowId(), 0u);
    frame->idle();
}

}  // namespace
}  // namespace zelto::test
