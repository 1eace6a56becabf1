// A helper program run as a child process, its standard output collected:
// how the file dialogs run. Started with posix_spawnp and an argument vector
// (never a shell), with no descriptor of the host but its own output pipe.
// Can be polled without blocking, so the host's user-interface thread keeps
// running while the dialog is up. Owned and used by one thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zelto::toolkit {

class DialogProcess {
  public:
    DialogProcess() = default;
    /// Ends a process still running (terminate, then kill) and reaps it.
    ~DialogProcess();
    DialogProcess(const DialogProcess&) = delete;
    DialogProcess& operator=(const DialogProcess&) = delete;

    /// False when the program cannot be started (for example not installed).
    bool start(const std::vector<std::string>& argv);
    /// Collects what is there; true once the process has ended and all its
    /// output is in.
    bool poll();
    /// Blocks until the process has ended.
    void wait();
    /// Ends the process now.
    void terminate();

    bool running() const { return pid > 0 && !finished; }
    bool isFinished() const { return finished; }
    /// The exit code, or -1 when it ended by a signal or could not be told
    /// (a host that reaps every child itself).
    int exitCode() const { return code; }
    const std::string& output() const { return out; }

  private:
    void readAvailable(bool block);
    void reap(bool block);

    pid_t pid = -1;
    int pipeFd = -1;
    bool eof = false;     // the output pipe is closed
    bool exited = false;  // reaped here, exit code known
    bool lost = false;    // reaped by someone else (the host)
    bool finished = false;
    int code = -1;
    std::string out;
};

}  // namespace zelto::toolkit
