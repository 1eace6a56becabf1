// Files on Windows: names outside ASCII reach the file system intact,
// devices and folders are refused by readers and writers alike, and a
// replacement is atomic and leaves nothing behind.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileIO.h"

using namespace zelto;
namespace fs = std::filesystem;

namespace {

// A fresh folder below the system's temporary folder, removed afterwards.
class Folder {
  public:
    Folder() {
        static std::atomic<unsigned> counter{0};
        path_ = fs::temp_directory_path() /
                ("zelto-files-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(GetTickCount64()) + "-" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    /// The UTF-8 path of a name (UTF-8) inside the folder.
    std::string operator/(const std::string& name) const {
        const std::u8string utf8 =
            (path_ / fs::path(std::u8string(name.begin(), name.end()))).u8string();
        return std::string(utf8.begin(), utf8.end());
    }
    const fs::path& path() const { return path_; }
    std::vector<std::wstring> entries() const {
        std::vector<std::wstring> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    fs::path path_;
};

std::string contentOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void put(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool write(const std::string& path, const std::string& content, std::string* why = nullptr) {
    return writeFileAtomically(path, content.data(), content.size(), why);
}

const std::string kName = "Pr\xC3\xA9set \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5.krw";
const std::wstring kWideName = L"Pr\u00E9set \u65E5\u672C \U0001F3B5.krw";

}  // namespace

TEST(Win32Files, NamesOutsideAsciiAreWrittenAndReadUnderTheirOwnName) {
    Folder dir;
    const std::string data("bytes\r\n\n\x1A\0end", 13);
    ASSERT_TRUE(write(dir / kName, data));
    // The file system holds the name as UTF-16, not as its UTF-8 bytes.
    EXPECT_EQ(dir.entries(), std::vector<std::wstring>{kWideName});
    EXPECT_EQ(contentOf(dir.path() / kWideName), data) << "no text-mode translation";
    ReadError why = ReadError::Failed;
    const auto back = readWholeFile(dir / kName, 100, &why);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(std::string(back->begin(), back->end()), data);
    EXPECT_EQ(why, ReadError::None);
    EXPECT_TRUE(sameFile(dir / kName, dir / ("sub\\..\\" + kName))) << "once sub exists";
    fs::create_directory(dir.path() / L"sub");
    EXPECT_TRUE(sameFile(dir / kName, dir / ("sub\\..\\" + kName)));
    EXPECT_FALSE(sameFile(dir / kName, dir / "sub"));

    EXPECT_FALSE(readWholeFile(dir / "absent", 100, &why).has_value());
    EXPECT_EQ(why, ReadError::Missing);
    EXPECT_FALSE(readWholeFile(dir / kName, 12, &why).has_value());
    EXPECT_EQ(why, ReadError::TooLarge);
    EXPECT_FALSE(readWholeFile("bad \xC3", 100, &why).has_value()) << "not UTF-8";
}

TEST(Win32Files, FoldersAndDevicesAreRefusedByReadersAndWriters) {
    Folder dir;
    fs::create_directory(dir.path() / L"folder");
    struct Case {
        std::string path, kind;
    };
    const std::vector<Case> cases = {
        {dir / "folder", "a directory"},
        {"NUL", "a device"},
        {"nul", "a device"},
        {dir / "con.txt", "a device"},
        {dir / "COM1", "a device"},
        {dir / "Lpt9.log", "a device"},
        {"CONOUT$", "a device"},
        {"\\\\.\\pipe\\zelto-test", "a device"},
        {"//./NUL", "a device"},
        {"\\\\?\\pipe\\zelto-test", "a device"},
    };
    const auto before = dir.entries();
    for (const auto& c : cases) {
        ReadError readWhy = ReadError::None;
        EXPECT_FALSE(readWholeFile(c.path, 100, &readWhy).has_value()) << c.path;
        EXPECT_EQ(readWhy, ReadError::NotAFile) << c.path;
        EXPECT_LT(openRegularFile(c.path), 0) << c.path;
        std::string why;
        EXPECT_FALSE(write(c.path, "data", &why)) << c.path;
        EXPECT_NE(why.find(c.kind), std::string::npos) << c.path << ": " << why;
        EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
        EXPECT_FALSE(canReplace(c.path)) << c.path;
    }
    EXPECT_TRUE(fs::is_directory(dir.path() / L"folder"));
    EXPECT_EQ(dir.entries(), before);

    // Names that merely start like a device are ordinary files.
    for (const char* name : {"console.txt", "nullable", "COM10", "LPT0.log", "auxiliary"}) {
        EXPECT_TRUE(write(dir / name, "ok")) << name;
        EXPECT_TRUE(readWholeFile(dir / name, 100).has_value()) << name;
    }
    std::string why;
    EXPECT_FALSE(write(dir / "no\\such\\folder\\x", "data", &why));
    EXPECT_NE(why.find("cannot create a file"), std::string::npos) << why;
    EXPECT_FALSE(write(dir / "", "data", &why));
    EXPECT_FALSE(write(dir / "file.txt:stream", "data", &why)) << "an alternate stream";
    EXPECT_FALSE(fs::exists(dir.path() / L"file.txt"));
}

TEST(Win32Files, TheTargetChangesOnlyOnCommitAndNothingElseRemains) {
    Folder dir;
    const std::string target = dir / kName;
    put(dir.path() / kWideName, "old");
    {
        AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.ok()) << writer.error();
        ASSERT_TRUE(writer.write("new content", 11));
        EXPECT_EQ(contentOf(dir.path() / kWideName), "old");
        // The temporary lies beside the target, named as ours.
        std::string folder, name;
        splitPath(writer.temporaryPath(), folder, name);
        EXPECT_TRUE(isTemporaryName(name)) << name;
        EXPECT_EQ(dir.entries().size(), 2u);
        // Abandoned: the old file stays and nothing is left.
    }
    EXPECT_EQ(contentOf(dir.path() / kWideName), "old");
    EXPECT_EQ(dir.entries(), std::vector<std::wstring>{kWideName});

    // A reader that has the file open goes on reading the old content. Where
    // the system can rename over an open file (Windows 10 on NTFS) the
    // replacement succeeds meanwhile; elsewhere (older systems, Wine) it fails
    // after a short wait, and then leaves the file and the folder as they were.
    const int reader = openRegularFile(target);
    ASSERT_GE(reader, 0);
    std::string why;
    const bool replaced = write(target, "new", &why);
    char buffer[8] = {};
    EXPECT_EQ(_read(reader, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "old");
    _close(reader);
    if (replaced) {
        EXPECT_EQ(contentOf(dir.path() / kWideName), "new");
    } else {
        EXPECT_NE(why.find("cannot move the file into place"), std::string::npos) << why;
        EXPECT_EQ(contentOf(dir.path() / kWideName), "old");
        EXPECT_EQ(dir.entries(), std::vector<std::wstring>{kWideName});
        ASSERT_TRUE(write(target, "new")) << "once the reader is gone";
    }
    EXPECT_EQ(contentOf(dir.path() / kWideName), "new");
    EXPECT_EQ(dir.entries(), std::vector<std::wstring>{kWideName});

    // A replaced file keeps being hidden.
    SetFileAttributesW((dir.path() / kWideName).c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(write(target, "newer"));
    EXPECT_TRUE(GetFileAttributesW((dir.path() / kWideName).c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(contentOf(dir.path() / kWideName), "newer");
    EXPECT_EQ(dir.entries(), std::vector<std::wstring>{kWideName});
}

TEST(Win32Files, AReadOnlyFileIsRefusedAndKept) {
    Folder dir;
    const fs::path file = dir.path() / L"locked.krw";
    put(file, "keep");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string why;
    EXPECT_FALSE(write(dir / "locked.krw", "lost", &why));
    EXPECT_NE(why.find("read-only"), std::string::npos) << why;
    EXPECT_EQ(contentOf(file), "keep");
    EXPECT_EQ(dir.entries(), std::vector<std::wstring>{L"locked.krw"});
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Win32Files, AWriterSweepsOnlyStaleTemporariesOfItsOwn) {
    Folder dir;
    const std::vector<std::wstring> names = {L".old.wav.zelto-AAAAAA", L".new.wav.zelto-BBBBBB",
                                             L".notes.txt"};
    for (const auto& name : names) put(dir.path() / name, "x");
    fs::create_directory(dir.path() / L".dir.zelto-CCCCCC");
    // Two minutes old: stale.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= 120ull * 10000000ull;
    const FILETIME longAgo{t.LowPart, t.HighPart};
    for (const wchar_t* name : {L".old.wav.zelto-AAAAAA", L".notes.txt"}) {
        const HANDLE h = CreateFileW((dir.path() / name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetFileTime(h, nullptr, nullptr, &longAgo);
        CloseHandle(h);
    }
    ASSERT_TRUE(write(dir / "x", "1"));
    EXPECT_EQ(dir.entries(),
              (std::vector<std::wstring>{L".dir.zelto-CCCCCC", L".new.wav.zelto-BBBBBB",
                                         L".notes.txt", L"x"}));
}

TEST(Win32Files, ConcurrentWritersReplaceWholeFilesOnly) {
    Folder dir;
    const std::string target = dir / "bank.krw";
    const std::string a(200 * 1024, 'a'), b(200 * 1024, 'b');
    ASSERT_TRUE(write(target, a));
    std::atomic<int> failures{0};
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    auto writer = [&](const std::string& content) {
        for (int i = 0; i < 30; ++i) {
            if (!write(target, content)) ++failures;
        }
    };
    std::thread reader([&] {
        while (!stop) {
            const auto got = readWholeFile(target, 1 << 20);
            if (got && std::string(got->begin(), got->end()) != a &&
                std::string(got->begin(), got->end()) != b) {
                ++bad;
            }
            // Where an open reader blocks a replacement (see above) a reader
            // that never lets go would starve the writers.
            Sleep(5);
        }
    });
    std::thread wa(writer, a), wb(writer, b);
    wa.join();
    wb.join();
    stop = true;
    reader.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(dir.entries(), std::vector<std::wstring>{L"bank.krw"});
}

TEST(Win32Files, PathsSplitAtEitherSlashAndAfterADrive) {
    std::string folder, name;
    splitPath("C:\\Presets/Mastering\\loud.krw", folder, name);
    EXPECT_EQ(folder, "C:\\Presets/Mastering\\");
    EXPECT_EQ(name, "loud.krw");
    splitPath("D:loud.krw", folder, name);
    EXPECT_EQ(folder, "D:");
    EXPECT_EQ(name, "loud.krw");
    splitPath("loud.krw", folder, name);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "loud.krw");
}
#endif
