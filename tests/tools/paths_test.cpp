// File names as zelto hands them on: in JSON reports (where a Linux name need
// not be UTF-8), as the folder the editor's next file dialog opens in, and in
// the reason a file could not be written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tools/ToolTestSupport.h"

namespace zelto_test {
namespace {

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = b < 0x80             ? 1
                     : (b & 0xE0) == 0xC0 ? 2
                     : (b & 0xF0) == 0xE0 ? 3
                     : (b & 0xF8) == 0xF0 ? 4
                                          : 0;
        if (len == 0 || i + len > s.size() || (len == 2 && b < 0xC2)) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

std::string fromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

TEST(ZeltoPaths, JsonStaysValidForNamesThatAreNotUtf8AndKeepsTheirBytes) {
    TempDir dir;
    // "café" in Latin-1, as an older system or a copied archive leaves it.
    const std::string in = dir / "caf\xE9-in.wav";
    const std::string out = dir / "caf\xE9-out.wav";
    writeAudio(in, testSignal(2, 44100, 22050, 0.5));
    const RunResult r = runZelto({"render", in, out, "--json", "--plugin", ZELTO_PLUGIN_PATH});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(validUtf8(r.out)) << r.out;
    EXPECT_NE(r.out.find("caf\\u00e9-in.wav"), std::string::npos) << r.out;
    const Json report = JsonParser(r.out).parse();
    EXPECT_EQ(fromHex(report["input"]["pathBytes"].str()), in);
    EXPECT_EQ(fromHex(report["output"]["pathBytes"].str()), out);
    // A name that is valid UTF-8 passes as it is, with no second field.
    const std::string utf8 = dir / "caf\xC3\xA9.wav";
    writeAudio(utf8, testSignal(2, 44100, 22050, 0.5));
    const RunResult u =
        runZelto({"render", utf8, dir / "o.wav", "--json", "--plugin", ZELTO_PLUGIN_PATH});
    ASSERT_EQ(u.exitCode, 0) << u.err;
    EXPECT_NE(u.out.find("caf\xC3\xA9.wav"), std::string::npos) << u.out;
    EXPECT_FALSE(JsonParser(u.out).parse()["input"].has("pathBytes"));
}

/// Runs zelto in `folder`, so relative paths are relative to it.
RunResult runZeltoIn(const fs::path& folder, std::vector<std::string> args,
                     const std::vector<std::string>& env) {
    args.insert(args.begin(), {"-c", "cd \"$1\" && shift && exec \"$@\"", "sh", folder.string(),
                               ZELTO_TOOL_PATH});
    return runProgram("/bin/sh", args, env);
}

TEST(ZeltoPaths, TheRememberedFolderIsAbsoluteWhateverPathWasGiven) {
    TempDir home, dir;
    const std::vector<std::string> env{"ZELTO_CONFIG_HOME=" + home.path().string()};
    const std::string storedDir = home / "KRW-soundlab/KRWzelto/CurrDir.txt";
    fs::create_directories(dir.path() / "conc");
    fs::create_directories(dir.path() / "work/deeper");
    const std::string ours = ZELTO_PLUGIN_PATH;

    RunResult r = runZeltoIn(
        dir.path(), {"presets", "export", "--preset", "0", "conc/p.krw", "--plugin", ours}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(storedDir), dir / "conc/");

    r = runZeltoIn(dir.path() / "work/deeper",
                   {"presets", "--preset-file", "../../conc/p.krw", "--plugin", ours}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(storedDir), dir / "conc/");

    // A bare name is in the working folder.
    r = runZeltoIn(dir.path() / "work",
                   {"presets", "export", "--bank", "all.krb", "--plugin", ours}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(storedDir), dir / "work/");
}

TEST(ZeltoPaths, AFileThatCannotBeWrittenSaysWhereAndWhy) {
    TempDir dir;
    const std::string ours = ZELTO_PLUGIN_PATH;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 22050, 0.5));
    std::ofstream(dir / "plain") << "a file, not a folder";
    struct Case {
        std::string path, reason;
    };
    const std::vector<Case> cases{{dir / "nodir/x.krw", "No such file or directory"},
                                  {dir / "plain/x.krw", "Not a directory"}};
    for (const auto& c : cases) {
        const std::vector<std::vector<std::string>> commands{
            {"presets", "export", "--preset", "0", c.path, "--plugin", ours},
            {"presets", "export", "--bank", c.path, "--plugin", ours},
            {"snapshot", "--out", c.path, "--plugin", ours},
            {"render", dir / "in.wav", dir / "out.wav", "--plot", c.path, "--plugin", ours},
        };
        for (const auto& command : commands) {
            const RunResult r = runZelto(command);
            EXPECT_EQ(r.exitCode, 9) << command[0] << " " << c.path << ": " << r.err;
            EXPECT_NE(r.err.find("'" + c.path + "'"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        }
    }
    if (geteuid() != 0) {  // the superuser writes into read-only folders anyway
        fs::create_directory(dir.path() / "locked");
        fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        const RunResult r = runZelto(
            {"presets", "export", "--preset", "0", dir / "locked/x.krw", "--plugin", ours});
        EXPECT_EQ(r.exitCode, 9) << r.err;
        EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace zelto_test
