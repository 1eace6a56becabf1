// DialogProcess: spawn, non-blocking collection, reaping.
#include "toolkit/platform/posix/DialogProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace zelto::toolkit {

DialogProcess::~DialogProcess() {
    if (pid > 0 && !exited && !lost) {
        reap(false);
        if (!exited && !lost) terminate();
    }
    if (pipeFd >= 0) close(pipeFd);
}

bool DialogProcess::start(const std::vector<std::string>& argv) {
    if (pid > 0 || argv.empty()) return false;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Nothing of the host's (sockets, audio devices, files) goes to the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    // The host may block or ignore signals; the dialog gets the defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t child = -1;
    const int error = posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        return false;
    }
    pid = child;
    pipeFd = fds[0];
    fcntl(pipeFd, F_SETFL, fcntl(pipeFd, F_GETFL) | O_NONBLOCK);
    return true;
}

void DialogProcess::readAvailable(bool block) {
    while (!eof && pipeFd >= 0) {
        if (block) {
            pollfd p{pipeFd, POLLIN, 0};
            const int ready = ::poll(&p, 1, -1);
            if (ready < 0 && errno == EINTR) continue;
        }
        char chunk[4096];
        const ssize_t n = read(pipeFd, chunk, sizeof chunk);
        if (n > 0) {
            // A path is short; anything beyond this is not an answer.
            if (out.size() < (1u << 20)) out.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) {
            eof = true;
            break;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!block) return;
            continue;
        }
        eof = true;  // a broken pipe ends the answer
    }
}

void DialogProcess::reap(bool block) {
    if (exited || lost || pid <= 0) return;
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, block ? 0 : WNOHANG);
        if (r == pid) {
            code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            exited = true;
            return;
        }
        if (r == 0) return;  // still running
        if (r < 0 && errno == EINTR) continue;
        // ECHILD: the host reaps children itself; the pipe's end tells us.
        code = -1;
        lost = true;
        return;
    }
}

bool DialogProcess::poll() {
    if (pid <= 0 || finished) return true;
    readAvailable(false);
    reap(false);
    if (exited) {
        // Whatever it wrote before it ended is in the pipe by now.
        readAvailable(false);
        finished = true;
    } else if (eof && lost) {
        finished = true;
    }
    return finished;
}

void DialogProcess::wait() {
    while (!poll()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void DialogProcess::terminate() {
    if (pid <= 0 || finished) return;
    if (!exited && !lost) {
        kill(pid, SIGTERM);
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(1000);
        for (reap(false); !exited && !lost && steady_clock::now() < deadline; reap(false)) {
            std::this_thread::sleep_for(milliseconds(10));
        }
        if (!exited && !lost) {
            kill(pid, SIGKILL);
            reap(true);
        }
    } else if (lost && !eof) {
        // Reaped by the host, but its pipe is open: it is still there.
        kill(pid, SIGTERM);
    }
    finished = true;
    eof = true;
}

}  // namespace zelto::toolkit
