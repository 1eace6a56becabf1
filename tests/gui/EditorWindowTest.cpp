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

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>
#include "support/WindowPixels.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using zelto_test::children;
using zelto_test::pixelsDifferingFrom;

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
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
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

/// Shows `zelto gui` with these extra arguments and answers the editor's
/// window and the top-level window (0, 0 when none appeared).
/// Starts zelto with these arguments and waits for its window and the editor
/// inside it: {editor, top-level window}, zeros when either never appeared.
std::pair<Window, Window> showTool(Display* display, pid_t& tool,
                                   const std::vector<std::string>& command,
                                   const std::string& report) {
    tool = spawn(command, report);
    if (tool <= 0) return {0, 0};
    Window top = 0;
    for (int i = 0; i < 500 && top == 0; ++i) {
        top = findWindow(display, "KRW Zelto");
        if (top == 0) std::this_thread::sleep_for(20ms);
    }
    std::vector<Window> editor;
    for (int i = 0; i < 500 && top != 0 && editor.empty(); ++i) {
        editor = children(display, top);
        if (editor.empty()) std::this_thread::sleep_for(20ms);
    }
    return {editor.size() == 1 ? editor[0] : 0, top};
}

std::pair<Window, Window> showGui(Display* display, pid_t& gui,
                                  const std::vector<std::string>& args, const std::string& report) {
    std::vector<std::string> command{ZELTO_TOOL_PATH, "gui", "--seconds", "60"};
    command.insert(command.end(), args.begin(), args.end());
    return showTool(display, gui, command, report);
}

void closeAsWindowManager(Display* display, Window top) {
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = top;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, top, False, NoEventMask, &close);
    XFlush(display);
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void put64(std::string& s, uint64_t v) {
    put32(s, static_cast<uint32_t>(v));
    put32(s, static_cast<uint32_t>(v >> 32));
}
std::string fmtChunk(int channels, int rate) {
    std::string s = "fmt ";
    put32(s, 16);
    put16(s, 1);  // integer PCM
    put16(s, static_cast<uint32_t>(channels));
    put32(s, static_cast<uint32_t>(rate));
    put32(s, static_cast<uint32_t>(rate * channels * 2));
    put16(s, static_cast<uint32_t>(channels * 2));
    put16(s, 16);
    return s;
}

/// A 16-bit stereo WAV at 44.1 kHz of `frames` frames of a quiet tone.
void writeWav(const std::string& path, uint32_t frames) {
    std::string data;
    for (uint32_t n = 0; n < frames; ++n) {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(0.05 * n)));
        put16(data, v);
        put16(data, v);
    }
    std::string file = "RIFF";
    put32(file, static_cast<uint32_t>(4 + 24 + 8 + data.size()));
    file += "WAVE" + fmtChunk(2, 44100) + "data";
    put32(file, static_cast<uint32_t>(data.size()));
    std::ofstream(path, std::ios::binary) << file << data;
}

/// An RF64 file announcing `frames` frames of 16-bit stereo silence, sparse:
/// it takes a header's worth of disk whatever its length.
void writeSparseRf64(const std::string& path, uint64_t frames) {
    const uint64_t dataBytes = frames * 4;
    std::string head = "RF64";
    put32(head, 0xFFFFFFFFu);
    head += "WAVE";
    head += "ds64";
    put32(head, 28);
    put64(head, 4 + (8 + 28) + (8 + 16) + 8 + dataBytes);
    put64(head, dataBytes);
    put64(head, frames);
    put32(head, 0);
    head += fmtChunk(2, 44100) + "data";
    put32(head, 0xFFFFFFFFu);
    { std::ofstream(path, std::ios::binary) << head; }
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(head.size() + dataBytes)), 0);
}

/// The seconds "played N s of ..." reports, -1 without that line.
double playedSeconds(const std::string& text) {
    const size_t at = text.find("played ");
    return at == std::string::npos ? -1.0 : std::atof(text.c_str() + at + 7);
}

/// Resident memory of a running process in bytes, 0 once it is gone.
long residentBytes(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return 1024 * std::atol(line.c_str() + 6);
    }
    return 0;
}

}  // namespace

TEST(EditorWindow, ShowsTheSnapshotClicksAndClosesCleanly) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string snapshot = folder / "snapshot.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", snapshot, "--preset", "3"}), 0);

    const std::string report = folder / "gui.txt";
    pid_t gui = -1;
    // The switch makes zelto gui count windows, threads and descriptors.
    setenv("ZELTO_CHECK_EDITOR_RESOURCES", "1", 1);
    const auto [editor, top] = showGui(display, gui, {"--preset", "3"}, report);
    unsetenv("ZELTO_CHECK_EDITOR_RESOURCES");
    ASSERT_GT(gui, 0);
    ASSERT_NE(top, 0u) << "zelto gui showed no window";
    ASSERT_NE(editor, 0u) << "the editor is one child window of the host's window";
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(display, editor, &attributes), 0);
    EXPECT_EQ(attributes.width, 524);
    EXPECT_EQ(attributes.height, 462);

    // A click on the panel (away from any control) must not disturb it.
    const std::string id = std::to_string(editor);
    EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "262", "300", "click", "1"}), 0);
    std::this_thread::sleep_for(400ms);
    ASSERT_EQ(waitpid(gui, nullptr, WNOHANG), 0) << "zelto gui died after the click";

    // The window shows exactly what the offscreen snapshot shows.
    EXPECT_EQ(zelto_test::pixelsDifferingFrom(display, editor, snapshot), 0)
        << "pixels differing from the snapshot";

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
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    XCloseDisplay(display);
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    // With the switch, zelto gui exits non-zero when a cycle leaves a window,
    // a thread or a file descriptor behind, and prints what it counted.
    setenv("ZELTO_CHECK_EDITOR_RESOURCES", "1", 1);
    const pid_t gui =
        spawn({ZELTO_TOOL_PATH, "gui", "--seconds", "3", "--cycles", "25"}, folder / "out.txt");
    unsetenv("ZELTO_CHECK_EDITOR_RESOURCES");
    ASSERT_GT(gui, 0);
    EXPECT_EQ(waitFor(gui, 60s), 0);
    const std::string text = readText(folder / "out.txt");
    EXPECT_NE(text.find("editor closed: child windows left 0"), std::string::npos) << text;
    // Without it, what a user runs prints nothing of the kind.
    const pid_t plain = spawn({ZELTO_TOOL_PATH, "gui", "--seconds", "1"}, folder / "plain.txt");
    ASSERT_GT(plain, 0);
    EXPECT_EQ(waitFor(plain, 60s), 0);
    EXPECT_EQ(readText(folder / "plain.txt"), "");
}

TEST(EditorWindow, MouseAndKeysReachTheHostAsAutomation) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string report = folder / "log.txt";
    pid_t gui = -1;
    const auto [editor, top] = showGui(display, gui, {"--log-automation"}, report);
    ASSERT_GT(gui, 0);
    ASSERT_NE(editor, 0u) << "zelto gui showed no editor";
    const std::string id = std::to_string(editor);
    auto xdo = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        EXPECT_EQ(run(args), 0);
        std::this_thread::sleep_for(200ms);
    };
    // Drive: 40 pixels up from the middle of the knob is +0.1 of the range.
    xdo({"mousemove", "--window", id, "80", "380", "mousedown", "1", "mousemove", "--window", id,
         "80", "360", "mousemove", "--window", id, "80", "340", "mouseup", "1"});
    xdo({"mousemove", "--window", id, "97", "49", "click", "1"});    // Oversample on
    xdo({"mousemove", "--window", id, "428", "87", "click", "1"});   // Bits 16 -> 24
    xdo({"mousemove", "--window", id, "447", "418", "click", "1"});  // the Output field
    xdo({"type", "--", "-6dB"});
    xdo({"key", "Return"});
    xdo({"mousemove", "--window", id, "285", "274", "click", "1"});  // attenuation zoom 12 dB
    xdo({"mousemove", "--window", id, "240", "352", "click", "1"});  // K-system metering
    xdo({"mousemove", "--window", id, "285", "274", "click", "3"});  // save the metering set-up
    std::this_thread::sleep_for(700ms);                              // the flash is over
    ASSERT_EQ(waitpid(gui, nullptr, WNOHANG), 0) << "zelto gui died";

    // The window shows what a snapshot of the same settings shows.
    const std::string expected = folder / "expected.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", expected, "--set", "Drive=0.6", "--set",
                   "Oversample=1", "--set", "Bits=0.8333333", "--set", "Output=0.5", "--set",
                   "AttZoom=0.75", "--set", "MeterType=0.75"}),
              0);
    EXPECT_EQ(pixelsDifferingFrom(display, editor, expected), 0);

    closeAsWindowManager(display, top);
    EXPECT_EQ(waitFor(gui, 30s), 0);
    const std::string log = readText(report);
    const char* expectedLines[] = {
        "begin 1 \"Drive\"\n",
        "automate 1 0.600000 \"Drive\" \"4.816481 dB\"\nend 1 \"Drive\"\n",
        "automate 6 1.000000 \"Oversample\" \"on\"\n",
        "automate 10 0.833333 \"Bits\" \"24\"\n",
        "begin 0 \"Output\"\nautomate 0 0.500000 \"Output\" \"-6.02060 dB\"\nend 0 \"Output\"\n",
    };
    size_t at = 0;
    for (const char* line : expectedLines) {
        const size_t found = log.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << line << "in\n"
                                            << log;
        if (found != std::string::npos) at = found;
    }
    EXPECT_NE(log.find("automate 19 0.750000 \"AttZoom\" \"12dB\"\nautomate 18 0.750000"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("automate 19", log.find("automate 18")), std::string::npos)
        << "the right click sends nothing";

    // The six metering preferences are where the next instance reads them.
    const std::string prefs = folder.path() + "/KRW-soundlab/KRWzelto/PREFS";
    for (const char* name : {"Metering_Scale", "Metering_Type", "Metering_Zoom", "Metering_AttShow",
                             "Metering_Recon", "Metering_Post"}) {
        EXPECT_TRUE(fs::exists(prefs + "/" + name + ".dword")) << name;
    }
    const std::string info = folder / "info.txt";
    const pid_t next = spawn({ZELTO_TOOL_PATH, "info"}, info);
    ASSERT_EQ(waitFor(next, 60s), 0);
    const std::string parameters = readText(info);
    EXPECT_NE(parameters.find("AttZoom                  0.7500    12dB"), std::string::npos)
        << parameters;
    EXPECT_NE(parameters.find("MeterType                0.7500    k-system"), std::string::npos)
        << parameters;
    XCloseDisplay(display);
}

namespace {

/// Pixels of one column, from `foot` upwards, that differ from the PNG.
int columnDifferingFrom(Display* display, Window window, const std::string& png, int x, int foot) {
    cairo_surface_t* expected = cairo_image_surface_create_from_png(png.c_str());
    XImage* image = XGetImage(display, window, 0, 0, 524, 462, AllPlanes, ZPixmap);
    int n = 0;
    if (cairo_surface_status(expected) == CAIRO_STATUS_SUCCESS && image != nullptr) {
        const int stride = cairo_image_surface_get_stride(expected);
        const unsigned char* pixels = cairo_image_surface_get_data(expected);
        for (int y = foot; y >= 0; --y) {
            uint32_t want;
            std::memcpy(&want, pixels + y * stride + 4 * x, 4);
            if ((want & 0xFFFFFF) == (XGetPixel(image, x, y) & 0xFFFFFF)) break;
            ++n;
        }
    }
    if (image != nullptr) XDestroyImage(image);
    cairo_surface_destroy(expected);
    return n;
}

/// The colour of one pixel of the window (0xRRGGBB), or -1.
long pixelAt(Display* display, Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return -1;
    const long pixel = static_cast<long>(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

}  // namespace

TEST(EditorWindow, PlayMovesTheMetersAndTheLogoShowsTheInfoPanel) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "demo", "--out-dir", folder.path()}), 0);
    const std::string silent = folder / "silent.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", silent}), 0);

    const std::string report = folder / "play.txt";
    pid_t play = -1;
    const auto [editor, top] = showTool(display, play,
                                        {ZELTO_TOOL_PATH, "play", folder / "demo-in.wav", "--loop",
                                         "--seconds", "60", "--no-device", "--log-automation"},
                                        report);
    ASSERT_GT(play, 0);
    ASSERT_NE(editor, 0u) << "zelto play showed no editor";
    std::this_thread::sleep_for(1500ms);
    // The loud programme lights the input bars well up the scale.
    EXPECT_GT(columnDifferingFrom(display, editor, silent, 155, 401), 150);
    EXPECT_GT(columnDifferingFrom(display, editor, silent, 327, 401), 150);

    const std::string id = std::to_string(editor);
    const long panelLight = 0xD5ECF6;  // 213, 236, 246
    EXPECT_NE(pixelAt(display, editor, 60, 420), panelLight);
    EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "262", "385", "click", "1"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(pixelAt(display, editor, 60, 420), panelLight) << "the info panel did not open";
    // The next click, on the Drive knob, closes the panel and moves nothing.
    EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "80", "376", "click", "1"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_NE(pixelAt(display, editor, 60, 420), panelLight) << "the info panel stayed open";

    ASSERT_EQ(kill(play, SIGINT), 0);
    EXPECT_EQ(waitFor(play, 30s), 0);
    EXPECT_EQ(findWindow(display, "KRW Zelto"), 0u) << "a window outlived zelto play";
    const std::string text = readText(report);
    EXPECT_EQ(text.find("automate"), std::string::npos) << text;
    EXPECT_EQ(text.find("editor closed"), std::string::npos) << text;
    EXPECT_NE(text.find("played"), std::string::npos) << text;
    XCloseDisplay(display);
}

// Playing a file to its end is success, whether the end comes before
// --seconds or with no --seconds at all, with a device or paced by the clock.
TEST(EditorWindow, PlayingAFileToItsEndExitsZero) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    XCloseDisplay(display);
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string one = folder / "one-second.wav";
    writeWav(one, 44100);
    const std::vector<std::vector<std::string>> runs{
        {"--no-device"}, {"--no-device", "--seconds", "5"}, {}, {"--seconds", "5"}};
    for (const auto& extra : runs) {
        std::vector<std::string> command{ZELTO_TOOL_PATH, "play", one};
        command.insert(command.end(), extra.begin(), extra.end());
        std::string what;
        for (const auto& e : extra) what += e + " ";
        const std::string report = folder / "report.txt";
        const pid_t play = spawn(command, report);
        ASSERT_GT(play, 0);
        EXPECT_EQ(waitFor(play, 30s), 0) << what << readText(report);
        const std::string text = readText(report);
        EXPECT_NEAR(playedSeconds(text), 1.0, 0.01) << what << text;
        EXPECT_EQ(text.find("editor closed"), std::string::npos) << what << text;
    }
}

// A 13-hour file plays in the memory of a short one (it is streamed, not read
// whole), and a file of one frame loops as well as a long one.
TEST(EditorWindow, PlayStreamsLongFilesAndLoopsShortOnes) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    XCloseDisplay(display);
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string huge = folder / "thirteen-hours.wav";
    writeSparseRf64(huge, uint64_t{1} << 31);
    const std::string report = folder / "huge.txt";
    const pid_t play =
        spawn({ZELTO_TOOL_PATH, "play", huge, "--seconds", "1", "--no-device"}, report);
    ASSERT_GT(play, 0);
    // The sanitizers' shadow memory and allocators add their own tens of
    // megabytes; what matters there is that a 13-hour file stays far from
    // the gigabytes reading it whole would take.
#if defined(__SANITIZE_ADDRESS__)
    constexpr long kLimit = 200L << 20;
#elif defined(__SANITIZE_THREAD__)
    constexpr long kLimit = 400L << 20;
#else
    constexpr long kLimit = 50L << 20;
#endif
    long most = 0;
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (waitpid(play, &status, WNOHANG) == 0 && most <= kLimit &&
           std::chrono::steady_clock::now() < end) {
        most = std::max(most, residentBytes(play));
        std::this_thread::sleep_for(10ms);
    }
    if (waitpid(play, &status, WNOHANG) == 0) {
        kill(play, SIGKILL);
        waitpid(play, &status, 0);
        ADD_FAILURE() << "zelto play did not end within 30 s; resident " << (most >> 20) << " MB";
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readText(report);
        // The audio starts as the window is being made: a busy machine
        // plays a little more than the second the window stays open.
        EXPECT_GE(playedSeconds(readText(report)), 0.95) << readText(report);
    }
    EXPECT_GT(most, 0);
    EXPECT_LE(most, kLimit) << "resident memory reached " << (most >> 20) << " MB";

    // One frame repeats from memory; a quarter second is read again from
    // its start four times.
    for (const uint32_t frames : {1u, 11025u}) {
        const std::string shortFile = folder / ("short-" + std::to_string(frames) + ".wav");
        writeWav(shortFile, frames);
        const std::string looped = folder / "loop.txt";
        const pid_t loop =
            spawn({ZELTO_TOOL_PATH, "play", shortFile, "--loop", "--seconds", "1", "--no-device"},
                  looped);
        ASSERT_GT(loop, 0);
        EXPECT_EQ(waitFor(loop, 30s), 0) << frames << ": " << readText(looped);
        EXPECT_GE(playedSeconds(readText(looped)), 0.95) << frames << ": " << readText(looped);
    }
}

TEST(EditorWindow, PresetStripSavesLoadsStoresAndRecalls) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string expected = folder / "expected.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", expected, "--set", "Drive=0.6"}), 0);
    const std::string preset = folder / "mine.krw";
    pid_t gui = -1;
    const auto [editor, top] = showGui(
        display, gui, {"--set", "Drive=0.6", "--dialog-answer", preset}, folder / "log.txt");
    ASSERT_GT(gui, 0);
    ASSERT_NE(editor, 0u) << "zelto gui showed no editor";
    const std::string id = std::to_string(editor);
    auto click = [&](int x, int y, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"xdotool",         "mousemove",       "--window", id,
                                      std::to_string(x), std::to_string(y), "click"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("1");
        EXPECT_EQ(run(args), 0);
        std::this_thread::sleep_for(250ms);
    };
    auto showsExpected = [&] {
        // Away from the strip, so no button shows its hover frame.
        EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "262", "300"}), 0);
        std::this_thread::sleep_for(300ms);
        return pixelsDifferingFrom(display, editor, expected);
    };

    click(112, 454);  // save preset: the scripted dialog answers at once
    for (int i = 0; i < 100 && !fs::exists(preset); ++i) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(fs::exists(preset));
    EXPECT_EQ(fs::file_size(preset), 1041u);
    click(97, 49);  // Oversample on
    EXPECT_NE(showsExpected(), 0) << "the click changed nothing";
    click(174, 454);  // load preset
    EXPECT_EQ(showsExpected(), 0) << "the loaded preset did not restore the settings";

    click(396, 454);  // store A
    click(97, 49);
    click(429, 454);  // recall A
    EXPECT_EQ(showsExpected(), 0) << "memo A";
    click(460, 454);  // store B
    click(97, 49);
    click(494, 454);  // recall B
    EXPECT_EQ(showsExpected(), 0) << "memo B";

    click(144, 454, {"--repeat", "2", "--delay", "60"});  // default preset: double-click
    ASSERT_EQ(waitpid(gui, nullptr, WNOHANG), 0) << "zelto gui died";
    closeAsWindowManager(display, top);
    EXPECT_EQ(waitFor(gui, 30s), 0);

    // A new instance starts from the stored default preset.
    const std::string info = folder / "info.txt";
    ASSERT_EQ(waitFor(spawn({ZELTO_TOOL_PATH, "info"}, info), 60s), 0);
    const std::string text = readText(info);
    EXPECT_NE(text.find("Drive                    0.6000"), std::string::npos) << text;
    XCloseDisplay(display);
}

TEST(EditorWindow, AManualThatCannotOpenSaysSoInTheWindow) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    TempFolder folder;
    setenv("ZELTO_CONFIG_HOME", folder.path().c_str(), 1);
    const std::string expected = folder / "expected.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", expected}), 0);
    const std::string product = folder.path() + "/KRW-soundlab/KRWzelto";
    fs::create_directories(product);
    std::ofstream(product + "/ManualPath.txt") << folder.path() << "/manual.pdf";
    // An opener that finds no application for the document.
    fs::create_directories(folder / "bin");
    std::ofstream(folder / "bin/xdg-open") << "#!/bin/sh\nexit 3\n";
    fs::permissions(folder / "bin/xdg-open", fs::perms::owner_all);
    const std::string oldPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    setenv("PATH", ((folder / "bin") + ":" + oldPath).c_str(), 1);
    pid_t gui = -1;
    const auto [editor, top] = showGui(display, gui, {}, folder / "log.txt");
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_GT(gui, 0);
    ASSERT_NE(editor, 0u);
    const std::string id = std::to_string(editor);
    EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "515", "453", "click", "1"}), 0);
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(pixelAt(display, editor, 118, 230), 0xE8ECEE) << "no message over the window";
    EXPECT_EQ(run({"xdotool", "mousemove", "--window", id, "262", "300", "click", "1"}), 0);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(pixelsDifferingFrom(display, editor, expected), 0) << "the click left the message";
    closeAsWindowManager(display, top);
    EXPECT_EQ(waitFor(gui, 30s), 0);
    XCloseDisplay(display);
}
