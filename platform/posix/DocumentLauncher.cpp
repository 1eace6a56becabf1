// DocumentLauncher on POSIX: xdg-open as a child process, reaped on poll.
#include "platform/DocumentLauncher.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <mutex>
#include <vector>

extern char** environ;

namespace zelto {

namespace {

std::mutex programMutex;
std::string& openerProgram() {
    static std::string program = "xdg-open";
    return program;
}

// xdg-open's exit statuses: 0 done, 1 bad command line, 2 file not found,
// 3 a required tool is missing (nothing can open the document), 4 the action
// failed.
DocumentLauncher::Outcome outcomeOfStatus(int status) {
    if (!WIFEXITED(status)) return DocumentLauncher::Outcome::Failed;
    switch (WEXITSTATUS(status)) {
        case 0:
            return DocumentLauncher::Outcome::Opened;
        case 3:
            return DocumentLauncher::Outcome::NoApplication;
        default:
            return DocumentLauncher::Outcome::Failed;
    }
}

}  // namespace

void DocumentLauncher::setOpenerProgram(const std::string& program) {
    std::lock_guard<std::mutex> lock(programMutex);
    openerProgram() = program.empty() ? "xdg-open" : program;
}

DocumentLauncher::~DocumentLauncher() {
    if (pid > 0) poll();
}

DocumentLauncher::Outcome DocumentLauncher::start(const std::string& path) {
    if (isPending()) poll();
    if (isPending()) return outcome;
    if (path.empty()) return outcome = Outcome::Failed;
    std::string program;
    {
        std::lock_guard<std::mutex> lock(programMutex);
        program = openerProgram();
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // The viewer must not inherit the host's sockets, devices or files.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    // xdg-open knows no "--": a path that starts with a dash gets a "./"
    // in front, so it is never read as an option.
    const std::string argument = path[0] == '-' ? "./" + path : path;
    std::vector<char*> args{const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                            nullptr};
    pid_t child = -1;
    const int error = posix_spawnp(&child, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        // Without an opener nothing can show the document.
        return outcome =
                   error == ENOENT || error == EACCES ? Outcome::NoApplication : Outcome::Failed;
    }
    pid = child;
    return outcome = Outcome::Pending;
}

DocumentLauncher::Outcome DocumentLauncher::poll() {
    if (pid <= 0) return outcome;
    int status = 0;
    const pid_t r = waitpid(static_cast<pid_t>(pid), &status, WNOHANG);
    if (r == 0) return outcome;
    if (r < 0 && errno == EINTR) return outcome;
    pid = -1;
    // A host that reaps every child itself took the status: the opener ran,
    // and nothing more can be said.
    outcome = r < 0 ? Outcome::Opened : outcomeOfStatus(status);
    return outcome;
}

}  // namespace zelto
