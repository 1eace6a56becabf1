// POSIX file helpers; see FileIO.h.
#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zelto {

namespace {

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

}  // namespace

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path, size_t maxSize,
                                                  ReadError* error) {
    auto fail = [error](ReadError why) -> std::optional<std::vector<uint8_t>> {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(errno == ENOENT ? ReadError::Missing : ReadError::Failed);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(ReadError::NotAFile);
    }
    if (static_cast<uint64_t>(st.st_size) > maxSize) {
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

bool writeFileAtomically(const std::string& path, const void* data, size_t size) {
    if (path.empty() || (data == nullptr && size != 0)) return false;
    std::string folder, name;
    splitPath(path, folder, name);
    if (name.empty()) return false;
    std::string tempPath = folder + "." + name + ".XXXXXX";
    const int fd = mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // mkostemp makes the file private; a replaced file keeps its own mode.
    struct stat old;
    fchmod(fd, ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    bool ok = writeAll(fd, data, size) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tempPath.c_str());
    return ok;
}

void splitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, slash + 1);
        name = path.substr(slash + 1);
    }
}

}  // namespace zelto
