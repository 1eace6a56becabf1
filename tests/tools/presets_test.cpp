// zelto's preset, bank and state commands, through the real plug-in binary:
// files written by the plug-in's own writers, loaded back before a render,
// and rejected files reported with their own exit code.
#include <gtest/gtest.h>

#include <fstream>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

constexpr int kExitRejected = 11;
constexpr int kExitUnsupported = 7;
constexpr int kExitUsage = 2;
constexpr int kExitInput = 8;
const char* const kLsp = "/usr/lib/vst/lsp-plugins/limiter-stereo.so";

}  // namespace

TEST(ZeltoPresets, ListsTheBankAndExportsThroughThePluginsWriters) {
    TempDir dir;
    RunResult list = runZelto({"presets"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("*  0  Default"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("23  Total Disorder"), std::string::npos) << list.out;

    RunResult json = runZelto({"presets", "--json"});
    ASSERT_EQ(json.exitCode, 0);
    const Json j = parseJson(json.out);
    EXPECT_EQ(j["current"].num(), 0);
    ASSERT_EQ(j["presets"].arr().size(), 24u);
    EXPECT_EQ(j["presets"].arr()[10]["name"].str(), "CD Master 3 [recon]");

    const std::string preset = dir / "cd.krw", bank = dir / "all.krb";
    RunResult exportPreset = runZelto({"presets", "export", "--preset", "cd master 2", preset});
    ASSERT_EQ(exportPreset.exitCode, 0) << exportPreset.err;
    EXPECT_EQ(fs::file_size(preset), 1041u);
    RunResult exportBank = runZelto({"presets", "export", "--bank", bank});
    ASSERT_EQ(exportBank.exitCode, 0) << exportBank.err;
    EXPECT_EQ(fs::file_size(bank), 24041u);
    EXPECT_EQ(readFile(preset).substr(0, 5), std::string("tzRK\x22", 5));
}

TEST(ZeltoPresets, StateSavedWithAPresetComesBackInTheNextRun) {
    TempDir dir;
    const std::string state = dir / "project.state";
    RunResult save = runZelto({"state", "save", state, "--preset", "7"});
    ASSERT_EQ(save.exitCode, 0) << save.err;
    EXPECT_EQ(fs::file_size(state), 24049u);
    RunResult list = runZelto({"presets", "--state", state});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("*  7  Loudness 3"), std::string::npos) << list.out;
}

TEST(ZeltoPresets, RenderStartsFromTheChosenPresetOrFile) {
    TempDir dir;
    const std::string in = dir / "in.wav";
    writeAudio(in, testSignal(2, 44100, 44100, 1.5));
    RunResult byName = runZelto(
        {"render", in, dir / "a.wav", "--preset", "TV Limiter", "--json", "--no-progress"});
    ASSERT_EQ(byName.exitCode, 0) << byName.err;
    const Json a = parseJson(byName.out);
    EXPECT_EQ(a["preset"].str(), "13 TV Limiter");
    // "TV Limiter" sets its ceiling 10 dB down.
    EXPECT_LT(a["output"]["samplePeakDbfs"].num(), -9.9);
    EXPECT_GT(a["maxGainReductionDb"].num(), 5.0);

    const std::string preset = dir / "tv.krw";
    ASSERT_EQ(runZelto({"presets", "export", "--preset", "13", preset}).exitCode, 0);
    RunResult byFile =
        runZelto({"render", in, dir / "b.wav", "--preset-file", preset, "--json", "--no-progress"});
    ASSERT_EQ(byFile.exitCode, 0) << byFile.err;
    const Json b = parseJson(byFile.out);
    EXPECT_EQ(b["preset"].str(), "0 TV Limiter") << "a preset file lands in the current preset";
    EXPECT_EQ(readFile(dir / "a.wav"), readFile(dir / "b.wav"));
}

TEST(ZeltoPresets, RejectedAndWrongInputsFailCleanly) {
    TempDir dir;
    const std::string in = dir / "in.wav";
    writeAudio(in, testSignal(2, 44100, 4410, 0.5));
    const std::string junk = dir / "junk.krw";
    std::ofstream(junk) << "definitely not a preset";
    const std::vector<std::string> before = dir.entries();

    RunResult rejected = runZelto({"render", in, dir / "out.wav", "--preset-file", junk});
    EXPECT_EQ(rejected.exitCode, kExitRejected);
    EXPECT_NE(rejected.err.find("rejected"), std::string::npos) << rejected.err;
    RunResult badState = runZelto({"render", in, dir / "out.wav", "--state", junk});
    EXPECT_EQ(badState.exitCode, kExitRejected) << badState.err;
    RunResult badBank = runZelto({"presets", "--bank", junk});
    EXPECT_EQ(badBank.exitCode, kExitRejected) << badBank.err;
    RunResult missing = runZelto({"render", in, dir / "out.wav", "--bank", dir / "none.krb"});
    EXPECT_EQ(missing.exitCode, kExitInput) << missing.err;
    RunResult noSuchPreset = runZelto({"render", in, dir / "out.wav", "--preset", "Nope"});
    EXPECT_EQ(noSuchPreset.exitCode, kExitUsage) << noSuchPreset.err;
    RunResult outOfRange = runZelto({"render", in, dir / "out.wav", "--preset", "24"});
    EXPECT_EQ(outOfRange.exitCode, kExitUsage) << outOfRange.err;
    RunResult noFile = runZelto({"presets", "export", "--preset", "3"});
    EXPECT_EQ(noFile.exitCode, kExitUsage) << noFile.err;
    RunResult unwritable = runZelto({"state", "save", dir / "no/such/dir/x.state"});
    EXPECT_NE(unwritable.exitCode, 0);
    EXPECT_EQ(dir.entries(), before) << "nothing written by any failed command";

    if (fileExists(kLsp)) {
        RunResult foreign = runZeltoThirdParty({"presets", "--plugin", kLsp});
        EXPECT_EQ(foreign.exitCode, kExitUnsupported) << foreign.err;
        RunResult foreignPreset =
            runZeltoThirdParty({"render", in, dir / "out.wav", "--plugin", kLsp, "--preset", "1"});
        EXPECT_EQ(foreignPreset.exitCode, kExitUnsupported) << foreignPreset.err;
    }
}
