// The CLAP plug-in's editor embedded by our own host in a real X window (run
// under xvfb-run by ctest): created and parented at 524 x 462, the pixels
// of zelto snapshot, a click that reaches the host as a parameter event,
// and create/destroy cycles that leave no window or file descriptor behind.
// GoogleTest first: Xlib's macros (None, Bool, ...) would break its headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo/cairo.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/WindowPixels.h"
#include "tests/clap/ClapTestHost.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using zelto_test::children;
using namespace std::chrono_literals;
using clap_test::ClapInstance;
using clap_test::ClapLibrary;

int run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int openDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

/// The host's main loop for a while: timers and callbacks.
void spin(ClapInstance& clap, std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        clap.runMainLoop();
        std::this_thread::sleep_for(10ms);
    }
}

class ClapEditor : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
        char templ[] = "/tmp/zelto-clap-gui-XXXXXX";
        folder_ = mkdtemp(templ);
        setenv("ZELTO_CONFIG_HOME", folder_.c_str(), 1);
        library_ = std::make_unique<ClapLibrary>(ZELTO_CLAP_PATH);
        parent_ =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 600, 500, 0, 0, 0);
        XMapWindow(display_, parent_);
        XSync(display_, False);
    }
    void TearDown() override {
        if (display_ == nullptr) return;
        library_.reset();
        XDestroyWindow(display_, parent_);
        XCloseDisplay(display_);
        fs::remove_all(folder_);
    }

    /// Creates the editor in parent_ as a host does; false at the first refusal.
    bool embed(ClapInstance& clap) {
        const clap_plugin_gui* gui = clap.gui();
        if (gui == nullptr || !gui->is_api_supported(clap.plugin(), CLAP_WINDOW_API_X11, false))
            return false;
        if (!gui->create(clap.plugin(), CLAP_WINDOW_API_X11, false)) return false;
        clap_window window{};
        window.api = CLAP_WINDOW_API_X11;
        window.x11 = parent_;
        return gui->set_parent(clap.plugin(), &window) && gui->show(clap.plugin());
    }

    Display* display_ = nullptr;
    Window parent_ = 0;
    std::string folder_;
    std::unique_ptr<ClapLibrary> library_;
};

TEST_F(ClapEditor, EmbedsAtItsSizeShowsTheSnapshotAndSendsAClickToTheHost) {
    const std::string snapshot = folder_ + "/snapshot.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", snapshot}), 0);

    ClapInstance clap(*library_);
    const clap_plugin_gui* gui = clap.gui();
    ASSERT_NE(gui, nullptr);
    EXPECT_FALSE(gui->is_api_supported(clap.plugin(), CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(gui->is_api_supported(clap.plugin(), CLAP_WINDOW_API_WIN32, false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui->get_preferred_api(clap.plugin(), &api, &floating));
    EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
    EXPECT_FALSE(floating);
    ASSERT_TRUE(embed(clap));
    EXPECT_EQ(clap.timers_.size(), 1u);
    ASSERT_EQ(clap.fds_.size(), 1u);  // the window's display connection
    EXPECT_EQ(clap.fds_.begin()->second, CLAP_POSIX_FD_READ);
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui->get_size(clap.plugin(), &width, &height));
    EXPECT_EQ(width, 524u);
    EXPECT_EQ(height, 462u);
    EXPECT_FALSE(gui->can_resize(clap.plugin()));
    EXPECT_FALSE(gui->set_size(clap.plugin(), 600, 500));
    spin(clap, 500ms);

    XSync(display_, False);
    const std::vector<Window> kids = children(display_, parent_);
    ASSERT_EQ(kids.size(), 1u) << "the editor is not a child of the host's window";
    const Window editor = kids[0];
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display_, editor, &attributes), 0);
    EXPECT_EQ(attributes.width, 524);
    EXPECT_EQ(attributes.height, 462);
    EXPECT_EQ(attributes.map_state, IsViewable);

    // The window shows exactly what the offscreen snapshot shows.
    EXPECT_EQ(zelto_test::pixelsDifferingFrom(display_, editor, snapshot), 0)
        << "pixels differing from the snapshot";

    // A click on Oversample, with only the descriptor's calls running: the
    // host hears of it and gets the event.
    clap.sent.clear();
    const int flushRequests = clap.flushRequests;
    ASSERT_EQ(
        run({"xdotool", "mousemove", "--window", std::to_string(editor), "97", "49", "click", "1"}),
        0);
    int wakeUps = 0;
    for (int i = 0; i < 50 && clap.flushRequests == flushRequests; ++i)
        wakeUps += clap.pollDescriptors(20);
    EXPECT_GT(wakeUps, 0) << "the descriptor never turned readable";
    spin(clap, 100ms);
    EXPECT_GT(clap.flushRequests, flushRequests);
    clap.flush();
    bool oversampleOn = false;
    for (const auto& e : clap.sent)
        if (e.type == CLAP_EVENT_PARAM_VALUE && e.param == 6 && e.value == 1.0) oversampleOn = true;
    EXPECT_TRUE(oversampleOn) << "no parameter event for the click";
    EXPECT_EQ(clap.value(6), 1.0);
    EXPECT_GT(clap.dirtyMarks, 0);

    // A drag on the Drive knob: the values inside the gesture's begin and end.
    clap.sent.clear();
    ASSERT_EQ(run({"xdotool",
                   "mousemove",
                   "--window",
                   std::to_string(editor),
                   "80",
                   "380",
                   "mousedown",
                   "1",
                   "mousemove",
                   "--window",
                   std::to_string(editor),
                   "80",
                   "360",
                   "mousemove",
                   "--window",
                   std::to_string(editor),
                   "80",
                   "340",
                   "mouseup",
                   "1"}),
              0);
    spin(clap, 300ms);
    clap.flush();
    std::vector<uint16_t> driveEvents;
    for (const auto& e : clap.sent)
        if (e.param == 1) driveEvents.push_back(e.type);
    ASSERT_GE(driveEvents.size(), 3u);
    EXPECT_EQ(driveEvents.front(), CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(driveEvents.back(), CLAP_EVENT_PARAM_GESTURE_END);
    EXPECT_EQ(std::count(driveEvents.begin(), driveEvents.end(), CLAP_EVENT_PARAM_VALUE),
              static_cast<long>(driveEvents.size()) - 2);
    EXPECT_GT(clap.value(1), 0.5);  // dragged up: more drive than 0 dB

    gui->destroy(clap.plugin());
    EXPECT_TRUE(clap.timers_.empty());
    EXPECT_TRUE(clap.fds_.empty());
    XSync(display_, False);
    EXPECT_TRUE(children(display_, parent_).empty());
}

TEST_F(ClapEditor, TwentyCreateDestroyCyclesLeaveNoWindowOrDescriptor) {
    ClapInstance clap(*library_);
    // One cycle first: libraries may open what they keep for the process.
    ASSERT_TRUE(embed(clap));
    spin(clap, 50ms);
    clap.gui()->destroy(clap.plugin());
    const int descriptors = openDescriptors();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(embed(clap));
        spin(clap, 30ms);
        clap.gui()->destroy(clap.plugin());
        XSync(display_, False);
        EXPECT_TRUE(children(display_, parent_).empty());
        EXPECT_TRUE(clap.timers_.empty());
        EXPECT_TRUE(clap.fds_.empty());
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    // Destroying an instance with its window open closes the window too.
    {
        ClapInstance other(*library_);
        ASSERT_TRUE(embed(other));
        spin(other, 30ms);
    }
    XSync(display_, False);
    EXPECT_TRUE(children(display_, parent_).empty());
    EXPECT_EQ(openDescriptors(), descriptors);
}

}  // namespace
