// The engine's building blocks against slow, obvious references: the real FFT
// against a direct DFT, the peak smoother against direct convolution, the sliding
// maximum tree against a scan of the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <vector>

#include "engine/EngineState.h"
#include "engine/HalfSample.h"
#include "engine/Pair.h"
#include "engine/PeakSmoother.h"
#include "engine/RealFft.h"
#include "engine/SlidingMaxTree.h"

namespace zelto {
namespace {

// Direct DFT of a real sequence, bins 0 … M/2.
void directDft(const std::vector<double>& x, std::vector<double>& re, std::vector<double>& im) {
    const size_t m = x.size();
    re.assign(m / 2 + 1, 0.0);
    im.assign(m / 2 + 1, 0.0);
    for (size_t k = 0; k <= m / 2; ++k) {
        long double sr = 0, si = 0;
        for (size_t t = 0; t < m; ++t) {
            const long double a = -2.0L * 3.14159265358979323846L * ((k * t) % m) / m;
            sr += x[t] * std::cos(a);
            si += x[t] * std::sin(a);
        }
        re[k] = static_cast<double>(sr);
        im[k] = static_cast<double>(si);
    }
}

TEST(RealFft, ForwardMatchesDirectDftAtEverySize) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int m = 16; m <= 512; m *= 2) {
        RealFft fft;
        ASSERT_TRUE(fft.configure(m));
        std::vector<double> x(m);
        for (auto& v : x) v = dist(gen);
        std::vector<double> re, im;
        directDft(x, re, im);
        std::vector<double> d = x;
        fft.forward(d.data());
        const double tol = 1e-13 * m;
        EXPECT_NEAR(d[0], re[0], tol) << m;
        EXPECT_NEAR(d[1], re[m / 2], tol) << m;
        EXPECT_NEAR(im[0], 0.0, tol);
        for (int k = 1; k < m / 2; ++k) {
            ASSERT_NEAR(d[2 * k], re[k], tol) << "size " << m << " bin " << k;
            ASSERT_NEAR(d[2 * k + 1], im[k], tol) << "size " << m << " bin " << k;
        }
    }
}

TEST(RealFft, InverseOfForwardScalesByLength) {
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int m = 16; m <= 512; m *= 2) {
        RealFft fft;
        ASSERT_TRUE(fft.configure(m));
        std::vector<double> x(m);
        for (auto& v : x) v = dist(gen);
        std::vector<double> d = x;
        fft.forward(d.data());
        fft.inverse(d.data());
        for (int t = 0; t < m; ++t) ASSERT_NEAR(d[t] / m, x[t], 1e-14) << m << " " << t;
    }
}

TEST(RealFft, ZeroPaddedAndScrambledFormsMatchThePlainTransforms) {
    std::mt19937 gen(13);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int m = 16; m <= 512; m *= 2) {
        RealFft fft;
        ASSERT_TRUE(fft.configure(m));
        std::vector<double> half(m / 2), padded(m, 0.0), a(m), b(m);
        for (int i = 0; i < m / 2; ++i) padded[i] = half[i] = dist(gen);
        a = padded;
        fft.forward(a.data());
        fft.forwardZeroPadded(half.data(), b.data());
        for (int i = 0; i < m; ++i) ASSERT_NEAR(a[i], b[i], 1e-13 * m) << m << " " << i;
        fft.inverse(a.data());
        fft.inverseScrambled(b.data());
        for (int t = 0; t < m; ++t) {
            ASSERT_NEAR(b[fft.scrambled(t)], a[t], 1e-12 * m) << m << " " << t;
            ASSERT_NEAR(a[t] / m, padded[t], 1e-14);
        }
    }
}

// Both channels in one transform give bit for bit the two single-channel results.
TEST(RealFft, PairTransformsEqualTwoScalarTransforms) {
    std::mt19937 gen(17);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int m = 16; m <= 512; m *= 2) {
        RealFft fft;
        ASSERT_TRUE(fft.configure(m));
        std::vector<double> l(m), r(m);
        for (int i = 0; i < m; ++i) {
            l[i] = dist(gen);
            r[i] = dist(gen);
        }
        std::vector<Pair> p(m), q(m / 2);
        for (int i = 0; i < m; ++i) p[i] = Pair::set(l[i], r[i]);
        for (int i = 0; i < m / 2; ++i) q[i] = p[i];
        std::vector<double> lz(l.begin(), l.begin() + m / 2), rz(r.begin(), r.begin() + m / 2);
        std::vector<double> lo(m), ro(m);
        std::vector<Pair> po(m);
        fft.forward(l.data());
        fft.forward(r.data());
        fft.forward(p.data());
        fft.forwardZeroPadded(lz.data(), lo.data());
        fft.forwardZeroPadded(rz.data(), ro.data());
        fft.forwardZeroPadded(q.data(), po.data());
        for (int i = 0; i < m; ++i) {
            ASSERT_EQ(p[i].l(), l[i]);
            ASSERT_EQ(p[i].r(), r[i]);
            ASSERT_EQ(po[i].l(), lo[i]);
            ASSERT_EQ(po[i].r(), ro[i]);
        }
        fft.inverse(l.data());
        fft.inverse(r.data());
        fft.inverse(p.data());
        fft.inverseScrambled(lo.data());
        fft.inverseScrambled(ro.data());
        fft.inverseScrambled(po.data());
        for (int i = 0; i < m; ++i) {
            ASSERT_EQ(p[i].l(), l[i]);
            ASSERT_EQ(p[i].r(), r[i]);
            ASSERT_EQ(po[i].l(), lo[i]);
            ASSERT_EQ(po[i].r(), ro[i]);
        }
    }
}

TEST(RealFft, RejectsLengthsItCannotServe) {
    RealFft fft;
    ASSERT_TRUE(fft.configure(64));
    for (int bad : {0, 8, 15, 48, 1024, -16}) {
        EXPECT_FALSE(fft.configure(bad)) << bad;
        EXPECT_EQ(fft.length(), 64);
    }
}

TEST(PeakSmoother, KernelIsTheNormalisedSincMainLobe) {
    for (int n : {8, 16, 32, 64, 128, 256}) {
        std::vector<double> taps(n);
        buildSmoothingKernelTaps(n, taps.data());
        double sum = 0.0;
        for (double h : taps) {
            EXPECT_GE(h, -1e-16);  // the end taps sit at sin(±π) ≈ 0
            sum += h;
        }
        EXPECT_NEAR(sum, 1.0, 1e-15) << n;
        EXPECT_NEAR(taps[0], 0.0, 1e-16);
        EXPECT_NEAR(taps[n - 1], 0.0, 1e-15);
        for (int i = 0; i < n / 2; ++i) EXPECT_NEAR(taps[i], taps[n - 1 - i], 1e-15);
    }
    // N = 8: sin(c)/c at c = −π + i·2π/7, normalised.
    std::vector<double> taps(8);
    buildSmoothingKernelTaps(8, taps.data());
    double raw[8], sum = 0.0;
    for (int i = 0; i < 8; ++i) {
        const double c = -M_PI + i * 2.0 * M_PI / 7.0;
        raw[i] = std::sin(c) / c;
        sum += raw[i];
    }
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(taps[i], raw[i] / sum, 1e-15);
}

// Runs the smoother sample by sample the way the limiter does and compares it with
// out(n) = Σ h[m]·v(n − (N − 1) − m).
TEST(PeakSmoother, BlockConvolutionEqualsDirectConvolution) {
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> dist(0.0, 4.0);
    for (int n : {8, 16, 32, 64, 128, 256}) {
        RealFft fft;
        ASSERT_TRUE(fft.configure(2 * n));
        std::vector<double> taps(n), spectrum(2 * n), work(2 * n), in(n, 0.0), out(n, 0.0),
            overlap(n, 0.0);
        buildSmoothingKernelTaps(n, taps.data());
        buildKernelSpectrum(fft, taps.data(), n, spectrum.data());
        const int total = 6 * n + 5;
        std::vector<double> v(total);
        for (auto& x : v) x = dist(gen);
        int j = 0;
        for (int s = 0; s < total; ++s) {
            in[j++] = v[s];
            if (j == n) {
                j = 0;
                smootherBlock(fft, spectrum.data(), in.data(), n, work.data(), out.data(),
                              overlap.data());
            }
            const double got = out[j];
            double want = 0.0;
            for (int m = 0; m < n; ++m) {
                const int idx = s - (n - 1) - m;
                if (idx >= 0) want += taps[m] * v[idx];
            }
            ASSERT_NEAR(got, want, 1e-14 * 4.0) << "N " << n << " sample " << s;
        }
    }
}

TEST(PeakSmoother, ConstantInputSettlesToItselfAndImpulseGivesKernel) {
    const int n = 16;
    RealFft fft;
    ASSERT_TRUE(fft.configure(2 * n));
    std::vector<double> taps(n), spectrum(2 * n), work(2 * n), in(n), out(n, 0.0), overlap(n, 0.0);
    buildSmoothingKernelTaps(n, taps.data());
    buildKernelSpectrum(fft, taps.data(), n, spectrum.data());
    std::vector<double> got;
    int j = 0;
    for (int s = 0; s < 5 * n; ++s) {
        in[j++] = s == 0 ? 1.0 : 0.0;
        if (j == n) {
            j = 0;
            smootherBlock(fft, spectrum.data(), in.data(), n, work.data(), out.data(),
                          overlap.data());
        }
        got.push_back(out[j]);
    }
    for (int s = 0; s < n - 1; ++s) EXPECT_NEAR(got[s], 0.0, 1e-16);
    for (int m = 0; m < n; ++m) EXPECT_NEAR(got[n - 1 + m], taps[m], 1e-15);

    std::fill(out.begin(), out.end(), 0.0);
    std::fill(overlap.begin(), overlap.end(), 0.0);
    j = 0;
    for (int s = 0; s < 4 * n; ++s) {
        in[j++] = 1.0;
        if (j == n) {
            j = 0;
            smootherBlock(fft, spectrum.data(), in.data(), n, work.data(), out.data(),
                          overlap.data());
        }
        if (s >= 2 * n - 2) {
            EXPECT_NEAR(out[j], 1.0, 1e-14) << s;
        }
    }
}

// The interpolation kernels (portable and processor-specific) against the plain
// symmetric sum over the ring, for both channels.
TEST(HalfSample, KernelsMatchTheDirectSymmetricSum) {
    EngineState e;
    ASSERT_TRUE(e.allocate());
    alignas(32) double taps[64];
    for (int k = 0; k < 32; ++k) taps[2 * k] = taps[2 * k + 1] = e.interpTap(k);
    std::mt19937 gen(21);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    alignas(16) double ring[2 * 64 + 2];
    const HalfSampleFn selected = selectHalfSample();
    for (int trial = 0; trial < 200; ++trial) {
        for (double& v : ring) v = dist(gen);
        const double* oldest = ring + 2 * (trial % 2);  // both alignments of the window
        double want[2] = {0.0, 0.0};
        for (int c = 0; c < 2; ++c) {
            for (int k = 0; k < 32; ++k) {
                want[c] += (oldest[2 * (63 - k) + c] + oldest[2 * k + c]) * e.interpTap(k);
            }
        }
        for (HalfSampleFn f : {&halfSamplePlain, selected}) {
            const Pair got = f(oldest, taps);
            ASSERT_NEAR(got.l(), want[0], 1e-14);
            ASSERT_NEAR(got.r(), want[1], 1e-14);
        }
    }
    // A constant passes with the gain of the taps (0.99999973).
    for (double& v : ring) v = 1.0;
    EXPECT_NEAR(selected(ring, taps).l(), 0.99999973, 1e-8);
}

TEST(SlidingMaxTree, RootIsTheMaximumOfTheLastWindow) {
    std::mt19937 gen(5);
    for (int w : {8, 32, 128, 512}) {
        std::vector<double> tree(2 * w);
        slidingMaxReset(tree.data(), w);
        std::deque<double> window;
        // Mix of random values, long plateaus and falling ramps, which exercise both climbs.
        std::uniform_real_distribution<double> dist(0.0, 1.0);
        int pos = 0;
        for (int s = 0; s < 20 * w; ++s) {
            double v;
            const int phase = (s / (3 * w)) % 3;
            if (phase == 0)
                v = dist(gen);
            else if (phase == 1)
                v = 0.5;
            else
                v = 1.0 - (s % w) / static_cast<double>(w);
            const double root = slidingMaxInsert(tree.data(), w, pos, v);
            pos = (pos + 1) & (w - 1);
            window.push_back(v);
            if (static_cast<int>(window.size()) > w) window.pop_front();
            double want = 0.0;
            for (double x : window) want = std::max(want, x);
            ASSERT_EQ(root, want) << "W " << w << " sample " << s;
        }
    }
}

}  // namespace
}  // namespace zelto
