// Signal handling for zelto; see Signals.h. Everything the handlers touch is
// fixed storage or an atomic, and they call only async-signal-safe functions.
#include "tools/common/ProcessSignals.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

namespace zelto {

namespace {

constexpr size_t kMaxTempFiles = 8;
constexpr size_t kMaxTempPath = 4096;
std::array<std::array<char, kMaxTempPath>, kMaxTempFiles> g_tempPaths{};
std::array<std::atomic<bool>, kMaxTempFiles> g_tempUsed{};
volatile sig_atomic_t g_interrupts = 0;
std::atomic<const char*> g_crashNote{nullptr};

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
struct sigaction g_previous[NSIG];

void removeAllTemps() {
    for (size_t i = 0; i < kMaxTempFiles; ++i) {
        if (g_tempUsed[i].load()) ::unlink(g_tempPaths[i].data());
    }
}

void say(const char* text) {
    if (::write(STDERR_FILENO, text, std::strlen(text)) < 0) {
        // Nothing more can be done from inside a dying process.
    }
}

void chainOrDie(int sig, siginfo_t* info, void* context) {
    const struct sigaction& prev = g_previous[sig];
    if ((prev.sa_flags & SA_SIGINFO) != 0 && prev.sa_sigaction != nullptr) {
        prev.sa_sigaction(sig, info, context);
        return;
    }
    if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN && prev.sa_handler != nullptr) {
        prev.sa_handler(sig);
        return;
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void sayNumber(long value) {
    char digits[24];
    size_t n = sizeof digits;
    digits[--n] = '\0';
    const bool negative = value < 0;
    unsigned long v =
        negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
        digits[--n] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n > 1);
    if (negative && n > 0) digits[--n] = '-';
    say(digits + n);
}

// A signal another process sent with kill() is not a crash of the plug-in,
// however fatal its name; abort() inside this process also arrives as a sent
// signal, but from our own process id.
bool sentFromOutside(const siginfo_t* info) {
    return info != nullptr && info->si_code <= 0 && info->si_pid != ::getpid();
}

void onFatalSignal(int sig, siginfo_t* info, void* context) {
    removeAllTemps();
    const char* name = sig == SIGSEGV  ? "SIGSEGV"
                       : sig == SIGBUS ? "SIGBUS"
                       : sig == SIGILL ? "SIGILL"
                       : sig == SIGFPE ? "SIGFPE"
                                       : "SIGABRT";
    if (sentFromOutside(info)) {
        say("zelto: stopped by ");
        say(name);
        say(" sent by process ");
        sayNumber(static_cast<long>(info->si_pid));
    } else {
        say("zelto: fatal signal ");
        say(name);
        if (const char* note = g_crashNote.load(); note != nullptr) {
            say(" ");
            say(note);
        }
    }
    say("; no output file was written\n");
    chainOrDie(sig, info, context);
}

void onStopSignal(int sig, siginfo_t* info, void* context) {
    if (g_interrupts > 0) {
        removeAllTemps();
        chainOrDie(sig, info, context);
        return;
    }
    g_interrupts = 1;
}

}  // namespace

void installSignalHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action {};
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = onFatalSignal;
    for (int sig : kFatalSignals) sigaction(sig, &action, &g_previous[sig]);
    action.sa_sigaction = onStopSignal;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, &g_previous[sig]);
}

bool interruptRequested() {
    return g_interrupts != 0;
}

int registerTemporaryFile(const std::string& path) {
    if (path.size() >= kMaxTempPath) return -1;
    for (size_t i = 0; i < kMaxTempFiles; ++i) {
        if (!g_tempUsed[i].load()) {
            std::memcpy(g_tempPaths[i].data(), path.c_str(), path.size() + 1);
            g_tempUsed[i].store(true);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void unregisterTemporaryFile(int slot) {
    if (slot >= 0 && static_cast<size_t>(slot) < kMaxTempFiles) {
        g_tempUsed[static_cast<size_t>(slot)].store(false);
    }
}

void setCrashNote(const char* note) {
    g_crashNote.store(note);
}

}  // namespace zelto
