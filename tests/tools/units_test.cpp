// zelto in a mastering engineer's terms: settings written in units and step
// texts, a ceiling that is the limiter's Output, output files that keep the
// input's word length with TPDF dither, and tags carried across.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

#define REQUIRE_OUR_PLUGIN() \
    ASSERT_TRUE(fileExists(ZELTO_PLUGIN_PATH)) << "plug-in not built: " << ZELTO_PLUGIN_PATH

/// The value of the named entry of a render report's "parameters".
double parameterValue(const Json& report, const std::string& name) {
    for (const Json& p : report["parameters"].arr()) {
        if (p["name"].str() == name) return p["value"].num();
    }
    ADD_FAILURE() << "no parameter " << name << " in the report";
    return -1.0;
}

struct Stats {
    double mean = 0, variance = 0, correlation = 0;
};

/// Mean and variance of (a - b) in units of `lsb`, and its correlation with b.
Stats errorStats(const Audio& a, const Audio& b, double lsb) {
    const size_t n = a.samples.size();
    double se = 0, see = 0, sx = 0, sxx = 0, sex = 0;
    for (size_t i = 0; i < n; ++i) {
        const double e = (a.samples[i] - b.samples[i]) / lsb, x = b.samples[i];
        se += e;
        see += e * e;
        sx += x;
        sxx += x * x;
        sex += e * x;
    }
    const double dn = static_cast<double>(n);
    Stats s;
    s.mean = se / dn;
    s.variance = see / dn - s.mean * s.mean;
    const double covariance = sex / dn - s.mean * (sx / dn);
    s.correlation = covariance / std::sqrt(s.variance * (sxx / dn - (sx / dn) * (sx / dn)));
    return s;
}

}  // namespace

TEST(ZeltoUnits, SettingsInUnitsAndStepTextsEqualTheNormalisedNumbers) {
    REQUIRE_OUR_PLUGIN();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 4410, 0.5));
    const RunResult byText = runZelto(
        {"render", dir / "in.wav",      dir / "a.wav", "--json",          "--set", "Drive=+6dB",
         "--set",  "output=-1 dB",      "--set",       "Release=150ms",   "--set", "Transient=20%",
         "--set",  "Oversample=on",     "--set",       "TransShape=soft", "--set", "Scale=K-14",
         "--set",  "NoiseShape=type C", "--set",       "Bits=16",         "--set", "Leveller=off"});
    ASSERT_EQ(byText.exitCode, 0) << byText.err;
    const Json t = parseJson(byText.out);
    // dB are the engine's: -1 dB of Output is 0.9169518, +6 dB of Drive 0.6245723.
    EXPECT_NEAR(parameterValue(t, "Drive"), 0.6245723, 1e-7);
    EXPECT_NEAR(parameterValue(t, "Output"), 0.9169518, 1e-7);
    EXPECT_NEAR(std::pow(10.0, 3.0 * std::pow(parameterValue(t, "Release"), 0.82030212)), 150.0,
                0.01);
    EXPECT_FLOAT_EQ(parameterValue(t, "Transient"), 0.2);
    EXPECT_EQ(parameterValue(t, "Oversample"), 0.75);
    EXPECT_FLOAT_EQ(parameterValue(t, "TransShape"), 2.5 / 3.0);
    EXPECT_EQ(parameterValue(t, "Scale"), 0.5);
    EXPECT_EQ(parameterValue(t, "NoiseShape"), 0.875);
    EXPECT_EQ(parameterValue(t, "Bits"), 0.5);
    EXPECT_EQ(parameterValue(t, "Leveller"), 1.0);

    // The same numbers written as before give the same render.
    const RunResult byNumber =
        runZelto({"render",      dir / "in.wav",
                  dir / "b.wav", "--json",
                  "--set",       "Drive=0.6245723",
                  "--set",       "Output=0.9169518",
                  "--set",       "3=" + std::to_string(parameterValue(t, "Release")),
                  "--set",       "Transient=0.2",
                  "--set",       "Oversample=1",
                  "--set",       "TransShape=0.9",
                  "--set",       "Scale=0.5",
                  "--set",       "NoiseShape=0.8",
                  "--set",       "Bits=0.4",
                  "--set",       "Leveller=1"});
    ASSERT_EQ(byNumber.exitCode, 0) << byNumber.err;
    EXPECT_EQ(readAudio(dir / "a.wav").samples, readAudio(dir / "b.wav").samples);
}

TEST(ZeltoUnits, BadValuesAreOneLineErrorsThatWriteNothing) {
    REQUIRE_OUR_PLUGIN();
    TempDir dir;
    const std::string in = dir / "in.wav", out = dir / "out.wav";
    writeAudio(in, testSignal(2, 44100, 2205, 0.5));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"render", in, out, "--set", "Drive=+40dB"}, "Drive takes -24.08 to +24.08 dB"},
        {{"render", in, out, "--set", "Oversample=maybe"}, "Oversample takes off or on"},
        {{"render", in, out, "--set", "Output=-3"}, "Output takes -12.04 to 0 dB"},
        {{"render", in, out, "--set", "Release=2dB"}, "in another unit"},
        {{"render", in, out, "--set", "Drive="}, "--set takes NAME=VALUE"},
        {{"render", in, out, "--ceiling", "abc"}, "--ceiling takes a level in dB"},
        {{"render", in, out, "--ceiling", "-20"}, "--ceiling takes -12.04 to 0 dB"},
        {{"render", in, out, "--dither", "x"}, "--dither takes none or tpdf"},
        {{"render", in, out, "--bits", "20"}, "--bits takes 16, 24 or 32"},
        {{"master", in, out, "--lufs", "-14", "--set", "TransShape=round"},
         "TransShape takes hard, med or soft"},
        {{"master", in, out, "--lufs", "-14", "--dither", "rect"}, "--dither takes"},
        {{"snapshot", "--out", dir / "s.png", "--set", "Scale=K-13"}, "K-12, K-14 or K-20"},
        {{"presets", "export", "--preset", "0", dir / "p.krw", "--set", "Power=half"},
         "Power takes off or on"},
    };
    for (const auto& c : cases) {
        const RunResult r = runZelto(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.message << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"}) << c.message;
    }
    // The same value is taken in the other commands that set parameters.
    const RunResult ok = runZelto({"presets", "export", "--preset", "0", dir / "p.krw", "--set",
                                   "Drive=+3dB", "--set", "Oversample=on"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    const RunResult shot = runZelto(
        {"snapshot", "--out", dir / "s.png", "--set", "Scale=k-20", "--set", "Drive=-6dB"});
    EXPECT_EQ(shot.exitCode, 0) << shot.err;
}

TEST(ZeltoUnits, AnotherPluginTakesNormalisedValuesOnly) {
    const std::string probe = fixturePlugin("plain", "");
    if (probe.empty()) GTEST_SKIP() << "no C++ compiler for the fixture plug-in";
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(1, 44100, 1000, 0.5));
    const RunResult units = runZelto(
        {"render", dir / "in.wav", dir / "out.wav", "--plugin", probe, "--set", "Gain=6dB"});
    EXPECT_EQ(units.exitCode, 2);
    EXPECT_NE(units.err.find("for the KRW Zelto plug-in only"), std::string::npos) << units.err;
    const RunResult ceiling =
        runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", probe, "--ceiling", "-1"});
    EXPECT_EQ(ceiling.exitCode, 7);
    EXPECT_NE(ceiling.err.find("--count-above"), std::string::npos) << ceiling.err;
    EXPECT_FALSE(fileExists(dir / "out.wav"));
    const RunResult plain = runZelto(
        {"render", dir / "in.wav", dir / "out.wav", "--plugin", probe, "--set", "Gain= 0.5 "});
    EXPECT_EQ(plain.exitCode, 0) << plain.err;
}

TEST(ZeltoCeiling, CeilingSetsTheOutputAndNoSamplePassesIt) {
    REQUIRE_OUR_PLUGIN();
    TempDir dir;
    writeAudio(dir / "hot.wav", testSignal(2, 48000, 48000, 1.4), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const RunResult r = runZelto({"render", dir / "hot.wav", dir / "out.wav", "--ceiling", "-1",
                                  "--set", "Drive=+6dB", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);
    EXPECT_TRUE(j["ceilingSet"].boolean());
    EXPECT_EQ(j["ceilingDbfs"].num(), -1.0);
    EXPECT_GT(j["input"]["samplesAboveCeiling"].num(), 1000);
    EXPECT_EQ(j["output"]["samplesAboveCeiling"].num(), 0);
    EXPECT_NEAR(parameterValue(j, "Output"), 0.9169518, 1e-7);
    // PCM at 16 bits, dithered: a step of dither lifts no sample over it either.
    const RunResult r16 = runZelto({"render", dir / "hot.wav", dir / "out16.wav", "--ceiling", "-1",
                                    "--bits", "16", "--set", "Drive=+6dB"});
    ASSERT_EQ(r16.exitCode, 0) << r16.err;
    double peak16 = 0;
    for (double s : readAudio(dir / "out16.wav").samples) peak16 = std::max(peak16, std::fabs(s));
    EXPECT_LE(peak16, std::pow(10.0, -1.0 / 20.0));
    // The written file, latency taken out, dither included.
    const Audio out = readAudio(dir / "out.wav");
    double peak = 0;
    for (double s : out.samples) peak = std::max(peak, std::fabs(s));
    EXPECT_LE(peak, std::pow(10.0, -1.0 / 20.0));
    EXPECT_GT(peak, std::pow(10.0, -1.1 / 20.0)) << "the limiter works up to its ceiling";

    // --count-above only counts: the Output stays at 0 dB.
    const RunResult count = runZelto({"render", dir / "hot.wav", dir / "count.wav", "--count-above",
                                      "-1dB", "--set", "Drive=+6dB", "--json"});
    ASSERT_EQ(count.exitCode, 0) << count.err;
    const Json c = parseJson(count.out);
    EXPECT_FALSE(c["ceilingSet"].boolean());
    EXPECT_GT(c["output"]["samplesAboveCeiling"].num(), 1000);
}

// A 24-bit input is written at 24 bits with TPDF dither: against the float
// render of the same settings the error has no offset, a variance of 1/4
// step^2 (1/6 from the dither, 1/12 from rounding) and nothing of the signal.
TEST(ZeltoDither, TwentyFourBitInputGivesTpdfDitheredTwentyFourBitOutput) {
    REQUIRE_OUR_PLUGIN();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 48000, 96000, 0.8), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    // A ceiling below full scale, where PCM's largest step lies under +1.0.
    const std::vector<std::string> common{"--set", "Drive=+3dB", "--ceiling", "-0.5", "--json"};
    auto render = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args{"render", dir / "in.wav", dir / out};
        args.insert(args.end(), common.begin(), common.end());
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult r = runZelto(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return parseJson(r.out);
    };
    const Json plain = render("out.wav", {});
    EXPECT_EQ(plain["output"]["format"].str(), "WAV pcm24");
    EXPECT_EQ(plain["output"]["bits"].num(), 24);
    EXPECT_EQ(plain["output"]["dither"].str(), "tpdf");
    render("float.wav", {"--format", "float"});
    const Audio out = readAudio(dir / "out.wav"), reference = readAudio(dir / "float.wav");
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    ASSERT_EQ(out.samples.size(), reference.samples.size());
    const double lsb = 1.0 / 8388608;
    const Stats s = errorStats(out, reference, lsb);
    EXPECT_NEAR(s.mean, 0.0, 0.01);
    EXPECT_NEAR(s.variance, 0.25, 0.01);
    EXPECT_NEAR(s.correlation, 0.0, 0.02);
    for (size_t i = 0; i < out.samples.size(); ++i) {
        ASSERT_LE(std::fabs(out.samples[i] - reference.samples[i]), 1.5 * lsb + 1e-12) << i;
    }

    // Without dither the same samples are only rounded to the nearest step.
    render("round.wav", {"--dither", "none"});
    const Audio rounded = readAudio(dir / "round.wav");
    for (size_t i = 0; i < rounded.samples.size(); ++i) {
        ASSERT_LE(std::fabs(rounded.samples[i] - reference.samples[i]), 0.5 * lsb) << i;
    }

    // A 16-bit input stays 16-bit; --bits and FLAC follow the same rule.
    writeAudio(dir / "in16.wav", testSignal(2, 48000, 4800, 0.5), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const RunResult r16 = runZelto({"render", dir / "in16.wav", dir / "o16.flac", "--json"});
    ASSERT_EQ(r16.exitCode, 0) << r16.err;
    EXPECT_EQ(readAudio(dir / "o16.flac").format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const RunResult bits = runZelto({"render", dir / "in16.wav", dir / "o32.wav", "--bits", "32"});
    ASSERT_EQ(bits.exitCode, 0) << bits.err;
    EXPECT_EQ(readAudio(dir / "o32.wav").format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

// With the plug-in's own requantizer on at the output's word length its
// samples are already on the grid: they are written exactly, undithered.
TEST(ZeltoDither, ThePluginsOwnRequantizerIsWrittenExactly) {
    REQUIRE_OUR_PLUGIN();
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, 44100, 44100, 0.7), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    // Output below full scale: a requantized +1.0 would be clipped one step.
    const std::vector<std::string> quantize{"--set", "Quantize=on", "--set", "Bits=16",
                                            "--set", "Drive=+4dB",  "--set", "Output=-1dB"};
    std::vector<std::string> args{"render", dir / "in.wav", dir / "out.wav", "--json"};
    args.insert(args.end(), quantize.begin(), quantize.end());
    const RunResult r = runZelto(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);
    EXPECT_EQ(j["output"]["dither"].str(), "none");
    EXPECT_NE(j["output"]["ditherNote"].str().find("16 bits"), std::string::npos);
    args[2] = dir / "float.wav";
    args.insert(args.end(), {"--format", "float"});
    ASSERT_EQ(runZelto(args).exitCode, 0);
    const Audio out = readAudio(dir / "out.wav"), reference = readAudio(dir / "float.wav");
    EXPECT_EQ(out.samples, reference.samples);
    // At 24 bits the plug-in's 16-bit grid is also exact; an 8-bit-wide
    // requantizer into 16 bits too. Not so when the output has fewer bits.
    args[2] = dir / "o24.wav";
    args.back() = "pcm24";
    const RunResult r24 = runZelto(args);
    EXPECT_EQ(parseJson(r24.out)["output"]["dither"].str(), "none");
    std::vector<std::string> wide{"render", dir / "in.wav", dir / "w.wav", "--json",
                                  "--set",  "Quantize=on",  "--set",       "Bits=24"};
    const RunResult rw = runZelto(wide);
    EXPECT_EQ(parseJson(rw.out)["output"]["dither"].str(), "tpdf");
}

namespace {

const std::pair<int, const char*> kTags[] = {
    {SF_STR_TITLE, "Night Drive"},   {SF_STR_ARTIST, "The Testers"}, {SF_STR_ALBUM, "Masters"},
    {SF_STR_DATE, "2024-05-01"},     {SF_STR_COMMENT, "first pass"}, {SF_STR_TRACKNUMBER, "7"},
    {SF_STR_SOFTWARE, "Some DAW 3"},
};

void writeTagged(const std::string& path, int format, bool broadcast) {
    const Audio a = testSignal(2, 44100, 4410, 0.5);
    SF_INFO info{};
    info.channels = 2;
    info.samplerate = 44100;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    for (const auto& [id, text] : kTags) sf_set_string(f, id, text);
    if (broadcast) {
        SF_BROADCAST_INFO b{};
        std::snprintf(b.description, sizeof b.description, "Final mix for release");
        std::snprintf(b.originator, sizeof b.originator, "Studio B");
        std::memcpy(b.origination_date, "2024-05-01", 10);  // fixed width, no NUL
        b.time_reference_low = 123456;
        ASSERT_EQ(sf_command(f, SFC_SET_BROADCAST_INFO, &b, sizeof b), SF_TRUE);
    }
    sf_writef_double(f, a.samples.data(), static_cast<sf_count_t>(a.frames()));
    sf_close(f);
}

struct ReadTags {
    std::map<int, std::string> strings;
    bool hasBroadcast = false;
    SF_BROADCAST_INFO broadcast{};
};

ReadTags readTags(const std::string& path) {
    ReadTags t;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) throw std::runtime_error("cannot read " + path);
    for (const auto& [id, text] : kTags) {
        if (const char* s = sf_get_string(f, id)) t.strings[id] = s;
    }
    t.hasBroadcast =
        sf_command(f, SFC_GET_BROADCAST_INFO, &t.broadcast, sizeof t.broadcast) == SF_TRUE;
    sf_close(f);
    return t;
}

}  // namespace

TEST(ZeltoTags, TagsAndBroadcastInfoSurviveARenderUnlessDropped) {
    REQUIRE_OUR_PLUGIN();
    TempDir dir;
    struct Case {
        const char* in;
        const char* out;
        int format;
        bool broadcast;
    };
    const Case cases[] = {
        {"in.wav", "out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true},
        {"in.flac", "out.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false},
    };
    for (const auto& c : cases) {
        writeTagged(dir / c.in, c.format, c.broadcast);
        const ReadTags written = readTags(dir / c.in);
        ASSERT_GE(written.strings.size(), 5u) << c.in << ": libsndfile kept too few to test";
        const RunResult r = runZelto({"render", dir / c.in, dir / c.out, "--json"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const ReadTags kept = readTags(dir / c.out);
        EXPECT_EQ(kept.strings, written.strings) << c.out;
        EXPECT_EQ(parseJson(r.out)["output"]["tags"].arr().size(),
                  written.strings.size() + (c.broadcast ? 1 : 0));
        EXPECT_EQ(kept.hasBroadcast, c.broadcast) << c.out;
        if (c.broadcast) {
            EXPECT_STREQ(kept.broadcast.description, "Final mix for release");
            EXPECT_STREQ(kept.broadcast.originator, "Studio B");
            EXPECT_EQ(kept.broadcast.time_reference_low, 123456u);
        }
        const RunResult bare =
            runZelto({"render", dir / c.in, dir / (std::string("bare-") + c.out), "--no-tags"});
        ASSERT_EQ(bare.exitCode, 0) << bare.err;
        const ReadTags none = readTags(dir / (std::string("bare-") + c.out));
        EXPECT_TRUE(none.strings.empty()) << c.out;
        EXPECT_FALSE(none.hasBroadcast) << c.out;
    }
    // Across containers the strings follow; the broadcast information, which
    // FLAC has no place for, is reported as left out.
    const RunResult cross = runZelto({"render", dir / "in.wav", dir / "cross.flac"});
    ASSERT_EQ(cross.exitCode, 0) << cross.err;
    EXPECT_EQ(readTags(dir / "cross.flac").strings, readTags(dir / "in.wav").strings);
    EXPECT_NE(cross.err.find("broadcast info"), std::string::npos) << cross.err;
}
