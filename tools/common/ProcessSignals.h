// Signal handling for zelto's long runs. A fatal signal (typically a plug-in
// crashing inside a process call) removes the temporary output files and
// says what was going on before the process dies, chaining to whatever
// handler was installed before (so sanitizers still report). The first
// SIGINT/SIGTERM/SIGHUP only asks the render loop to stop; a second one ends
// the process the way a fatal signal does. The handlers allocate nothing.
#pragma once

#include <string>

namespace zelto {

void installSignalHandlers();
bool interruptRequested();

/// A temporary file to remove if the process dies; returns a slot for
/// unregisterTemporaryFile, or -1 if the path could not be recorded.
int registerTemporaryFile(const std::string& path);
void unregisterTemporaryFile(int slot);

/// A line printed if the process dies of a fatal signal while it is set
/// (e.g. what the plug-in was doing). The text must outlive the setting;
/// nullptr clears it.
void setCrashNote(const char* note);

}  // namespace zelto
