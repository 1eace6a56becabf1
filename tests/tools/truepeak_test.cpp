// The accurate true-peak meter against signals whose reconstructed peak is
// known exactly, and against libebur128's meter on bright programme; the
// search's lean loudness meter against libebur128's.
#include "tools/audio/TruePeak.h"
#include "tools/audio/SignalMeter.h"

#include <ebur128.h>

#include <gtest/gtest.h>
#include "tools/audio/Loudness.h"

#include <cmath>
#include <limits>
#include <vector>

#include "BrightProgramme.h"

using namespace zelto_test;

namespace {

constexpr double kPi = 3.14159265358979323846;

double db(double v) {
    return 20.0 * std::log10(v);
}

double measure(const std::vector<double>& x, int channels, int64_t block = 1 << 20) {
    zelto::TruePeakMeter m(channels);
    const int64_t frames = static_cast<int64_t>(x.size()) / channels;
    for (int64_t at = 0; at < frames; at += block) {
        m.add(x.data() + at * channels, std::min(block, frames - at));
    }
    return m.peak();
}

/// Faded in and out over 2000 samples: a sine switched on abruptly really
/// does overshoot its amplitude in the reconstructed waveform.
std::vector<double> sine(double cyclesPerSample, double phase, double amplitude, size_t n) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) {
        const double edge = static_cast<double>(std::min(i, n - 1 - i));
        const double fade = edge < 2000 ? 0.5 - 0.5 * std::cos(kPi * edge / 2000) : 1.0;
        x[i] =
            fade * amplitude * std::sin(2 * kPi * cyclesPerSample * static_cast<double>(i) + phase);
    }
    return x;
}

TEST(TruePeakMeter, SinesReadTheirAmplitudeWithin005DbUpTo045OfTheRate) {
    // A quarter of the rate, 45 degrees off: every sample is 3 dB under the crest.
    const auto quarter = sine(0.25, kPi / 4, 0.5, 48000);
    double sampleMax = 0.0;
    for (double v : quarter) sampleMax = std::max(sampleMax, std::fabs(v));
    EXPECT_NEAR(db(sampleMax), db(0.5) - 3.01, 0.01);
    EXPECT_NEAR(db(measure(quarter, 1)), db(0.5), 0.05);

    for (double f : {0.02, 0.1, 0.2, 0.3, 0.4, 0.43, 0.44, 0.45}) {
        for (double phase : {0.0, 0.3, 0.7, 1.1, 1.9, 2.6}) {
            const auto x = sine(f, phase, 0.8, 20000);
            EXPECT_NEAR(db(measure(x, 1)), db(0.8), 0.05) << f << " of the rate, phase " << phase;
        }
    }
}

TEST(TruePeakMeter, BandLimitedSquareAndImpulseReadTheirAnalyticPeaks) {
    // A full-scale square wave built from its odd harmonics below 0.45 of
    // the rate: its peak (the Gibbs overshoot) is found on the continuous
    // sum itself, a thousand points per sample.
    const double f0 = 1000.0 / 48000.0;
    std::vector<int> ks;
    for (int k = 1; k * f0 < 0.45; k += 2) ks.push_back(k);
    auto square = [&](double t) {
        double v = 0.0;
        for (int k : ks) v += std::sin(2 * kPi * k * f0 * t) / k;
        return 4.0 / kPi * v;
    };
    std::vector<double> x(9600);
    for (size_t i = 0; i < x.size(); ++i) x[i] = 0.7 * square(static_cast<double>(i) + 0.37);
    double exact = 0.0;
    for (int i = 0; i < 48 * 1000; ++i) exact = std::max(exact, std::fabs(square(i / 1000.0)));
    EXPECT_GT(db(exact), 0.7);  // the overshoot is what makes this a test
    EXPECT_NEAR(db(measure(x, 1)), db(0.7 * exact), 0.05);

    // One sample alone reconstructs to a sinc whose crest is that sample.
    std::vector<double> impulse(1000, 0.0);
    impulse[500] = -0.9;
    EXPECT_NEAR(db(measure(impulse, 1)), db(0.9), 0.05);
    impulse.assign(1, 0.9);  // and at the very start of a file, too
    EXPECT_NEAR(db(measure(impulse, 1)), db(0.9), 0.05);
}

TEST(TruePeakMeter, ChannelsBlocksSilenceAndOverflow) {
    // Per channel; the same result however the stream is split.
    std::vector<double> st(2 * 30000);
    const auto a = sine(0.41, 0.9, 0.3, 30000), b = sine(0.25, kPi / 4, 0.6, 30000);
    for (size_t i = 0; i < a.size(); ++i) {
        st[2 * i] = a[i];
        st[2 * i + 1] = b[i];
    }
    zelto::TruePeakMeter m(2);
    m.add(st.data(), 30000);
    EXPECT_NEAR(db(m.peak(0)), db(0.3), 0.05);
    EXPECT_NEAR(db(m.peak(1)), db(0.6), 0.05);
    for (int64_t block : {1, 7, 512, 4097}) EXPECT_EQ(measure(st, 2, block), m.peak()) << block;

    EXPECT_EQ(measure(std::vector<double>(1000, 0.0), 1), 0.0);
    zelto::TruePeakMeter none(1);
    EXPECT_EQ(none.peak(), 0.0);
    std::vector<double> huge(100, 0.1);
    huge[50] = 1e300;
    EXPECT_EQ(measure(huge, 1), std::numeric_limits<double>::infinity());
}

TEST(TruePeakMeter, NeverReadsBelowTheBs1770MeterOnBrightProgramme) {
    for (int rate : {44100, 48000, 96000}) {
        for (bool hot : {false, true}) {
            BrightOptions o;
            o.rate = rate;
            o.seconds = 4.0;
            o.preLimited = hot;
            const Audio a = brightProgramme(o);
            ebur128_state* st =
                ebur128_init(2, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK);
            ebur128_add_frames_double(st, a.samples.data(), a.frames());
            double reference = 0.0;
            for (unsigned c = 0; c < 2; ++c) {
                double p = 0.0;
                ebur128_true_peak(st, c, &p);
                reference = std::max(reference, p);
            }
            ebur128_destroy(&st);
            const double ours = measure(a.samples, 2);
            EXPECT_GE(db(ours), db(reference) - 0.01) << rate << (hot ? " hot" : "");
        }
    }
}

TEST(Bs1770TruePeak, InPartsReadsWhatTheWholeStreamReads) {
    for (int channels : {1, 2}) {
        BrightOptions o;
        o.rate = 44100;
        o.channels = channels;
        o.seconds = 3.0;
        o.preLimited = true;
        const Audio a = brightProgramme(o);
        const std::vector<float> samples(a.samples.begin(), a.samples.end());
        ebur128_state* st =
            ebur128_init(static_cast<unsigned>(channels), 44100, EBUR128_MODE_TRUE_PEAK);
        ebur128_add_frames_float(st, samples.data(), a.frames());
        double whole = 0.0;
        for (int c = 0; c < channels; ++c) {
            double p = 0.0;
            ebur128_true_peak(st, static_cast<unsigned>(c), &p);
            whole = std::max(whole, p);
        }
        ebur128_destroy(&st);
        // Parts of every size, down to shorter than the run-in before them.
        for (int pieces : {1, 2, 7, 400}) {
            EXPECT_DOUBLE_EQ(zelto::bs1770TruePeakDb(samples, channels, 44100, pieces), db(whole))
                << channels << " channels in " << pieces;
        }
    }
    // A burst whose inter-sample peaks straddle the border of two parts.
    std::vector<float> burst(2 * 8820, 0.0f);
    for (int i = -4; i < 4; ++i) {
        const float v = static_cast<float>(0.5 * std::sin(kPi / 2 * i + kPi / 4));
        burst[static_cast<size_t>(2 * (4410 + i))] = v;
        burst[static_cast<size_t>(2 * (4410 + i) + 1)] = -v;
    }
    ebur128_state* st = ebur128_init(2, 44100, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(st, burst.data(), burst.size() / 2);
    double whole = 0.0;
    ebur128_true_peak(st, 0, &whole);
    ebur128_destroy(&st);
    EXPECT_GT(db(whole), db(0.4));
    EXPECT_DOUBLE_EQ(zelto::bs1770TruePeakDb(burst, 2, 44100, 2), db(whole));

    EXPECT_EQ(zelto::bs1770TruePeakDb({}, 2, 44100, 4), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(zelto::bs1770TruePeakDb(std::vector<float>(8, 0.0f), 2, 44100, 16),
              -std::numeric_limits<double>::infinity());
}

TEST(SignalMeter, OnAThreadOfItsOwnMeasuresExactlyWhatItMeasuresInline) {
    BrightOptions o;
    o.seconds = 5.0;
    o.quietFrom = 1.0;
    o.quietTo = 2.0;
    const Audio a = brightProgramme(o);
    for (auto detail : {zelto::SignalMeter::Detail::Search, zelto::SignalMeter::Detail::Full}) {
        zelto::SignalMeter inline_(2, o.rate, -1.0, detail, false);
        zelto::SignalMeter threaded(2, o.rate, -1.0, detail, true);
        for (size_t at = 0; at < a.frames(); at += 1000) {
            const size_t n = std::min<size_t>(1000, a.frames() - at);
            inline_.add(a.samples.data() + 2 * at, static_cast<int64_t>(n));
            threaded.add(a.samples.data() + 2 * at, static_cast<int64_t>(n));
        }
        const zelto::LevelStats x = inline_.stats(), y = threaded.stats();
        EXPECT_EQ(x.samplePeakDb, y.samplePeakDb);
        EXPECT_EQ(x.truePeakDb, y.truePeakDb);
        EXPECT_EQ(x.loudnessLufs, y.loudnessLufs);
        EXPECT_EQ(x.overCeiling, y.overCeiling);
        EXPECT_GT(x.overCeiling, 0);
        if (detail == zelto::SignalMeter::Detail::Full) {
            EXPECT_EQ(x.bs1770TruePeakDb, y.bs1770TruePeakDb);
            EXPECT_EQ(x.maxShortTermLufs, y.maxShortTermLufs);
            EXPECT_EQ(x.loudnessRangeLu, y.loudnessRangeLu);
        }
    }
}

TEST(GatedLoudness, AgreesWithLibebur128AtEveryRateForMonoAndStereo) {
    for (int rate : {22050, 44100, 48000, 96000}) {
        for (int channels : {1, 2}) {
            BrightOptions o;
            o.rate = rate;
            o.channels = channels;
            o.seconds = 6.0;
            o.quietFrom = 2.0;  // the gates have something to do
            o.quietTo = 3.5;
            const Audio a = brightProgramme(o);
            ebur128_state* st = ebur128_init(static_cast<unsigned>(channels),
                                             static_cast<unsigned long>(rate), EBUR128_MODE_I);
            ebur128_add_frames_double(st, a.samples.data(), a.frames());
            double reference = 0.0;
            ebur128_loudness_global(st, &reference);
            ebur128_destroy(&st);
            zelto::GatedLoudness ours(channels, rate);
            for (size_t at = 0; at < a.frames(); at += 333) {
                const size_t n = std::min<size_t>(333, a.frames() - at);
                ours.add(a.samples.data() + at * static_cast<size_t>(channels),
                         static_cast<int64_t>(n));
            }
            EXPECT_NEAR(ours.integrated(), reference, 0.001) << rate << " Hz, " << channels;
        }
    }
    // Silence and anything shorter than one 400 ms block has no loudness.
    zelto::GatedLoudness quiet(2, 48000);
    std::vector<double> silence(2 * 48000, 0.0);
    quiet.add(silence.data(), 48000);
    EXPECT_EQ(quiet.integrated(), -std::numeric_limits<double>::infinity());
    zelto::GatedLoudness brief(1, 48000);
    std::vector<double> tone = sine(0.02, 0.0, 0.5, 19000);
    brief.add(tone.data(), 19000);
    EXPECT_EQ(brief.integrated(), -std::numeric_limits<double>::infinity());
}

TEST(GatedLoudness, ReportFiguresAgreeWithLibebur128) {
    for (int channels : {1, 2}) {
        BrightOptions o;
        o.rate = 48000;
        o.channels = channels;
        o.seconds = 14.0;
        o.quietFrom = 5.0;
        o.quietTo = 8.0;
        const Audio a = brightProgramme(o);
        ebur128_state* st =
            ebur128_init(static_cast<unsigned>(channels), 48000, EBUR128_MODE_I | EBUR128_MODE_LRA);
        zelto::GatedLoudness ours(channels, 48000);
        double momentary = -1e9, shortTerm = -1e9;
        const size_t hop = 4800;
        for (size_t at = 0; at + hop <= a.frames(); at += hop) {
            const double* x = a.samples.data() + at * static_cast<size_t>(channels);
            ebur128_add_frames_double(st, x, hop);
            ours.add(x, static_cast<int64_t>(hop));
            double l = 0.0;
            if (at + hop >= 4 * hop && ebur128_loudness_momentary(st, &l) == EBUR128_SUCCESS) {
                momentary = std::max(momentary, l);
            }
            if (at + hop >= 30 * hop && ebur128_loudness_shortterm(st, &l) == EBUR128_SUCCESS) {
                shortTerm = std::max(shortTerm, l);
            }
        }
        double range = 0.0;
        ebur128_loudness_range(st, &range);
        ebur128_destroy(&st);
        EXPECT_NEAR(ours.maxMomentary(), momentary, 0.001) << channels;
        EXPECT_NEAR(ours.maxShortTerm(), shortTerm, 0.001) << channels;
        // The range is not compared: libebur128 takes a 3 s window every
        // second, where the loudness-range measurement now asks for one at
        // least every 100 ms (as we take them); on 14 s with a quiet
        // passage that alone moves it by LUs. Both see the passage.
        EXPECT_GT(range, 3.0) << channels;
        EXPECT_GT(ours.range(), 3.0) << channels;
    }
}

TEST(GatedLoudness, RangeSpansTheLevelsAndGatesAwayWhatIsFarBelow) {
    // Two steady passages 10 dB apart read a range of 10 LU: the windows
    // across the step are fewer than the 5 % either end discards.
    auto twoLevels = [](double lowerDb) {
        const double f = 1000.0 / 48000.0;
        std::vector<double> x = sine(f, 0.0, 0.3, 20 * 48000);
        std::vector<double> y = sine(f, 0.0, 0.3 * std::pow(10.0, lowerDb / 20.0), 20 * 48000);
        x.insert(x.end(), y.begin(), y.end());
        zelto::GatedLoudness m(1, 48000);
        m.add(x.data(), static_cast<int64_t>(x.size()));
        return m;
    };
    EXPECT_NEAR(twoLevels(-10.0).range(), 10.0, 0.05);
    // 30 dB under the loud part is below the relative gate (20 LU under
    // the mean): only the loud part and the windows across the step remain.
    EXPECT_LT(twoLevels(-30.0).range(), 3.0);
    // The maxima are the loud part's, momentary and short-term alike.
    const zelto::GatedLoudness m = twoLevels(-10.0);
    EXPECT_NEAR(m.maxMomentary(), m.maxShortTerm(), 0.05);

    // Shorter than one window: no range, no short-term maximum.
    zelto::GatedLoudness brief(2, 48000);
    std::vector<double> tone(2 * 2 * 48000, 0.1);
    brief.add(tone.data(), 2 * 48000);
    EXPECT_TRUE(std::isnan(brief.range()));
    EXPECT_TRUE(std::isnan(brief.maxShortTerm()));
    EXPECT_FALSE(std::isnan(brief.maxMomentary()));
}

}  // namespace
