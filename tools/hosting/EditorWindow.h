// The plug-in's editor in a top-level X11 window of its own, idled every 30 ms,
// the way a Linux DAW shows it; shared by `zelto gui` and `zelto play`.
#pragma once

#include <functional>
#include <string>

namespace zelto {

class PluginHost;

struct EditorWindowOptions {
    double seconds = 0.0;  // 0: until the window is closed or the run is stopped
    int cycles = 1;        // open and close the editor this often within seconds
    std::string title;     // after the effect's name in the title bar
    /// Polled before every idle; true ends the run as closing the window does.
    std::function<bool()> stopRequested;
    /// Runs with the editor still open, just before it closes.
    std::function<void()> beforeClose;
    /// Count the process's threads and file descriptors and the window's
    /// children before and after, print them and fail when closing the
    /// editor left any behind. For the test suite only: the counts are
    /// meaningful only while nothing else in the process starts or ends
    /// threads (not while `play` streams a file).
    bool checkResources = false;
};

/// Prints every automation message and edit gesture the plug-in sends from
/// now on, one line each (index, value, name and display text).
void logAutomation(PluginHost& host);

/// Shows the editor until the window is closed, the time is up, Ctrl-C, or
/// stopRequested. Throws ToolError without a display or without an editor.
int showEditorWindow(PluginHost& host, const EditorWindowOptions& options);

}  // namespace zelto
