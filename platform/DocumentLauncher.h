// Opens a document in the user's own application without waiting for it:
// start() launches the desktop's opener, poll() tells, without blocking,
// how it went. One thread uses a launcher.
// The POSIX side runs xdg-open through posix_spawnp with an argument vector
// (never a shell, so no character of the path is ever interpreted). On
// Windows the shell's "open" verb answers at once, so start() never leaves
// the launcher pending there.
#pragma once

#include <cstdint>
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

    /// The opener program (tests point it at stand-ins; "xdg-open" unless
    /// set). On Windows, a program set here is started with the path as its
    /// argument instead of opening the document by its type.
    static void setOpenerProgram(const std::string& program);

  private:
    std::intptr_t pid = -1;  // the running opener's process id (POSIX only)
    Outcome outcome = Outcome::Opened;
};

}  // namespace zelto
