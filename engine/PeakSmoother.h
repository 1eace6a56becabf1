// PeakSmoother: the brickwall branch's bell-shaped smoothing of the short-window
// peak — an N-tap unit-sum kernel (main lobe of sin(c)/c), applied block by block
// through a real FFT of length 2N with overlap-add.
// Runs on the audio thread: no allocation; the caller owns every buffer.
//
// Result: out(n) = Σ_{m<N} h[m]·v(n − (N − 1) − m), a linear convolution with a
// block latency of N − 1 samples.
#pragma once

#include <cstdint>

#include "engine/RealFft.h"

namespace zelto {

// N unit-sum taps of the kernel; N ≥ 2.
void buildSmoothingKernelTaps(int32_t n, double* taps);

// Packed spectrum (2N doubles) of the taps zero-padded to 2N, scaled by 1/(2N) so
// that RealFft::inverse of a product needs no further factor. `fft` has length 2N.
void buildKernelSpectrum(const RealFft& fft, const double* taps, int32_t n, double* spectrum);

// One completed block: convolves the N inputs `in` with the kernel, then
// out[t] = overlap[t] + y[t] (the outputs of the coming N samples) and
// overlap[t] = y[N + t] (the tail carried into the next block). `work` holds 2N
// values. V is double (one channel) or Pair (both channels, interleaved).
template <typename V>
void smootherBlock(const RealFft& fft, const double* spectrum, const V* in, int32_t n, V* work,
                   V* out, V* overlap);

extern template void smootherBlock<double>(const RealFft&, const double*, const double*, int32_t,
                                           double*, double*, double*);
extern template void smootherBlock<Pair>(const RealFft&, const double*, const Pair*, int32_t, Pair*,
                                         Pair*, Pair*);

}  // namespace zelto
