// zelto and the files a hostile user hands it: outputs that are symlinks,
// devices, FIFOs or the input itself; FIFOs where a file is read; truncated
// audio; a process killed mid-write; signals sent from outside.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/sysmacros.h>
#include <utime.h>

#include <random>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

std::string probe() {
    return fixturePlugin("plain", "");
}

#define REQUIRE_PROBE() \
    if (probe().empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in"

class ScopedUmask {
  public:
    explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(old_); }

  private:
    mode_t old_;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode;
}

/// zelto started in the background with stderr captured, for tests that
/// signal it while it runs.
class Background {
  public:
    explicit Background(std::vector<std::string> args) {
        errPath_ = capture_ / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        args.insert(args.begin(), ZELTO_TOOL_PATH);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    /// Waits for the end; the exit code, or 128 + the signal that ended it.
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string err() const { return readFile(errPath_); }

  private:
    TempDir capture_;
    std::string errPath_;
    pid_t pid_ = -1;
};

/// Runs zelto under a time limit: an open that blocks (on a FIFO, say)
/// ends as exit 124 instead of hanging the suite. The limit is generous:
/// sanitizer builds on a loaded machine start slowly.
RunResult boundedZelto(const std::vector<std::string>& args) {
    std::vector<std::string> all{"30", ZELTO_TOOL_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram("/usr/bin/timeout", all);
}

}  // namespace

TEST(ZeltoFiles, OutputsFollowSymlinksAndRefuseWhatIsNotARegularFile) {
    REQUIRE_PROBE();
    const ScopedUmask mask(022);
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 3000, 0.5));
    const std::string in = dir / "in.wav";

    // A symlink is followed: the file it names is replaced, the link stays.
    fs::create_directory(dir.path() / "takes");
    std::ofstream(dir / "takes/real.wav") << "previous take";
    ::chmod((dir / "takes/real.wav").c_str(), 0600);
    fs::create_symlink("takes/real.wav", dir.path() / "link.wav");
    RunResult r = runZelto({"render", in, dir / "link.wav", "--plugin", probe()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.wav"));
    EXPECT_EQ(readAudio(dir / "takes/real.wav").frames(), 3000u);
    EXPECT_EQ(modeOf(dir / "takes/real.wav") & 07777, 0600u) << "a replaced file keeps its mode";

    r = runZelto({"render", in, dir / "new.wav", "--plugin", probe()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(modeOf(dir / "new.wav") & 07777, 0644u);

    // Whatever is not a regular file stays as it was, and nothing is written.
    fs::create_directory(dir.path() / "folder.wav");
    ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0644), 0);
    fs::create_symlink("fifo.wav", dir.path() / "to-fifo.wav");
    std::vector<std::pair<std::string, std::string>> targets = {
        {"folder.wav", "a directory"}, {"fifo.wav", "a FIFO"}, {"to-fifo.wav", "a FIFO"}};
    // As root, a writer that renames over its target turns a device into a file.
    if (geteuid() == 0 && mknod((dir / "null.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        targets.push_back({"null.wav", "a device"});
    }
    const auto before = dir.entries();
    for (const auto& [name, kind] : targets) {
        const mode_t mode = modeOf(dir / name);
        const RunResult run = boundedZelto({"render", in, dir / name, "--plugin", probe()});
        EXPECT_EQ(run.exitCode, 9) << name << ": " << run.err;
        EXPECT_NE(run.err.find(kind + ", not a regular file"), std::string::npos) << run.err;
        EXPECT_EQ(modeOf(dir / name), mode) << name << " was replaced";
        EXPECT_EQ(dir.entries(), before) << name;
    }
    // The plug-in's own writers and the state writer refuse the same.
    const std::string ours = ZELTO_PLUGIN_PATH;
    for (const auto& [name, kind] : targets) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"state", "save", dir / name, "--plugin", ours},
              std::vector<std::string>{"presets", "export", "--preset", "0", dir / name, "--plugin",
                                       ours},
              std::vector<std::string>{"presets", "export", "--bank", dir / name, "--plugin",
                                       ours}}) {
            const mode_t mode = modeOf(dir / name);
            const RunResult run = boundedZelto(args);
            EXPECT_EQ(run.exitCode, 9) << args[0] << " " << name << ": " << run.err;
            EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
            EXPECT_EQ(modeOf(dir / name), mode) << name << " was replaced";
            EXPECT_EQ(dir.entries(), before) << name;
        }
    }
}

TEST(ZeltoFiles, RenderRefusesToWriteOverItsInputHoweverNamed) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 3000, 0.5));
    const std::string original = readFile(dir / "in.wav");
    fs::create_symlink("in.wav", dir.path() / "alias.wav");
    fs::create_hard_link(dir / "in.wav", dir.path() / "hard.wav");
    fs::create_directory(dir.path() / "sub");
    const auto before = dir.entries();
    for (const std::string& out : {dir / "in.wav", dir.path().string() + "/sub/../in.wav",
                                   dir / "alias.wav", dir / "hard.wav"}) {
        const RunResult r = runZelto({"render", dir / "in.wav", out, "--plugin", probe()});
        EXPECT_EQ(r.exitCode, 2) << out << ": " << r.err;
        EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
        EXPECT_EQ(readFile(dir / "in.wav"), original) << out;
        EXPECT_EQ(dir.entries(), before) << out;
    }
}

TEST(ZeltoFiles, AFifoOrDeviceWhereAFileIsReadIsRefusedAtOnce) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 3000, 0.5));
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string in = dir / "in.wav", out = dir / "out.wav", ours = ZELTO_PLUGIN_PATH;
    const std::vector<std::vector<std::string>> cases = {
        {"render", fifo, out, "--plugin", probe()},
        {"render", "/dev/zero", out, "--plugin", probe()},
        {"render", in, out, "--plugin", fifo},
        {"info", fifo},
        {"render", in, out, "--plugin", ours, "--preset-file", fifo},
        {"render", in, out, "--plugin", ours, "--bank", fifo},
        {"render", in, out, "--plugin", ours, "--state", fifo},
        {"presets", "--plugin", ours, "--preset-file", fifo},
        {"presets", "--plugin", ours, "--bank", "/dev/zero"},
        {"state", "save", out, "--plugin", ours, "--state", fifo},
    };
    for (const auto& args : cases) {
        const RunResult r = boundedZelto(args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_NE(r.exitCode, 0) << line;
        EXPECT_NE(r.exitCode, 124) << line << ": hung";
        EXPECT_NE(r.err.find("not a regular file"), std::string::npos) << line << ": " << r.err;
        EXPECT_FALSE(fileExists(out)) << line;
    }
}

TEST(ZeltoFiles, ATruncatedInputIsAnErrorUnlessAskedFor) {
    REQUIRE_PROBE();
    TempDir dir;
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                             SF_FORMAT_AIFF | SF_FORMAT_PCM_24}) {
        const std::string whole = dir / "whole", cut = dir / "cut", out = dir / "out.wav";
        writeAudio(whole, testSignal(2, 44100, 44100, 0.5), format);
        const std::string bytes = readFile(whole);
        // The header still announces one second; a tenth of it is there.
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 10);
        const size_t present = readAudio(cut).frames();
        ASSERT_LT(present, 44100u / 9);

        RunResult r = runZelto({"render", cut, out, "--plugin", probe()});
        EXPECT_EQ(r.exitCode, 8) << r.err;
        EXPECT_NE(r.err.find("is truncated: its header announces 44100 frames but it holds " +
                             std::to_string(present)),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("--allow-short-input"), std::string::npos) << r.err;
        EXPECT_FALSE(fileExists(out));

        r = runZelto({"render", cut, out, "--plugin", probe(), "--allow-short-input"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(readAudio(out).frames(), present);
        EXPECT_NE(r.out.find("Short input      truncated: its header announces 44100 frames"),
                  std::string::npos)
            << r.out;
        fs::remove(out);
        r = runZelto({"render", cut, out, "--plugin", probe(), "--allow-short-input", "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Json report = parseJson(r.out);
        EXPECT_TRUE(report["input"]["truncated"].boolean());
        EXPECT_EQ(report["input"]["announcedFrames"].num(), 44100);
        EXPECT_EQ(report["input"]["frames"].num(), static_cast<double>(present));
        fs::remove(out);

        // A complete file says nothing of the kind.
        r = runZelto({"render", whole, out, "--plugin", probe(), "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(parseJson(r.out)["input"]["truncated"].boolean());
        EXPECT_FALSE(parseJson(r.out)["input"].has("announcedFrames"));
        fs::remove(out);
    }
}

TEST(ZeltoFiles, NoTemporaryFileSurvivesAKillAtAnyMoment) {
    const std::string slow = fixturePlugin("slow", "-DPROBE_SLOW");
    if (slow.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    TempDir dir;
    // 80 blocks of 2 ms each, after the start-up: kills land everywhere.
    writeAudio(dir / "in.wav", testSignal(2, 44100, 80 * 64, 0.5));
    std::mt19937 random(8122026);
    int completeButUnmoved = 0;
    for (int round = 0; round < 50; ++round) {
        if (round % 2 == 1) std::ofstream(dir / "out.wav") << "previous take";
        const auto before = dir.entries();
        Background run(
            {"render", dir / "in.wav", dir / "out.wav", "--plugin", slow, "--block", "64"});
        ASSERT_GT(run.pid(), 0);
        usleep(std::uniform_int_distribution<useconds_t>(0, 250000)(random));
        kill(run.pid(), SIGKILL);
        run.wait();
        for (const auto& name : dir.entries()) {
            if (name == "in.wav" || name == "out.wav") continue;
            // Only a finished file, killed in the instant between being
            // linked and renamed into place, may keep a name; the next
            // write sweeps it once it is stale.
            ++completeButUnmoved;
            EXPECT_EQ(readAudio(dir / name).frames(), 80u * 64)
                << "round " << round << ": " << name;
            fs::remove(dir.path() / name);
        }
        if (round % 2 == 1 && fileExists(dir / "out.wav")) {
            const std::string out = readFile(dir / "out.wav");
            EXPECT_TRUE(out == "previous take" || readAudio(dir / "out.wav").frames() == 80u * 64)
                << "round " << round << ": the output was half-written";
        }
        fs::remove(dir.path() / "out.wav");
    }
    EXPECT_LE(completeButUnmoved, 2) << "temporaries with names are left far too often";
}

TEST(ZeltoFiles, StaleTemporariesAreSweptByTheNextWrite) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 3000, 0.5));
    for (const char* name : {".out.wav.zelto-Abc123", ".other.wav.zelto-Xyz789",
                             ".fresh.wav.zelto-Qrs456", ".keep-me"}) {
        std::ofstream(dir / name) << "left behind";
    }
    const time_t longAgo = time(nullptr) - 300;
    for (const char* name : {".out.wav.zelto-Abc123", ".other.wav.zelto-Xyz789", ".keep-me"}) {
        const utimbuf times{longAgo, longAgo};
        utime((dir / name).c_str(), &times);
    }
    const RunResult r = runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", probe()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{".fresh.wav.zelto-Qrs456", ".keep-me",
                                                       "in.wav", "out.wav"}));
}

TEST(ZeltoFiles, ASignalFromOutsideIsNotReportedAsAPluginCrash) {
    const std::string slow = fixturePlugin("slow", "-DPROBE_SLOW");
    if (slow.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 44100, 0.5));
    Background run({"render", dir / "in.wav", dir / "out.wav", "--plugin", slow, "--block", "16"});
    for (int waited = 0; !writesInto(run.pid(), dir.path()) && waited < 10000; waited += 10) {
        usleep(10 * 1000);
    }
    ASSERT_TRUE(writesInto(run.pid(), dir.path())) << "the render never started";
    kill(run.pid(), SIGSEGV);
    // The signal goes on to whatever handler came before ours: the default
    // one ends the process with it, a sanitizer's reports and exits with its
    // own code (1 for AddressSanitizer, 66 for ThreadSanitizer).
    const int code = run.wait();
    EXPECT_TRUE(code == 128 + SIGSEGV || code == 1 || code == 66) << code;
    const std::string err = run.err();
    EXPECT_NE(err.find("stopped by SIGSEGV sent by process " + std::to_string(getpid())),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("inside the plug-in"), std::string::npos) << err;
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
}

TEST(ZeltoFiles, LevelsBeyondAnyRealSignalPrintAsAboveTwoHundredDb) {
    REQUIRE_PROBE();
    TempDir dir;
    Audio huge = testSignal(2, 44100, 2000, 3.0e38);
    writeAudio(dir / "huge.wav", huge);
    const RunResult r =
        runZelto({"render", dir / "huge.wav", dir / "out.wav", "--plugin", probe()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("> +200 dBTP"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("> +200 dBFS"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("inf dB"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("-inf LUFS"), std::string::npos) << "overflow is not silence: " << r.out;
}

TEST(ZeltoFiles, TheStoredFileLocationsChangeOnlyWhenALoadWorked) {
    TempDir home, dir;
    const std::vector<std::string> env{"ZELTO_CONFIG_HOME=" + home.path().string()};
    const std::string ours = ZELTO_PLUGIN_PATH;
    const std::string stored = home / "KRW-soundlab/KRWzelto/CurrPreset.txt";
    const std::string storedDir = home / "KRW-soundlab/KRWzelto/CurrDir.txt";
    fs::create_directory(dir.path() / "good");
    fs::create_directory(dir.path() / "bad");
    RunResult r = runZelto(
        {"presets", "export", "--preset", "3", dir / "good/three.krw", "--plugin", ours}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = runZelto({"presets", "--preset-file", dir / "good/three.krw", "--plugin", ours}, env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(readFile(stored), "three.krw");
    ASSERT_EQ(readFile(storedDir), dir / "good/");

    std::string foreign = readFile(dir / "good/three.krw");
    foreign[0] ^= 0x20;
    std::ofstream(dir / "bad/foreign.krw", std::ios::binary) << foreign;
    r = runZelto({"presets", "--preset-file", dir / "bad/foreign.krw", "--plugin", ours}, env);
    EXPECT_EQ(r.exitCode, 11) << r.err;
    r = runZelto({"presets", "--bank", dir / "bad/missing.krb", "--plugin", ours}, env);
    EXPECT_EQ(r.exitCode, 8) << r.err;
    EXPECT_EQ(readFile(stored), "three.krw");
    EXPECT_EQ(readFile(storedDir), dir / "good/");
}
