// zelto render: audio through a real plug-in binary, block by block, with the
// latency taken out, the report right, and never a partial output file. The
// fixture plug-in's output is exact (gain times the input, delayed), so its
// renders are compared sample for sample.
#include <ebur128.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <cmath>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

std::string probe() {
    return fixturePlugin("plain", "");
}

#define REQUIRE_PROBE() \
    if (probe().empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in"

/// Expects `out` to be `gain` times `in` delayed by `delay` frames (zeros
/// before), frame for frame and channel for channel.
void expectDelayedGain(const Audio& in, const Audio& out, double gain, size_t delay,
                       const std::string& what) {
    ASSERT_EQ(out.channels, in.channels) << what;
    ASSERT_EQ(out.rate, in.rate) << what;
    ASSERT_EQ(out.frames(), in.frames()) << what;
    size_t bad = 0;
    for (size_t n = 0; n < out.frames(); ++n) {
        for (int c = 0; c < in.channels; ++c) {
            const double want = n < delay ? 0.0 : gain * in.at(n - delay, c);
            if (out.at(n, c) != want && ++bad <= 3) {
                ADD_FAILURE() << what << ": frame " << n << " channel " << c << " is "
                              << out.at(n, c) << ", want " << want;
            }
        }
    }
    EXPECT_EQ(bad, 0u) << what;
}

TEST(ZeltoRender, OutputIsAlignedWithTheInputForEveryBlockSizeAndPrecision) {
    REQUIRE_PROBE();
    TempDir dir;
    const std::string inPath = dir / "in.wav";
    writeAudio(inPath, testSignal(2, 48000, 1000, 0.8));
    const Audio in = readAudio(inPath);
    for (const char* block : {"1", "7", "64", "999", "1000", "4096"}) {
        for (bool dbl : {false, true}) {
            const std::string outPath = dir / "out.wav";
            std::vector<std::string> args{"render",  inPath, outPath, "--plugin", probe(),
                                          "--block", block,  "--set", "gain=0.25"};
            if (dbl) args.push_back("--double");
            const RunResult r = runZelto(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            expectDelayedGain(in, readAudio(outPath), 0.25, 0,
                              std::string("block ") + block + (dbl ? " double" : " float"));
        }
    }
}

TEST(ZeltoRender, NoCompensateKeepsTheRawStreamAtTheInputLength) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 3000, 0.5));
    const Audio in = readAudio(dir / "in.wav");
    const RunResult r = runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", probe(),
                                  "--block", "100", "--no-compensate", "--set", "0=1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expectDelayedGain(in, readAudio(dir / "out.wav"), 1.0, 7, "raw stream");
}

TEST(ZeltoRender, ALatencyPublishedOnlyWhileProcessingIsStillCompensated) {
    const std::string late = fixturePlugin("late", "-DPROBE_LATE_LATENCY -DLATENCY=13");
    if (late.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    TempDir dir;
    // Shorter than one block: the delay is learnt in the only block of audio.
    for (size_t frames : {size_t{300}, size_t{5}}) {
        writeAudio(dir / "in.wav", testSignal(2, 44100, frames, 0.5));
        const Audio in = readAudio(dir / "in.wav");
        const RunResult r = runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", late,
                                      "--block", "512", "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(parseJson(r.out)["latency"].num(), 13);
        expectDelayedGain(in, readAudio(dir / "out.wav"), 0.5, 0,
                          "late latency, " + std::to_string(frames) + " frames");
    }
}

TEST(ZeltoRender, MonoFileIsOfferedAsOneInputAndOneOutput) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "mono.wav", testSignal(1, 44100, 2000, 0.5));
    const Audio in = readAudio(dir / "mono.wav");
    // The probe poisons its output if a pin reported unconnected has a
    // buffer or a connected one has none, so exact output proves the wiring.
    for (const char* mode : {"", "--mono-dual"}) {
        std::vector<std::string> args{"render", dir / "mono.wav", dir / "out.wav", "--plugin",
                                      probe()};
        if (*mode) args.push_back(mode);
        const RunResult r = runZelto(args);
        ASSERT_EQ(r.exitCode, 0) << mode << r.err;
        expectDelayedGain(in, readAudio(dir / "out.wav"), 0.5, 0, std::string("mono ") + mode);
    }
}

/// An impulse well below the ceiling, at a known frame, through a real
/// limiter: with latency compensation it must come out at the same frame.
void expectImpulseAligned(const std::string& plugin, int channels, const std::string& what) {
    TempDir dir;
    Audio in{channels, 44100, 0, std::vector<double>(static_cast<size_t>(channels) * 20000, 0.0)};
    const size_t at = 5000;
    for (int c = 0; c < channels; ++c) in.samples[at * static_cast<size_t>(channels) + c] = 0.25;
    writeAudio(dir / "in.wav", in);
    std::vector<std::string> args{"render", dir / "in.wav", dir / "out.wav", "--plugin", plugin};
    if (channels == 1 && plugin == kLspLimiter) args.push_back("--mono-dual");
    const RunResult r = plugin == kLspLimiter ? runZeltoThirdParty(args) : runZelto(args);
    ASSERT_EQ(r.exitCode, 0) << what << r.err;
    const Audio out = readAudio(dir / "out.wav");
    ASSERT_EQ(out.frames(), in.frames()) << what;
    ASSERT_EQ(out.rate, 44100) << what;
    ASSERT_EQ(out.channels, channels) << what;
    for (int c = 0; c < channels; ++c) {
        size_t loudest = 0;
        for (size_t n = 0; n < out.frames(); ++n) {
            if (std::fabs(out.at(n, c)) > std::fabs(out.at(loudest, c))) loudest = n;
        }
        EXPECT_EQ(loudest, at) << what << " channel " << c;
        EXPECT_NEAR(out.at(at, c), 0.25, 0.05) << what << " channel " << c;
    }
}

TEST(ZeltoRender, OurLimiterRendersStereoAndMonoAlignedWithTheInput) {
    ASSERT_TRUE(fileExists(ZELTO_PLUGIN_PATH)) << "plug-in not built: " << ZELTO_PLUGIN_PATH;
    expectImpulseAligned(ZELTO_PLUGIN_PATH, 2, "ours stereo");
    expectImpulseAligned(ZELTO_PLUGIN_PATH, 1, "ours mono");
}

TEST(ZeltoRender, ThirdPartyLimiterRendersAlignedWithTheInput) {
    if (!fileExists(kLspLimiter)) GTEST_SKIP() << kLspLimiter << " not installed";
    expectImpulseAligned(kLspLimiter, 2, "LSP stereo");
    expectImpulseAligned(kLspLimiter, 1, "LSP mono (dual)");
}

TEST(ZeltoRender, ReportMeasuresWhatWasReadAndWritten) {
    REQUIRE_PROBE();
    TempDir dir;
    // A quarter-rate sine at 45 degrees: every sample sits at 0.707 of the
    // crest, so the true peak is 3 dB above the sample peak.
    Audio in{2, 48000, 0, {}};
    for (size_t n = 0; n < 48000; ++n) {
        const double s = 0.9 * std::sin(M_PI / 2 * static_cast<double>(n) + M_PI / 4);
        in.samples.push_back(s);
        in.samples.push_back(n % 2 ? 0.1 : -0.1);
    }
    writeAudio(dir / "in.wav", in);
    const RunResult r =
        runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", probe(), "--set", "Gain=1",
                  "--count-above", "-4", "--json", "--block", "256"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);
    const double samplePeak = 20 * std::log10(0.9 * std::sqrt(0.5));
    EXPECT_NEAR(j["input"]["samplePeakDbfs"].num(), samplePeak, 1e-4);
    EXPECT_NEAR(j["input"]["truePeakDbtp"].num(), samplePeak + 3.01, 0.3);
    EXPECT_NEAR(j["output"]["samplePeakDbfs"].num(), samplePeak, 1e-4);
    // Left samples are all at -3.93 dBFS, above a -4 dB ceiling; right ones not.
    EXPECT_EQ(j["output"]["samplesAboveCeiling"].num(), 48000);
    EXPECT_EQ(j["input"]["frames"].num(), 48000);
    EXPECT_EQ(j["output"]["frames"].num(), 48000);
    EXPECT_EQ(j["latency"].num(), 7);
    EXPECT_TRUE(j["latencyCompensated"].boolean());
    EXPECT_FALSE(j.has("maxGainReductionDb")) << "gain reduction is reported for ours only";
    ASSERT_EQ(j["parameters"].arr().size(), 1u);
    EXPECT_EQ(j["parameters"][0]["name"].str(), "Gain");
    EXPECT_EQ(j["parameters"][0]["display"].str(), "1.00");
    EXPECT_GT(j["realtimeFactor"].num(), 0.0);
    EXPECT_GT(j["nsPerFrame"].num(), 0.0);

    // Loudness of the written file, measured here independently.
    const Audio out = readAudio(dir / "out.wav");
    ebur128_state* st = ebur128_init(2, 48000, EBUR128_MODE_I);
    ebur128_add_frames_double(st, out.samples.data(), out.frames());
    double lufs = 0;
    ebur128_loudness_global(st, &lufs);
    ebur128_destroy(&st);
    EXPECT_NEAR(j["output"]["loudnessLufs"].num(), lufs, 1e-6);
}

TEST(ZeltoRender, ReportOfOurLimiterCarriesTheGainReductionField) {
    ASSERT_TRUE(fileExists(ZELTO_PLUGIN_PATH)) << "plug-in not built: " << ZELTO_PLUGIN_PATH;
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 96000, 9600, 0.5));
    const RunResult r = runZelto({"render", dir / "in.wav", dir / "out.wav", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);
    EXPECT_TRUE(j.has("maxGainReductionDb"));
    EXPECT_EQ(j["plugin"]["uniqueId"].str(), "KRzt");
    EXPECT_EQ(j["latency"].num(), 287);
    const RunResult text = runZelto({"render", dir / "in.wav", dir / "out.wav"});
    EXPECT_NE(text.out.find("Gain reduction   max "), std::string::npos) << text.out;
}

TEST(ZeltoRender, PcmAndContainerFormatsFollowTheOptionsAndClip) {
    REQUIRE_PROBE();
    TempDir dir;
    Audio in = testSignal(2, 44100, 4410, 1.5);  // a third of the samples exceed full scale
    writeAudio(dir / "in.wav", in);
    in = readAudio(dir / "in.wav");
    size_t over = 0;
    for (double s : in.samples) over += std::fabs(s) > 1.0;
    ASSERT_GT(over, 0u);

    struct Case {
        const char* out;
        const char* format;
        int want;
    };
    const Case cases[] = {
        {"a.wav", "pcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"b.wav", "pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"c.wav", "float", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"d.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
        {"e.aiff", "pcm16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"F.AIF", "", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
    };
    for (const auto& c : cases) {
        // Undithered, so every sample is the input's rounded to the nearest step.
        std::vector<std::string> args{"render", dir / "in.wav", dir / c.out, "--plugin", probe(),
                                      "--set",  "GAIN=1",       "--json",    "--dither", "none"};
        if (*c.format) args.insert(args.end(), {"--format", c.format});
        const RunResult r = runZelto(args);
        ASSERT_EQ(r.exitCode, 0) << c.out << r.err;
        const Audio out = readAudio(dir / c.out);
        EXPECT_EQ(out.format, c.want) << c.out;
        ASSERT_EQ(out.frames(), in.frames()) << c.out;
        const bool pcm = (c.want & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
        EXPECT_EQ(parseJson(r.out)["output"]["clippedSamples"].num(), pcm ? over : 0) << c.out;
        double peak = 0;
        for (double s : out.samples) peak = std::max(peak, std::fabs(s));
        if (pcm) {
            EXPECT_LE(peak, 1.0) << c.out;
            EXPECT_GT(peak, 0.999) << c.out;  // clipped, not wrapped around
            const double lsb =
                (c.want & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 1.0 / 32768 : 1.0 / 8388608;
            for (size_t i = 0; i < out.samples.size(); i += 97) {
                EXPECT_NEAR(out.samples[i], std::clamp(in.samples[i], -1.0, 1.0 - lsb), lsb / 2)
                    << c.out;  // full scale is one step below +1
            }
        } else {
            EXPECT_GT(peak, 1.4) << c.out;  // float keeps what lies above full scale
        }
    }
}

struct FailureCase {
    std::string what;
    std::vector<std::string> args;
    int exitCode;
    std::string message;
};

TEST(ZeltoRender, FailuresExitNonZeroAndLeaveNoFileBehind) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 5000, 0.5));
    writeAudio(dir / "three.wav", testSignal(3, 44100, 100, 0.5));
    {
        Audio bad = testSignal(2, 44100, 100, 0.5);
        bad.samples[77] = std::nan("");
        writeAudio(dir / "nan.wav", bad);
        std::ofstream(dir / "notes.txt") << "these are not samples\n";
    }
    const std::string in = dir / "in.wav", out = dir / "out.wav";
    const std::string p = probe();
    const std::vector<FailureCase> cases = {
        {"3 channels", {"render", dir / "three.wav", out, "--plugin", p}, 8, "has 3 channels"},
        {"text file",
         {"render", dir / "notes.txt", out, "--plugin", p},
         8,
         "not a supported audio file"},
        {"missing input",
         {"render", dir / "absent.wav", out, "--plugin", p},
         8,
         "No such file or directory"},
        {"non-finite input", {"render", dir / "nan.wav", out, "--plugin", p}, 8, "non-finite"},
        {"missing folder",
         {"render", in, dir / "no/such/dir/out.wav", "--plugin", p},
         9,
         "cannot write output"},
        {"folder is a file",
         {"render", in, dir / "notes.txt/out.wav", "--plugin", p},
         9,
         "cannot write output"},
        {"output is a folder",
         {"render", in, dir.path().string() + "/", "--plugin", p},
         2,
         "output format"},
        {"block 0", {"render", in, out, "--plugin", p, "--block", "0"}, 2, "--block"},
        {"block too large", {"render", in, out, "--plugin", p, "--block", "65537"}, 2, "--block"},
        {"block not a number", {"render", in, out, "--plugin", p, "--block", "5x"}, 2, "--block"},
        {"unknown parameter",
         {"render", in, out, "--plugin", p, "--set", "Volume=0.5"},
         2,
         "no parameter named 'Volume'"},
        {"ambiguous parameter",
         {"render", in, out, "--plugin", p, "--set", "DUP=0.5"},
         2,
         "ambiguous"},
        {"index out of range",
         {"render", in, out, "--plugin", p, "--set", "4=0.5"},
         2,
         "out of range"},
        {"value not a number",
         {"render", in, out, "--plugin", p, "--set", "Gain=loud"},
         2,
         "'loud' is not a number from 0 to 1"},
        {"value above 1",
         {"render", in, out, "--plugin", p, "--set", "Gain=1.01"},
         2,
         "from 0 to 1"},
        {"preset of another plug-in",
         {"render", in, out, "--plugin", p, "--preset", "Loud"},
         7,
         "needs the KRW Zelto plug-in"},
        {"unknown format", {"render", in, out, "--plugin", p, "--format", "mp3"}, 2, "--format"},
        {"float FLAC",
         {"render", in, dir / "out.flac", "--plugin", p, "--format", "float"},
         2,
         "FLAC"},
        {"missing plug-in",
         {"render", in, out, "--plugin", dir / "none.so"},
         3,
         "cannot open plug-in"},
        {"no double precision",
         {"render", in, out, "--plugin", fixturePlugin("single", "-DPROBE_NO_DOUBLE"), "--double"},
         7,
         "double precision"},
        {"writes past its buffer",
         {"render", in, out, "--plugin", fixturePlugin("overrun", "-DPROBE_OVERRUN")},
         1,
         "past the end of output buffer 0"},
        {"non-finite output",
         {"render", in, out, "--plugin", fixturePlugin("nan", "-DPROBE_NAN")},
         1,
         "non-finite sample (inf)"},
    };
    const auto before = dir.entries();
    for (const auto& c : cases) {
        const RunResult r = runZelto(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(dir.entries(), before) << c.what << ": a file was left behind";
    }
}

TEST(ZeltoRender, AFailedRenderNeverTouchesAnExistingOutput) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 5000, 0.5));
    std::ofstream(dir / "out.wav") << "previous take";
    const auto before = dir.entries();
    for (const char* variant : {"overrun", "crash"}) {
        const std::string plugin = fixturePlugin(
            variant, std::string("-DPROBE_") + (variant[0] == 'o' ? "OVERRUN" : "CRASH"));
        const RunResult r =
            runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", plugin});
        EXPECT_NE(r.exitCode, 0) << variant;
        EXPECT_EQ(readFile(dir / "out.wav"), "previous take") << variant;
        EXPECT_EQ(dir.entries(), before) << variant << ": a temporary file was left behind";
        if (variant[0] == 'c') {
            EXPECT_NE(r.err.find("fatal signal SIGSEGV inside the plug-in"), std::string::npos)
                << r.err;
        }
    }
}

TEST(ZeltoRender, CtrlCStopsTheRenderAndRemovesItsTemporaryFile) {
    const std::string slow = fixturePlugin("slow", "-DPROBE_SLOW");
    if (slow.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 44100, 0.5));
    std::ofstream(dir / "out.wav") << "previous take";
    const auto before = dir.entries();
    // About 2800 blocks of 2 ms each: the signal arrives mid-render.
    std::vector<std::string> args{ZELTO_TOOL_PATH, "render", dir / "in.wav", dir / "out.wav",
                                  "--plugin",      slow,     "--block",      "16"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    // Wait until the process holds its temporary output open, i.e. the
    // render is under way (the file may have no name to look for).
    for (int waited = 0; !writesInto(pid, dir.path()) && waited < 10000; waited += 10) {
        usleep(10 * 1000);
    }
    const bool started = writesInto(pid, dir.path());
    usleep(100 * 1000);
    kill(pid, started ? SIGINT : SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(started) << "the render never started writing";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(readFile(dir / "out.wav"), "previous take");
    EXPECT_EQ(dir.entries(), before);
}

TEST(ZeltoRender, DamagedFilesNeverCrashTheHost) {
    REQUIRE_PROBE();
    TempDir dir;
    writeAudio(dir / "good.wav", testSignal(2, 44100, 600, 0.5), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string good = readFile(dir / "good.wav");
    // Header bytes overwritten with extreme values, and the data cut short.
    int checked = 0;
    for (size_t pos = 0; pos < 48; pos += 2) {
        for (unsigned char v : {0x00, 0xFF, 0x7F}) {
            std::string bytes = good;
            bytes[pos] = static_cast<char>(v);
            bytes[pos + 1] = static_cast<char>(v);
            std::ofstream(dir / "bad.wav", std::ios::binary) << bytes;
            const RunResult r = runZelto(
                {"render", dir / "bad.wav", dir / "out.wav", "--plugin", probe(), "--no-progress"});
            EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 8)
                << "byte " << pos << " = " << int(v) << ": exit " << r.exitCode << " " << r.err;
            std::remove((dir / "out.wav").c_str());
            ++checked;
        }
    }
    // A file cut short is refused unless asked for; then what is there renders.
    std::ofstream(dir / "cut.wav", std::ios::binary) << good.substr(0, good.size() / 2 + 1);
    const RunResult refused =
        runZelto({"render", dir / "cut.wav", dir / "out.wav", "--plugin", probe()});
    EXPECT_EQ(refused.exitCode, 8) << refused.err;
    EXPECT_FALSE(fileExists(dir / "out.wav"));
    const RunResult cut = runZelto(
        {"render", dir / "cut.wav", dir / "out.wav", "--plugin", probe(), "--allow-short-input"});
    EXPECT_EQ(cut.exitCode, 0) << cut.err;
    EXPECT_EQ(readAudio(dir / "out.wav").frames(), readAudio(dir / "cut.wav").frames());
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"bad.wav", "cut.wav", "good.wav", "out.wav"}));
    EXPECT_EQ(checked, 72);
}

}  // namespace
