// zelto master: the built plug-in driven to a loudness target under a
// true-peak ceiling. Every result is measured here with libebur128 on the
// written file, never taken from zelto's own report; every refusal must
// leave the destination as it was.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "ToolTestSupport.h"

using namespace zelto_test;

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

class Noise {
  public:
    double next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return static_cast<double>(s_) / 2147483648.0 - 1.0;
    }

  private:
    uint32_t s_ = 0x9E3779B9u;
};

enum class Kind { Quiet, Loud, Dynamic, InterSample };

/// A few seconds of generated programme of each character the search must
/// handle: low level, dense and loud, sparse hits over a quiet bed (a large
/// crest), and bursts near a quarter of the sample rate whose samples miss
/// their crests (true peak 3 dB over the sample peak).
Audio programme(Kind kind, double seconds = 3.0, double scale = 1.0) {
    const size_t frames = static_cast<size_t>(seconds * kRate);
    Audio a{2, kRate, 0, std::vector<double>(frames * 2)};
    Noise noise;
    double dull = 0.0;  // low-passed noise
    for (size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double chord = std::sin(2 * kPi * 220 * t) + 0.7 * std::sin(2 * kPi * 277.2 * t) +
                             0.5 * std::sin(2 * kPi * 329.6 * t);
        double l = 0.0, r = 0.0;
        switch (kind) {
            case Kind::Quiet:
                l = 0.03 * chord + 0.01 * noise.next();
                r = 0.03 * chord * 0.9 + 0.01 * noise.next();
                break;
            case Kind::Loud: {
                const double beat = std::fmod(t, 0.25);
                const double kick = std::exp(-beat / 0.04) * std::sin(2 * kPi * 55 * beat * 8);
                l = 0.25 * chord + 0.3 * noise.next() + 0.5 * kick;
                r = 0.25 * chord + 0.3 * noise.next() + 0.5 * kick;
                break;
            }
            case Kind::Dynamic: {
                const double beat = std::fmod(t, 0.5);
                const double hit = std::exp(-beat / 0.06);
                dull += 0.3 * (noise.next() - dull);
                const double thump = 0.6 * std::sin(2 * kPi * 70 * beat) + 0.5 * dull;
                l = 0.08 * chord + 0.9 * hit * thump;
                r = 0.08 * chord + 0.8 * hit * thump;
                break;
            }
            case Kind::InterSample: {
                const bool burst = std::fmod(t, 0.5) < 0.01;
                const double b = burst ? 0.6 * std::sin(2 * kPi * (kRate / 4.0) * t + kPi / 4) : 0;
                l = 0.15 * chord + 0.05 * noise.next() + b;
                r = 0.15 * chord + 0.05 * noise.next() - b;
                break;
            }
        }
        a.samples[2 * n] = scale * l;
        a.samples[2 * n + 1] = scale * r;
    }
    return a;
}

struct Measured {
    double lufs = 0.0, truePeakDb = 0.0;
};

/// Loudness and true peak of a file by libebur128 directly.
Measured measure(const std::string& path) {
    const Bs1770 b = measureBs1770(readAudio(path));
    Measured m;
    m.lufs = b.lufs;
    m.truePeakDb = b.truePeakDb;
    return m;
}

RunResult master(const std::vector<std::string>& args) {
    std::vector<std::string> all{"master", "--plugin", ZELTO_PLUGIN_PATH};
    all.insert(all.end(), args.begin(), args.end());
    return runZelto(all);
}

const char* name(Kind k) {
    switch (k) {
        case Kind::Quiet:
            return "quiet";
        case Kind::Loud:
            return "loud";
        case Kind::Dynamic:
            return "dynamic";
        case Kind::InterSample:
            return "inter-sample";
    }
    return "?";
}

TEST(ZeltoMaster, EveryProgrammeMeetsTheLoudnessUnderTheTruePeakCeiling) {
    TempDir dir;
    for (Kind kind : {Kind::Quiet, Kind::Loud, Kind::Dynamic, Kind::InterSample}) {
        const std::string in = dir / (std::string(name(kind)) + ".wav");
        writeAudio(in, programme(kind));
        for (const char* target : {"-14", "-9"}) {
            const std::string what = std::string(name(kind)) + " at " + target + " LUFS";
            const std::string out = dir / "out.wav";
            const RunResult r = master({in, out, "--lufs", target});
            ASSERT_EQ(r.exitCode, 0) << what << "\n" << r.out << r.err;
            const Measured m = measure(out);
            EXPECT_NEAR(m.lufs, std::stod(target), 0.1) << what << "\n" << r.out;
            EXPECT_LE(m.truePeakDb, -1.0) << what << "\n" << r.out;
            EXPECT_EQ(readAudio(out).frames(), readAudio(in).frames()) << what;
            // One line per search render, then the report of the written file.
            EXPECT_NE(r.out.find("render 1: Drive"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("True peak"), std::string::npos) << r.out;
        }
    }
}

TEST(ZeltoMaster, AnInputFarFromTheTargetIsGuessedFromItsOwnLoudness) {
    // 7 dB under the target with peaks far below the ceiling: the drive the
    // input's loudness suggests is the answer, found beside the start in
    // the first round.
    TempDir dir;
    writeAudio(dir / "quiet.wav", programme(Kind::Quiet));
    const RunResult r = master({dir / "quiet.wav", dir / "out.wav", "--lufs", "-23"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("after 2 renders"), std::string::npos) << r.out;
    EXPECT_NEAR(measure(dir / "out.wav").lufs, -23.0, 0.1) << r.out;
}

TEST(ZeltoMaster, PcmOutputMonoFilesDoublePrecisionAndAStricterCeilingAreMetToo) {
    TempDir dir;
    const std::string in = dir / "isp.wav", out = dir / "out.flac";
    writeAudio(in, programme(Kind::InterSample));
    const RunResult r =
        master({in, out, "--lufs", "-12", "--true-peak", "-2.5", "--format", "pcm16"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const Measured m = measure(out);
    EXPECT_NEAR(m.lufs, -12.0, 0.1);
    EXPECT_LE(m.truePeakDb, -2.5);
    EXPECT_EQ(readAudio(out).format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);

    Audio mono = programme(Kind::Loud);
    for (size_t n = 0; n < mono.frames(); ++n) mono.samples[n] = mono.samples[2 * n];
    mono.samples.resize(mono.frames() / 2);
    mono.channels = 1;
    writeAudio(dir / "mono.wav", mono);
    const RunResult mr = master(
        {dir / "mono.wav", dir / "mono-out.wav", "--lufs", "-16", "--double", "--block", "333"});
    ASSERT_EQ(mr.exitCode, 0) << mr.out << mr.err;
    const Measured mm = measure(dir / "mono-out.wav");
    EXPECT_NEAR(mm.lufs, -16.0, 0.1);
    EXPECT_LE(mm.truePeakDb, -1.0);
    EXPECT_EQ(readAudio(dir / "mono-out.wav").channels, 1);
}

TEST(ZeltoMaster, TheSearchStartsFromTheChosenSettingsAndSavesWhatItFound) {
    // A preset file of the found settings, loaded by render, gives the same
    // master: the preset is what a DAW session would need to reproduce it.
    TempDir dir;
    const std::string in = dir / "in.wav", out = dir / "out.wav", preset = dir / "found.krw";
    writeAudio(in, programme(Kind::Loud));
    const RunResult r = master(
        {in, out, "--lufs", "-10", "--set", "Release=0.3", "--save-preset", preset, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json j = parseJson(r.out);
    EXPECT_NEAR(j["render"]["output"]["loudnessLufs"].num(), -10.0, 0.1);
    // The written setting is one the search measured, on target; its true
    // peak is read on the written render.
    bool measured = false;
    for (const Json& step : j["renders"].arr()) {
        measured = measured || (step["driveDb"].num() == j["driveDb"].num() &&
                                step["outputDb"].num() == j["outputDb"].num() &&
                                std::fabs(step["loudnessLufs"].num() + 10.0) <= 0.1);
    }
    EXPECT_TRUE(measured) << r.out;
    EXPECT_LE(j["render"]["output"]["truePeakDbtp"].num(), -1.0);
    EXPECT_LE(j["render"]["output"]["bs1770TruePeakDbtp"].num(), -1.0);
    EXPECT_EQ(j["target"]["truePeakDbtp"].num(), -1.0);
    const RunResult again = runZelto(
        {"render", in, dir / "again.wav", "--plugin", ZELTO_PLUGIN_PATH, "--preset-file", preset});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NEAR(measure(dir / "again.wav").lufs, measure(out).lufs, 0.01);
}

TEST(ZeltoMaster, MaxReductionRefusesWithItsOwnExitCodeAndWritesNothing) {
    TempDir dir;
    const std::string in = dir / "in.wav", out = dir / "out.wav";
    writeAudio(in, programme(Kind::Dynamic));
    // Unrestricted, this master takes about 8 dB of gain reduction.
    const RunResult free = master({in, dir / "free.wav", "--lufs", "-10", "--json"});
    ASSERT_EQ(free.exitCode, 0) << free.err;
    const double needed = parseJson(free.out)["render"]["maxGainReductionDb"].num();
    ASSERT_GT(needed, 6.0);

    writeAudio(out, programme(Kind::Quiet, 0.5));  // an older file that must survive
    const std::string before = readFile(out);
    const RunResult r = master({in, out, "--lufs", "-10", "--max-reduction", "3"});
    EXPECT_EQ(r.exitCode, 13) << r.out << r.err;
    EXPECT_NE(r.err.find("--max-reduction"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(out), before);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"free.wav", "in.wav", "out.wav"}));
}

TEST(ZeltoMaster, UnreachableTargetsFailClearlyAndWriteNothing) {
    TempDir dir;
    const std::string in = dir / "in.wav";
    writeAudio(in, programme(Kind::Loud));
    // Louder than any limiting can make it under the ceiling.
    const RunResult loud = master({in, dir / "out.wav", "--lufs", "3", "--true-peak", "-1",
                                   "--plot", dir / "out.png", "--save-preset", dir / "out.krw"});
    EXPECT_EQ(loud.exitCode, 12) << loud.out << loud.err;
    EXPECT_NE(loud.err.find("cannot reach 3.0 LUFS"), std::string::npos) << loud.err;
    // Silence has no loudness to move.
    writeAudio(dir / "silent.wav", Audio{2, kRate, 0, std::vector<double>(2 * kRate, 0.0)});
    const RunResult silent = master({dir / "silent.wav", dir / "out.wav", "--lufs", "-14"});
    EXPECT_EQ(silent.exitCode, 12) << silent.err;
    EXPECT_NE(silent.err.find("no measurable loudness"), std::string::npos) << silent.err;
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "silent.wav"}));
}

TEST(ZeltoMaster, BadInputFailsExactlyAsRenderDoes) {
    TempDir dir;
    const std::string good = dir / "good.wav";
    writeAudio(good, programme(Kind::Loud, 1.0));
    {
        std::ofstream f(dir / "text.wav");
        f << "not audio at all";
    }
    struct Case {
        std::string in, out;
        std::vector<std::string> extra;
    };
    const std::vector<Case> cases{
        {dir / "missing.wav", dir / "o.wav", {}},
        {dir / "text.wav", dir / "o.wav", {}},
        {good, dir / "o.mp9", {}},
        {good, dir / "no-such-dir/o.wav", {}},
        {good, dir / "o.wav", {"--preset", "no such preset"}},
        {good, dir / "o.wav", {"--set", "nonsense=0.5"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> renderArgs{"render", c.in, c.out, "--plugin", ZELTO_PLUGIN_PATH};
        renderArgs.insert(renderArgs.end(), c.extra.begin(), c.extra.end());
        std::vector<std::string> masterArgs{c.in, c.out, "--lufs", "-14"};
        masterArgs.insert(masterArgs.end(), c.extra.begin(), c.extra.end());
        const RunResult rendered = runZelto(renderArgs);
        const RunResult mastered = master(masterArgs);
        EXPECT_NE(rendered.exitCode, 0) << c.in << " " << c.out;
        EXPECT_EQ(mastered.exitCode, rendered.exitCode) << c.in << " " << c.out << mastered.err;
        EXPECT_EQ(mastered.err, rendered.err) << c.in << " " << c.out;
        EXPECT_EQ(mastered.out, "") << c.in << " " << c.out;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"good.wav", "text.wav"}));
    // A plug-in that is not ours has no Drive to search.
    const RunResult foreign = runZelto(
        {"master", good, dir / "o.wav", "--lufs", "-14", "--plugin", fixturePlugin("plain", "")});
    EXPECT_EQ(foreign.exitCode, 7) << foreign.err;
    EXPECT_EQ(master({good, dir / "o.wav"}).exitCode, 2);  // no --lufs
    EXPECT_EQ(master({good, dir / "o.wav", "--lufs", "loud"}).exitCode, 2);
}

TEST(ZeltoMaster, AnAlbumKeepsTheLoudnessDifferencesBetweenItsFiles) {
    TempDir dir;
    const std::vector<std::pair<std::string, Audio>> songs{
        {"a.wav", programme(Kind::Loud, 2.0)},
        {"b.wav", programme(Kind::Loud, 2.0, 0.5)},  // 6 dB under a
        {"c.wav", programme(Kind::Dynamic, 2.0, 0.7)},
    };
    std::vector<std::string> args{"--lufs", "-11", "--album", "--out-dir", dir / "album"};
    std::vector<double> inLufs;
    for (const auto& [file, audio] : songs) {
        writeAudio(dir / file, audio);
        args.push_back(dir / file);
        inLufs.push_back(measure(dir / file).lufs);
    }
    fs::create_directory(dir / "album");
    const RunResult r = master(args);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    std::vector<double> outLufs;
    for (const auto& [file, audio] : songs) {
        const Measured m = measure(dir / ("album/" + file));
        EXPECT_LE(m.truePeakDb, -1.0) << file;
        outLufs.push_back(m.lufs);
    }
    const size_t loudest =
        static_cast<size_t>(std::max_element(inLufs.begin(), inLufs.end()) - inLufs.begin());
    EXPECT_NEAR(outLufs[loudest], -11.0, 0.1);
    for (size_t k = 0; k < songs.size(); ++k) {
        EXPECT_NEAR(outLufs[k] - outLufs[loudest], inLufs[k] - inLufs[loudest], 0.1)
            << songs[k].first;
    }
}

TEST(ZeltoBatch, ParallelMastersWriteWhatASerialRunWritesAndPrintInOrder) {
    TempDir dir;
    std::vector<std::string> inputs;
    const Kind kinds[] = {Kind::Loud, Kind::Quiet, Kind::Dynamic, Kind::InterSample, Kind::Loud};
    for (int k = 0; k < 5; ++k) {
        inputs.push_back(dir / ("song" + std::to_string(k) + ".wav"));
        writeAudio(inputs.back(), programme(kinds[k], 1.5, 0.6 + 0.1 * k));
    }
    std::string printed[2];
    for (int jobs : {1, 3}) {
        const std::string out = dir / ("out" + std::to_string(jobs));
        fs::create_directory(out);
        std::vector<std::string> args{"--lufs", "-12", "--out-dir",
                                      out,      "-j",  std::to_string(jobs)};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const RunResult r = master(args);
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        // The times and the folder differ from run to run; the rest is the
        // same text.
        std::string text;
        size_t at = 0;
        for (size_t nl; (nl = r.out.find('\n', at)) != std::string::npos; at = nl + 1) {
            std::string line = r.out.substr(at, nl + 1 - at);
            for (size_t o; (o = line.find(out)) != std::string::npos;)
                line.replace(o, out.size(), "OUT");
            if (line.rfind("Time ", 0) != 0 && line.rfind("Speed ", 0) != 0) text += line;
        }
        printed[jobs == 1 ? 0 : 1] = text;
    }
    EXPECT_EQ(printed[0], printed[1]);
    size_t last = 0;
    for (const auto& in : inputs) {
        const std::string name = fs::path(in).filename();
        EXPECT_EQ(readFile(dir / ("out1/" + name)), readFile(dir / ("out3/" + name))) << name;
        const size_t at = printed[1].find("Mastering " + in);
        EXPECT_NE(at, std::string::npos);
        EXPECT_GE(at, last) << "printed out of order";
        last = at;
    }
}

TEST(ZeltoBatch, RenderAndMasterNameOutputsAfterTheirInputsAndCheckAllFirst) {
    TempDir dir;
    writeAudio(dir / "one.wav", programme(Kind::Loud, 1.0));
    writeAudio(dir / "two.wav", programme(Kind::Quiet, 1.0));
    fs::create_directory(dir / "out");
    const RunResult r = runZelto({"render", dir / "one.wav", dir / "two.wav", "--out-dir",
                                  dir / "out", "--plugin", ZELTO_PLUGIN_PATH, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json reports = parseJson(r.out);
    ASSERT_EQ(reports.arr().size(), 2u);
    EXPECT_EQ(reports.arr()[1]["output"]["path"].str(), dir / "out/two.wav");
    EXPECT_EQ(readAudio(dir / "out/one.wav").frames(), readAudio(dir / "one.wav").frames());

    // A bad file anywhere in the list stops the batch before anything is written.
    for (const char* command : {"render", "master"}) {
        TempDir outDir;
        std::vector<std::string> args{command,          dir / "one.wav", dir / "missing.wav",
                                      "--out-dir",      outDir.path(),   "--plugin",
                                      ZELTO_PLUGIN_PATH};
        if (std::string(command) == "master") args.insert(args.end(), {"--lufs", "-14"});
        const RunResult bad = runZelto(args);
        EXPECT_EQ(bad.exitCode, 8) << bad.err;
        EXPECT_TRUE(outDir.entries().empty()) << command;
    }
    // Two inputs of the same name, or an output over its own input.
    EXPECT_EQ(
        runZelto({"render", dir / "one.wav", dir / "out/one.wav", "--out-dir", dir / "x"}).exitCode,
        2);
    EXPECT_EQ(
        runZelto({"master", dir / "one.wav", "--out-dir", dir.path(), "--lufs", "-14"}).exitCode,
        2);
}

}  // namespace
