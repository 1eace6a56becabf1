// A deliberately plain model of the limiter path for the tests: every step in its
// documented order, with naive sliding maxima (a scan of the window), a direct
// convolution in place of the FFT smoother, plain rings and no SIMD. The engine
// must agree with it to rounding.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "engine/NoiseShaping.h"

namespace zelto::test {

struct RefSettings {
    double drive = 1.0;
    double output = 1.0;
    bool autoOut = false;
    double transientMix = 0.02;
    double releaseMs = 200.0;
    double link = 1.0;
    bool oversample = false;
    bool order2 = false;
    bool power = true;
    float levellerSetting = 1.0f;
    double levellerThreshold = 1.0;
    bool quantize = false;
    bool autoblack = false;
    int bitsIndex = 1;
    int nsType = 0;
};

class RefLimiter {
  public:
    RefLimiter(int rateHz, int shape, const RefSettings& s) : rateHz_(rateHz), sr_(rateHz) {
        const int rc = sr_ < 80000.0 ? 0 : (sr_ < 170000.0 ? 1 : 2);
        W_ = 128 << rc;
        const int base[3] = {8, 16, 64};
        N_ = base[shape] << rc;
        post_ = W_ - 2 * N_ + 2;
        gsc_ = 1.0 - std::exp(-2.0 * 3.141592653589793 * 30.0 / sr_);
        levC_ = 1.0 - std::exp(-1000.0 / (sr_ * 1000.0));
        blackC_ = 1.0 - std::exp(-1000.0 / (sr_ * 10.0));
        for (int k = 0; k < 32; ++k) {
            const double t = 31.5 - k, x = 3.141592653589793 * t;
            taps_[k] = std::sin(x) / x *
                       (0.35875 + 0.48829 * std::cos(x / 32.0) +
                        0.14128 * std::cos(2.0 * x / 32.0) + 0.01168 * std::cos(3.0 * x / 32.0));
        }
        double c = -3.141592653589793, sum = 0.0;
        kernel_.resize(N_);
        for (int i = 0; i < N_; ++i) {
            kernel_[i] = c == 0.0 ? 1.0 : std::sin(c) / c;
            sum += kernel_[i];
            c += 2.0 * 3.141592653589793 / (N_ - 1);
        }
        for (double& h : kernel_) h /= sum;
        for (int ch = 0; ch < 2; ++ch) {
            inDelay_[ch].assign(W_ + 31, 0.0);
            align_[ch].assign(31, 0.0);
            ring_[ch].assign(64, 0.0);
            audio_[ch].assign(W_, 0.0);
            postDelay_[ch].assign(post_, 0.0);
            shortHist_[ch].assign(2 * N_ - 2, 0.0);
            err_[ch].assign(12, 0.0);
            s1_[ch].assign(8, 0.0);
            s2_[ch].assign(8, 0.0);
            longWin_[ch].clear();
            shortWin_[ch].clear();
        }
        set(s);
        // The first block starts at the targets in force, the automatic output
        // gain included.
        dg_ = s.drive;
        og_ = s.autoOut ? 1.0 / s.drive : s.output;
    }

    void set(const RefSettings& s) {
        s_ = s;
        for (int k = 0; k < 8; ++k) {
            const double t = 32.0 - k * (31.0 / 7.0);
            att_[k] = 1.0 - std::exp(-1000.0 / (t * sr_));
            const double r = s.releaseMs - k * (s.releaseMs - 2.0) / 7.0;
            rel_[k] = 1.0 - std::exp(-1000.0 / (r * sr_));
        }
        if (s.nsType != nsType_) nsIdx_ = 0;
        nsType_ = s.nsType;
    }

    // The gain applied to each channel at the last step (power on).
    double lastGain(int ch) const { return lastGain_[ch]; }

    std::pair<double, double> step(double xL, double xR) {
        const double outT = s_.autoOut ? 1.0 / s_.drive : s_.output;
        dg_ = dg_ + (s_.drive - dg_) * gsc_;
        dg_ = dg_ + 1e-30 - 1e-30;
        og_ = og_ + (outT - og_) * gsc_;
        og_ = og_ + 1e-30 - 1e-30;
        const double x[2] = {clean(xL), clean(xR)};
        double r[2], u[2];
        for (int c = 0; c < 2; ++c) {
            r[c] = inDelay_[c][inIdx_];
            inDelay_[c][inIdx_] = x[c];
            u[c] = x[c] * dg_;
        }
        inIdx_ = (inIdx_ + 1) % (W_ + 31);
        const double levelIn = std::max({std::fabs(u[0]), std::fabs(u[1]), 0.00001});
        lev_ = lev_ + (levelIn - lev_) * levC_;
        double t = 1.0;
        if (lev_ > s_.levellerThreshold && s_.levellerSetting != 1.0f)
            t = s_.levellerThreshold / lev_;
        double y[2], m[2], D[2];
        for (int c = 0; c < 2; ++c) {
            const double w = t * u[c];
            const double a = align_[c][alIdx_];
            align_[c][alIdx_] = w;
            ring_[c][ringIdx_] = w;
            double d = a;
            if (s_.oversample) {
                const int i = ringIdx_, j = i + 1;
                double s = 0.0;
                for (int k = 0; k < 32; ++k) {
                    s += (ring_[c][(i - k + 64) & 63] + ring_[c][(j + k) & 63]) * taps_[k];
                }
                const double cc = ring_[c][(i - 31 + 64) & 63];
                d = (std::fabs(s) < std::fabs(cc) ? cc : s) * 1.001;
            }
            y[c] = audio_[c][auIdx_];
            audio_[c][auIdx_] = a;
            m[c] = std::max(std::fabs(d), 0.00001);
            D[c] = windowMax(longWin_[c], W_, m[c]);
        }
        alIdx_ = (alIdx_ + 1) % 31;
        ringIdx_ = (ringIdx_ + 1) & 63;
        auIdx_ = (auIdx_ + 1) % W_;
        const double k = std::max(D[0], D[1]) * s_.link;
        for (int c = 0; c < 2; ++c) D[c] = D[c] * (1.0 - s_.link) + k;

        double out[2], P[2], E[2];
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < 8; ++i) {
                const double c1 = D[c] < s1_[c][i] ? rel_[i] : att_[i];
                s1_[c][i] = s1_[c][i] + (D[c] - s1_[c][i]) * c1;
                if (!s_.order2) {
                    s2_[c][i] = s1_[c][i];
                } else {
                    const double c2 = s1_[c][i] <= s2_[c][i] ? rel_[i] : att_[i];
                    s2_[c][i] = s2_[c][i] + (s1_[c][i] - s2_[c][i]) * c2;
                }
            }
            // Short window, then the direct convolution out(n) = Σ h[m]·M(n − (N−1) − m).
            const double M = windowMax(shortWin_[c], N_, m[c]);
            shortHist_[c].push_back(M);
            double sm = 0.0;
            // The history holds M(n − 2N + 2) … M(n); M(n − j) sits at 2N − 2 − j.
            for (int q = 0; q < N_; ++q) sm += kernel_[q] * shortHist_[c][N_ - 1 - q];
            shortHist_[c].pop_front();
            P[c] = postDelay_[c][postIdx_];
            postDelay_[c][postIdx_] = sm;
            E[c] = 1.0;
            for (int i = 0; i < 8; ++i) E[c] = std::max(E[c], s2_[c][i]);
        }
        postIdx_ = (postIdx_ + 1) % post_;
        for (int c = 0; c < 2; ++c) {
            if (s_.power) {
                const double S = s_.transientMix;
                const double g =
                    S * (1.0 / std::max(P[c], 1.0)) + (1.0 - S) * (1.0 / std::max(E[c], P[c]));
                lastGain_[c] = g;
                out[c] = g * y[c] * og_;
            } else {
                out[c] = r[c];
            }
        }
        if (s_.quantize) requantize(out);
        for (double& o : out)
            o = std::clamp((std::fabs(o + 1.0) - std::fabs(o - 1.0)) / 2.0, -1.0, 1.0);
        return {out[0], out[1]};
    }

    double driveGain() const { return dg_; }

  private:
    static double clean(double v) {
        if (!std::isfinite(v)) return 0.0;
        return std::clamp(v, -1000.0, 1000.0);
    }

    // Pushes v into a window of the last `len` values and returns its maximum.
    static double windowMax(std::deque<double>& win, int len, double v) {
        win.push_back(v);
        if (static_cast<int>(win.size()) > len) win.pop_front();
        double mx = 0.0;  // the engine's tree starts from zeros
        for (double z : win) mx = std::max(mx, z);
        return mx;
    }

    double draw() {
        s1r_ = ((((s1r_ >> 9) ^ s1r_) >> 6) & 0x1FFFu) ^ (s1r_ << 13);
        s2r_ = ((((s2r_ >> 2) ^ s2r_) >> 7) & 0xFFFFFu) ^ (s2r_ << 20);
        s3r_ = ((((s3r_ >> 6) ^ s3r_) >> 8) & 0x1FFFFu) ^ (s3r_ << 17);
        return (s1r_ ^ s2r_ ^ s3r_) * 2.3283064365e-10 * 2 - 1;
    }

    void requantize(double* out) {
        const double h = s_.bitsIndex == 0 ? 128.0 : (s_.bitsIndex == 1 ? 32768.0 : 8388608.0);
        if (std::max(std::fabs(out[0]), std::fabs(out[1])) > 1e-8 || !s_.autoblack) {
            black_ = 1.0;
        } else {
            black_ = black_ - black_ * blackC_;
        }
        black_ = black_ + 1e-30 - 1e-30;
        const double* a = kNsZeroSet;
        const int slot = nsRateSlot(rateHz_);
        if (s_.nsType > 0 && slot >= 0) a = kNsSets[(s_.nsType - 1) * 6 + slot];
        double f[2];
        for (int c = 0; c < 2; ++c) {
            f[c] = 0.0;
            int idx = nsIdx_;
            for (int k = 0; k < 12; ++k) {
                f[c] += a[k] * err_[c][idx];
                idx = idx == 0 ? 11 : idx - 1;
            }
        }
        nsIdx_ = nsIdx_ == 11 ? 0 : nsIdx_ + 1;
        for (int c = 0; c < 2; ++c) {
            const double r1 = draw(), r2 = draw();
            const double d = (r1 + r2) * 0.5;
            const double v = out[c] + f[c];
            const double q = static_cast<int32_t>(d + v * h + h) - h;
            const double yq = q / h;
            err_[c][nsIdx_] = yq - v;
            out[c] = yq * black_;
        }
    }

    int rateHz_;
    double sr_;
    int W_ = 0, N_ = 0, post_ = 0;
    double gsc_ = 0, levC_ = 0, blackC_ = 0;
    double taps_[32] = {};
    double att_[8] = {}, rel_[8] = {};
    std::vector<double> kernel_;
    RefSettings s_;
    int nsType_ = 0;
    double dg_ = 1.0, og_ = 1.0, lev_ = 0.00001, black_ = 1e-20;
    uint32_t s1r_ = 592, s2r_ = 153768, s3r_ = 1526;
    std::vector<double> inDelay_[2], align_[2], ring_[2], audio_[2], postDelay_[2], err_[2];
    std::vector<double> s1_[2], s2_[2];
    std::deque<double> longWin_[2], shortWin_[2], shortHist_[2];
    int inIdx_ = 0, alIdx_ = 0, ringIdx_ = 0, auIdx_ = 0, postIdx_ = 0, nsIdx_ = 0;
    double lastGain_[2] = {1.0, 1.0};
};

}  // namespace zelto::test
