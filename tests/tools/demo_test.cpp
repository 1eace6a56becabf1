// zelto demo: the built-in programme is deterministic and hot enough for a
// limiter to work (sample peak +6 dBFS, true peak above it), and it is
// rendered through the plug-in with and without oversampling.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

TEST(ZeltoDemo, WritesTheProgrammeAndBothRendersOfOurLimiter) {
    ASSERT_TRUE(fileExists(ZELTO_PLUGIN_PATH)) << "plug-in not built: " << ZELTO_PLUGIN_PATH;
    TempDir dir;
    const std::string out = dir / "takes";  // created by the command
    const RunResult r = runZelto({"demo", "--out-dir", out, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);

    const Audio in = readAudio(out + "/demo-in.wav");
    EXPECT_EQ(in.channels, 2);
    EXPECT_EQ(in.rate, 44100);
    EXPECT_EQ(in.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_NEAR(static_cast<double>(in.frames()) / in.rate, 30.0, 0.01);

    const Json& plain = j["default"];
    const Json& over = j["oversample"];
    EXPECT_NEAR(plain["input"]["samplePeakDbfs"].num(), 6.0, 0.01);
    EXPECT_GT(plain["input"]["truePeakDbtp"].num(), plain["input"]["samplePeakDbfs"].num() + 1.5)
        << "the bursts must put the true peak well above the sample peak";
    EXPECT_GT(plain["input"]["loudnessLufs"].num(), -20.0);
    EXPECT_GT(plain["input"]["samplesAboveCeiling"].num(), 1000);

    for (const char* name : {"demo-out.wav", "demo-out-oversample.wav"}) {
        const Audio o = readAudio(out + "/" + name);
        EXPECT_EQ(o.frames(), in.frames()) << name;
        EXPECT_EQ(o.rate, 44100) << name;
    }
    EXPECT_EQ(plain["parameters"].arr().size(), 0u);
    ASSERT_EQ(over["parameters"].arr().size(), 1u);
    EXPECT_EQ(over["parameters"][0]["index"].num(), 6);
    EXPECT_EQ(over["parameters"][0]["value"].num(), 0.75);
    // What the limiter is for: the ceiling holds, and oversampled detection
    // brings the true peak down further than sample-peak detection.
    EXPECT_EQ(plain["output"]["samplesAboveCeiling"].num(), 0);
    EXPECT_LT(over["output"]["truePeakDbtp"].num(), plain["output"]["truePeakDbtp"].num());
}

TEST(ZeltoDemo, ProgrammeIsTheSameOnEveryRunAndPluginsWithoutOversampleGetOneRender) {
    if (!fileExists(kLspLimiter)) GTEST_SKIP() << kLspLimiter << " not installed";
    TempDir a, b;
    const RunResult ra =
        runZeltoThirdParty({"demo", "--out-dir", a.path(), "--plugin", kLspLimiter});
    ASSERT_EQ(ra.exitCode, 0) << ra.err;
    EXPECT_NE(ra.out.find("no 'Oversample' parameter"), std::string::npos) << ra.out;
    const RunResult rb =
        runZeltoThirdParty({"demo", "--out-dir", b.path(), "--plugin", kLspLimiter, "--json"});
    ASSERT_EQ(rb.exitCode, 0) << rb.err;
    EXPECT_TRUE(parseJson(rb.out)["oversample"].isNull());
    EXPECT_TRUE(readFile(a / "demo-in.wav") == readFile(b / "demo-in.wav"))
        << "the programme differs between runs";
    EXPECT_TRUE(readFile(a / "demo-out.wav") == readFile(b / "demo-out.wav"))
        << "the same render differs between runs";
    EXPECT_EQ(a.entries(), (std::vector<std::string>{"demo-in.wav", "demo-out.wav"}));
}

TEST(ZeltoDemo, ABadPluginLeavesTheFolderUntouched) {
    TempDir dir;
    const RunResult r = runZelto({"demo", "--out-dir", dir.path(), "--plugin", dir / "none.so"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("none.so"), std::string::npos);
    EXPECT_TRUE(dir.entries().empty());

    std::ofstream(dir / "file") << "x";
    const RunResult notDir = runZelto({"demo", "--out-dir", dir / "file"});
    EXPECT_EQ(notDir.exitCode, 9);
    EXPECT_NE(notDir.err.find("output folder"), std::string::npos) << notDir.err;
}

}  // namespace
