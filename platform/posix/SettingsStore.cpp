// Settings store, POSIX backend. See SettingsStore.h for the guarantees.
#include "platform/SettingsStore.h"

#include "platform/FileIO.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace zelto {

namespace {

constexpr const char* kKindInt = "dword";
constexpr const char* kKindBlob = "bin";
constexpr const char* kKindText = "txt";
constexpr const char* kAllKinds[] = {kKindInt, kKindBlob, kKindText};

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    struct passwd pw;
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr) {
        return result->pw_dir;
    }
    return {};
}

bool makeDirectories(const std::string& path) {
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Holds an exclusive lock on a key's folder. A value is one file whose
// extension is its kind; writing it and removing the other kinds happen under
// this lock, or two processes writing the same name as different kinds could
// each remove the other's value and leave none.
class FolderLock {
  public:
    explicit FolderLock(const std::string& dir)
        : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_;
};

}  // namespace

std::string SettingsStore::productDirectory() {
    std::string base;
    if (const char* own = std::getenv("ZELTO_CONFIG_HOME"); own != nullptr && own[0] != '\0') {
        base = own;
    } else if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        std::string home = homeDirectory();
        if (home.empty()) return {};
        base = home + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/KRW-soundlab/KRWzelto";
}

std::string SettingsStore::directory() const {
    if (!keyValid_) return {};
    std::string dir = productDirectory();
    if (dir.empty() || key_.empty()) return dir;
    return dir + "/" + key_;
}

std::optional<std::string> SettingsStore::readFile(std::string_view name, const char* kind) const {
    if (!isPlainName(name)) return std::nullopt;
    const std::string dir = directory();
    if (dir.empty()) return std::nullopt;
    auto bytes = readWholeFile(dir + "/" + std::string(name) + "." + kind, kMaxValueBytes);
    if (!bytes) return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

std::optional<int32_t> SettingsStore::readInt(std::string_view name) const {
    auto content = readFile(name, kKindInt);
    if (!content) return std::nullopt;
    std::string_view text(*content);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (value < INT32_MIN || value > static_cast<int64_t>(UINT32_MAX)) return std::nullopt;
    // Values above INT32_MAX are the same 32 bits written as unsigned.
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::optional<std::vector<uint8_t>> SettingsStore::readBlob(std::string_view name) const {
    auto content = readFile(name, kKindBlob);
    if (!content) return std::nullopt;
    return std::vector<uint8_t>(content->begin(), content->end());
}

std::optional<std::string> SettingsStore::readText(std::string_view name) const {
    auto content = readFile(name, kKindText);
    if (!content || content->find('\0') != std::string::npos) return std::nullopt;
    return content;
}

bool SettingsStore::writeFile(std::string_view name, const char* kind, const void* data,
                              size_t size) const {
    if (!isPlainName(name) || size > kMaxValueBytes) return false;
    const std::string dir = directory();
    if (dir.empty() || !makeDirectories(dir)) return false;
    const FolderLock lock(dir);
    if (!lock.held()) return false;
    if (!writeFileAtomically(dir + "/" + std::string(name) + "." + kind, data, size)) return false;
    // One name holds one value: drop what an earlier write of another kind left.
    for (const char* other : kAllKinds) {
        if (std::strcmp(other, kind) != 0) {
            ::unlink((dir + "/" + std::string(name) + "." + other).c_str());
        }
    }
    return true;
}

bool SettingsStore::writeInt(std::string_view name, int32_t value) const {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof text - 1, value);
    if (ec != std::errc()) return false;
    *end++ = '\n';
    return writeFile(name, kKindInt, text, static_cast<size_t>(end - text));
}

bool SettingsStore::writeBlob(std::string_view name, const void* data, size_t size) const {
    if (data == nullptr && size != 0) return false;
    return writeFile(name, kKindBlob, data, size);
}

bool SettingsStore::writeText(std::string_view name, std::string_view text) const {
    if (text.find('\0') != std::string_view::npos) return false;
    return writeFile(name, kKindText, text.data(), text.size());
}

bool SettingsStore::remove(std::string_view name) const {
    if (!isPlainName(name)) return false;
    const std::string dir = directory();
    if (dir.empty()) return false;
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) return errno == ENOENT;  // nothing stored at all
    const FolderLock lock(dir);
    if (!lock.held()) return false;
    bool ok = true;
    for (const char* kind : kAllKinds) {
        const std::string path = dir + "/" + std::string(name) + "." + kind;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) ok = false;
    }
    return ok;
}

}  // namespace zelto
