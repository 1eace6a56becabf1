// The frame in a real X window: run under an X server (xvfb-run); skipped
// when there is no display. The test plays the host: it makes a parent
// window, hands its id to the frame, and looks at the result through its
// own display connection.
#include <dirent.h>
#include <stdlib.h>

#include "ToolkitTestSupport.h"
// After gtest: X11 defines macros (None, Status) that gtest uses as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace zelto::test {
namespace {

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

class X11Window : public ::testing::Test {
  protected:
    void SetUp() override {
        if (getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
        display = XOpenDisplay(nullptr);
        if (display == nullptr) GTEST_SKIP() << "X display cannot be opened";
        host = makeHostWindow();
    }
    void TearDown() override {
        if (display != nullptr) XCloseDisplay(display);
    }
    Window makeHostWindow() {
        const Window w =
            XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 500, 0, 0, 0);
        XMapWindow(display, w);
        XSync(display, False);
        return w;
    }
    void* parentId(Window w) const { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }
    unsigned childCount(Window w) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, w, &root, &parent, &children, &count) == 0) return 0;
        if (children != nullptr) XFree(children);
        return count;
    }
    // Lets the frame handle what the server sent it, until `done` or a bound.
    template <typename Done>
    bool pump(CFrame* frame, Done done) {
        for (int i = 0; i < 500; ++i) {
            XSync(display, False);
            frame->idle();
            if (done()) return true;
        }
        return false;
    }
    void send(Window target, XEvent event, long mask) {
        event.xany.window = target;
        event.xany.display = display;
        XSendEvent(display, target, False, mask, &event);
        XFlush(display);
    }
    XEvent button(int type, Window target, int x, int y, unsigned button, unsigned state = 0) {
        XEvent e{};
        e.type = type;
        e.xbutton.window = target;
        e.xbutton.root = DefaultRootWindow(display);
        e.xbutton.x = x;
        e.xbutton.y = y;
        e.xbutton.button = button;
        e.xbutton.state = state;
        e.xbutton.same_screen = True;
        e.xbutton.time = ++serverTime;
        return e;
    }

    Display* display = nullptr;
    Window host = 0;
    Time serverTime = 1000;
};

TEST_F(X11Window, WindowShowsExactlyTheOffscreenPixels) {
    TestFrame frame(CRect(0, 0, 524, 462));
    CBitmap* back = makeCoordinateBitmap(256, 256);
    frame->setBackground(back);
    back->forget();
    frame->addView(new ProbeView(CRect(300, 300, 400, 400), CColor(12, 34, 56)));
    auto* field = new CTextEdit(CRect(300, 100, 500, 130), nullptr, 1, "Text 1.5 dB");
    field->setFont(kNormalFontBig);
    frame->addView(field);
    ASSERT_TRUE(frame->open(parentId(host)));
    const Window child = frame->getWindowId();
    ASSERT_NE(child, 0u);
    EXPECT_EQ(childCount(host), 1u);

    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(display, child, &attributes), 0);
    EXPECT_EQ(attributes.width, 524);
    EXPECT_EQ(attributes.height, 462);
    if (attributes.depth != 24) GTEST_SKIP() << "pixel comparison needs a 24-bit visual";

    auto matches = [&]() {
        XImage* image = XGetImage(display, child, 0, 0, 524, 462, AllPlanes, ZPixmap);
        if (image == nullptr) return false;
        int differences = 0;
        for (int y = 0; y < 462; ++y) {
            for (int x = 0; x < 524; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                const CColor c = frame->getPixel(x, y);
                differences += ((p >> 16) & 255) != c.red || ((p >> 8) & 255) != c.green ||
                               (p & 255) != c.blue;
            }
        }
        XDestroyImage(image);
        return differences == 0;
    };
    EXPECT_TRUE(pump(frame.get(), matches));
    // A change reaches the window too.
    field->setText("changed");
    EXPECT_TRUE(pump(frame.get(), matches));
}

TEST_F(X11Window, WindowCarriesEmbeddingInfoAndAFixedSize) {
    TestFrame frame(CRect(0, 0, 120, 80));
    ASSERT_TRUE(frame->open(parentId(host)));
    const Window child = frame->getWindowId();
    EXPECT_EQ(frame->getTopLevelWindowId(), host) << "what file dialogs stay above";
    const Atom info = XInternAtom(display, "_XEMBED_INFO", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display, child, info, 0, 2, False, info, &type, &format, &items,
                                 &after, &data),
              Success);
    ASSERT_EQ(items, 2u);
    const auto* values = reinterpret_cast<const long*>(data);
    EXPECT_EQ(values[0], 0);  // protocol version
    EXPECT_EQ(values[1], 1);  // mapped
    XFree(data);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(display, child, &hints, &supplied), 0);
    EXPECT_EQ(hints.min_width, 120);
    EXPECT_EQ(hints.max_width, 120);
    EXPECT_EQ(hints.min_height, 80);
    EXPECT_EQ(hints.max_height, 80);
}

TEST_F(X11Window, ButtonsWheelAndKeysArriveAsFrameEvents) {
    std::vector<std::string> log;
    TestFrame frame(CRect(0, 0, 200, 100));
    auto* view = new ProbeView(CRect(10, 10, 110, 60), kWhiteCColor, &log, "view");
    view->setWantsFocus(true);
    frame->addView(view);
    ASSERT_TRUE(frame->open(parentId(host)));
    const Window child = frame->getWindowId();
    pump(frame.get(), [] { return false; });
    log.clear();

    send(child, button(ButtonPress, child, 20, 30, Button1, ShiftMask), ButtonPressMask);
    send(child, button(ButtonRelease, child, 20, 30, Button1, ShiftMask | Button1Mask),
         ButtonReleaseMask);
    EXPECT_TRUE(pump(frame.get(), [&] { return log.size() >= 2; }));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "view:down");
    EXPECT_EQ(view->lastDownButtons, kLButton | kShift);
    EXPECT_EQ(view->lastWhere, CPoint(20, 30));
    EXPECT_EQ(log[1], "view:up");

    // A second press soon after at the same place is a double click.
    send(child, button(ButtonPress, child, 21, 30, Button1), ButtonPressMask);
    EXPECT_TRUE(pump(frame.get(), [&] { return log.size() >= 3; }));
    EXPECT_TRUE(view->lastDownButtons & kDoubleClick);
    send(child, button(ButtonRelease, child, 21, 30, Button1, Button1Mask), ButtonReleaseMask);

    log.clear();
    send(child, button(ButtonPress, child, 30, 30, Button5), ButtonPressMask);
    EXPECT_TRUE(pump(frame.get(), [&] { return !log.empty(); }));
    EXPECT_EQ(view->lastWheel, -1.0f);

    log.clear();
    XEvent key{};
    key.type = KeyPress;
    key.xkey.keycode = XKeysymToKeycode(display, XK_q);
    key.xkey.same_screen = True;
    key.xkey.root = DefaultRootWindow(display);
    send(child, key, KeyPressMask);
    EXPECT_TRUE(pump(frame.get(), [&] { return !log.empty(); }));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "view:key " + std::to_string('q'));
}

TEST_F(X11Window, RunsOfMovesShrinkToTheLastButKeepTheirPlaceAroundARelease) {
    std::vector<std::string> log;
    TestFrame frame(CRect(0, 0, 200, 100));
    auto* view = new ProbeView(CRect(0, 0, 200, 100), kWhiteCColor, &log, "view");
    frame->addView(view);
    ASSERT_TRUE(frame->open(parentId(host)));
    const Window child = frame->getWindowId();
    pump(frame.get(), [] { return false; });
    send(child, button(ButtonPress, child, 10, 10, Button1), ButtonPressMask);
    pump(frame.get(), [&] { return !log.empty(); });
    log.clear();
    auto motion = [&](int x, unsigned state) {
        XEvent e{};
        e.type = MotionNotify;
        e.xmotion.x = x;
        e.xmotion.y = 10;
        e.xmotion.state = state;
        e.xmotion.same_screen = True;
        send(child, e, PointerMotionMask);
    };
    motion(20, Button1Mask);
    motion(30, Button1Mask);
    send(child, button(ButtonRelease, child, 30, 10, Button1, Button1Mask), ButtonReleaseMask);
    motion(40, 0);
    XSync(display, False);
    EXPECT_TRUE(pump(frame.get(), [&] { return view->lastWhere == CPoint(40, 10); }));
    std::vector<std::string> movesAndUps;
    for (const std::string& e : log) {
        if (e == "view:move" || e == "view:up") movesAndUps.push_back(e);
    }
    EXPECT_EQ(movesAndUps, (std::vector<std::string>{"view:move", "view:up", "view:move"}));
    EXPECT_EQ(view->lastWhere, CPoint(40, 10));
    EXPECT_EQ(view->lastButtons, 0);
}

TEST_F(X11Window, OpeningAndClosingManyTimesLeavesNothingBehind) {
    const int descriptors = openDescriptors();
    for (int i = 0; i < 25; ++i) {
        auto* frame = new CFrame(CRect(0, 0, 100, 100), parentId(host), nullptr);
        ASSERT_TRUE(frame->isWindowOpen());
        frame->addView(new ProbeView(CRect(0, 0, 50, 50), kWhiteCColor));
        frame->idle();
        ASSERT_TRUE(frame->open(parentId(host))) << "a second open replaces the first";
        EXPECT_EQ(childCount(host), 1u);
        frame->idle();
        frame->close();
        XSync(display, False);
        EXPECT_EQ(childCount(host), 0u);
    }
    EXPECT_EQ(openDescriptors(), descriptors) << "every display connection closed";
}

TEST_F(X11Window, SeveralFramesSideBySide) {
    TestFrame a(CRect(0, 0, 100, 100));
    TestFrame b(CRect(0, 0, 100, 100));
    const Window otherHost = makeHostWindow();
    ASSERT_TRUE(a->open(parentId(host)));
    ASSERT_TRUE(b->open(parentId(otherHost)));
    EXPECT_NE(a->getWindowId(), b->getWindowId());
    for (int i = 0; i < 5; ++i) {
        a->idle();
        b->idle();
    }
    a->closeWindow();
    XSync(display, False);
    EXPECT_EQ(childCount(host), 0u);
    EXPECT_EQ(childCount(otherHost), 1u);
    b->idle();
    XDestroyWindow(display, otherHost);
}

TEST_F(X11Window, BadParentOrVanishedHostWindowIsHarmless) {
    TestFrame frame(CRect(0, 0, 100, 100));
    EXPECT_FALSE(frame->open(reinterpret_cast<void*>(uintptr_t{0x7ffffff1})));
    EXPECT_FALSE(frame->isWindowOpen());
    frame->idle();

    // The host destroys its window before it closes the editor.
    const Window doomed = makeHostWindow();
    ASSERT_TRUE(frame->open(parentId(doomed)));
    frame->idle();
    XDestroyWindow(display, doomed);
    XSync(display, False);
    frame->invalid();
    frame->idle();
    frame->injectMouseDown(CPoint(5, 5), kLButton);  // gives focus: refused, harmless
    frame->closeWindow();
    frame->idle();
}

// Editors drain input on every host idle call but repaint less often: the
// events alone reach the views and nothing is drawn for them.
TEST_F(X11Window, EventsArriveWithoutARepaint) {
    std::vector<std::string> log;
    TestFrame frame(CRect(0, 0, 200, 100));
    auto* view = new ProbeView(CRect(10, 10, 110, 60), kWhiteCColor, &log, "view");
    frame->addView(view);
    ASSERT_TRUE(frame->open(parentId(host)));
    const Window child = frame->getWindowId();
    pump(frame.get(), [] { return false; });
    log.clear();
    const int32_t draws = view->draws;
    view->invalid();

    send(child, button(ButtonPress, child, 20, 30, Button1), ButtonPressMask);
    bool arrived = false;
    for (int i = 0; i < 500 && !arrived; ++i) {
        XSync(display, False);
        frame->processWindowEvents();
        arrived = !log.empty();
    }
    EXPECT_TRUE(arrived);
    EXPECT_EQ(view->draws, draws) << "a dirty view waits for the next full idle";
    frame->idle();
    EXPECT_EQ(view->draws, draws + 1);
    send(child, button(ButtonRelease, child, 20, 30, Button1, Button1Mask), ButtonReleaseMask);
}

}  // namespace
}  // namespace zelto::test
