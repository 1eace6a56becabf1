// The editor in a real window under an X server (run under xvfb-run by
// ctest): zelto gui shows it, xdotool clicks into it, the window's pixels
// equal the offscreen snapshot of the same state, and closing it leaves
// nothing behind.
// GoogleTest first: Xlib's macros (None, Bool, ...) would break its headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo/cairo.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TempFolder {
public:
    TempFolder() {
        char templ[] = "/tmp/zelto-gui-XXXXXX";
        path_ = mkdtemp(templ);
    }
    ~TempFolder() { fs::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

pid_t spawn(const std::vector<std::string>& args, const std::string& outputFile) {
    std::vector<std::string> store = args;
    std::vector<char*> argv;
    for (auto& a : store) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

int run(const std::vector<std::string>& args) {
    const pid_t pid = spawn(args, "");
    return pid < 0 ? -1 : waitFor(pid, 60s);
}

std::string windowName(Display* display, Window w) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, w, &name) != 0 && name != nullptr) {
        result = name;
        XFree(name);
    }
    return result;
}

std::vector<Window> children(Display* display, Window w) {
    Window root = 0, parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, w, &root, &parent, &list, &count) != 0) {
        result.assign(list, list + count);
        if (list != nullptr) XFree(list);
    }
    return result;
}

/// The top-level window whose title starts with `prefix`, searched
/// breadth-first from the root (window managers may add frames).
Window findWindow(Display* display, const std::string& prefix) {
    std::vector<Window> queue{DefaultRootWindow(display)};
    for (size_t i = 0; i < queue.size(); ++i) {
        if (windowName(display, queue[i]).rfind(prefix, 0) == 0) return queue[i];
        for (Window c : children(display, queue[i])) queue.push_back(c);
    }
    return 0;
}

}  // namespace

TEST(EditorWindow, ShowsTheSnapshotClicksAndClosesCleanly) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display; ctest runs this under xvfb-run";
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string snapshot = folder / "snapshot.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", snapshot, "--preset", "3"}), 0);

    const std::string report = folder / "gui.txt";
    const pid_t gui = spawn({ZELTO_TOOL_PATH, "gui", "--seconds", "60", "--preset", "3"}, report);
    ASSERT_GT(gui, 0);
    Window top = 0;
    for (int i = 0; i < 500 && top == 0; ++i) {
        top = findWindow(display, "KRW Zelto");
        if (top == 0) std::this_thread::sleep_for(20ms);
    }
    ASSERT_NE(top, 0u) << "zelto gui showed no window";
    std::vector<Window> editor;
    for (int i = 0; i < 500 && editor.empty(); ++i) {
        editor = children(display, top);
        if (editor.empty()) std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(editor.size(), 1u) << "the editor is one child window of the host's window";
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(display, editor[0], &attributes), 0);
    EXPECT_EQ(attributes.width, 524);
    EXPECT_EQ(attributes.height, 462);

    // A click on the panel (away from any control) must not disturb it.
    const std::string id = std::to_string(editor[0]);
    EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "262", "300", "click", "1"}), 0);
    std::this_thread::sleep_for(400ms);
    ASSERT_EQ(waitpid(gui, nullptr, WNOHANG), 0) << "zelto gui died after the click";

    // The window shows exactly what the offscreen snapshot shows.
    cairo_surface_t* expected = cairo_image_surface_create_from_png(snapshot.c_str());
    ASSERT_EQ(cairo_surface_status(expected), CAIRO_STATUS_SUCCESS);
    XImage* image = XGetImage(display, editor[0], 0, 0, 524, 462, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    const int stride = cairo_image_surface_get_stride(expected);
    const unsigned char* pixels = cairo_image_surface_get_data(expected);
    int differing = 0;
    for (int y = 0; y < 462; ++y) {
        for (int x = 0; x < 524; ++x) {
            uint32_t want;
            std::memcpy(&want, pixels + y * stride + 4 * x, 4);
            const unsigned long got = XGetPixel(image, x, y);
            if ((want & 0xFFFFFF) != (got & 0xFFFFFF)) ++differing;
        }
    }
    XDestroyImage(image);
    cairo_surface_destroy(expected);
    EXPECT_EQ(differing, 0) << "pixels differing from the snapshot";

    // Close it as a window manager would; zelto gui then checks for leaks.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = top;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, top, False, NoEventMask, &close);
    XFlush(display);
    EXPECT_EQ(waitFor(gui, 30s), 0);
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("child windows left 0"), std::string::npos) << text;
    XCloseDisplay(display);
}

TEST(EditorWindow, OpensAndClosesManyTimesWithoutLeaks) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display; ctest runs this under xvfb-run";
    XCloseDisplay(display);
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    // zelto gui exits non-zero when a cycle leaves a window, a thread or a
    // file descriptor behind.
    EXPECT_EQ(run({ZELTO_TOOL_PATH, "gui", "--seconds", "3", "--cycles", "25"}), 0);
}
