// Engine set-up: geometry per rate and shape, coefficient ladders, interpolator
// taps, the rate guard and the robustness of the setters.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/EngineState.h"

namespace zelto {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Geometry {
    double rate;
    int32_t shape;
    int32_t rateClass, window, kernel, postDelay, latency;
};

TEST(EngineGeometry, FollowsRateClassAndShape) {
    const Geometry cases[] = {
        {44100, 0, 0, 128, 8, 114, 159},   {44100, 1, 0, 128, 16, 98, 159},
        {44100, 2, 0, 128, 64, 2, 159},    {48000, 0, 0, 128, 8, 114, 159},
        {79999, 1, 0, 128, 16, 98, 159},   {88200, 0, 1, 256, 16, 226, 287},
        {96000, 2, 1, 256, 128, 2, 287},   {169999, 1, 1, 256, 32, 194, 287},
        {170000, 0, 2, 512, 32, 450, 543}, {192000, 0, 2, 512, 32, 450, 543},
        {192000, 1, 2, 512, 64, 386, 543}, {192000, 2, 2, 512, 256, 2, 543},
    };
    for (const auto& g : cases) {
        EngineState e;
        ASSERT_TRUE(e.allocate());
        e.setTransShape(g.shape);
        e.setSampleRate(g.rate);
        SCOPED_TRACE(testing::Message() << g.rate << " Hz shape " << g.shape);
        EXPECT_EQ(e.sampleRateHz(), static_cast<int32_t>(g.rate));
        EXPECT_EQ(e.rateClass(), g.rateClass);
        EXPECT_EQ(e.windowLength(), g.window);
        EXPECT_EQ(e.kernelLength(), g.kernel);
        EXPECT_EQ(e.postDelayLength(), g.postDelay);
        EXPECT_EQ(e.latencySamples(), g.latency);
    }
}

TEST(EngineGeometry, AllocatedEngineStartsAt44100Soft) {
    EngineState e;
    EXPECT_FALSE(e.isAllocated());
    ASSERT_TRUE(e.allocate());
    EXPECT_TRUE(e.isAllocated());
    EXPECT_TRUE(e.allocate());  // a second call keeps the first allocation
    EXPECT_EQ(e.sampleRateHz(), 44100);
    EXPECT_EQ(e.sampleRate(), 44100.0);
    EXPECT_EQ(e.rateClass(), 0);
    EXPECT_EQ(e.windowLength(), 128);
    EXPECT_EQ(e.transShape(), 2);
    EXPECT_EQ(e.kernelLength(), 64);
    EXPECT_EQ(e.postDelayLength(), 2);
    EXPECT_EQ(e.latencySamples(), 159);
    EXPECT_EQ(e.nsTableSelection(), -1);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(e.nsCoefficient(k), 0.0);
}

TEST(EngineGeometry, RateGuardTreatsOutOfRangeAndNaNAs44100) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    for (double bad : {4999.0, 4000.0, 250000.0, 200001.0, -44100.0, 0.0, kNaN, kInf, -kInf}) {
        EXPECT_FALSE(e.setSampleRate(bad)) << bad;  // already 44100: nothing changes
        EXPECT_EQ(e.sampleRateHz(), 44100);
        EXPECT_EQ(e.latencySamples(), 159);
    }
    EXPECT_TRUE(e.setSampleRate(96000.0));
    EXPECT_EQ(e.latencySamples(), 287);
    EXPECT_TRUE(e.setSampleRate(kNaN));
    EXPECT_EQ(e.sampleRateHz(), 44100);
    EXPECT_TRUE(e.setSampleRate(5000.0));
    EXPECT_EQ(e.sampleRateHz(), 5000);
    EXPECT_TRUE(e.setSampleRate(200000.9));  // truncated toward zero
    EXPECT_EQ(e.sampleRateHz(), 200000);
    EXPECT_TRUE(e.setSampleRate(48000.7));
    EXPECT_EQ(e.sampleRateHz(), 48000);
    EXPECT_FALSE(e.setSampleRate(48000.2));
}

TEST(EngineGeometry, SameRateRecomputesNothingButChangedRateDoes) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    e.setReleaseMs(200.0);
    const double rel0 = e.releaseCoef(0);
    EXPECT_FALSE(e.setSampleRate(44100.0));
    EXPECT_EQ(e.releaseCoef(0), rel0);
    EXPECT_TRUE(e.setSampleRate(96000.0));
    EXPECT_LT(e.releaseCoef(0), rel0);
    EXPECT_NEAR(e.releaseCoef(0), 1.0 - std::exp(-1000.0 / (200.0 * 96000.0)), 1e-16);
}

TEST(EngineCoefficients, LaddersFollowTheirTimeConstants) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    e.setTransientMix(0.02);
    e.setReleaseMs(1000.0);
    const double sr = 44100.0;
    for (int k = 0; k < 8; ++k) {
        const double t = 32.0 - k * 4.428571428571429;
        EXPECT_NEAR(e.attackCoef(k), 1.0 - std::exp(-1000.0 / (t * sr)), 1e-15) << k;
        const double r = 1000.0 - k * 142.57142857142858;
        EXPECT_NEAR(e.releaseCoef(k), 1.0 - std::exp(-1000.0 / (r * sr)), 1e-15) << k;
    }
    // Attack runs from 32 ms (slowest) to 1 ms; release ends at exactly 2 ms.
    EXPECT_NEAR(e.attackCoef(7), 1.0 - std::exp(-1000.0 / sr), 1e-15);
    EXPECT_NEAR(e.releaseCoef(7), 1.0 - std::exp(-1000.0 / (2.0 * sr)), 1e-15);
    for (int k = 1; k < 8; ++k) {
        EXPECT_GT(e.attackCoef(k), e.attackCoef(k - 1));
        EXPECT_GT(e.releaseCoef(k), e.releaseCoef(k - 1));
    }
    // At 1 ms the release ladder rises from 1 ms to 2 ms: coefficients fall.
    e.setReleaseMs(1.0);
    EXPECT_NEAR(e.releaseCoef(0), 1.0 - std::exp(-1000.0 / sr), 1e-15);
    EXPECT_NEAR(e.releaseCoef(7), 1.0 - std::exp(-1000.0 / (2.0 * sr)), 1e-15);
    for (int k = 1; k < 8; ++k) EXPECT_LT(e.releaseCoef(k), e.releaseCoef(k - 1));
}

TEST(EngineCoefficients, OnePolesMatchTheirDefinitions) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    for (double sr : {44100.0, 96000.0, 192000.0}) {
        e.setSampleRate(sr);
        EXPECT_NEAR(e.gainSmoothCoef(), 1.0 - std::exp(-2.0 * M_PI * 30.0 / sr), 1e-15);
        EXPECT_NEAR(e.levellerCoef(), 1.0 - std::exp(-1.0 / sr), 1e-15);
        EXPECT_NEAR(e.blackCoef(), 1.0 - std::exp(-100.0 / sr), 1e-15);
        // The mean square falls to 1 % in 600 ms.
        const int n = static_cast<int>(std::lround(0.6 * sr));
        EXPECT_NEAR(std::pow(1.0 - e.rmsCoef(), n), 0.01, 1e-4);
    }
}

TEST(EngineCoefficients, InterpolatorTapsAreAWindowedHalfSampleSinc) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    EXPECT_NEAR(e.interpTap(0), -9.527e-7, 1e-9);
    EXPECT_NEAR(e.interpTap(31), 0.63573176, 1e-8);
    double sum = 0.0;
    for (int k = 0; k < 32; ++k) {
        sum += 2.0 * e.interpTap(k);
        // Signs alternate, innermost positive.
        EXPECT_EQ(e.interpTap(k) > 0.0, (31 - k) % 2 == 0) << k;
    }
    EXPECT_NEAR(sum, 0.99999973, 1e-8);
}

TEST(EngineSettings, NonFiniteValuesAreIgnored) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    e.setDriveTarget(2.0);
    e.setOutputTarget(0.5);
    e.setTransientMix(0.1);
    e.setReleaseMs(50.0);
    e.setLinkAmount(0.5);
    e.setLeveller(0.5f, 0.5);
    for (double bad : {kNaN, kInf, -kInf}) {
        e.setDriveTarget(bad);
        e.setOutputTarget(bad);
        e.setTransientMix(bad);
        e.setReleaseMs(bad);
        e.setLinkAmount(bad);
        e.setLeveller(static_cast<float>(bad), bad);
        e.setLeveller(0.25f, bad);
    }
    EXPECT_EQ(e.driveTarget(), 2.0);
    EXPECT_EQ(e.outputTarget(), 0.5);
    EXPECT_EQ(e.transientMix(), 0.1);
    EXPECT_EQ(e.releaseMs(), 50.0);
    EXPECT_EQ(e.linkAmount(), 0.5);
    EXPECT_EQ(e.levellerSetting(), 0.5f);
    EXPECT_EQ(e.levellerThreshold(), 0.5);
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(std::isfinite(e.releaseCoef(k)));
        EXPECT_TRUE(std::isfinite(e.attackCoef(k)));
    }
}

TEST(EngineSettings, OutOfRangeValuesStayWhereTheCeilingHolds) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    e.setTransientMix(3.0);  // beyond 1 the mix would push the gain above the brickwall
    EXPECT_LE(e.transientMix(), 1.0);
    e.setLinkAmount(-2.0);
    EXPECT_EQ(e.linkAmount(), 0.0);
    e.setDriveTarget(0.0);  // AutoOut divides by the drive
    EXPECT_GT(e.driveTarget(), 0.0);
    e.setReleaseMs(-5.0);
    for (int k = 0; k < 8; ++k) {
        EXPECT_GT(e.releaseCoef(k), 0.0);
        EXPECT_LE(e.releaseCoef(k), 1.0);
    }
    e.setLeveller(0.0f, 0.0);
    EXPECT_GT(e.levellerThreshold(), 0.0);
    EXPECT_FALSE(e.setTransShape(7));  // clamped to "soft", which is already in force
    EXPECT_EQ(e.transShape(), 2);
    EXPECT_TRUE(e.setTransShape(-3));
    EXPECT_EQ(e.transShape(), 0);
}

TEST(EngineSettings, TransShapeReportsChangeAndResizesKernel) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    EXPECT_FALSE(e.setTransShape(2));
    EXPECT_TRUE(e.setTransShape(0));
    EXPECT_EQ(e.kernelLength(), 8);
    EXPECT_EQ(e.postDelayLength(), 114);
    EXPECT_EQ(e.latencySamples(), 159);  // the shape never changes the latency
    double sum = 0.0;
    for (int i = 0; i < 8; ++i) sum += e.smoothingKernel()[i];
    EXPECT_NEAR(sum, 1.0, 1e-15);
}

TEST(EngineSettings, NoiseShapeSelectionFollowsTypeAndRate) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    e.setNoiseShapeType(2);  // type B at 44100
    EXPECT_EQ(e.nsTableSelection(), 6);
    EXPECT_EQ(e.nsCoefficient(0), -1.98998);
    EXPECT_EQ(e.nsCoefficient(11), 0.094727);
    e.setSampleRate(32000.0);  // no sets of its own: the previous selection stays
    e.setNoiseShapeType(3);
    EXPECT_EQ(e.nsTableSelection(), 6);
    e.setSampleRate(176400.0);  // a rate change reselects for the current type
    EXPECT_EQ(e.nsTableSelection(), 2 * 6 + 4);
    EXPECT_EQ(e.nsCoefficient(0), -1.29969);
    e.setNoiseShapeType(1);
    EXPECT_EQ(e.nsCoefficient(2), -0.120763);
    EXPECT_EQ(e.nsCoefficient(3), 0.0);
    e.setNoiseShapeType(0);
    EXPECT_EQ(e.nsTableSelection(), -1);
    EXPECT_EQ(e.nsCoefficient(0), 0.0);
    EXPECT_EQ(e.nsCoefficient(-1), 0.0);
    EXPECT_EQ(e.nsCoefficient(12), 0.0);
}

TEST(EngineSettings, SuspendInitRestartsRunningState) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    e.setDriveTarget(4.0);
    e.setOutputTarget(0.5);
    e.suspendInit();
    EXPECT_EQ(e.driveGain(), 4.0);
    EXPECT_EQ(e.outputGain(), 0.5);
    EXPECT_EQ(e.levellerLevel(), 0.00001);
    EXPECT_EQ(e.blackGain(), 1e-20);
    EXPECT_EQ(e.nsIndex(), 0);
    const DitherRng r = e.rngState();
    EXPECT_EQ(r.s1, 592u);
    EXPECT_EQ(r.s2, 153768u);
    EXPECT_EQ(r.s3, 1526u);
    const MeterSnapshot m = e.getMeterValues();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(m.values[i], 0.0f);
    EXPECT_EQ(m.values[kMeterGainL], 1.0f);
    EXPECT_EQ(m.values[kMeterGainR], 1.0f);
    EXPECT_TRUE(e.awaitingFirstBlock());
}

}  // namespace
}  // namespace zelto
