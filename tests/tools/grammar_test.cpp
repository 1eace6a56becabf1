// zelto's one option grammar, through the built program: each command's help
// is its own, an option shared by commands means the same on each, '-' reads
// and writes standard streams, and a bad value is one line, exit 2 and
// nothing written.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include "tests/tools/ToolTestSupport.h"
#include "tools/common/ToolError.h"

namespace {

using namespace zelto_test;
using zelto::kExitInput;
using zelto::kExitOutput;
using zelto::kExitUsage;

const std::vector<std::string> kOurs = {"--plugin", ZELTO_PLUGIN_PATH};

std::vector<std::string> cat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/// The command with our plug-in chosen right after its name.
std::vector<std::string> ours(std::vector<std::string> a) {
    a.insert(a.begin() + 1, kOurs.begin(), kOurs.end());
    return a;
}

size_t lines(const std::string& s) {
    return static_cast<size_t>(std::count(s.begin(), s.end(), '\n'));
}

/// A short stereo file, enough for a render and a mastering search.
void writeProgramme(const std::string& path, double seconds = 2.0) {
    writeAudio(path, testSignal(2, 44100, static_cast<size_t>(seconds * 44100), 0.5));
}

TEST(ZeltoGrammar, EachCommandHasItsOwnHelpByEveryWayOfAsking) {
    const std::vector<std::string> commands = {"info",     "render", "master", "demo",
                                               "snapshot", "gui",    "play"};
    for (const auto& cmd : commands) {
        const RunResult byHelp = runZelto({"help", cmd});
        ASSERT_EQ(byHelp.exitCode, 0) << cmd << byHelp.err;
        EXPECT_EQ(runZelto({cmd, "--help"}).out, byHelp.out) << cmd;
        EXPECT_EQ(runZelto({cmd, "-h"}).out, byHelp.out) << cmd;
        EXPECT_NE(byHelp.out.find("  zelto " + cmd + " "), std::string::npos) << byHelp.out;
        for (const auto& other : commands) {
            if (other == cmd) continue;
            EXPECT_EQ(byHelp.out.find("  zelto " + other + " "), std::string::npos)
                << "help " << cmd << " shows " << other;
        }
        EXPECT_EQ(byHelp.out.find("Exit codes"), std::string::npos) << cmd;
    }
    // The options each help lists are the ones the command takes.
    const std::string render = runZelto({"help", "render"}).out;
    for (const char* o : {"--out-format", "--quiet", "--no-progress", "--ceiling", "--plot"}) {
        EXPECT_NE(render.find(o), std::string::npos) << o;
    }
    EXPECT_EQ(render.find("--lufs"), std::string::npos);
    EXPECT_NE(runZelto({"help", "master"}).out.find("--lufs"), std::string::npos);
    EXPECT_EQ(runZelto({"help", "master"}).out.find("--ceiling"), std::string::npos);
    // "presets" covers its export; "presets export" only that.
    const std::string presets = runZelto({"help", "presets"}).out;
    EXPECT_NE(presets.find("zelto presets export"), std::string::npos);
    const RunResult exportHelp = runZelto({"presets", "export", "--help"});
    EXPECT_EQ(exportHelp.exitCode, 0);
    EXPECT_EQ(exportHelp.out.find("zelto presets [--json]"), std::string::npos);
    EXPECT_EQ(runZelto({"state", "save", "-h"}).out, runZelto({"help", "state"}).out);

    // The overview names every command; it is not any command's help.
    const RunResult overview = runZelto({"help"});
    for (const auto& cmd : commands) {
        EXPECT_NE(overview.out.find("zelto " + cmd), std::string::npos) << cmd;
    }
    EXPECT_NE(overview.out.find("Exit codes"), std::string::npos);

    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"help", "bogus"}, {"bogus"}, {"bogus", "--help"}}) {
        const RunResult r = runZelto(bad);
        EXPECT_EQ(r.exitCode, kExitUsage) << bad[0];
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(lines(r.err), 1u) << r.err;
    }
}

TEST(ZeltoGrammar, VersionNamesZeltoAndThePluginItLoads) {
    for (const char* form : {"--version", "-V"}) {
        const RunResult r = runZelto({form}, {"ZELTO_PLUGIN=" ZELTO_PLUGIN_PATH});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.rfind("zelto ", 0), 0u);
        EXPECT_NE(r.out.find("\nplug-in KRW Zelto, version 1 (vendor version 0), "),
                  std::string::npos)
            << r.out;
    }
    // Without a plug-in to load, zelto still says its own version, then why
    // it cannot say the plug-in's.
    TempDir dir;
    const RunResult missing = runZelto({"--version"}, {"ZELTO_PLUGIN=" + (dir / "none.so")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_EQ(missing.out.rfind("zelto ", 0), 0u);
    EXPECT_NE(missing.err.find("none.so"), std::string::npos);
}

/// Every bad value: one line naming what is accepted, exit 2, nothing written.
TEST(ZeltoGrammar, BadValuesAreOneLineNamingWhatIsAcceptedAndWriteNothing) {
    TempDir dir;
    const std::string in = dir / "in.wav";
    writeProgramme(in, 0.5);
    const std::string out = dir / "out.wav";
    struct Case {
        std::vector<std::string> args;
        const char* accepted;
    };
    const std::vector<Case> cases = {
        {{"render", in, out, "--format", "pcm8"}, "float, pcm16 or pcm24"},
        {{"render", in, out, "--block", "0"}, "from 1 to 65536"},
        {{"render", in, out, "--block", "64k"}, "from 1 to 65536"},
        {{"render", in, out, "--ceiling", "abc"}, "a level in dB"},
        {{"render", in, "--out-dir", dir / "o", "--out-format", "mp3"}, "wav, flac, aif or aiff"},
        {{"render", in, out, "--set", "Drive=2"}, "from 0 to 1"},
        {{"render", in, out, "--json=yes"}, "takes no value"},
        {{"render", in, out, "--block"}, "needs a value"},
        {{"render", in, out, "--block", "8", "--block", "16"}, "given twice"},
        {{"render", in, out, "--lufs", "-14"}, "see 'zelto help render'"},
        {{"master", in, out, "--lufs", "abc"}, "from -70 to 20"},
        {{"master", in, out, "--lufs", "-14", "--true-peak", "3"}, "from -20 to 0"},
        {{"master", in, out, "--lufs", "-14", "--max-reduction", "-1"}, "from 0 to 100"},
        {{"master", in, out}, "--lufs L"},
        {{"play", in, "--seconds", "-1"}, "0 or more"},
        {{"gui", "--cycles", "0"}, "from 1 to 10000"},
        {{"snapshot", "--out", dir / "x.png", "--input", in, "--at", "-2"}, "0 or more"},
        {{"demo", "--out-dir", dir / "demo", "--block", "-5"}, "from 1 to 65536"},
        {{"info", "--colour"}, "unknown option '--colour'"},
        {{"presets", "--lufs", "-14"}, "no option '--lufs'"},
    };
    const auto before = dir.entries();
    for (const auto& c : cases) {
        const RunResult r = runZelto(ours(c.args));
        std::string what;
        for (const auto& a : c.args) what += a + " ";
        EXPECT_EQ(r.exitCode, kExitUsage) << what << r.err;
        EXPECT_EQ(lines(r.err), 1u) << what << r.err;
        EXPECT_EQ(r.err.rfind("zelto: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find("zelto: zelto"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.accepted), std::string::npos) << what << r.err;
        EXPECT_TRUE(r.out.empty()) << what << r.out;
    }
    EXPECT_EQ(dir.entries(), before) << "nothing written by a refused command line";
}

/// An option on several commands reads and checks its value the same way on
/// each: the same refusal word for word, and the same effect.
TEST(ZeltoGrammar, AnOptionSharedByCommandsBehavesTheSameOnEach) {
    TempDir dir;
    const std::string in = dir / "in.wav";
    writeProgramme(in, 0.5);
    auto errorOf = [&](std::vector<std::string> args) {
        const RunResult r = runZelto(cat(args, kOurs));
        EXPECT_EQ(r.exitCode, kExitUsage) << r.err;
        return r.err;
    };
    const std::string out = dir / "out.wav";
    const std::string block = errorOf({"render", in, out, "--block", "0"});
    EXPECT_EQ(errorOf({"master", in, out, "--lufs", "-14", "--block", "0"}), block);
    EXPECT_EQ(errorOf({"demo", "--out-dir", dir / "d", "--block", "0"}), block);
    EXPECT_EQ(errorOf({"play", in, "--block", "0"}), block);

    const std::string set = errorOf({"render", in, out, "--set", "Drive=7"});
    EXPECT_EQ(errorOf({"master", in, out, "--lufs", "-14", "--set", "Drive=7"}), set);
    EXPECT_EQ(errorOf({"snapshot", "--out", dir / "s.png", "--set", "Drive=7"}), set);
    EXPECT_EQ(errorOf({"gui", "--set", "Drive=7"}), set);
    EXPECT_EQ(errorOf({"play", in, "--set", "Drive=7"}), set);

    const std::string seconds = errorOf({"gui", "--seconds", "x"});
    EXPECT_EQ(errorOf({"play", in, "--seconds", "x"}), seconds);

    const std::string format = errorOf({"render", in, out, "--format", "x"});
    EXPECT_EQ(errorOf({"master", in, out, "--lufs", "-14", "--format", "x"}), format);

    // --quiet and --json on every command that renders: quiet prints no
    // report, --json prints one document.
    const std::vector<std::vector<std::string>> renders = {
        {"render", in, dir / "r.wav"},
        {"master", in, dir / "m.wav", "--lufs", "-20"},
        {"demo", "--out-dir", dir / "demo"},
    };
    for (const auto& cmd : renders) {
        const RunResult quiet = runZelto(cat(cat(cmd, kOurs), {"-q", "--no-progress"}));
        EXPECT_EQ(quiet.exitCode, 0) << cmd[0] << quiet.err;
        EXPECT_TRUE(quiet.out.empty()) << cmd[0] << ": " << quiet.out;
        const RunResult json = runZelto(cat(cat(cmd, kOurs), {"--json", "--quiet"}));
        EXPECT_EQ(json.exitCode, 0) << cmd[0] << json.err;
        EXPECT_NO_THROW(parseJson(json.out)) << cmd[0] << json.out;
        const RunResult text = runZelto(cat(cmd, kOurs));
        EXPECT_NE(text.out.find("True peak"), std::string::npos) << cmd[0] << text.out;
    }

    // --out-dir makes the folder, on render, master and demo alike, and
    // --out-format picks the container of a batch of any inputs.
    const std::string second = dir / "second.flac";
    writeAudio(second, testSignal(2, 44100, 22050, 0.5), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    for (const char* cmd : {"render", "master"}) {
        const std::string folder = dir / (std::string(cmd) + "-made/inner");
        std::vector<std::string> args = {cmd,         in,       second,
                                         "--out-dir", folder,   "--out-format",
                                         "flac",      "--plot", folder + "/plots/"};
        if (std::string(cmd) == "master") args = cat(args, {"--lufs", "-20"});
        const RunResult r = runZelto(cat(args, kOurs));
        ASSERT_EQ(r.exitCode, 0) << cmd << r.err;
        const Audio a = readAudio(folder + "/in.flac");
        EXPECT_EQ(a.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC) << cmd;
        EXPECT_EQ(a.frames(), 22050u) << cmd;
        EXPECT_TRUE(fileExists(folder + "/second.flac")) << cmd;
        EXPECT_GT(fs::file_size(folder + "/plots/in.png"), 1000u) << cmd;
        EXPECT_GT(fs::file_size(folder + "/plots/second.png"), 1000u) << cmd;
    }
    // Several inputs and a plot that is not a folder: refused before anything runs.
    const RunResult onePlot = runZelto(
        cat({"render", in, second, "--out-dir", dir / "x", "--plot", dir / "p.png"}, kOurs));
    EXPECT_EQ(onePlot.exitCode, kExitUsage);
    EXPECT_FALSE(fileExists(dir / "x"));
}

TEST(ZeltoGrammar, DashReadsStandardInputAndWritesStandardOutput) {
    TempDir dir;
    const std::string in = dir / "in.wav";
    writeProgramme(in, 1.0);
    const std::string byFile = dir / "by-file.wav";
    ASSERT_EQ(runZelto(cat({"render", in, byFile, "--no-progress"}, kOurs)).exitCode, 0);
    const Audio expected = readAudio(byFile);

    // In from a pipe's worth of bytes, out to a file.
    const RunResult fromStdin =
        runZelto(cat({"render", "-", dir / "from-stdin.wav"}, kOurs), {}, in);
    ASSERT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
    EXPECT_NE(fromStdin.out.find("Input            -"), std::string::npos) << fromStdin.out;
    EXPECT_EQ(readAudio(dir / "from-stdin.wav").samples, expected.samples);

    // Both ways at once: the audio is all of stdout, the report goes to stderr.
    const RunResult both = runZelto(cat({"render", "-", "-"}, kOurs), {}, in);
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_NE(both.err.find("True peak"), std::string::npos) << both.err;
    {
        std::ofstream f(dir / "piped.wav", std::ios::binary);
        f << both.out;
    }
    const Audio piped = readAudio(dir / "piped.wav");
    EXPECT_EQ(piped.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
    EXPECT_EQ(piped.samples, expected.samples);

    // FLAC to standard output, and master reading standard input.
    const RunResult flac =
        runZelto(cat({"render", in, "-", "--out-format", "flac", "--json"}, kOurs));
    ASSERT_EQ(flac.exitCode, 0) << flac.err;
    EXPECT_EQ(flac.out.rfind("fLaC", 0), 0u);
    EXPECT_EQ(parseJson(flac.err)["output"]["path"].str(), "-");
    const RunResult master =
        runZelto(cat({"master", "-", dir / "master.wav", "--lufs", "-20", "-q"}, kOurs), {}, in);
    ASSERT_EQ(master.exitCode, 0) << master.err;
    EXPECT_EQ(readAudio(dir / "master.wav").frames(), expected.frames());

    // Nothing useful comes from or goes to a terminal; an empty input is no audio.
    const int pty = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty >= 0 && grantpt(pty) == 0 && unlockpt(pty) == 0) {
        const std::string terminal = ptsname(pty);
        const RunResult typed = runZelto(cat({"render", "-", dir / "t.wav"}, kOurs), {}, terminal);
        EXPECT_EQ(typed.exitCode, kExitInput) << typed.err;
        EXPECT_NE(typed.err.find("terminal"), std::string::npos) << typed.err;
        EXPECT_FALSE(fileExists(dir / "t.wav"));
    }
    if (pty >= 0) close(pty);
    { std::ofstream empty(dir / "empty"); }
    const RunResult empty = runZelto(cat({"render", "-", dir / "e.wav"}, kOurs), {}, dir / "empty");
    EXPECT_EQ(empty.exitCode, kExitInput) << empty.err;
    EXPECT_EQ(lines(empty.err), 1u) << empty.err;
    EXPECT_FALSE(fileExists(dir / "e.wav"));
    // Standard output takes only what a pipe can carry whole.
    const RunResult aiff = runZelto(cat({"render", in, "-", "--out-format", "aiff"}, kOurs));
    EXPECT_EQ(aiff.exitCode, kExitUsage) << aiff.err;
    EXPECT_TRUE(aiff.out.empty());
}

}  // namespace
