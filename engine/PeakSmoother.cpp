// PeakSmoother: kernel construction and the per-block fast convolution.
// smootherBlock runs on the audio thread: no allocation, no locks.
#include "engine/PeakSmoother.h"

#include <cmath>

#include "engine/EngineState.h"

namespace zelto {

void buildSmoothingKernelTaps(int32_t n, double* taps) {
    const double step = 2.0 * 3.141592653589793 / (n - 1);
    double c = -3.141592653589793;  // accumulated, so the taps repeat bit for bit
    double sum = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const double h = c == 0.0 ? 1.0 : std::sin(c) / c;
        taps[i] = h;
        sum += h;
        c += step;
    }
    for (int32_t i = 0; i < n; ++i) taps[i] /= sum;
}

void buildKernelSpectrum(const RealFft& fft, const double* taps, int32_t n, double* spectrum) {
    for (int32_t i = 0; i < 2 * n; ++i) spectrum[i] = 0.0;
    for (int32_t i = 0; i < n; ++i) spectrum[i] = taps[i];
    fft.forward(spectrum);
    const double scale = 1.0 / (2.0 * n);
    for (int32_t i = 0; i < 2 * n; ++i) spectrum[i] *= scale;
}

template <typename V>
void smootherBlock(const RealFft& fft, const double* spectrum, const V* in, int32_t n, V* work,
                   V* out, V* overlap) {
    fft.forwardZeroPadded(in, work);
    RealFft::multiplyPacked(work, spectrum, 2 * n);
    fft.inverseScrambled(work);
    const uint16_t* at = fft.scrambleTable();
    for (int32_t t = 0; t < n; ++t) {
        out[t] = overlap[t] + work[at[t]];
        overlap[t] = work[at[n + t]];
    }
}

template void smootherBlock<double>(const RealFft&, const double*, const double*, int32_t, double*,
                                    double*, double*);
template void smootherBlock<Pair>(const RealFft&, const double*, const Pair*, int32_t, Pair*, Pair*,
                                  Pair*);

void EngineState::rebuildSmoothingKernel() {
    const int32_t n = kernelLength_.load(kRelaxed);
    fft_.configure(2 * n);
    buildSmoothingKernelTaps(n, kernelTaps_);
    buildKernelSpectrum(fft_, kernelTaps_, n, kernelSpectrum_);
}

}  // namespace zelto
