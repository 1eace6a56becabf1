// RealFft: table set-up and the radix-2 complex transforms underneath the real
// transform. forward()/inverse() run on the audio thread: no allocation, no locks.
#include "engine/RealFft.h"

#include <cmath>

namespace zelto {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

bool RealFft::configure(int32_t length) {
    if (length < kMinLength || length > kMaxLength || (length & (length - 1)) != 0) return false;
    length_ = length;
    half_ = length / 2;
    log2Half_ = 0;
    while ((1 << log2Half_) < half_) ++log2Half_;

    // Stage twiddles: the stage joining blocks of h into 2h reads h entries at 2(h−1).
    for (int32_t h = 1; h < half_; h *= 2) {
        double* tw = stageTw_ + 2 * (h - 1);
        for (int32_t j = 0; j < h; ++j) {
            const double a = kTwoPi * j / (2.0 * h);
            tw[2 * j] = std::cos(a);
            tw[2 * j + 1] = std::sin(a);
        }
    }
    for (int32_t k = 0; k <= half_ / 2; ++k) {
        const double a = kTwoPi * k / length_;
        splitTw_[2 * k] = std::cos(a);
        splitTw_[2 * k + 1] = std::sin(a);
    }
    swapCount_ = 0;
    for (int32_t i = 0; i < half_; ++i) {
        int32_t r = 0;
        for (int32_t b = 0; b < log2Half_; ++b) r |= ((i >> b) & 1) << (log2Half_ - 1 - b);
        if (i < r) {
            swapA_[swapCount_] = static_cast<uint16_t>(i);
            swapB_[swapCount_] = static_cast<uint16_t>(r);
            ++swapCount_;
        }
    }
    return true;
}

void RealFft::bitReverse(double* z) const {
    for (int32_t s = 0; s < swapCount_; ++s) {
        double* a = z + 2 * swapA_[s];
        double* b = z + 2 * swapB_[s];
        const double re = a[0], im = a[1];
        a[0] = b[0];
        a[1] = b[1];
        b[0] = re;
        b[1] = im;
    }
}

// Decimation in time after the bit-reversal pass; w = e^(−iθ) forward, e^(+iθ) inverse.
template <bool kInverse>
static inline void radix2Passes(double* z, int32_t n, const double* stageTw) {
    // First pass (h = 1): twiddle 1.
    for (int32_t b = 0; b < n; b += 2) {
        double* p = z + 2 * b;
        const double ar = p[0], ai = p[1], br = p[2], bi = p[3];
        p[0] = ar + br;
        p[1] = ai + bi;
        p[2] = ar - br;
        p[3] = ai - bi;
    }
    for (int32_t h = 2; h < n; h *= 2) {
        const double* tw = stageTw + 2 * (h - 1);
        for (int32_t b = 0; b < n; b += 2 * h) {
            double* p = z + 2 * b;
            double* q = p + 2 * h;
            for (int32_t j = 0; j < h; ++j) {
                const double c = tw[2 * j];
                const double s = kInverse ? tw[2 * j + 1] : -tw[2 * j + 1];
                const double br = q[2 * j] * c - q[2 * j + 1] * s;
                const double bi = q[2 * j] * s + q[2 * j + 1] * c;
                const double ar = p[2 * j], ai = p[2 * j + 1];
                p[2 * j] = ar + br;
                p[2 * j + 1] = ai + bi;
                q[2 * j] = ar - br;
                q[2 * j + 1] = ai - bi;
            }
        }
    }
}

void RealFft::complexForward(double* z) const {
    bitReverse(z);
    radix2Passes<false>(z, half_, stageTw_);
}

void RealFft::complexInverse(double* z) const {
    bitReverse(z);
    radix2Passes<true>(z, half_, stageTw_);
}

void RealFft::forward(double* d) const {
    const int32_t n = half_;
    complexForward(d);  // Z[k] of z[t] = x[2t] + i·x[2t+1]
    const double e0 = d[0], o0 = d[1];
    d[0] = e0 + o0;  // X[0]
    d[1] = e0 - o0;  // X[n]
    for (int32_t k = 1; k <= n / 2; ++k) {
        const int32_t m = n - k;
        const double zkr = d[2 * k], zki = d[2 * k + 1];
        const double zmr = d[2 * m], zmi = d[2 * m + 1];
        // E = (Z[k] + conj Z[m]) / 2, O = (Z[k] − conj Z[m]) / 2i.
        const double er = 0.5 * (zkr + zmr), ei = 0.5 * (zki - zmi);
        const double or_ = 0.5 * (zki + zmi), oi = -0.5 * (zkr - zmr);
        const double c = splitTw_[2 * k], s = splitTw_[2 * k + 1];
        // W·O with W = e^(−2πik/M).
        const double wr = or_ * c + oi * s, wi = oi * c - or_ * s;
        d[2 * k] = er + wr;
        d[2 * k + 1] = ei + wi;
        if (m != k) {
            d[2 * m] = er - wr;
            d[2 * m + 1] = -(ei - wi);
        }
    }
}

void RealFft::inverse(double* d) const {
    const int32_t n = half_;
    const double x0 = d[0], xn = d[1];
    d[0] = x0 + xn;  // E[0]·2
    d[1] = x0 - xn;  // O[0]·2
    for (int32_t k = 1; k <= n / 2; ++k) {
        const int32_t m = n - k;
        const double ar = d[2 * k], ai = d[2 * k + 1];
        const double br = d[2 * m], bi = -d[2 * m + 1];  // conj X[m]
        const double er = ar + br, ei = ai + bi;
        const double tr = ar - br, ti = ai - bi;
        const double c = splitTw_[2 * k], s = splitTw_[2 * k + 1];
        // O = conj(W)·T with conj(W) = e^(+2πik/M).
        const double or_ = tr * c - ti * s, oi = tr * s + ti * c;
        // Z[k] = E + i·O, Z[m] = conj E + i·conj O.
        d[2 * k] = er - oi;
        d[2 * k + 1] = ei + or_;
        if (m != k) {
            d[2 * m] = er + oi;
            d[2 * m + 1] = -ei + or_;
        }
    }
    complexInverse(d);
}

void RealFft::multiplyPacked(double* acc, const double* h, int32_t length) {
    acc[0] *= h[0];
    acc[1] *= h[1];
    for (int32_t i = 2; i < length; i += 2) {
        const double ar = acc[i], ai = acc[i + 1];
        const double hr = h[i], hi = h[i + 1];
        acc[i] = ar * hr - ai * hi;
        acc[i + 1] = ar * hi + ai * hr;
    }
}

}  // namespace zelto
