// RealFft: table set-up and the radix-2 complex transform underneath the real
// transform. forward()/inverse() run on the audio thread: no allocation, no locks.
#include "engine/RealFft.h"

#include <cmath>

namespace zelto {

namespace {
constexpr double kTwoPi = 6.283185307179586;

// A twiddle value from a (v, v) table entry, as the transform's sample type.
template <typename V>
inline V twiddle(const double* p);
template <>
inline double twiddle<double>(const double* p) {
    return *p;
}
template <>
inline Pair twiddle<Pair>(const double* p) {
    return Pair::load(p);
}
}  // namespace

bool RealFft::configure(int32_t length) {
    if (length < kMinLength || length > kMaxLength || (length & (length - 1)) != 0) return false;
    length_ = length;
    half_ = length / 2;
    log2Half_ = 0;
    while ((1 << log2Half_) < half_) ++log2Half_;

    // Twiddles as (cos, cos, sin, sin), so a Pair reads each value as it is.
    // Stage twiddles: the stage joining blocks of h into 2h reads h entries at 4(h−1).
    for (int32_t h = 1; h < half_; h *= 2) {
        double* tw = stageTw_ + 4 * (h - 1);
        for (int32_t j = 0; j < h; ++j) {
            const double a = kTwoPi * j / (2.0 * h);
            tw[4 * j] = tw[4 * j + 1] = std::cos(a);
            tw[4 * j + 2] = tw[4 * j + 3] = std::sin(a);
        }
    }
    for (int32_t k = 0; k <= half_ / 2; ++k) {
        const double a = kTwoPi * k / length_;
        splitTw_[4 * k] = splitTw_[4 * k + 1] = std::cos(a);
        splitTw_[4 * k + 2] = splitTw_[4 * k + 3] = std::sin(a);
    }
    swapCount_ = 0;
    for (int32_t i = 0; i < half_; ++i) {
        int32_t r = 0;
        for (int32_t b = 0; b < log2Half_; ++b) r |= ((i >> b) & 1) << (log2Half_ - 1 - b);
        rev_[i] = static_cast<uint16_t>(r);
        if (i < r) {
            swapA_[swapCount_] = static_cast<uint16_t>(i);
            swapB_[swapCount_] = static_cast<uint16_t>(r);
            ++swapCount_;
        }
    }
    for (int32_t t = 0; t < length_; ++t) scramble_[t] = static_cast<uint16_t>(scrambled(t));
    return true;
}

// Decimation-in-time passes from span `firstSpan` (blocks of firstSpan/2 already
// transformed) up to n; w = e^(−iθ) forward, e^(+iθ) inverse.
template <int32_t kHalf, typename V>
void RealFft::ditPasses(V* z, int32_t firstSpan, bool inverse) const {
    const int32_t n = kHalf != 0 ? kHalf : half_;
    for (int32_t h = firstSpan / 2; h < n; h *= 2) {
        const double* tw = stageTw_ + 4 * (h - 1);
        for (int32_t b = 0; b < n; b += 2 * h) {
            V* p = z + 2 * b;
            V* q = p + 2 * h;
            {
                const V ar = p[0], ai = p[1], br = q[0], bi = q[1];
                p[0] = ar + br;
                p[1] = ai + bi;
                q[0] = ar - br;
                q[1] = ai - bi;
            }
            for (int32_t j = 1; j < h; ++j) {
                const V c = twiddle<V>(tw + 4 * j), s = twiddle<V>(tw + 4 * j + 2);
                const V qr = q[2 * j], qi = q[2 * j + 1];
                // w = c ∓ i·s: the forward form adds where the inverse subtracts.
                const V br = inverse ? qr * c - qi * s : qr * c + qi * s;
                const V bi = inverse ? qr * s + qi * c : qi * c - qr * s;
                const V ar = p[2 * j], ai = p[2 * j + 1];
                p[2 * j] = ar + br;
                p[2 * j + 1] = ai + bi;
                q[2 * j] = ar - br;
                q[2 * j + 1] = ai - bi;
            }
        }
    }
}

// Bit-reversal pass, one radix-4 pass for the two twiddle-free stages, then the
// remaining decimation-in-time passes.
template <typename V>
void RealFft::complexTransform(V* z, bool inverse) const {
    const int32_t n = half_;
    for (int32_t s = 0; s < swapCount_; ++s) {
        V* a = z + 2 * swapA_[s];
        V* b = z + 2 * swapB_[s];
        const V re = a[0], im = a[1];
        a[0] = b[0];
        a[1] = b[1];
        b[0] = re;
        b[1] = im;
    }
    for (int32_t b = 0; b < n; b += 4) {
        V* p = z + 2 * b;
        const V ar = p[0] + p[2], ai = p[1] + p[3];
        const V br = p[0] - p[2], bi = p[1] - p[3];
        const V cr = p[4] + p[6], ci = p[5] + p[7];
        const V dr = p[4] - p[6], di = p[5] - p[7];
        p[0] = ar + cr;
        p[1] = ai + ci;
        p[4] = ar - cr;
        p[5] = ai - ci;
        // (dr + i·di)·(∓i): forward multiplies by −i, inverse by +i.
        const V er = inverse ? neg(di) : di;
        const V ei = inverse ? dr : neg(dr);
        p[2] = br + er;
        p[3] = bi + ei;
        p[6] = br - er;
        p[7] = bi - ei;
    }
    ditPasses<0>(z, 8, inverse);
}

template <int32_t kHalf, typename V>
void RealFft::splitForward(V* d) const {
    const int32_t n = kHalf != 0 ? kHalf : half_;
    const V e0 = d[0], o0 = d[1];
    d[0] = e0 + o0;  // X[0]
    d[1] = e0 - o0;  // X[n]
    for (int32_t k = 1; k <= n / 2; ++k) {
        const int32_t m = n - k;
        const V zkr = d[2 * k], zki = d[2 * k + 1];
        const V zmr = d[2 * m], zmi = d[2 * m + 1];
        // E = (Z[k] + conj Z[m]) / 2, O = (Z[k] − conj Z[m]) / 2i.
        const V er = (zkr + zmr) * 0.5, ei = (zki - zmi) * 0.5;
        const V or_ = (zki + zmi) * 0.5, oi = (zkr - zmr) * -0.5;
        const V c = twiddle<V>(splitTw_ + 4 * k), s = twiddle<V>(splitTw_ + 4 * k + 2);
        // W·O with W = e^(−2πik/M).
        const V wr = or_ * c + oi * s, wi = oi * c - or_ * s;
        d[2 * k] = er + wr;
        d[2 * k + 1] = ei + wi;
        if (m != k) {
            d[2 * m] = er - wr;
            d[2 * m + 1] = neg(ei - wi);
        }
    }
}

template <int32_t kHalf, typename V>
void RealFft::splitInverse(V* d) const {
    const int32_t n = kHalf != 0 ? kHalf : half_;
    const V x0 = d[0], xn = d[1];
    d[0] = x0 + xn;  // E[0]·2
    d[1] = x0 - xn;  // O[0]·2
    for (int32_t k = 1; k <= n / 2; ++k) {
        const int32_t m = n - k;
        const V ar = d[2 * k], ai = d[2 * k + 1];
        const V br = d[2 * m], bi = neg(d[2 * m + 1]);  // conj X[m]
        const V er = ar + br, ei = ai + bi;
        const V tr = ar - br, ti = ai - bi;
        const V c = twiddle<V>(splitTw_ + 4 * k), s = twiddle<V>(splitTw_ + 4 * k + 2);
        // O = conj(W)·T with conj(W) = e^(+2πik/M).
        const V or_ = tr * c - ti * s, oi = tr * s + ti * c;
        // Z[k] = E + i·O, Z[m] = conj E + i·conj O.
        d[2 * k] = er - oi;
        d[2 * k + 1] = ei + or_;
        if (m != k) {
            d[2 * m] = er + oi;
            d[2 * m + 1] = or_ - ei;
        }
    }
}

template <typename V>
void RealFft::forward(V* d) const {
    complexTransform(d, false);  // Z[k] of z[t] = x[2t] + i·x[2t+1]
    splitForward<0>(d);
}

template <typename V>
void RealFft::inverse(V* d) const {
    splitInverse<0>(d);
    complexTransform(d, true);
}

template <typename V>
void RealFft::forwardZeroPadded(const V* in, V* out) const {
    // The short transforms of the usual shapes get loops of fixed length, which the
    // compiler unrolls completely.
    switch (half_) {
        case 8:
            return forwardZeroPaddedImpl<8>(in, out);
        case 16:
            return forwardZeroPaddedImpl<16>(in, out);
        case 32:
            return forwardZeroPaddedImpl<32>(in, out);
        default:
            return forwardZeroPaddedImpl<0>(in, out);
    }
}

template <typename V>
void RealFft::inverseScrambled(V* d) const {
    switch (half_) {
        case 8:
            return inverseScrambledImpl<8>(d);
        case 16:
            return inverseScrambledImpl<16>(d);
        case 32:
            return inverseScrambledImpl<32>(d);
        default:
            return inverseScrambledImpl<0>(d);
    }
}

template <int32_t kHalf, typename V>
void RealFft::forwardZeroPaddedImpl(const V* in, V* out) const {
    const int32_t n = kHalf != 0 ? kHalf : half_;
    // In bit-reversed order every odd position holds some z[t] with t ≥ n/2, which the
    // zero half makes 0: the first radix-4 pass reads two inputs instead of four and
    // gathers them straight from `in`.
    for (int32_t b = 0; b < n; b += 4) {
        const V* z0 = in + 2 * rev_[b];
        const V* z2 = in + 2 * rev_[b + 2];
        const V pr = z0[0], pi = z0[1], qr = z2[0], qi = z2[1];
        V* o = out + 2 * b;
        o[0] = pr + qr;
        o[1] = pi + qi;
        o[4] = pr - qr;
        o[5] = pi - qi;
        // q·(−i) = (qi, −qr)
        o[2] = pr + qi;
        o[3] = pi - qr;
        o[6] = pr - qi;
        o[7] = pi + qr;
    }
    ditPasses<kHalf>(out, 8, false);
    splitForward<kHalf>(out);
}

template <int32_t kHalf, typename V>
void RealFft::inverseScrambledImpl(V* d) const {
    const int32_t n = kHalf != 0 ? kHalf : half_;
    splitInverse<kHalf>(d);
    // Decimation in frequency (natural order in, bit-reversed out), w = e^(+iθ).
    for (int32_t h = n / 2; h >= 4; h /= 2) {
        const double* tw = stageTw_ + 4 * (h - 1);
        for (int32_t b = 0; b < n; b += 2 * h) {
            V* p = d + 2 * b;
            V* q = p + 2 * h;
            {
                const V ar = p[0], ai = p[1], br = q[0], bi = q[1];
                p[0] = ar + br;
                p[1] = ai + bi;
                q[0] = ar - br;
                q[1] = ai - bi;
            }
            for (int32_t j = 1; j < h; ++j) {
                const V c = twiddle<V>(tw + 4 * j), s = twiddle<V>(tw + 4 * j + 2);
                const V ar = p[2 * j], ai = p[2 * j + 1], br = q[2 * j], bi = q[2 * j + 1];
                p[2 * j] = ar + br;
                p[2 * j + 1] = ai + bi;
                const V tr = ar - br, ti = ai - bi;
                q[2 * j] = tr * c - ti * s;
                q[2 * j + 1] = tr * s + ti * c;
            }
        }
    }
    // Spans 4 and 2 as one radix-4 pass: twiddles 1 and +i.
    for (int32_t b = 0; b < n; b += 4) {
        V* p = d + 2 * b;
        const V a0r = p[0] + p[4], a0i = p[1] + p[5];
        const V a2r = p[0] - p[4], a2i = p[1] - p[5];
        const V a1r = p[2] + p[6], a1i = p[3] + p[7];
        const V tr = p[2] - p[6], ti = p[3] - p[7];
        const V a3r = neg(ti), a3i = tr;  // (tr + i·ti)·i
        p[0] = a0r + a1r;
        p[1] = a0i + a1i;
        p[2] = a0r - a1r;
        p[3] = a0i - a1i;
        p[4] = a2r + a3r;
        p[5] = a2i + a3i;
        p[6] = a2r - a3r;
        p[7] = a2i - a3i;
    }
}

template <typename V>
void RealFft::multiplyPacked(V* acc, const double* h, int32_t length) {
    acc[0] = acc[0] * h[0];
    acc[1] = acc[1] * h[1];
    for (int32_t i = 2; i < length; i += 2) {
        const V ar = acc[i], ai = acc[i + 1];
        const double hr = h[i], hi = h[i + 1];
        acc[i] = ar * hr - ai * hi;
        acc[i + 1] = ar * hi + ai * hr;
    }
}

template void RealFft::forward<double>(double*) const;
template void RealFft::forward<Pair>(Pair*) const;
template void RealFft::inverse<double>(double*) const;
template void RealFft::inverse<Pair>(Pair*) const;
template void RealFft::multiplyPacked<double>(double*, const double*, int32_t);
template void RealFft::multiplyPacked<Pair>(Pair*, const double*, int32_t);
template void RealFft::forwardZeroPadded<double>(const double*, double*) const;
template void RealFft::forwardZeroPadded<Pair>(const Pair*, Pair*) const;
template void RealFft::inverseScrambled<double>(double*) const;
template void RealFft::inverseScrambled<Pair>(Pair*) const;

}  // namespace zelto
