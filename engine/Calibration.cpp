// Pink calibration noise at the 0 dB mark of the selected K-scale, replacing the
// output while "Calibrate" is on; the limiter's state stands still meanwhile.
// Runs on the audio thread under the engine lock: no allocation, no locks, no I/O.
//
// Pink noise: eight rows of held uniform values, row k renewed every 2^(k+1)
// samples (row 7 with row 6), plus one white value per sample. Nine independent
// uniforms sum to an RMS of √3, which the scaling turns into −20 dB re a full-scale
// sine before the K-scale factor.
#include <algorithm>
#include <cmath>

#include "engine/EngineState.h"

namespace zelto {

namespace {

constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kSqrt3 = 1.7320508075688772;

inline int32_t pinkRow(uint32_t counter) {
    if (counter == 0) return 7;
    const int32_t k = __builtin_ctz(counter);
    return k < 7 ? k : 7;
}

inline double pinkValue(double white, double sum, double level) {
    return (white + sum) * 0.1 / kSqrt2 / kSqrt3 * level;
}

}  // namespace

template <typename T>
void EngineState::processCalibration(T* const* outputs, int32_t frames, bool output1Connected) {
    if (outputs == nullptr || outputs[0] == nullptr || frames <= 0) return;
    T* outL = outputs[0];
    T* outR = (output1Connected && outputs[1] != nullptr) ? outputs[1] : nullptr;
    const int32_t mode = std::clamp(s_.calibrateMode.load(kRelaxed), 1, 3);
    runCalibration(outL, outR, frames, mode);
}

template <typename T>
void EngineState::runCalibration(T* outL, T* outR, int32_t frames, int32_t mode) {
    const int32_t scale = s_.scaleIndex.load(kRelaxed);
    const double level = scale == 0 ? 2.5118864315 : (scale == 1 ? 2.0 : 1.0);
    const double rmsC = rmsCoef_.load(kRelaxed);
    DitherRng rng = rng_;
    uint32_t counter = pinkCounter_;
    double ms[2] = {outMeanSquare_[0].load(kRelaxed), outMeanSquare_[1].load(kRelaxed)};
    double pk[2] = {0.0, 0.0};
    const bool carries[2] = {mode != 3, mode != 1};

    for (int32_t i = 0; i < frames; ++i) {
        double v[2] = {0.0, 0.0};
        const int32_t k = pinkRow(counter);
        if (mode == 2) {
            const double rL = rng.next();
            const double rR = rng.next();
            pinkSum_[0] = pinkSum_[0] + (rL - pinkRows_[0][k]);
            pinkRows_[0][k] = rL;
            pinkSum_[1] = pinkSum_[1] + (rR - pinkRows_[1][k]);
            pinkRows_[1][k] = rR;
            const double wL = rng.next();
            const double wR = rng.next();
            counter = (counter + 1) & 0xFFu;
            v[0] = pinkValue(wL, pinkSum_[0], level);
            v[1] = pinkValue(wR, pinkSum_[1], level);
        } else {
            // Modes 1 and 3 share the left rows; only the destination differs.
            const double r = rng.next();
            pinkSum_[0] = pinkSum_[0] + (r - pinkRows_[0][k]);
            pinkRows_[0][k] = r;
            const double w = rng.next();
            counter = counter + 1;
            v[mode == 3 ? 1 : 0] = pinkValue(w, pinkSum_[0], level);
        }
        if (outR != nullptr) outR[i] = static_cast<T>(v[1]);
        outL[i] = static_cast<T>(v[0]);
        for (int c = 0; c < 2; ++c) {
            if (!carries[c]) continue;
            pk[c] = std::max(pk[c], static_cast<double>(static_cast<float>(std::fabs(v[c]))));
            ms[c] = ms[c] + (v[c] * v[c] - ms[c]) * rmsC;
        }
    }

    rng_ = rng;
    pinkCounter_ = counter;
    // The generated noise is both the input and the output the meters show; a
    // silent channel reads silence, and no gain is reduced.
    for (int c = 0; c < 2; ++c) {
        if (!carries[c]) ms[c] = 0.0;
    }
    const double unity[2] = {1.0, 1.0};
    publishMeters(pk, pk, unity, ms, ms);
}

template void EngineState::processCalibration<float>(float* const*, int32_t, bool);
template void EngineState::processCalibration<double>(double* const*, int32_t, bool);

}  // namespace zelto
