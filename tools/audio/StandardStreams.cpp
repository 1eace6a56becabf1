// Standard input and output as audio files; see StandardStreams.h.
#include "tools/audio/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/common/ProcessSignals.h"
#include "tools/common/ToolError.h"

namespace zelto {

namespace {

std::string temporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

/// Writes all of buf to fd; false with errno set on failure.
bool writeAll(int fd, const char* buf, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, buf, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buf += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& stem, const std::string& suffix) {
    std::string templ = temporaryFolder() + "/" + stem + "-XXXXXX" + suffix;
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    const int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        throw ToolError(kExitOutput, "cannot make a temporary file in '" + temporaryFolder() +
                                         "': " + std::strerror(errno));
    }
    ::close(fd);
    path_ = name.data();
    slot_ = registerTemporaryFile(path_);
}

TemporaryFile::~TemporaryFile() {
    ::unlink(path_.c_str());
    if (slot_ >= 0) unregisterTemporaryFile(slot_);
}

void readStandardInput(const TemporaryFile& file) {
    if (::isatty(STDIN_FILENO)) {
        throw ToolError(kExitInput,
                        "standard input is a terminal; '-' reads audio piped or redirected in");
    }
    const int out = ::open(file.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        throw ToolError(kExitInput, "cannot keep standard input in '" + file.path() +
                                        "': " + std::strerror(errno));
    }
    std::vector<char> buf(1 << 16);
    size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR && !interruptRequested()) continue;
            const std::string why = errno == EINTR ? "interrupted" : std::strerror(errno);
            ::close(out);
            throw ToolError(errno == EINTR ? kExitInterrupted : kExitInput,
                            "cannot read standard input: " + why);
        }
        if (!writeAll(out, buf.data(), static_cast<size_t>(n))) {
            const std::string why = std::strerror(errno);
            ::close(out);
            throw ToolError(kExitInput,
                            "cannot keep standard input in '" + file.path() + "': " + why);
        }
        total += static_cast<size_t>(n);
    }
    ::close(out);
    if (total == 0) throw ToolError(kExitInput, "standard input is empty: no audio to read");
}

void refuseTerminalOutput() {
    if (::isatty(STDOUT_FILENO)) {
        throw ToolError(kExitOutput,
                        "standard output is a terminal; '-' writes audio to a pipe or a "
                        "redirected file");
    }
}

void writeStandardOutput(const std::string& path) {
    // A reader that leaves early (`| head`) is an error with its reason, not
    // a silent death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        throw ToolError(kExitOutput,
                        "cannot read back the output: " + std::string(std::strerror(errno)));
    }
    std::vector<char> buf(1 << 16);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || !writeAll(STDOUT_FILENO, buf.data(), static_cast<size_t>(n))) {
            const std::string why = std::strerror(errno);
            ::close(in);
            throw ToolError(kExitOutput, "cannot write the audio to standard output: " + why);
        }
    }
    ::close(in);
}

}  // namespace zelto
