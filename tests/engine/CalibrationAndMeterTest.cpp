// Calibration noise (level per K scale, routing, generator sequence) and the meter
// feed (holds, reset by polling, scales of the readings, reconstruction metering).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/DitherRng.h"
#include "engine/EngineState.h"
#include "engine/EngineTestSupport.h"

namespace zelto {
namespace {

using test::RefSettings;

struct Stereo {
    std::vector<double> l, r;
};

Stereo calibrate(EngineState& e, size_t n, bool secondOutput = true) {
    Stereo out{std::vector<double>(n, 5.0), std::vector<double>(n, 5.0)};
    double* o[2] = {out.l.data(), secondOutput ? out.r.data() : nullptr};
    e.process<double>(nullptr, o, static_cast<int32_t>(n), false, secondOutput);  // inputs unread
    return out;
}

double rms(const std::vector<double>& x) {
    double s = 0.0;
    for (double v : x) s += v * v;
    return std::sqrt(s / x.size());
}

TEST(Calibration, NoiseSitsAtTheKScaleReference) {
    const double reading[3] = {0.25118864315, 0.2, 0.1};  // sqrt(2·mean square)
    for (int scale = 0; scale < 3; ++scale) {
        auto e = test::makeEngine(44100, 0, RefSettings{});
        e->setScaleIndex(scale);
        e->setCalibrateMode(2);
        const Stereo out = calibrate(*e, 44100 * 8);
        EXPECT_NEAR(rms(out.l) * std::sqrt(2.0), reading[scale], reading[scale] * 0.02) << scale;
        EXPECT_NEAR(rms(out.r) * std::sqrt(2.0), reading[scale], reading[scale] * 0.02) << scale;
        const MeterSnapshot m = e->getMeterValues();
        EXPECT_NEAR(m.values[kMeterOutRmsL], reading[scale], reading[scale] * 0.1);
        EXPECT_EQ(m.values[kMeterInRmsL], m.values[kMeterOutRmsL]);
        EXPECT_EQ(m.values[kMeterInPeakR], m.values[kMeterOutPeakR]);
    }
}

TEST(Calibration, ModesRouteNoiseAndKeepChannelsUncorrelated) {
    for (int mode = 1; mode <= 3; ++mode) {
        auto e = test::makeEngine(44100, 0, RefSettings{});
        e->setCalibrateMode(mode);
        const Stereo out = calibrate(*e, 44100);
        const double l = rms(out.l), r = rms(out.r);
        EXPECT_EQ(l == 0.0, mode == 3) << mode;
        EXPECT_EQ(r == 0.0, mode == 1) << mode;
        const MeterSnapshot m = e->getMeterValues();
        if (mode == 1) {
            EXPECT_EQ(m.values[kMeterOutPeakR], 0.0f);
            EXPECT_EQ(m.values[kMeterInRmsR], 0.0f);
            EXPECT_GT(m.values[kMeterOutPeakL], 0.0f);
        }
        if (mode == 2) {
            double c = 0.0;
            for (size_t i = 0; i < out.l.size(); ++i) c += out.l[i] * out.r[i];
            EXPECT_LT(std::fabs(c / out.l.size() / (l * r)), 0.05);
            EXPECT_NEAR(l, r, 0.05 * l);
        }
    }
    // A host with one output gets the left-channel noise there.
    auto e = test::makeEngine(44100, 0, RefSettings{});
    e->setCalibrateMode(1);
    const Stereo one = calibrate(*e, 4410, false);
    EXPECT_GT(rms(one.l), 0.01);
    EXPECT_EQ(one.r[0], 5.0);
}

// The first values of mode 1 follow from the generator seeds and the row schedule
// (counter 0 renews row 7, then rows by the trailing zeros of the counter).
TEST(Calibration, GeneratorSequenceFollowsTheRowSchedule) {
    auto e = test::makeEngine(44100, 0, RefSettings{});
    e->setScaleIndex(2);
    e->setCalibrateMode(1);
    const Stereo out = calibrate(*e, 700);
    DitherRng rng;
    rng.seed();
    double rows[8] = {}, sum = 0.0;
    for (uint32_t counter = 0; counter < 700; ++counter) {
        int k = 7;
        for (int b = 0; b < 7; ++b) {
            if (counter & (1u << b)) {
                k = b;
                break;
            }
        }
        const double r = rng.next();
        sum += r - rows[k];
        rows[k] = r;
        const double w = rng.next();
        const double want = (w + sum) * 0.1 / std::sqrt(2.0) / std::sqrt(3.0);
        ASSERT_NEAR(out.l[counter], want, 1e-15) << counter;
        ASSERT_EQ(out.r[counter], 0.0);
    }
}

TEST(Calibration, LimiterStandsStillAndResumesWhereItWas) {
    RefSettings s;
    s.power = false;
    auto e = test::makeEngine(44100, 0, s);
    std::vector<double> in(100, 0.5), l(100), r(100);
    test::run<double>(*e, in, in, l, r, 0, 100);  // 100 samples of 0.5 into the delay
    e->setCalibrateMode(3);
    calibrate(*e, 10000);
    e->setCalibrateMode(0);
    std::vector<double> zero(100, 0.0);
    test::run<double>(*e, zero, zero, l, r, 0, 100);
    // The held audio comes out first: 159 − 100 samples of silence, then the 0.5s.
    EXPECT_EQ(l[58], 0.0);
    EXPECT_EQ(l[59], 0.5);
    EXPECT_EQ(r[99], 0.5);
}

TEST(Meters, HoldUntilPolledAndRestartAfterTheNextSamples) {
    RefSettings s;
    s.drive = 4.0;
    auto e = test::makeEngine(44100, 0, s);
    e->setPostMeter(1);
    const size_t n = 2000;
    std::vector<double> in(n, 0.0), l(n), r(n);
    in[100] = 0.8;
    in[101] = -0.6;
    test::run<double>(*e, in, in, l, r, 0, n);
    std::vector<double> quiet(512, 0.0), ql(512), qr(512);
    for (int b = 0; b < 20; ++b) test::run<double>(*e, quiet, quiet, ql, qr, 0, 512);
    // Twenty blocks later the peak is still held: no poll came in between.
    const MeterSnapshot first = e->getMeterValues();
    EXPECT_FLOAT_EQ(first.values[kMeterInPeakL], 0.8f);
    EXPECT_LT(first.values[kMeterGainL], 1.0f);
    EXPECT_GT(first.values[kMeterOutPeakL], 0.9f);
    // A second poll without processing returns the same values.
    const MeterSnapshot again = e->getMeterValues();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(again.values[i], first.values[i]) << i;
    // After more processing the holds restart.
    test::run<double>(*e, quiet, quiet, ql, qr, 0, 64);
    const MeterSnapshot after = e->getMeterValues();
    EXPECT_EQ(after.values[kMeterInPeakL], 0.0f);
    EXPECT_EQ(after.values[kMeterOutPeakL], 0.0f);
    EXPECT_EQ(after.values[kMeterGainL], 1.0f);
    EXPECT_EQ(after.values[kMeterGainR], 1.0f);
}

TEST(Meters, FullScaleSineReadsZeroDecibelsOnPeakAndRms) {
    for (int post = 0; post < 2; ++post) {
        RefSettings s;
        auto e = test::makeEngine(44100, 0, s);
        e->setPostMeter(post);
        const size_t n = 44100 * 2;
        std::vector<double> in(n), l(n), r(n);
        // 441 Hz: the crest falls on a sample, so the sampled peak is exactly 1.
        for (size_t i = 0; i < n; ++i)
            in[i] = std::sin(2.0 * M_PI * 441.0 * i / 44100.0 + M_PI / 2);
        test::run<double>(*e, in, in, l, r, 0, n);
        const MeterSnapshot m = e->getMeterValues();
        EXPECT_FLOAT_EQ(m.values[kMeterInPeakL], 1.0f);
        EXPECT_NEAR(m.values[kMeterInRmsL], 1.0, 0.01);
        EXPECT_NEAR(m.values[kMeterOutRmsR], 1.0, 0.02);
    }
}

TEST(Meters, InputMeterFollowsDriveUnlessPost) {
    for (int post = 0; post < 2; ++post) {
        RefSettings s;
        s.drive = 2.0;
        auto e = test::makeEngine(44100, 0, s);
        e->setPostMeter(post);
        std::vector<double> in(1000, 0.25), l(1000), r(1000);
        test::run<double>(*e, in, in, l, r, 0, 1000);
        const MeterSnapshot m = e->getMeterValues();
        EXPECT_FLOAT_EQ(m.values[kMeterInPeakL], post == 0 ? 0.5f : 0.25f);
    }
}

TEST(Meters, ReconstructionMeteringSeesPeaksBetweenSamples) {
    for (int ovs = 0; ovs < 2; ++ovs) {
        RefSettings s;
        s.power = false;  // output = input, so the sample values are known
        auto e = test::makeEngine(44100, 0, s);
        e->setMeterOvs(ovs);
        const size_t n = 4000;
        std::vector<double> in(n), l(n), r(n);
        // A quarter of the sample rate with the samples 45° off the crests.
        for (size_t i = 0; i < n; ++i) in[i] = 0.9 * std::sin(M_PI / 2 * i + M_PI / 4);
        test::run<double>(*e, in, in, l, r, 0, n);
        const MeterSnapshot m = e->getMeterValues();
        const double sampled = 0.9 * std::sqrt(0.5);
        if (ovs == 0) {
            EXPECT_FLOAT_EQ(m.values[kMeterOutPeakL], static_cast<float>(sampled));
        } else {
            EXPECT_GT(m.values[kMeterOutPeakL], 0.85f);
            EXPECT_LT(m.values[kMeterOutPeakL], 0.95f);
        }
        EXPECT_EQ(m.values[kMeterGainL], 1.0f);  // bypass: no reduction shown
    }
}

TEST(Meters, AttShowMaskSelectsTheGainParts) {
    std::vector<double> in, unused;
    test::makeProgramme(in, unused, 30000, 4);  // long enough for the 1 s leveller
    for (int mask : {0, 1, 2, 4, 7}) {
        RefSettings s;
        s.drive = 8.0;
        s.levellerSetting = 0.25f;
        s.levellerThreshold = 0.35;
        auto e = test::makeEngine(44100, 0, s);
        e->setAttShowMask(mask);
        std::vector<double> l(in.size()), r(in.size());
        test::run<double>(*e, in, in, l, r, 0, in.size());
        const float g = e->getMeterValues().values[kMeterGainL];
        if (mask == 0) {
            EXPECT_EQ(g, 1.0f);
        } else {
            EXPECT_LT(g, 0.9f) << mask;
        }
        // Changing the mask restarts the hold at once.
        e->setAttShowMask(mask);
        EXPECT_EQ(e->grHold(0), 1.0);
    }
}

}  // namespace
}  // namespace zelto
