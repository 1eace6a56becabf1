// Opens a document in the user's own application without waiting for it:
// start() launches the desktop's opener, poll() tells, without blocking,
// how it went. One thread uses a launcher.
// The POSIX side runs xdg-open through posix_spawnp with an argument vector
// (never a shell, so no character of the path is ever interpreted); a
// Windows port supplies the same interface on the shell's "open" verb.
#pragma once

#include <sys/types.h>

#include <string>

namespace zelto {

class DocumentLauncher {
  public:
    enum class Outcome {
        Pending,        // the opener is still at work
        Opened,         // the document is open (or the opener said so)
        NoApplication,  // no opener, or none for this kind of document
        Failed,         // no path, file not found, or the opener failed
    };

    DocumentLauncher() = default;
    /// Reaps the opener if it has ended; one still running is left to finish.
    ~DocumentLauncher();
    DocumentLauncher(const DocumentLauncher&) = delete;
    DocumentLauncher& operator=(const DocumentLauncher&) = delete;

    /// Starts opening path; answers the outcome when it is known at once
    /// (an empty path, no opener), else Pending.
    Outcome start(const std::string& path);
    /// The outcome so far; never blocks.
    Outcome poll();
    bool isPending() const { return outcome == Outcome::Pending; }

    /// The opener program (tests point it at stand-ins; "xdg-open" unless set).
    static void setOpenerProgram(const std::string& program);

  private:
    pid_t pid = -1;
    Outcome outcome = Outcome::Opened;
};

}  // namespace zelto
