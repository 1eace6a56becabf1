// POSIX file helpers; see FileIO.h.
#include "platform/FileIO.h"
#include "platform/TemporaryName.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace zelto {

namespace {

using detail::kTempMarker;
using detail::kTempSuffix;
constexpr int kMaxSymlinkHops = 40;

bool writeAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string systemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Six characters for a temporary name; unpredictable enough that another
// process's O_EXCL creation collides only by accident, and then we retry.
std::string randomSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> counter{0};
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        bits = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 32) ^
               (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    }
    std::string s(kTempSuffix, 'A');
    for (char& c : s) {
        c = kAlphabet[bits % (sizeof kAlphabet - 1)];
        bits /= sizeof kAlphabet - 1;
    }
    return s;
}

void syncFolder(const std::string& folder) {
    const int dir =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);  // best effort: the rename itself is already atomic
    ::close(dir);
}

}  // namespace

int openRegularFile(const std::string& path, ReadError* error) {
    auto fail = [error](ReadError why) {
        if (error != nullptr) *error = why;
        return -1;
    };
    // Opening a device can have effects of its own and opening a FIFO waits
    // for a writer: look first, then open without blocking and look again at
    // what was actually opened.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        return fail(errno == ENOENT || errno == ENOTDIR ? ReadError::Missing : ReadError::Failed);
    }
    if (!S_ISREG(st.st_mode)) return fail(ReadError::NotAFile);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return fail(errno == ENOENT ? ReadError::Missing : ReadError::Failed);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(ReadError::NotAFile);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (error != nullptr) *error = ReadError::None;
    return fd;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize,
                                                  ReadError* error) {
    auto fail = [error](ReadError why) -> std::optional<std::vector<uint8_t>> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    ReadError why = ReadError::None;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) return fail(why);
    struct stat st;
    if (::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) > maxSize) {
        ::close(fd);
        return fail(ReadError::TooLarge);
    }
    std::vector<uint8_t> data;
    data.reserve(static_cast<size_t>(st.st_size));
    uint8_t buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return fail(ReadError::Failed);
        }
        if (got == 0) break;
        if (data.size() + static_cast<size_t>(got) > maxSize) {
            ::close(fd);
            return fail(ReadError::TooLarge);
        }
        data.insert(data.end(), buffer, buffer + got);
    }
    ::close(fd);
    if (error != nullptr) *error = ReadError::None;
    return data;
}

// ---- writing ----

namespace {

// Follows symlinks by hand: the file at the end of the chain is the one to
// replace, and the chain may end in a name that does not exist yet. False
// (with the reason) when the path cannot be written as a regular file.
bool resolveTarget(const std::string& path, std::string& target, struct stat& st, bool& exists,
                   std::string& why) {
    if (path.empty()) {
        why = "no file name was given";
        return false;
    }
    std::string current = path;
    exists = false;
    for (int hop = 0;; ++hop) {
        if (hop > kMaxSymlinkHops) {
            why = "too many levels of symbolic links";
            return false;
        }
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                why = systemError("cannot look at '" + current + "'");
                return false;
            }
            break;
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            break;
        }
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<size_t>(n) >= link.size()) {
            why = systemError("cannot read the symbolic link '" + current + "'");
            return false;
        }
        link.resize(static_cast<size_t>(n));
        if (link.empty() || link.front() != '/') {
            std::string folder, name;
            splitPath(current, folder, name);
            link = folder + link;
        }
        current = link;
    }
    target = current;
    if (target.back() == '/') {
        why = "it names a folder, not a file";
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        const std::string kind = kindOf(st.st_mode);
        why = target == path
                  ? "it is " + kind + ", not a regular file"
                  : "it leads to '" + target + "', which is " + kind + ", not a regular file";
        return false;
    }
    return true;
}

}  // namespace

bool canReplace(const std::string& path, std::string* why) {
    std::string target, reason;
    struct stat st {};
    bool exists = false;
    const bool ok = resolveTarget(path, target, st, exists, reason);
    if (!ok && why != nullptr) *why = reason;
    return ok;
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) {
    struct stat st {};
    bool exists = false;
    if (!resolveTarget(path, target_, st, exists, error_)) return;
    splitPath(target_, folder_, name_);

    sweepStaleTemporaries(folder_);

    const std::string openFolder = folder_.empty() ? "." : folder_;
    // An unnamed file cannot be left behind by a crash. It is linked into
    // place through /proc, so only use it where /proc is there.
    if (::access("/proc/self/fd", X_OK) == 0) {
        fd_ = ::open(openFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
        if (fd_ >= 0) {
            unnamed_ = true;
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            fail(systemError("cannot create a file in folder '" + openFolder + "'"));
            return;
        }
    }
    if (fd_ < 0) {
        // Very long names are shortened: the temporary's name must still fit.
        const std::string stem = std::string(".").append(name_, 0, 200).append(kTempMarker);
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            tempPath_ = folder_ + stem + randomSuffix();
            fd_ =
                ::open(tempPath_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0644);
            if (fd_ < 0 && errno != EEXIST) break;
        }
        if (fd_ < 0) {
            tempPath_.clear();
            fail(systemError("cannot create a file in folder '" + openFolder + "'"));
            return;
        }
    }
    if (exists) {
        // A replaced file keeps its owner (where we may set it) and its mode.
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // Not ours to give away: the new file stays ours, with the old mode.
        }
        ::fchmod(fd_, st.st_mode & 07777);
    }
}

AtomicFileWriter::~AtomicFileWriter() {
    if (!committed_) discard();
}

bool AtomicFileWriter::fail(const std::string& why) {
    error_ = why;
    return false;
}

bool AtomicFileWriter::write(const void* data, size_t size) {
    if (fd_ < 0) return false;
    if (size != 0 && data == nullptr) return fail("no data");
    if (!writeAll(fd_, data, size)) return fail(systemError("write failed"));
    return true;
}

bool AtomicFileWriter::linkUnnamed() {
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd_);
    // Straight into place when nothing is there yet: no name ever shows.
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    if (errno != EEXIST) return fail(systemError("cannot put the file in place"));
    // Replacing needs a name to rename from, for the moment between the two.
    const std::string stem = folder_ + std::string(".").append(name_, 0, 200).append(kTempMarker);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = stem + randomSuffix();
        if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            tempPath_ = candidate;
            return true;
        }
        if (errno != EEXIST) break;
    }
    return fail(systemError("cannot put the file in place"));
}

bool AtomicFileWriter::commit() {
    if (fd_ < 0 || committed_) return false;
    if (::fsync(fd_) != 0) return fail(systemError("cannot sync the file"));
    if (unnamed_) {
        if (!linkUnnamed()) return false;
        if (tempPath_.empty()) {
            // Linked straight to the target: done.
            ::close(fd_);
            fd_ = -1;
            committed_ = true;
            syncFolder(folder_);
            return true;
        }
    }
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!closed) return fail(systemError("cannot finish the file"));
    if (::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        return fail(systemError("cannot move the finished file into place"));
    }
    tempPath_.clear();
    committed_ = true;
    syncFolder(folder_);
    return true;
}

void AtomicFileWriter::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

void sweepStaleTemporaries(const std::string& folder, int minAgeSeconds) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    const int dirFd = ::dirfd(dir);
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isTemporaryName(name)) continue;
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (now - st.st_mtime < minAgeSeconds) continue;
        ::unlinkat(dirFd, name.c_str(), 0);
    }
    ::closedir(dir);
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace zelto
