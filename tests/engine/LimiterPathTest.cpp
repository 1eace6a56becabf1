// The limiter path: agreement with the plain model, the ceiling, latency, bypass,
// linking, block splitting, sample formats, hostile input and host pointer quirks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/EngineState.h"
#include "engine/EngineTestSupport.h"
#include "engine/ReferenceLimiter.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace zelto {
namespace {

using test::RefLimiter;
using test::RefSettings;

struct PathCase {
    int rate;
    int shape;
    RefSettings s;
    const char* name;
};

RefSettings with(std::initializer_list<void (*)(RefSettings&)> edits) {
    RefSettings s;
    for (auto f : edits) f(s);
    return s;
}

// Runs engine and model side by side on programme driven into limiting, in uneven
// blocks, and compares every output sample.
void expectMatchesModel(const PathCase& pc, size_t frames) {
    SCOPED_TRACE(pc.name);
    auto e = test::makeEngine(pc.rate, pc.shape, pc.s);
    ASSERT_TRUE(e);
    RefLimiter ref(pc.rate, pc.shape, pc.s);
    std::vector<double> inL, inR;
    test::makeProgramme(inL, inR, frames, 1234u + static_cast<uint32_t>(pc.rate), pc.rate);
    std::vector<double> outL(frames), outR(frames);
    const size_t blocks[] = {1, 7, 64, 300, 512, 33};
    size_t pos = 0, b = 0;
    while (pos < frames) {
        const size_t n = std::min(blocks[b++ % 6], frames - pos);
        test::run<double>(*e, inL, inR, outL, outR, pos, n);
        pos += n;
    }
    double worst = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const auto [l, r] = ref.step(inL[i], inR[i]);
        worst = std::max({worst, std::fabs(l - outL[i]), std::fabs(r - outR[i])});
        ASSERT_NEAR(outL[i], l, 1e-12) << "sample " << i;
        ASSERT_NEAR(outR[i], r, 1e-12) << "sample " << i;
    }
    EXPECT_LT(worst, 1e-12);
}

TEST(LimiterPath, MatchesPlainModelAcrossRatesShapesAndOptions) {
    const PathCase cases[] = {
        {44100, 0, with({[](RefSettings& s) { s.drive = 4.0; }}), "hard, +12 dB"},
        {44100, 1, with({[](RefSettings& s) {
             s.drive = 8.0;
             s.oversample = true;
             s.order2 = true;
             s.link = 0.3;
         }}),
         "med, oversampled, order II, partial link"},
        {48000, 2, with({[](RefSettings& s) {
             s.drive = 6.0;
             s.transientMix = 0.5;
             s.releaseMs = 1.0;
             s.output = 0.5;
         }}),
         "soft, S 0.5, release 1 ms, output -6 dB"},
        {96000, 0, with({[](RefSettings& s) {
             s.drive = 3.0;
             s.link = 0.0;
             s.releaseMs = 1000.0;
             s.levellerSetting = 0.5f;
             s.levellerThreshold = 0.5;
         }}),
         "96k hard, unlinked, leveller"},
        {88200, 2, with({[](RefSettings& s) {
             s.drive = 10.0;
             s.autoOut = true;
         }}),
         "88.2k soft, auto out"},
        {192000, 1, with({[](RefSettings& s) {
             s.drive = 5.0;
             s.oversample = true;
             s.quantize = true;
             s.nsType = 3;
         }}),
         "192k med, oversampled, 16-bit type C"},
        {176400, 2, with({[](RefSettings& s) {
             s.drive = 2.0;
             s.order2 = true;
         }}),
         "176.4k soft, order II"},
        {44100, 0, with({[](RefSettings& s) {
             s.drive = 4.0;
             s.quantize = true;
             s.bitsIndex = 0;
             s.nsType = 2;
             s.autoblack = true;
         }}),
         "8-bit type B with Autoblack"},
        {48000, 1, with({[](RefSettings& s) {
             s.drive = 4.0;
             s.power = false;
             s.quantize = true;
         }}),
         "bypass, requantized"},
    };
    for (const auto& pc : cases) expectMatchesModel(pc, 12000);
}

TEST(LimiterPath, EveryKernelLengthMatchesThePlainModel) {
    // The smoother runs in direct form for short kernels and through the block
    // transform for long ones; both must give the plain convolution at every length
    // (8 … 256) and at every window length.
    for (int rate : {44100, 96000, 192000}) {
        for (int shape = 0; shape < 3; ++shape) {
            const PathCase pc{rate, shape, with({[](RefSettings& s) {
                                  s.drive = 5.0;
                                  s.transientMix = 0.5;
                              }}),
                              "kernel length"};
            SCOPED_TRACE(rate);
            SCOPED_TRACE(shape);
            expectMatchesModel(pc, 3000);
        }
    }
}

TEST(LimiterPath, WordLengthChangesBetweenBlocksKeepTheShapedErrorsRight) {
    // The requantizer keeps its past errors for the noise-shaping feedback; a new
    // word length must carry them over as the same values.
    RefSettings s = with({[](RefSettings& x) {
        x.drive = 4.0;
        x.quantize = true;
        x.nsType = 3;
    }});
    auto e = test::makeEngine(44100, 0, s);
    ASSERT_TRUE(e);
    RefLimiter ref(44100, 0, s);
    const size_t frames = 8192, block = 512;
    std::vector<double> inL, inR, outL(frames), outR(frames);
    test::makeProgramme(inL, inR, frames, 77u, 44100.0);
    const int bits[] = {1, 2, 0, 1, 2, 2, 0, 0, 1, 2, 1, 0, 2, 1, 0, 1};
    for (size_t b = 0; b * block < frames; ++b) {
        s.bitsIndex = bits[b % 16];
        e->setBitsIndex(s.bitsIndex);
        ref.set(s);
        test::run<double>(*e, inL, inR, outL, outR, b * block, block);
        for (size_t i = b * block; i < (b + 1) * block; ++i) {
            const auto [l, r] = ref.step(inL[i], inR[i]);
            ASSERT_NEAR(outL[i], l, 1e-12) << "sample " << i;
            ASSERT_NEAR(outR[i], r, 1e-12) << "sample " << i;
        }
    }
}

TEST(LimiterPath, SilenceInGivesExactSilenceOut) {
    for (int shape = 0; shape < 3; ++shape) {
        RefSettings s;
        s.drive = 16.0;
        s.oversample = shape == 1;
        auto e = test::makeEngine(44100, shape, s);
        std::vector<double> in(4096, 0.0), outL(4096, 1.0), outR(4096, 1.0);
        test::run<double>(*e, in, in, outL, outR, 0, in.size());
        for (size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(outL[i], 0.0);
            ASSERT_EQ(outR[i], 0.0);
        }
        const MeterSnapshot m = e->getMeterValues();
        EXPECT_EQ(m.values[kMeterGainL], 1.0f);
        EXPECT_EQ(m.values[kMeterOutPeakL], 0.0f);
    }
}

TEST(LimiterPath, DrivenImpulseStaysUnderCeilingAndArrivesAfterLatency) {
    for (int rate : {44100, 96000, 192000}) {
        for (int shape = 0; shape < 3; ++shape) {
            for (bool oversample : {false, true}) {
                RefSettings s;
                s.drive = 16.0;  // +24 dB
                s.output = 0.7;
                s.oversample = oversample;
                auto e = test::makeEngine(rate, shape, s);
                const size_t n = 4 * 543;
                std::vector<double> in(n, 0.0), outL(n), outR(n);
                in[10] = 1.0;
                test::run<double>(*e, in, in, outL, outR, 0, n);
                const size_t latency = static_cast<size_t>(e->latencySamples());
                size_t peakAt = 0;
                for (size_t i = 0; i < n; ++i) {
                    ASSERT_LE(std::fabs(outL[i]), 0.7 * (1.0 + 1e-12)) << rate << " " << i;
                    if (std::fabs(outL[i]) > std::fabs(outL[peakAt])) peakAt = i;
                }
                EXPECT_EQ(peakAt, 10 + latency) << rate << " shape " << shape;
                // The brickwall brings the impulse exactly to the ceiling (less the
                // oversampled detector's margin).
                EXPECT_NEAR(outL[peakAt], oversample ? 0.7 / 1.001 : 0.7, 1e-9);
                for (size_t i = 0; i < 10 + latency; ++i) ASSERT_EQ(outL[i], 0.0) << i;
            }
        }
    }
}

TEST(LimiterPath, PowerOffPassesInputDelayedByLatency) {
    for (int rate : {44100, 96000, 192000}) {
        RefSettings s;
        s.power = false;
        s.drive = 16.0;   // bypass ignores drive,
        s.output = 0.25;  // output gain
        s.levellerSetting = 0.1f;
        s.levellerThreshold = 0.3;  // and the leveller
        auto e = test::makeEngine(rate, 1, s);
        std::vector<double> inL, inR;
        test::makeProgramme(inL, inR, 5000, 9);
        std::vector<float> fL(inL.begin(), inL.end()), fR(inR.begin(), inR.end());
        std::vector<float> oL(fL.size()), oR(fL.size());
        test::run<float>(*e, fL, fR, oL, oR, 0, fL.size());
        const size_t lat = static_cast<size_t>(e->latencySamples());
        for (size_t i = 0; i < fL.size(); ++i) {
            const float wantL = i < lat ? 0.0f : std::clamp(fL[i - lat], -1.0f, 1.0f);
            const float wantR = i < lat ? 0.0f : std::clamp(fR[i - lat], -1.0f, 1.0f);
            ASSERT_EQ(oL[i], wantL) << rate << " " << i;
            ASSERT_EQ(oR[i], wantR) << rate << " " << i;
        }
        const MeterSnapshot m = e->getMeterValues();
        EXPECT_EQ(m.values[kMeterGainL], 1.0f);
        EXPECT_EQ(m.values[kMeterGainR], 1.0f);
    }
}

// Link joins the envelope branch: with the transient mix at 0 and the envelope
// governing, both channels get one gain; without link each keeps its own.
TEST(LimiterPath, FullLinkSharesOneGainAndNoLinkKeepsChannelsApart) {
    const size_t n = 44100;
    std::vector<double> inL(n), inR(n);
    for (size_t i = 0; i < n; ++i) {
        inL[i] = 0.9 * std::sin(2 * M_PI * 1000.0 * i / 44100.0);
        inR[i] = 0.05 * std::sin(2 * M_PI * 1500.0 * i / 44100.0 + 0.3);
    }
    for (double link : {1.0, 0.0}) {
        RefSettings s;
        s.drive = 8.0;
        s.link = link;
        s.transientMix = 0.0;
        auto e = test::makeEngine(44100, 0, s);
        std::vector<double> outL(n), outR(n);
        test::run<double>(*e, inL, inR, outL, outR, 0, n);
        const size_t lat = 159;
        double maxDiff = 0.0, minGainR = 1.0;
        for (size_t i = n / 2; i < n; ++i) {
            const double xL = inL[i - lat] * 8.0, xR = inR[i - lat] * 8.0;
            if (std::fabs(xL) < 0.05 || std::fabs(xR) < 0.05) continue;
            const double gL = outL[i] / xL, gR = outR[i] / xR;
            maxDiff = std::max(maxDiff, std::fabs(gL - gR));
            minGainR = std::min(minGainR, gR);
        }
        if (link == 1.0) {
            EXPECT_LT(maxDiff, 1e-5);  // the brickwall part stays per channel
            EXPECT_LT(minGainR, 0.2);  // the quiet channel is pulled down with the loud one
        } else {
            EXPECT_GT(maxDiff, 0.5);
            EXPECT_GT(minGainR, 0.99);  // 0.4 peak: never limited on its own
        }
    }
}

// Loud programme with settings changed at random between blocks never exceeds the
// output gain in force, at every rate class and shape, with and without oversampling.
TEST(LimiterPath, CeilingHoldsUnderRandomSettingChanges) {
    std::mt19937 gen(99);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    for (int rate : {44100, 48000, 88200, 96000, 176400, 192000}) {
        for (int shape = 0; shape < 3; ++shape) {
            for (bool oversample : {false, true}) {
                RefSettings s;
                s.oversample = oversample;
                s.drive = 16.0;
                auto e = test::makeEngine(rate, shape, s);
                const double output = 0.5 + 0.5 * uni(gen);
                e->setOutputTarget(output);
                e->suspendInit();
                std::vector<double> inL, inR;
                const size_t n = 6000;
                test::makeProgramme(inL, inR, n, gen(), rate);
                std::vector<double> outL(n), outR(n);
                size_t pos = 0;
                while (pos < n) {
                    e->setDriveTarget(std::pow(2.0, 8.0 * (uni(gen) - 0.5)));
                    e->setTransientMix(0.5 * uni(gen));
                    e->setReleaseMs(std::pow(10.0, 3.0 * uni(gen)));
                    e->setLinkAmount(uni(gen));
                    e->setDetectorOrder(uni(gen) < 0.5);
                    const float lev = static_cast<float>(uni(gen));
                    e->setLeveller(lev, std::pow(2.0, 2.0 * (lev - 1.0)));
                    const size_t len = std::min<size_t>(1 + gen() % 700, n - pos);
                    test::run<double>(*e, inL, inR, outL, outR, pos, len);
                    pos += len;
                }
                for (size_t i = 0; i < n; ++i) {
                    ASSERT_LE(std::fabs(outL[i]), output * (1.0 + 1e-12)) << rate << " " << i;
                    ASSERT_LE(std::fabs(outR[i]), output * (1.0 + 1e-12)) << rate << " " << i;
                }
            }
        }
    }
}

TEST(LimiterPath, SplitBlocksGiveTheSameOutputAsOneBlock) {
    RefSettings s;
    s.drive = 6.0;
    s.oversample = true;
    s.quantize = true;
    s.nsType = 1;
    s.autoblack = true;
    std::vector<double> inL, inR;
    const size_t n = 9000;
    test::makeProgramme(inL, inR, n, 77);
    for (size_t i = 6000; i < n; ++i) inL[i] = inR[i] = 0.0;  // let Autoblack fade too
    auto a = test::makeEngine(44100, 1, s);
    auto b = test::makeEngine(44100, 1, s);
    std::vector<double> aL(n), aR(n), bL(n), bR(n);
    test::run<double>(*a, inL, inR, aL, aR, 0, n);
    size_t pos = 0, k = 0;
    while (pos < n) {
        const size_t len = std::min<size_t>((k++ * 37) % 129 + 1, n - pos);
        test::run<double>(*b, inL, inR, bL, bR, pos, len);
        pos += len;
    }
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(aL[i], bL[i]) << i;
        ASSERT_EQ(aR[i], bR[i]) << i;
    }
}

TEST(LimiterPath, FloatAndDoubleAgreeToFloatPrecision) {
    RefSettings s;
    s.drive = 5.0;
    s.oversample = true;
    s.quantize = true;
    s.bitsIndex = 2;
    s.nsType = 3;
    std::vector<double> inL, inR;
    const size_t n = 8000;
    test::makeProgramme(inL, inR, n, 5);
    std::vector<float> fL(n), fR(n);
    for (size_t i = 0; i < n; ++i) {
        fL[i] = static_cast<float>(inL[i]);
        fR[i] = static_cast<float>(inR[i]);
        inL[i] = fL[i];  // the same samples for both formats
        inR[i] = fR[i];
    }
    auto d = test::makeEngine(44100, 2, s);
    auto f = test::makeEngine(44100, 2, s);
    std::vector<double> dL(n), dR(n);
    std::vector<float> oL(n), oR(n);
    test::run<double>(*d, inL, inR, dL, dR, 0, n);
    test::run<float>(*f, fL, fR, oL, oR, 0, n);
    // The engine computes in double either way: the float path is the double path rounded.
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(oL[i], static_cast<float>(dL[i])) << i;
        ASSERT_EQ(oR[i], static_cast<float>(dR[i])) << i;
    }
}

// The loop compiled for wide instructions and the portable one compute the same
// operations in the same order; only the interpolation sums are ordered differently.
TEST(LimiterPath, WideAndPortableLoopsAgree) {
    std::vector<double> inL, inR;
    const size_t n = 9000;
    test::makeProgramme(inL, inR, n, 31);
    for (bool oversample : {false, true}) {
        RefSettings s;
        s.drive = 6.0;
        s.oversample = oversample;
        s.quantize = true;
        s.nsType = 2;
        s.order2 = true;
        auto wide = test::makeEngine(44100, 1, s);
        auto portable = test::makeEngine(44100, 1, s);
        portable->useWideInstructions(false);
        EXPECT_FALSE(portable->wideInstructions());
        wide->setMeterOvs(oversample);
        portable->setMeterOvs(oversample);
        std::vector<double> wL(n), wR(n), pL(n), pR(n);
        test::run<double>(*wide, inL, inR, wL, wR, 0, n);
        test::run<double>(*portable, inL, inR, pL, pR, 0, n);
        for (size_t i = 0; i < n; ++i) {
            if (oversample) {
                ASSERT_NEAR(wL[i], pL[i], 1e-12) << i;
            } else {
                ASSERT_EQ(wL[i], pL[i]) << i;
                ASSERT_EQ(wR[i], pR[i]) << i;
            }
        }
        const MeterSnapshot a = wide->getMeterValues(), b = portable->getMeterValues();
        for (int k = 0; k < 10; ++k) EXPECT_NEAR(a.values[k], b.values[k], 1e-6) << k;
    }
}

TEST(LimiterPath, NonFiniteAndHugeInputGiveFiniteOutput) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (bool power : {true, false}) {
        RefSettings s;
        s.power = power;
        s.oversample = true;
        s.quantize = true;
        s.bitsIndex = 2;
        s.nsType = 2;
        s.levellerSetting = 0.2f;
        s.levellerThreshold = 0.3;
        auto e = test::makeEngine(44100, 0, s);
        const size_t n = 3000;
        std::vector<double> inL(n), inR(n), outL(n), outR(n);
        for (size_t i = 0; i < n; ++i) {
            inL[i] = 0.5 * std::sin(i * 0.05);
            inR[i] = inL[i];
        }
        inL[100] = nan;
        inR[100] = inf;
        inL[400] = -inf;
        inR[401] = 1e300;
        inL[402] = -std::numeric_limits<double>::max();
        for (size_t i = 1000; i < 1100; ++i) inL[i] = 1e200;  // a sustained overload
        test::run<double>(*e, inL, inR, outL, outR, 0, n);
        for (size_t i = 0; i < n; ++i) {
            ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << i;
            ASSERT_LE(std::fabs(outL[i]), 1.0);
        }
        const size_t lat = 159;
        if (!power) {
            // Bypassed, the delayed input comes through untouched once the
            // overload has passed.
            EXPECT_NEAR(outR[2500], inR[2500 - lat], 2e-6);
        } else {
            // The limiter only takes level away: nothing beyond the delayed
            // input's magnitude but the dither.
            for (size_t i = 1200; i < n; ++i) {
                ASSERT_LE(std::fabs(outR[i]), std::fabs(inR[i - lat]) + 1e-5) << i;
            }
        }
        const MeterSnapshot m = e->getMeterValues();
        for (float v : m.values) EXPECT_TRUE(std::isfinite(v));
        std::vector<double> after(512, 0.25), oL(512), oR(512);
        test::run<double>(*e, after, after, oL, oR, 0, 512);
        for (double v : oL) ASSERT_TRUE(std::isfinite(v));
        if (power) {
            // A gain pulled down by the bounded overload releases at the
            // limiter's own pace. It must come back.
            const size_t second = 44100;
            std::vector<double> sine(second), sL(second), sR(second);
            double peak = 0.0;
            int seconds = 0;
            for (; seconds < 40 && peak < 0.25; ++seconds) {
                for (size_t i = 0; i < second; ++i) {
                    sine[i] = 0.5 * std::sin(static_cast<double>(seconds * second + i) * 0.05);
                }
                test::run<double>(*e, sine, sine, sL, sR, 0, second);
                peak = 0.0;
                for (double v : sR) peak = std::max(peak, std::fabs(v));
            }
            EXPECT_GE(peak, 0.25) << "the output never came back after the overload";
        }
    }
}

// A master-bus limiter must shrug off one broken sample from upstream: a -10 dBFS
// sine with a single 1e30 sample (or a NaN, or a block of infinities) in it comes
// back within 0.5 dB of its level no more than a second after the fault.
TEST(LimiterPath, OneAbsurdSampleCostsAtMostASecondOfLevel) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Fault {
        const char* name;
        size_t length;
        float value;
        bool alternate;  // sign flips from sample to sample
        bool pullsDown;  // the gain visibly drops after it
    };
    const Fault faults[] = {{"one sample of 1e30", 1, 1e30f, false, true},
                            {"one sample of -1e30", 1, -1e30f, false, true},
                            {"one NaN", 1, nan, false, false},
                            {"a block of +-Inf", 512, inf, true, false}};
    const size_t rate = 44100, fault = rate, n = 3 * rate, window = rate / 100;
    const double amplitude = std::pow(10.0, -10.0 / 20.0);
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        auto e = test::makeEngine(static_cast<int>(rate), 2, RefSettings{});
        ASSERT_TRUE(e);
        std::vector<float> inL(n), inR(n), outL(n), outR(n);
        for (size_t i = 0; i < n; ++i) {
            inL[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * 997.0 * i / rate));
            inR[i] = inL[i];
        }
        for (size_t i = 0; i < f.length; ++i) {
            inL[fault + i] = (f.alternate && i % 2 != 0) ? -f.value : f.value;
        }
        for (size_t pos = 0; pos < n; pos += 512) {
            test::run<float>(*e, inL, inR, outL, outR, pos, std::min<size_t>(512, n - pos));
        }
        auto windowPeak = [&](const std::vector<float>& v, size_t start) {
            float pk = 0.0f;
            for (size_t i = start; i < start + window; ++i) pk = std::max(pk, std::fabs(v[i]));
            return static_cast<double>(pk);
        };
        const double before = windowPeak(outR, fault - 2 * window);
        ASSERT_NEAR(before, amplitude, 0.01 * amplitude) << "the sine itself is not limited";
        if (f.pullsDown) {
            EXPECT_LT(windowPeak(outR, fault + window), 0.5 * before);
        }
        const double bound = before * std::pow(10.0, -0.5 / 20.0);
        for (size_t start = fault + f.length + rate; start + window <= n; start += window) {
            ASSERT_GE(windowPeak(outL, start), bound) << "left, " << start - fault << " samples on";
            ASSERT_GE(windowPeak(outR, start), bound)
                << "right, " << start - fault << " samples on";
        }
    }
}

TEST(LimiterPath, OutputNeverLeavesFullScaleJustAboveOne) {
    RefSettings s;
    s.power = false;
    auto e = test::makeEngine(44100, 0, s);
    const size_t n = 4000;
    std::vector<double> in(n), l(n), r(n);
    for (size_t i = 0; i < n; ++i) {
        const double v = 1.0 + static_cast<double>(i % 2000) * 2.220446049250313e-16;
        in[i] = i < 2000 ? v : -v;
    }
    test::run<double>(*e, in, in, l, r, 0, n);
    for (size_t i = 159; i < n; ++i) {
        ASSERT_LE(l[i], 1.0) << i;
        ASSERT_GE(l[i], -1.0) << i;
        ASSERT_NEAR(std::fabs(l[i]), 1.0, 1e-15) << i;
    }
}

TEST(LimiterPath, HostPointerQuirksAreHandled) {
    RefSettings s;
    auto e = test::makeEngine(44100, 0, s);
    std::vector<float> buf(64, 0.5f), out0(64, 7.0f), out1(64, 7.0f);
    const float* in[2] = {buf.data(), buf.data()};
    float* out[2] = {out0.data(), out1.data()};
    // Nothing to write to, or nothing to do: nothing is touched.
    e->process<float>(in, nullptr, 64, true, true);
    float* noLeft[2] = {nullptr, out1.data()};
    e->process<float>(in, noLeft, 64, true, true);
    e->process<float>(in, out, 0, true, true);
    e->process<float>(in, out, -5, true, true);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(out1[i], 7.0f);
    // Missing inputs are silence.
    e->process<float>(nullptr, out, 64, true, true);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(out0[i], 0.0f);
    const float* noInput[2] = {nullptr, nullptr};
    e->process<float>(noInput, out, 64, true, true);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(out1[i], 0.0f);
}

// Hosts often process in place (output buffers are the input buffers), sometimes
// with the channels crossed.
TEST(LimiterPath, InPlaceProcessingMatchesSeparateBuffers) {
    RefSettings s;
    s.drive = 6.0;
    s.quantize = true;
    std::vector<double> inL, inR;
    const size_t n = 3000;
    test::makeProgramme(inL, inR, n, 12);
    auto ref = test::makeEngine(44100, 0, s);
    std::vector<double> wantL(n), wantR(n);
    test::run<double>(*ref, inL, inR, wantL, wantR, 0, n);

    auto e = test::makeEngine(44100, 0, s);
    std::vector<double> a = inL, b = inR;
    const double* in[2] = {a.data(), b.data()};
    double* out[2] = {a.data(), b.data()};
    e->process<double>(in, out, static_cast<int32_t>(n), true, true);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(a[i], wantL[i]) << i;
        ASSERT_EQ(b[i], wantR[i]) << i;
    }

    auto crossed = test::makeEngine(44100, 0, s);
    a = inL;
    b = inR;
    double* swapped[2] = {b.data(), a.data()};  // left output over the right input
    crossed->process<double>(in, swapped, static_cast<int32_t>(n), true, true);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(b[i], wantL[i]) << i;
        ASSERT_EQ(a[i], wantR[i]) << i;
    }
}

#if defined(__SSE2__)
TEST(LimiterPath, CallersFloatingPointModeIsRestored) {
    auto e = test::makeEngine(44100, 0, RefSettings{});
    std::vector<float> in(256, 0.5f), l(256), r(256);
    const unsigned int before = _mm_getcsr();
    _mm_setcsr(before & ~0x8040u);  // denormals kept, as a host may want
    const unsigned int mine = _mm_getcsr();
    test::run<float>(*e, in, in, l, r, 0, 256);
    EXPECT_EQ(_mm_getcsr(), mine);
    _mm_setcsr(before);
}
#endif

TEST(LimiterPath, MonoHostFeedsLeftToBothChannels) {
    RefSettings s;
    s.power = false;
    const size_t n = 600;
    std::vector<double> left(n), right(n, 0.9);
    for (size_t i = 0; i < n; ++i) left[i] = std::sin(i * 0.1) * 0.5;
    for (bool nullRight : {false, true}) {
        auto e = test::makeEngine(44100, 0, s);
        std::vector<double> oL(n), oR(n);
        const double* in[2] = {left.data(), nullRight ? nullptr : right.data()};
        double* out[2] = {oL.data(), oR.data()};
        // Input 1 reported as not connected, or connected with a null pointer.
        e->process<double>(in, out, static_cast<int32_t>(n), nullRight, true);
        for (size_t i = 159; i < n; ++i) ASSERT_EQ(oR[i], oL[i]) << i;
        EXPECT_NE(oR[300], 0.0);
    }
}

TEST(LimiterPath, SingleOutputCarriesTheLeftChannel) {
    RefSettings s;
    s.power = false;
    auto e = test::makeEngine(44100, 0, s);
    const size_t n = 400;
    std::vector<double> left(n, 0.25), right(n, -0.5), out0(n);
    const double* in[2] = {left.data(), right.data()};
    double* out[2] = {out0.data(), nullptr};
    e->process<double>(in, out, static_cast<int32_t>(n), true, true);
    EXPECT_EQ(out0[n - 1], 0.25);
    double* out2[2] = {out0.data(), reinterpret_cast<double*>(16)};  // must not be written
    e->process<double>(in, out2, static_cast<int32_t>(n), true, false);
    EXPECT_EQ(out0[n - 1], 0.25);
}

TEST(LimiterPath, LevellerPullsSustainedLevelToThreshold) {
    const size_t n = 44100 * 6;
    std::vector<double> in(n), oL(n), oR(n);
    for (size_t i = 0; i < n; ++i) in[i] = 0.8 * (i % 2 ? 1.0 : -1.0);
    RefSettings s;
    s.link = 1.0;
    s.levellerSetting = 0.5f;
    s.levellerThreshold = 0.5;
    auto e = test::makeEngine(44100, 0, s);
    test::run<double>(*e, in, in, oL, oR, 0, n);
    // Level 0.8 against a threshold of 0.5: after several seconds the output sits at 0.5.
    EXPECT_NEAR(std::fabs(oL[n - 1]), 0.5, 0.01);
    s.levellerSetting = 1.0f;  // exactly 1: the leveller stays out
    auto off = test::makeEngine(44100, 0, s);
    test::run<double>(*off, in, in, oL, oR, 0, n);
    EXPECT_NEAR(std::fabs(oL[n - 1]), 0.8, 1e-12);
}

// The envelope rises ahead of a loud burst and reduces the quieter audio before it;
// the second follower stage rises more slowly, so it reduces less there.
TEST(LimiterPath, SecondOrderDetectorRisesMoreSlowly) {
    const size_t n = 6000, burst = 3000;
    std::vector<double> in(n);
    for (size_t i = 0; i < n; ++i) {
        const double amp = (i >= burst && i < burst + 500) ? 3.6 : 0.3;
        in[i] = amp * std::sin(2 * M_PI * 1000.0 * i / 44100.0);
    }
    double level[2] = {0.0, 0.0};
    for (int order = 0; order < 2; ++order) {
        RefSettings s;
        s.order2 = order == 1;
        s.transientMix = 0.0;
        auto e = test::makeEngine(44100, 0, s);
        std::vector<double> oL(n), oR(n);
        test::run<double>(*e, in, in, oL, oR, 0, n);
        for (size_t i = burst + 159 - 100; i < burst + 159; ++i) level[order] += std::fabs(oL[i]);
    }
    EXPECT_GT(level[1], level[0] * 1.05);
}

}  // namespace
}  // namespace zelto
