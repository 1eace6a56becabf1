// Requantizer: dither generator sequence, output grids, noise-shaping curves,
// Autoblack and the saturating conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/DitherRng.h"
#include "engine/EngineState.h"
#include "engine/EngineTestSupport.h"

namespace zelto {
namespace {

using test::RefSettings;

TEST(DitherRng, SequenceFromTheSeedsIsFixed) {
    DitherRng rng;
    rng.seed();
    EXPECT_EQ(rng.nextWord(), 2166752657u);
    EXPECT_EQ(rng.s1, 4849673u);
    EXPECT_EQ(rng.s2, 2323645853u);
    EXPECT_EQ(rng.s3, 200015877u);
    EXPECT_EQ(rng.nextWord(), 433761069u);
    EXPECT_EQ(rng.nextWord(), 2733492204u);
    EXPECT_EQ(rng.nextWord(), 3444313225u);
    DitherRng again;
    again.seed();
    EXPECT_DOUBLE_EQ(again.next(), 2166752657.0 * 2.3283064365e-10 * 2.0 - 1.0);
    // Uniform in [−1, 1): mean near 0, variance near 1/3.
    double sum = 0.0, sq = 0.0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double r = again.next();
        ASSERT_GE(r, -1.0);
        ASSERT_LT(r, 1.0);
        sum += r;
        sq += r * r;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(sq / n, 1.0 / 3.0, 0.01);
}

// Runs the engine on `in` (both channels) and returns the left output.
std::vector<double> render(EngineState& e, const std::vector<double>& in) {
    std::vector<double> l(in.size()), r(in.size());
    test::run<double>(e, in, in, l, r, 0, in.size());
    return l;
}

TEST(Requantizer, OutputSitsOnTheGridOfTheChosenWordLength) {
    std::vector<double> inL, inR;
    test::makeProgramme(inL, inR, 6000, 3);
    const double steps[3] = {128.0, 32768.0, 8388608.0};
    for (int bits = 0; bits < 3; ++bits) {
        for (int type = 0; type < 4; ++type) {
            RefSettings s;
            s.drive = 2.0;
            s.quantize = true;
            s.bitsIndex = bits;
            s.nsType = type;
            auto e = test::makeEngine(44100, 1, s);
            const std::vector<double> out = render(*e, inL);
            bool anyOff = false;
            for (double v : out) {
                const double k = v * steps[bits];
                ASSERT_EQ(k, std::round(k)) << "bits " << bits << " type " << type;
                anyOff |= std::fabs(k) > 0.0;
            }
            EXPECT_TRUE(anyOff);
        }
    }
}

// Power of the left output around `freq` (Goertzel, Hann window), summed over frames.
double bandPower(const std::vector<double>& x, double freq, double rate) {
    const size_t frame = 4096;
    double total = 0.0;
    for (size_t start = 0; start + frame <= x.size(); start += frame) {
        const double w = 2.0 * M_PI * freq / rate;
        double s1 = 0.0, s2 = 0.0;
        for (size_t i = 0; i < frame; ++i) {
            const double win = 0.5 - 0.5 * std::cos(2.0 * M_PI * i / (frame - 1));
            const double s0 = x[start + i] * win + 2.0 * std::cos(w) * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        total += s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
    }
    return total;
}

// With silence in and the power off, the output is the shaped requantization noise
// alone; its spectrum follows 1 + a_0·z^-1 + … relative to unshaped dither.
TEST(Requantizer, NoiseShapingMovesNoiseOutOfTheSensitiveBand) {
    const size_t n = 4096 * 24;
    std::vector<double> silence(n, 0.0);
    double p3k[4], p19k[4];
    for (int type = 0; type < 4; ++type) {
        RefSettings s;
        s.power = false;
        s.quantize = true;
        s.bitsIndex = 0;  // 8 bits keeps the noise far above rounding
        s.nsType = type;
        auto e = test::makeEngine(44100, 0, s);
        const std::vector<double> out = render(*e, silence);
        p3k[type] = 0.0;
        p19k[type] = 0.0;
        for (double f : {2800.0, 3000.0, 3200.0}) p3k[type] += bandPower(out, f, 44100.0);
        for (double f : {18800.0, 19000.0, 19200.0}) p19k[type] += bandPower(out, f, 44100.0);
    }
    const auto dB = [](double a, double b) { return 10.0 * std::log10(a / b); };
    // Shaped against flat: about −8, −16 and −24 dB near 3 kHz; far above near 19 kHz.
    EXPECT_LT(dB(p3k[1], p3k[0]), -5.0);
    EXPECT_LT(dB(p3k[2], p3k[0]), -12.0);
    EXPECT_LT(dB(p3k[3], p3k[0]), -18.0);
    EXPECT_LT(dB(p3k[3], p3k[2]), 0.0);
    for (int type = 1; type < 4; ++type) EXPECT_GT(dB(p19k[type], p19k[0]), 5.0) << type;
}

TEST(Requantizer, AutoblackFadesDitherToExactZero) {
    std::vector<double> in, unused;
    const size_t n = 44100 * 2;
    test::makeProgramme(in, unused, 5000, 1);
    in.resize(n, 0.0);  // programme, then two seconds of digital silence
    RefSettings s;
    s.quantize = true;
    s.autoblack = true;
    s.nsType = 3;
    auto e = test::makeEngine(44100, 0, s);
    const std::vector<double> out = render(*e, in);
    // 10 ms time constant: the noise is exact zero about a second after the programme.
    size_t lastNonZero = 0;
    for (size_t i = 0; i < n; ++i) {
        if (out[i] != 0.0) lastNonZero = i;
    }
    EXPECT_GT(lastNonZero, 5000u);
    EXPECT_LT(lastNonZero, 5000u + 159u + 44100u + 4410u);
    // The fade gain itself settles far below anything the ±1 clamp can pass.
    EXPECT_LT(e->blackGain(), 1e-40);

    // Without Autoblack the dither goes on in silence.
    s.autoblack = false;
    auto noisy = test::makeEngine(44100, 0, s);
    const std::vector<double> hiss = render(*noisy, in);
    size_t nonZero = 0;
    for (size_t i = n - 4000; i < n; ++i) nonZero += hiss[i] != 0.0;
    EXPECT_GT(nonZero, 1000u);
    for (size_t i = n - 4000; i < n; ++i) ASSERT_LE(std::fabs(hiss[i]), 40.0 / 32768.0);
}

TEST(Requantizer, AutoblackStartsSilentAndTreatsOneE8AsSilence) {
    RefSettings s;
    s.power = false;
    s.quantize = true;
    s.autoblack = true;
    auto e = test::makeEngine(44100, 0, s);
    // From the suspend initialisation the fade starts at 1e-20: practically silent at once.
    const std::vector<double> first = render(*e, std::vector<double>(4410, 1e-8));
    for (double v : first) ASSERT_LE(std::fabs(v), 1e-20);
    const std::vector<double> later = render(*e, std::vector<double>(44100, 1e-8));
    EXPECT_EQ(later.back(), 0.0);
    // Just above the threshold the gain snaps back to 1 and dither is audible again.
    const std::vector<double> loud = render(*e, std::vector<double>(2000, 1.1e-8));
    size_t nonZero = 0;
    for (size_t i = 200; i < loud.size(); ++i) nonZero += std::fabs(loud[i]) >= 1.0 / 32768.0;
    EXPECT_GT(nonZero, 100u);
}

TEST(Requantizer, OverloadSaturatesInsteadOfWrapping) {
    RefSettings s;
    s.power = false;
    s.quantize = true;
    s.bitsIndex = 2;  // 24 bits: 300 · 2^23 is beyond the 32-bit range
    auto e = test::makeEngine(44100, 0, s);
    const std::vector<double> out = render(*e, std::vector<double>(400, 300.0));
    EXPECT_EQ(out[399], 1.0);
    const std::vector<double> neg = render(*e, std::vector<double>(400, -300.0));
    EXPECT_EQ(neg[399], -1.0);
    const std::vector<double> calm = render(*e, std::vector<double>(800, 0.5));
    EXPECT_NEAR(calm[799], 0.5, 1e-6);
}

}  // namespace
}  // namespace zelto
