// RealFft: forward and inverse real FFT of one length 16 … 512 (a power of two),
// used by the peak smoother's block convolution.
// configure() precomputes every table into fixed member storage, so the object
// owns no heap memory; forward()/inverse() allocate nothing and may run on the
// audio thread. configure() must not run while another thread transforms.
//
// The transforms are templates over the sample type: `double` for one signal, or
// `Pair` for the left and right channels at once (interleaved, each element a
// Pair); a Pair transform gives bit for bit the two scalar results.
//
// Conventions (M = transform length, n = M/2):
//   forward: X[k] = Σ_t x[t]·e^(−2πi·k·t/M), stored packed in M values:
//            out[0] = Re X[0], out[1] = Re X[n] (both bins are real),
//            out[2k], out[2k+1] = Re X[k], Im X[k] for k = 1 … n−1 (natural order).
//   inverse: x[t] = Σ_{k=0}^{M−1} X[k]·e^(+2πi·k·t/M) from the same packing,
//            unnormalised: inverse(forward(x)) = M·x.
// The real transform is a complex FFT of n points over the even/odd samples,
// followed (forward) or preceded (inverse) by the usual split into X[k], X[n−k].
#pragma once

#include <cstdint>

#include "engine/Pair.h"

namespace zelto {

class RealFft {
  public:
    static constexpr int32_t kMinLength = 16;
    static constexpr int32_t kMaxLength = 512;

    // Length must be a power of two in [kMinLength, kMaxLength]; returns false otherwise
    // (and leaves the previous configuration in force).
    bool configure(int32_t length);
    int32_t length() const { return length_; }

    // In place on `data` (length() values). V is double or Pair (Pair data 16-byte aligned).
    template <typename V>
    void forward(V* data) const;
    template <typename V>
    void inverse(V* data) const;

    // Pointwise product of packed spectra: acc ← acc · h (h one real signal's spectrum).
    template <typename V>
    static void multiplyPacked(V* acc, const double* h, int32_t length);

    // The block convolution's pair of transforms, without bit-reversal passes.
    // forwardZeroPadded: the packed spectrum of in[0 … M/2 − 1] followed by M/2 zeros,
    // written to out (M values); equal to forward() of that sequence up to rounding.
    template <typename V>
    void forwardZeroPadded(const V* in, V* out) const;
    // inverseScrambled: inverse() in place, but leaves sample t at element scrambled(t).
    template <typename V>
    void inverseScrambled(V* data) const;
    int32_t scrambled(int32_t t) const { return 2 * rev_[t >> 1] + (t & 1); }
    const uint16_t* scrambleTable() const { return scramble_; }

  private:
    template <typename V>
    void complexTransform(V* z, bool inverse) const;  // n complex values, interleaved re/im
    // kHalf: the complex size n fixed at compile time, or 0 for the configured one.
    template <int32_t kHalf, typename V>
    void ditPasses(V* z, int32_t firstSpan, bool inverse) const;
    template <int32_t kHalf, typename V>
    void splitForward(V* d) const;
    template <int32_t kHalf, typename V>
    void splitInverse(V* d) const;
    template <int32_t kHalf, typename V>
    void forwardZeroPaddedImpl(const V* in, V* out) const;
    template <int32_t kHalf, typename V>
    void inverseScrambledImpl(V* d) const;

    static constexpr int32_t kMaxHalf = kMaxLength / 2;

    int32_t length_ = 0;  // M
    int32_t half_ = 0;    // n = M/2, the complex size
    int32_t log2Half_ = 0;
    // Stage twiddles, stage with span 2h stored from entry h−1: (cos, cos, sin, sin) of
    // 2πj/(2h), j < h.
    alignas(16) double stageTw_[4 * kMaxHalf] = {};
    // Split twiddles (cos, cos, sin, sin) of 2πk/M for k = 0 … n/2.
    alignas(16) double splitTw_[2 * kMaxHalf + 4] = {};
    uint16_t scramble_[kMaxLength] = {};  // scrambled(t) for t < M
    uint16_t rev_[kMaxHalf] = {};         // bit reversal of 0 … n−1
    uint16_t swapA_[kMaxHalf] = {};       // bit-reversal swap pairs (i < rev(i))
    uint16_t swapB_[kMaxHalf] = {};
    int32_t swapCount_ = 0;
};

extern template void RealFft::forward<double>(double*) const;
extern template void RealFft::forward<Pair>(Pair*) const;
extern template void RealFft::inverse<double>(double*) const;
extern template void RealFft::inverse<Pair>(Pair*) const;
extern template void RealFft::multiplyPacked<double>(double*, const double*, int32_t);
extern template void RealFft::multiplyPacked<Pair>(Pair*, const double*, int32_t);
extern template void RealFft::forwardZeroPadded<double>(const double*, double*) const;
extern template void RealFft::forwardZeroPadded<Pair>(const Pair*, Pair*) const;
extern template void RealFft::inverseScrambled<double>(double*) const;
extern template void RealFft::inverseScrambled<Pair>(Pair*) const;

}  // namespace zelto
