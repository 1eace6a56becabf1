// Files: loaders that never block and take regular files only, and writers
// that follow symlinks, refuse special files, keep modes and leave no
// temporary file behind whatever happens to them.
#include "platform/FileIO.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace zelto;
namespace fs = std::filesystem;

namespace {

class Folder {
  public:
    Folder() {
        char templ[] = "/tmp/zelto-files-XXXXXX";
        path_ = mkdtemp(templ);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::string path_;
};

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void put(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

bool write(const std::string& path, const std::string& content, std::string* why = nullptr) {
    return writeFileAtomically(path, content.data(), content.size(), why);
}

class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }

  private:
    mode_t old_;
};

}  // namespace

TEST(FileWriter, FollowsSymlinksAndKeepsThem) {
    Folder dir;
    fs::create_directory(dir / "real");
    put(dir / "real/preset.krw", "old");
    fs::create_symlink("real/preset.krw", dir / "relative");
    fs::create_symlink(dir / "relative", dir / "chain");
    ASSERT_TRUE(write(dir / "chain", "new"));
    EXPECT_EQ(contentOf(dir / "real/preset.krw"), "new");
    EXPECT_TRUE(fs::is_symlink(dir / "relative"));
    EXPECT_TRUE(fs::is_symlink(dir / "chain"));

    // A link whose file does not exist yet creates that file.
    fs::create_symlink("real/later.krw", dir / "dangling");
    ASSERT_TRUE(write(dir / "dangling", "made"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
    EXPECT_EQ(contentOf(dir / "real/later.krw"), "made");

    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    std::string why;
    EXPECT_FALSE(write(dir / "loop-a", "x", &why));
    EXPECT_NE(why.find("symbolic links"), std::string::npos) << why;
    EXPECT_TRUE(fs::is_symlink(dir / "loop-a"));
}

TEST(FileWriter, RefusesDirectoriesFifosSocketsAndDevices) {
    Folder dir;
    fs::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (dir / "socket").c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    fs::create_symlink("fifo", dir / "to-fifo");
    struct Case {
        std::string name, kind;
    };
    std::vector<Case> cases = {{"folder", "a directory"},
                               {"fifo", "a FIFO"},
                               {"socket", "a socket"},
                               {"to-fifo", "a FIFO"}};
    // As root a writer could replace a device node with a plain file.
    if (geteuid() == 0 && mknod((dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        cases.push_back({"null", "a device"});
    }
    const auto before = dir.entries();
    for (const auto& c : cases) {
        const mode_t mode = modeOf(dir / c.name);
        std::string why;
        EXPECT_FALSE(write(dir / c.name, "data", &why)) << c.name;
        EXPECT_NE(why.find(c.kind), std::string::npos) << c.name << ": " << why;
        EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
        EXPECT_EQ(modeOf(dir / c.name), mode) << c.name << " was replaced";
        EXPECT_EQ(dir.entries(), before) << c.name;
        EXPECT_FALSE(canReplace(dir / c.name)) << c.name;
    }
    close(sock);
    EXPECT_TRUE(canReplace(dir / "new-file"));
    EXPECT_FALSE(write(dir / "no/such/folder/x", "data"));
    EXPECT_FALSE(write(dir.path() + "/", "data"));
}

TEST(FileWriter, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode) {
    Folder dir;
    {
        ScopedUmask mask(022);
        ASSERT_TRUE(write(dir / "a", "1"));
        EXPECT_EQ(modeOf(dir / "a") & 07777, 0644u);
    }
    {
        ScopedUmask mask(077);
        ASSERT_TRUE(write(dir / "b", "1"));
        EXPECT_EQ(modeOf(dir / "b") & 07777, 0600u);
    }
    for (mode_t mode : {0600u, 0640u, 0444u, 0664u}) {
        put(dir / "kept", "old");
        ::chmod((dir / "kept").c_str(), mode);
        ASSERT_TRUE(write(dir / "kept", "new"));
        EXPECT_EQ(modeOf(dir / "kept") & 07777, mode);
        EXPECT_EQ(contentOf(dir / "kept"), "new");
        fs::remove(dir / "kept");
    }
}

TEST(FileWriter, TheTargetChangesOnlyOnCommitAndNothingElseAppears) {
    Folder dir;
    put(dir / "target", "old");
    {
        AtomicFileWriter writer(dir / "target");
        ASSERT_TRUE(writer.ok()) << writer.error();
        ASSERT_TRUE(writer.write("new content", 11));
        EXPECT_EQ(contentOf(dir / "target"), "old");
        // Where the file system allows it the temporary has no name at all.
        if (writer.temporaryPath().empty()) {
            EXPECT_EQ(dir.entries(), std::vector<std::string>{"target"});
        }
        // Abandoned: the old file stays and nothing is left.
    }
    EXPECT_EQ(contentOf(dir / "target"), "old");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"target"});
    {
        AtomicFileWriter writer(dir / "target");
        ASSERT_TRUE(writer.write("new", 3));
        ASSERT_TRUE(writer.commit()) << writer.error();
    }
    EXPECT_EQ(contentOf(dir / "target"), "new");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"target"});
}

TEST(FileWriter, SweepsOnlyStaleTemporariesOfItsOwn) {
    Folder dir;
    EXPECT_TRUE(isTemporaryName(".out.wav.zelto-a1B2c3"));
    for (const char* other : {"out.wav.zelto-a1B2c3", ".out.wav.zelto-a1B2c",
                              ".out.wav.zelto-a1B2c$", ".out.wav.tmp-a1B2c3", ".zelto-a1B2c3x"}) {
        EXPECT_FALSE(isTemporaryName(other)) << other;
    }
    put(dir / ".old.wav.zelto-AAAAAA", "stale");
    put(dir / ".new.wav.zelto-BBBBBB", "a write in progress elsewhere");
    put(dir / ".notes.txt", "someone else's hidden file");
    fs::create_directory(dir / ".dir.zelto-CCCCCC");
    const time_t longAgo = time(nullptr) - 120;
    for (const char* name : {".old.wav.zelto-AAAAAA", ".notes.txt", ".dir.zelto-CCCCCC"}) {
        const utimbuf times{longAgo, longAgo};
        utime((dir / name).c_str(), &times);
    }
    ASSERT_TRUE(write(dir / "x", "1"));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{".dir.zelto-CCCCCC", ".new.wav.zelto-BBBBBB",
                                                       ".notes.txt", "x"}));
}

TEST(FileWriter, AKilledWriterLeavesNoTemporaryFile) {
    Folder dir;
    put(dir / "target", std::string(1000, 'o'));
    std::mt19937 random(20261208);
    const std::string chunk(64 * 1024, 'n');
    for (int round = 0; round < 50; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                AtomicFileWriter writer(dir / "target");
                for (int i = 0; i < 16; ++i) writer.write(chunk.data(), chunk.size());
                writer.commit();
            }
        }
        usleep(std::uniform_int_distribution<useconds_t>(1000, 30000)(random));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const std::string content = contentOf(dir / "target");
        EXPECT_TRUE(content == std::string(1000, 'o') || content.size() == 16 * chunk.size())
            << "a half-written file of " << content.size() << " bytes";
        for (const auto& name : dir.entries()) {
            if (name == "target") continue;
            // Replacing needs a name for the instant between linking the
            // finished file and renaming it: only a complete file can be
            // left there, and the next write sweeps it once it is stale.
            EXPECT_TRUE(isTemporaryName(name)) << name;
            EXPECT_EQ(contentOf(dir / name).size(), 16 * chunk.size()) << "round " << round;
            const time_t longAgo = time(nullptr) - 120;
            const utimbuf times{longAgo, longAgo};
            utime((dir / name).c_str(), &times);
            ASSERT_TRUE(write(dir / "target", std::string(1000, 'o')));
        }
        ASSERT_EQ(dir.entries(), std::vector<std::string>{"target"}) << "round " << round;
    }
}

TEST(FileReader, TakesRegularFilesOnlyAndNeverBlocks) {
    Folder dir;
    put(dir / "file", "bytes");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    fs::create_directory(dir / "folder");
    fs::create_symlink("file", dir / "link");
    ReadError why = ReadError::None;
    EXPECT_EQ(readWholeFile(dir / "link", 100, &why),
              std::vector<uint8_t>({'b', 'y', 't', 'e', 's'}));
    EXPECT_EQ(why, ReadError::None);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(readWholeFile(dir / "fifo", 100, &why).has_value());
    EXPECT_EQ(why, ReadError::NotAFile);
    EXPECT_STREQ(describeReadError(why), "is not a regular file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    EXPECT_FALSE(readWholeFile(dir / "folder", 100, &why).has_value());
    EXPECT_EQ(why, ReadError::NotAFile);
    EXPECT_FALSE(readWholeFile("/dev/zero", 100, &why).has_value());
    EXPECT_EQ(why, ReadError::NotAFile);
    EXPECT_FALSE(readWholeFile(dir / "absent", 100, &why).has_value());
    EXPECT_EQ(why, ReadError::Missing);
    EXPECT_FALSE(readWholeFile(dir / "file", 4, &why).has_value());
    EXPECT_EQ(why, ReadError::TooLarge);
    EXPECT_LT(openRegularFile(dir / "fifo"), 0);

    EXPECT_TRUE(sameFile(dir / "file", dir / "link"));
    EXPECT_TRUE(sameFile(dir / "file", dir.path() + "/./folder/../file"));
    EXPECT_FALSE(sameFile(dir / "file", dir / "fifo"));
    EXPECT_FALSE(sameFile(dir / "absent", dir / "absent"));
}
