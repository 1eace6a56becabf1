// `zelto gui`: the plug-in's editor in a real window, the way a Linux DAW
// shows it: a top-level X11 window of the size the editor asks for, its id
// handed to effEditOpen, effEditIdle every 30 ms. For trying the editor by
// hand and for driving it with xdotool under Xvfb. With
// ZELTO_CHECK_EDITOR_RESOURCES=1 in the environment (set by the test suite) it
// checks on the way out that closing the editor left no window, thread or
// file descriptor behind, and fails if it did.
// With --log-automation it prints every automation message the editor sends
// (parameter changes and the begin/end of each gesture), so a person or a
// test can see what a click, a drag or typed text did.
// With --dialog-answer PATH every file dialog the editor opens answers PATH
// at once: a stand-in "zenity" that prints it goes first on the PATH of
// this process, so the plug-in's own dialog code runs unchanged.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "tools/cli/Cli.h"
#include "tools/cli/Grammar.h"
#include "tools/common/ProcessSignals.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/EditorWindow.h"
#include "tools/hosting/PluginHost.h"
#include "tools/hosting/PresetSources.h"

namespace zelto {

namespace {

constexpr int kIdleMs = 30;

int countEntries(const char* folder) {
    DIR* dir = opendir(folder);
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(dir);
    return n - (std::string(folder) == "/proc/self/fd" ? 1 : 0);  // the one opendir holds
}

int childWindows(Display* display, Window window) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return -1;
    if (children != nullptr) XFree(children);
    return static_cast<int>(count);
}

struct Usage {
    int threads, fds;
};

Usage usageNow() {
    return {countEntries("/proc/self/task"), countEntries("/proc/self/fd")};
}

/// One line per message: what, index, value (changes only), the parameter's
/// name and its display text with label as the plug-in gives them now.
void logEdit(PluginHost& host, VstInt32 opcode, VstInt32 index, float value) {
    const bool known = index >= 0 && index < host.numParams();
    const std::string name = known ? host.paramName(index) : std::string();
    if (opcode == audioMasterAutomate) {
        std::string display;
        if (known) {
            display = host.paramDisplay(index);
            const std::string label = host.paramLabel(index);
            if (!label.empty()) display += " " + label;
        }
        std::printf("automate %d %.6f \"%s\" \"%s\"\n", index, static_cast<double>(value),
                    name.c_str(), display.c_str());
    } else {
        std::printf("%s %d \"%s\"\n", opcode == audioMasterBeginEdit ? "begin" : "end", index,
                    name.c_str());
    }
    std::fflush(stdout);
}

/// A folder holding the stand-in dialog program, removed with the object.
class ScriptedDialog {
  public:
    explicit ScriptedDialog(const std::string& answer) {
        char templ[] = "/tmp/zelto-dialog-XXXXXX";
        if (mkdtemp(templ) == nullptr) {
            throw ToolError(kExitFailure, "cannot make a folder for the scripted dialog");
        }
        folder_ = templ;
        const std::string program = folder_ + "/zenity";
        {
            // The answer travels in the environment, so no character of it is
            // ever read by the shell as script.
            std::ofstream out(program);
            out << "#!/bin/sh\nprintf '%s\\n' \"$ZELTO_DIALOG_ANSWER\"\n";
        }
        chmod(program.c_str(), 0700);
        setenv("ZELTO_DIALOG_ANSWER", answer.c_str(), 1);
        const char* path = getenv("PATH");
        std::string searched = folder_;
        if (path != nullptr) {
            searched += ':';
            searched += path;
        }
        setenv("PATH", searched.c_str(), 1);
    }
    ~ScriptedDialog() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    ScriptedDialog(const ScriptedDialog&) = delete;
    ScriptedDialog& operator=(const ScriptedDialog&) = delete;

  private:
    std::string folder_;
};

}  // namespace

int runGui(const ParsedArgs& args) {
    const std::string plugin = pluginPath(args);
    const PresetSources sources = presetSources(args);
    const ParameterSets sets = parameterSets(args);
    const double seconds = args.number("--seconds").value_or(0.0);  // 0: until closed
    const int cycles = static_cast<int>(args.integer("--cycles").value_or(1));
    const bool logEdits = args.has("--log-automation");
    const std::string dialogAnswer = args.text("--dialog-answer").value_or("");
    // The stand-in dialog program must be on PATH before the plug-in starts one.
    std::unique_ptr<ScriptedDialog> scripted;
    if (!dialogAnswer.empty()) scripted = std::make_unique<ScriptedDialog>(dialogAnswer);
    PluginHost host(plugin);
    applyPresetSources(host, sources);
    applyParameterSets(host, sets);
    if (logEdits) logAutomation(host);
    EditorWindowOptions window;
    window.seconds = seconds;
    window.cycles = cycles;
    window.title = "zelto gui";
    const char* check = getenv("ZELTO_CHECK_EDITOR_RESOURCES");
    window.checkResources = check != nullptr && std::string(check) == "1";
    return showEditorWindow(host, window);
}

void logAutomation(PluginHost& host) {
    host.setEditListener([&host](VstInt32 opcode, VstInt32 index, float value) {
        logEdit(host, opcode, index, value);
    });
}

int showEditorWindow(PluginHost& host, const EditorWindowOptions& options) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        throw ToolError(kExitUnsupported, "cannot open the X display (is DISPLAY set?)");
    }
    struct DisplayCloser {
        Display* d;
        ~DisplayCloser() { XCloseDisplay(d); }
    } closer{display};

    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    if ((host.effect().flags & effFlagsHasEditor) == 0) {
        throw ToolError(kExitUnsupported, "the plug-in has no editor");
    }
    if (rect == nullptr || rect->right - rect->left <= 0 || rect->bottom - rect->top <= 0) {
        throw ToolError(kExitUnsupported, "the plug-in's editor gives no size");
    }
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;

    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(
        display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, BlackPixel(display, screen), BlackPixel(display, screen));
    const std::string title = host.effectName() + " - " + options.title;
    XStoreName(display, window, title.c_str());
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XSync(display, False);

    installSignalHandlers();
    const Usage before = usageNow();
    bool closedByUser = false;
    const int cycles = options.cycles;
    const double cycleSeconds = options.seconds > 0.0 ? options.seconds / cycles : 0.0;
    bool stopped = false;
    for (int cycle = 0; cycle < cycles && !closedByUser && !stopped; ++cycle) {
        host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == ClientMessage &&
                    static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow) {
                    closedByUser = true;
                }
            }
            if (closedByUser || interruptRequested()) break;
            if (options.stopRequested && options.stopRequested()) {
                stopped = true;
                break;
            }
            host.dispatch(effEditIdle);
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (cycleSeconds > 0.0 && elapsed >= cycleSeconds) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kIdleMs));
        }
        if (options.beforeClose && cycle == cycles - 1) options.beforeClose();
        host.dispatch(effEditClose);
        if (interruptRequested()) break;
    }
    XSync(display, False);
    const int leftWindows = childWindows(display, window);
    const Usage after = usageNow();
    XDestroyWindow(display, window);
    XSync(display, False);
    if (options.checkResources) {
        std::printf(
            "editor closed: child windows left %d, threads %d -> %d, file descriptors %d -> %d\n",
            leftWindows, before.threads, after.threads, before.fds, after.fds);
        if (leftWindows != 0 || after.threads != before.threads || after.fds != before.fds) {
            throw ToolError(kExitFailure, "closing the editor left resources behind");
        }
    }
    return kExitOk;
}

}  // namespace zelto
