// The settings store: values of three kinds, missing and malformed values,
// the folder override, and atomic replacement under concurrent use.
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/TestSupport.h"

using zelto::SettingsStore;
using zelto::test::ScopedConfigHome;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kSeparator[] = "\\";
#else
constexpr char kSeparator[] = "/";
#endif

[[maybe_unused]] void writeRaw(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

}  // namespace

TEST(SettingsStore, LivesUnderTheConfiguredFolder) {
    ScopedConfigHome home;
    EXPECT_EQ(SettingsStore::productDirectory(), home.productDir());
    EXPECT_EQ(SettingsStore("PREFS").directory(), home.productDir() + kSeparator + "PREFS");
    EXPECT_EQ(SettingsStore("").directory(), home.productDir());
}

TEST(SettingsStore, ValuesOfEachKindRoundTrip) {
    ScopedConfigHome home;
    const SettingsStore store("PREFS");
    EXPECT_TRUE(store.writeInt("Metering_Scale", 2));
    EXPECT_TRUE(store.writeInt("Negative", -7));
    const uint8_t blob[] = {0, 1, 2, 255, 0, 10, 13};
    EXPECT_TRUE(store.writeBlob("Bank", blob, sizeof blob));
    EXPECT_TRUE(store.writeText("CurrDir", "/home/someone/Presets with spaces/ü"));

    EXPECT_EQ(store.readInt("Metering_Scale"), 2);
    EXPECT_EQ(store.readInt("Negative"), -7);
    auto readBack = store.readBlob("Bank");
    ASSERT_TRUE(readBack.has_value());
    EXPECT_EQ(*readBack, std::vector<uint8_t>(std::begin(blob), std::end(blob)));
    EXPECT_EQ(store.readText("CurrDir"), "/home/someone/Presets with spaces/ü");

    // Another instance of the store sees the same values.
    EXPECT_EQ(SettingsStore("PREFS").readInt("Metering_Scale"), 2);
}

TEST(SettingsStore, MissingWrongKindAndMalformedValuesReadAsMissing) {
    ScopedConfigHome home;
    const SettingsStore store("PREFS");
    EXPECT_FALSE(store.readInt("Nothing").has_value());
    EXPECT_FALSE(store.readBlob("Nothing").has_value());
    EXPECT_FALSE(store.readText("Nothing").has_value());

    ASSERT_TRUE(store.writeText("Metering_Type", "1"));
    EXPECT_FALSE(store.readInt("Metering_Type").has_value()) << "a text is not an integer";

#ifndef _WIN32
    const std::string dir = home.productDir() + "/PREFS/";
    for (const char* bad : {"", "abc", "12x", " 3", "99999999999", "1.5", "\n"}) {
        writeRaw(dir + "Bad.dword", bad);
        EXPECT_FALSE(store.readInt("Bad").has_value()) << "content: '" << bad << "'";
    }
    writeRaw(dir + "Good.dword", "4294967295\n");
    EXPECT_EQ(store.readInt("Good"), -1) << "the 32 bits of an unsigned word";

    fs::create_directories(dir + "Dir.dword");
    EXPECT_FALSE(store.readInt("Dir").has_value());

    writeRaw(dir + "Zero.txt", std::string("a\0b", 3));
    EXPECT_FALSE(store.readText("Zero").has_value());
#endif
}

TEST(SettingsStore, RejectsNamesThatWouldLeaveItsFolder) {
    ScopedConfigHome home;
    const SettingsStore store("PREFS");
    for (const char* bad : {"", "../escape", "a/b", ".hidden", "..", "."}) {
        EXPECT_FALSE(store.writeInt(bad, 1)) << bad;
        EXPECT_FALSE(store.readInt(bad).has_value()) << bad;
    }
    EXPECT_FALSE(SettingsStore("../outside").writeInt("x", 1));
    EXPECT_EQ(SettingsStore("../outside").directory(), "");
#ifndef _WIN32
    EXPECT_FALSE(fs::exists(home.path() + "/KRW-soundlab/outside"));
#endif
}

TEST(SettingsStore, AValueHasOneKindAndCanBeRemoved) {
    ScopedConfigHome home;
    const SettingsStore store("");
    ASSERT_TRUE(store.writeText("DefaultPreset", "old"));
    ASSERT_TRUE(store.writeBlob("DefaultPreset", "new", 3));
    EXPECT_FALSE(store.readText("DefaultPreset").has_value());
    EXPECT_TRUE(store.readBlob("DefaultPreset").has_value());
    EXPECT_TRUE(store.remove("DefaultPreset"));
    EXPECT_FALSE(store.readBlob("DefaultPreset").has_value());
    EXPECT_TRUE(store.remove("DefaultPreset")) << "removing a missing value succeeds";
}

#ifndef _WIN32
TEST(SettingsStore, FailsCleanlyWhenTheFolderCannotBeMade) {
    ScopedConfigHome home;
    // A file where the vendor folder should be.
    writeRaw(home.path() + "/KRW-soundlab", "not a folder");
    EXPECT_FALSE(SettingsStore("PREFS").writeInt("x", 1));
    EXPECT_FALSE(SettingsStore("PREFS").readInt("x").has_value());
}
#endif

TEST(SettingsStore, ConcurrentWritersNeverExposeAHalfWrittenValue) {
    ScopedConfigHome home;
    const SettingsStore store("");
    // Two large values that differ in every byte: a reader must see one or
    // the other whole, never a mix or a truncated file.
    const std::vector<uint8_t> a(256 * 1024, 0xAA);
    const std::vector<uint8_t> b(256 * 1024, 0x55);
    ASSERT_TRUE(store.writeBlob("DefaultBank", a.data(), a.size()));
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<int> reads{0};
    std::thread writerA([&] {
        for (int i = 0; i < 40; ++i) store.writeBlob("DefaultBank", a.data(), a.size());
    });
    std::thread writerB([&] {
        for (int i = 0; i < 40; ++i) store.writeBlob("DefaultBank", b.data(), b.size());
    });
    std::thread reader([&] {
        while (!stop) {
            auto value = store.readBlob("DefaultBank");
            ++reads;
            if (!value || (*value != a && *value != b)) ++bad;
        }
    });
    writerA.join();
    writerB.join();
    stop = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(reads.load(), 0);
#ifndef _WIN32
    // No temporary files are left behind.
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(home.productDir())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        ++entries;
    }
    EXPECT_EQ(entries, 1);
#endif
}

#ifndef _WIN32
TEST(SettingsStore, TwoProcessesWritingOneNameAsDifferentKindsLeaveOneValue) {
    ScopedConfigHome home;
    const SettingsStore store("");
    ASSERT_TRUE(store.writeInt("Warmup", 1));  // the folder exists before the race
    int lost = 0, doubled = 0;
    for (int trial = 0; trial < 300; ++trial) {
        ASSERT_TRUE(store.remove("Contested"));
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        pid_t children[2];
        for (int kind = 0; kind < 2; ++kind) {
            children[kind] = fork();
            ASSERT_GE(children[kind], 0);
            if (children[kind] == 0) {
                char byte;
                close(go[1]);
                // Both start together when the parent closes the pipe.
                if (read(go[0], &byte, 1) < 0) _exit(2);
                const bool ok = kind == 0 ? store.writeInt("Contested", trial)
                                          : store.writeBlob("Contested", "blob", 4);
                _exit(ok ? 0 : 1);
            }
        }
        close(go[0]);
        close(go[1]);
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const bool asInt = store.readInt("Contested").has_value();
        const bool asBlob = store.readBlob("Contested").has_value();
        if (!asInt && !asBlob) ++lost;
        if (asInt && asBlob) ++doubled;
    }
    EXPECT_EQ(lost, 0) << "both writers' values were removed";
    EXPECT_EQ(doubled, 0) << "one name held two kinds";
}
#endif
