// Files on Windows; see FileIO.h. Paths are UTF-8 in our interfaces and are
// converted to UTF-16 here, at the boundary, so any name the file system
// holds can be read and written. Descriptors are the C runtime's, as on POSIX.
//
// What differs from POSIX, and why:
// - Symbolic links are not followed by hand: the writer replaces the file the
//   path names (a link there is replaced by the new file, its target kept).
// - Devices are refused by name before anything is opened ("NUL", "CON",
//   "COM1.txt", "\\.\pipe\x" ...): opening one can have effects of its own.
// - A read-only file is refused rather than replaced, as Windows refuses to
//   replace it; a replaced file keeps its hidden, system and archive marks.
// - The temporary file always has a name (Windows has no unnamed files); a
//   writer killed before it cleans up leaves it for the next write's sweep.
#include "platform/FileIO.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstring>

#include "platform/TemporaryName.h"
#include "platform/win32/Utf16.h"

namespace zelto {

namespace {

using detail::kTempMarker;
using detail::kTempSuffix;

std::string messageOf(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer),
        0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        if (auto narrow = win32::toUtf8(std::wstring_view(buffer, length))) text = *narrow;
    }
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return text.empty() ? "error " + std::to_string(code) : text;
}

std::string systemError(const std::string& what, DWORD code = GetLastError()) {
    return what + ": " + messageOf(code);
}

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        wchar_t a = text[i], b = prefix[i];
        if (a == L'/') a = L'\\';
        if (b == L'/') b = L'\\';
        if (towupper(a) != towupper(b)) return false;
    }
    return true;
}

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Names that Windows maps to devices in every folder: "NUL", "nul.txt",
// "COM1 .log", and everything in the device namespace ("\\.\pipe\x").
bool namesADevice(std::wstring_view path) {
    if (startsWith(path, L"\\\\.\\")) return true;
    if (startsWith(path, L"\\\\?\\")) {
        // Long-path prefixes of drives and shares name files; any other
        // object behind the prefix ("\\?\pipe\x", "\\?\GLOBALROOT") does not.
        const std::wstring_view rest = path.substr(4);
        const bool drive = rest.size() >= 3 && rest[1] == L':' && isSeparator(rest[2]);
        if (!drive && !startsWith(rest, L"UNC\\")) return true;
    }
    size_t start = path.find_last_of(L"\\/");
    start = start == std::wstring_view::npos ? 0 : start + 1;
    if (start == 0 && path.size() >= 2 && path[1] == L':') start = 2;
    std::wstring_view stem = path.substr(start);
    stem = stem.substr(0, std::min(stem.find(L'.'), stem.find(L':')));
    while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
    std::wstring upper(stem);
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (upper == device) return true;
    }
    if (upper.size() == 4 &&
        (upper.compare(0, 3, L"COM") == 0 || upper.compare(0, 3, L"LPT") == 0)) {
        const wchar_t digit = upper[3];
        return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
               digit == L'\u00B3';
    }
    return false;
}

bool isMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_INVALID_NAME || code == ERROR_BAD_NETPATH || code == ERROR_INVALID_DRIVE;
}

uint64_t nextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Six characters for a temporary name. CREATE_NEW makes a collision with
// another writer harmless (we retry), so this need only be hard to guess.
std::string randomSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> counter{0};
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    uint64_t state = static_cast<uint64_t>(now.QuadPart) ^
                     (static_cast<uint64_t>(GetCurrentProcessId()) << 32) ^
                     (static_cast<uint64_t>(GetCurrentThreadId()) << 16) ^ counter.fetch_add(1);
    uint64_t bits = nextRandom(state);
    std::string s(kTempSuffix, 'A');
    for (char& c : s) {
        c = kAlphabet[bits % (sizeof kAlphabet - 1)];
        bits /= sizeof kAlphabet - 1;
    }
    return s;
}

// At most maxBytes of a UTF-8 name, cut between characters.
std::string cutUtf8(const std::string& name, size_t maxBytes) {
    if (name.size() <= maxBytes) return name;
    size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
    return name.substr(0, n);
}

// What a writer may replace, without following links (see the top).
bool checkTarget(const std::string& path, std::string& why) {
    if (path.empty()) {
        why = "no file name was given";
        return false;
    }
    const auto wide = win32::toUtf16(path);
    if (!wide) {
        why = "the name is not valid UTF-8";
        return false;
    }
    if (isSeparator(wide->back()) || (wide->size() == 2 && (*wide)[1] == L':')) {
        why = "it names a folder, not a file";
        return false;
    }
    if (namesADevice(*wide)) {
        why = "it is a device, not a regular file";
        return false;
    }
    std::string folder, name;
    splitPath(path, folder, name);
    if (name.find(':') != std::string::npos) {
        // A colon would name a stream inside another file.
        why = "'" + name + "' is not a valid file name";
        return false;
    }
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
        why = systemError("cannot look at '" + path + "'", code);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        why = "it is a directory, not a regular file";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DEVICE) {
        why = "it is a device, not a regular file";
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        why = "it is read-only";
        return false;
    }
    return true;
}

bool writeAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(size, 1u << 30));
        const int written = _write(fd, bytes, chunk);
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

int openRegularFile(const std::string& path, ReadError* error) {
    auto fail = [error](ReadError why) {
        if (error != nullptr) *error = why;
        return -1;
    };
    const auto wide = win32::toUtf16(path);
    if (path.empty() || !wide) return fail(ReadError::Missing);  // no file has that name
    // Look before opening: opening a device or a pipe can have effects of its
    // own. Then look again at what was actually opened.
    if (namesADevice(*wide)) return fail(ReadError::NotAFile);
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return fail(isMissing(GetLastError()) ? ReadError::Missing : ReadError::Failed);
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        return fail(ReadError::NotAFile);
    }
    // Others may read, write, rename or replace the file while we read it:
    // a writer's atomic replacement must never fail because we are loading.
    const HANDLE handle = CreateFileW(wide->c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return fail(isMissing(GetLastError()) ? ReadError::Missing : ReadError::Failed);
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        CloseHandle(handle);
        return fail(ReadError::NotAFile);
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return fail(ReadError::Failed);
    }
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
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), &size) ||
        static_cast<uint64_t>(size.QuadPart) > maxSize) {
        _close(fd);
        return fail(ReadError::TooLarge);
    }
    std::vector<uint8_t> data;
    data.reserve(static_cast<size_t>(size.QuadPart));
    uint8_t buffer[16384];
    for (;;) {
        const int got = _read(fd, buffer, sizeof buffer);
        if (got < 0) {
            _close(fd);
            return fail(ReadError::Failed);
        }
        if (got == 0) break;
        if (data.size() + static_cast<size_t>(got) > maxSize) {
            _close(fd);
            return fail(ReadError::TooLarge);
        }
        data.insert(data.end(), buffer, buffer + got);
    }
    _close(fd);
    if (error != nullptr) *error = ReadError::None;
    return data;
}

// ---- writing ----

bool canReplace(const std::string& path, std::string* why) {
    std::string reason;
    const bool ok = checkTarget(path, reason);
    if (!ok && why != nullptr) *why = reason;
    return ok;
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) {
    if (!checkTarget(path, error_)) return;
    target_ = path;
    splitPath(target_, folder_, name_);

    sweepStaleTemporaries(folder_);

    const std::string stem = folder_ + "." + cutUtf8(name_, 200) + kTempMarker;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD code = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        tempPath_ = stem + randomSuffix();
        const auto wide = win32::toUtf16(tempPath_);
        if (!wide) break;
        // Not inheritable (the default), so no child process keeps it open.
        handle = CreateFileW(wide->c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        code = GetLastError();
        if (handle == INVALID_HANDLE_VALUE && code != ERROR_FILE_EXISTS &&
            code != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    const std::string shownFolder = folder_.empty() ? "." : folder_;
    if (handle == INVALID_HANDLE_VALUE) {
        tempPath_.clear();
        fail(systemError("cannot create a file in folder '" + shownFolder + "'", code));
        return;
    }
    fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd_ < 0) {
        CloseHandle(handle);
        discard();
        fail("cannot create a file in folder '" + shownFolder + "'");
        return;
    }
    _setmode(fd_, _O_BINARY);
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
    return false;  // Windows has no unnamed files
}

namespace {

// Replaces the target by renaming the open temporary file onto it with POSIX
// semantics: a reader that has the old file open keeps reading it and does
// not stop the replacement. Windows before 10 (and some file systems) do not
// know this; the caller falls back to MoveFileExW then.
bool renameOntoTarget(HANDLE file, const std::wstring& targetName) {
    // Declared by the headers only for newer targets than ours; the values
    // are fixed by the system's interface.
    constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
    constexpr DWORD kReplaceIfExists = 0x1, kPosixSemantics = 0x2;
    const size_t nameBytes = targetName.size() * sizeof(wchar_t);
    std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    const DWORD flags = kReplaceIfExists | kPosixSemantics;
    std::memcpy(buffer.data(), &flags, sizeof flags);  // where the Ex form keeps its flags
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, targetName.data(), nameBytes);
    return SetFileInformationByHandle(file, kFileRenameInfoEx, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

}  // namespace

bool AtomicFileWriter::commit() {
    if (fd_ < 0 || committed_) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    if (!FlushFileBuffers(handle)) {
        const std::string why = systemError("cannot sync the file");
        discard();
        return fail(why);
    }
    const auto wideTemp = win32::toUtf16(tempPath_);
    const auto wideTarget = win32::toUtf16(target_);
    const auto wideName = win32::toUtf16(name_);
    if (!wideTemp || !wideTarget || !wideName) {
        discard();
        return fail("cannot put the file in place");
    }
    // The new file takes over the marks the user gave the old one.
    const DWORD old = GetFileAttributesW(wideTarget->c_str());
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                            FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (old != INVALID_FILE_ATTRIBUTES && (old & kKept) != 0) {
        FILE_BASIC_INFO basic{};  // zero times: left as they are
        basic.FileAttributes = old & kKept;
        SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    }
    // Within one folder the rename takes the bare name.
    if (renameOntoTarget(handle, *wideName)) {
        const bool closed = _close(fd_) == 0;
        fd_ = -1;
        tempPath_.clear();
        committed_ = true;
        return closed || fail("cannot finish the file");
    }
    const bool closed = _close(fd_) == 0;
    fd_ = -1;
    if (!closed) {
        discard();
        return fail("cannot finish the file");
    }
    // A reader that opened the target without sharing deletion (a virus
    // scanner, an indexer, another program) blocks the move for a moment:
    // wait a little for it rather than fail the save.
    DWORD code = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (MoveFileExW(wideTemp->c_str(), wideTarget->c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            tempPath_.clear();
            committed_ = true;
            return true;
        }
        code = GetLastError();
        if (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED &&
            code != ERROR_LOCK_VIOLATION) {
            break;
        }
        Sleep(50);
    }
    discard();
    return fail(systemError("cannot move the file into place", code));
}

void AtomicFileWriter::discard() {
    if (fd_ >= 0) {
        _close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        if (const auto wide = win32::toUtf16(tempPath_)) DeleteFileW(wide->c_str());
        tempPath_.clear();
    }
}

void sweepStaleTemporaries(const std::string& folder, int minAgeSeconds) {
    const auto pattern = win32::toUtf16(folder + "*");
    if (!pattern) return;
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileExW(pattern->c_str(), FindExInfoBasic, &entry,
                                         FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const uint64_t now = ticks(nowTime);
    const uint64_t minAge =
        static_cast<uint64_t>(minAgeSeconds < 0 ? 0 : minAgeSeconds) * 10000000u;
    do {
        if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
            continue;
        }
        const auto name = win32::toUtf8(entry.cFileName);
        if (!name || !isTemporaryName(*name)) continue;
        const uint64_t written = ticks(entry.ftLastWriteTime);
        if (written > now || now - written < minAge) continue;
        if (const auto path = win32::toUtf16(folder + *name)) DeleteFileW(path->c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

bool sameFile(const std::string& a, const std::string& b) {
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        const auto wide = win32::toUtf16(path);
        if (path.empty() || !wide || namesADevice(*wide)) return false;
        const HANDLE handle =
            CreateFileW(wide->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (!identify(a, ia) || !identify(b, ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace zelto
