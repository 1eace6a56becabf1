// The parts of the file helpers that are the same on every platform; the
// operating system's side lives in posix/ and win32/. See FileIO.h.
#include "platform/FileIO.h"

#include <cstring>

#include "platform/TemporaryName.h"

namespace zelto {

namespace {

bool isAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

#ifdef _WIN32
// Either slash separates folders, and "C:name" is a name in the current
// folder of drive C.
size_t lastSeparator(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) return slash;
    if (path.size() >= 2 && path[1] == ':' && isAlnum(path[0])) return 1;
    return std::string::npos;
}
#else
size_t lastSeparator(const std::string& path) {
    return path.rfind('/');
}
#endif

}  // namespace

const char* describeReadError(ReadError error) {
    switch (error) {
        case ReadError::None:
            return "was read";
        case ReadError::Missing:
            return "does not exist";
        case ReadError::NotAFile:
            return "is not a regular file";
        case ReadError::TooLarge:
            return "is too large";
        case ReadError::Failed:
            break;
    }
    return "cannot be read";
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string* error) {
    AtomicFileWriter writer(path);
    const bool ok = writer.ok() && writer.write(data, size) && writer.commit();
    if (!ok && error != nullptr) *error = writer.error();
    return ok;
}

bool isTemporaryName(const std::string& name) {
    using detail::kTempMarker;
    using detail::kTempSuffix;
    const size_t marker = std::strlen(kTempMarker);
    if (name.size() < 2 + marker + kTempSuffix || name.front() != '.') return false;
    const size_t at = name.size() - kTempSuffix - marker;
    if (name.compare(at, marker, kTempMarker) != 0) return false;
    for (size_t i = name.size() - kTempSuffix; i < name.size(); ++i) {
        if (!isAlnum(name[i])) return false;
    }
    return true;
}

void splitPath(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = lastSeparator(path);
    if (slash == std::string::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, slash + 1);
        name = path.substr(slash + 1);
    }
}

}  // namespace zelto
