// RealFft: forward and inverse real FFT of one length 16 … 512 (a power of two),
// used by the peak smoother's block convolution.
// configure() precomputes every table into fixed member storage, so the object
// owns no heap memory; forward()/inverse() allocate nothing and may run on the
// audio thread. configure() must not run while another thread transforms.
//
// Conventions (M = transform length, n = M/2):
//   forward: X[k] = Σ_t x[t]·e^(−2πi·k·t/M), stored packed in M doubles:
//            out[0] = Re X[0], out[1] = Re X[n] (both bins are real),
//            out[2k], out[2k+1] = Re X[k], Im X[k] for k = 1 … n−1 (natural order).
//   inverse: x[t] = Σ_{k=0}^{M−1} X[k]·e^(+2πi·k·t/M) from the same packing,
//            unnormalised: inverse(forward(x)) = M·x.
// The real transform is a complex FFT of n points over the even/odd samples,
// followed (forward) or preceded (inverse) by the usual split into X[k], X[n−k].
#pragma once

#include <cstdint>

namespace zelto {

class RealFft {
  public:
    static constexpr int32_t kMinLength = 16;
    static constexpr int32_t kMaxLength = 512;

    // Length must be a power of two in [kMinLength, kMaxLength]; returns false otherwise
    // (and leaves the previous configuration in force).
    bool configure(int32_t length);
    int32_t length() const { return length_; }

    // In place on `data` (length() doubles, no alignment requirement).
    void forward(double* data) const;
    void inverse(double* data) const;

    // Pointwise product of two packed spectra: acc ← acc · h (the layout above).
    static void multiplyPacked(double* acc, const double* h, int32_t length);

  private:
    void complexForward(double* z) const;  // n complex values, interleaved re/im
    void complexInverse(double* z) const;
    void bitReverse(double* z) const;

    static constexpr int32_t kMaxHalf = kMaxLength / 2;

    int32_t length_ = 0;  // M
    int32_t half_ = 0;    // n = M/2, the complex size
    int32_t log2Half_ = 0;
    // Stage twiddles, stage with span 2h stored from offset h−1: (cos, sin) of 2πj/(2h), j < h.
    double stageTw_[2 * kMaxHalf] = {};
    // Split twiddles (cos, sin) of 2πk/M for k = 0 … n/2.
    double splitTw_[kMaxHalf + 2] = {};
    uint16_t swapA_[kMaxHalf] = {};  // bit-reversal swap pairs (i < rev(i))
    uint16_t swapB_[kMaxHalf] = {};
    int32_t swapCount_ = 0;
};

}  // namespace zelto
