// The look-ahead limiter path, one templated implementation for 32- and 64-bit
// host samples (the arithmetic is 64-bit either way), plus the requantizer and the
// meter feed that run inside it.
// Runs on the audio thread under the engine lock: no allocation, no locks, no I/O,
// never throws. Settings are read once per block; state lives in locals for the
// block and is stored back once at its end.
//
// Glossary of the per-sample state (L/R each unless noted):
//   x      raw input (sanitised: non-finite → 0)      r   x delayed by W + 31 (bypass, in-meter)
//   dg/og  smoothed drive / output gain (shared)       u   x·dg
//   lev    leveller level, 1 s average (shared)        t   leveller gain (shared, linked)
//   w      t·u                                         a   w delayed by 31 (the limited signal)
//   d      detector value (a, or the larger of a and the half-sample interpolation ·1.001)
//   y      a delayed by W: the sample the gain applies to now
//   m      max(|d|, 1e-5)                              D   long-window max (W), then linked
//   s1/s2  8 envelope followers per stage              E   max(1, s2[0..7])
//   P      short-window max (N) smoothed and delayed   g   applied gain
//   e      requantization error ring (12)              bg  Autoblack gain (shared)
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/EngineState.h"
#include "engine/PeakSmoother.h"
#include "engine/SlidingMaxTree.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace zelto {

namespace {

constexpr double kFloor = 0.00001;      // detector and leveller floor, −100 dB
constexpr double kFlush = 1e-30;        // add-and-subtract denormal flush
constexpr double kInputLimit = 1.0e12;  // +240 dB: no real signal reaches it
constexpr double kSilence = 1e-8;       // Autoblack threshold (strictly greater = signal)
constexpr double kOversampleMargin = 1.001;

// Keeps denormal arithmetic out of the hot loop for the duration of one call and
// restores the caller's floating-point mode afterwards.
class DenormalGuard {
  public:
#if defined(__SSE2__)
    DenormalGuard() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | 0x8040u);
    }  // FTZ | DAZ
    ~DenormalGuard() {
        _mm_setcsr(saved_);
    }

  private:
    unsigned int saved_;
#endif
};

inline double sanitize(double v) {
    if (!(std::fabs(v) <= kInputLimit)) v = std::isfinite(v) ? std::copysign(kInputLimit, v) : 0.0;
    return v;
}

// Converts toward zero, saturating at the 32-bit integer range instead of wrapping.
inline double truncSaturated(double z) {
    if (z >= 2147483647.0) return 2147483647.0;
    if (z <= -2147483648.0) return -2147483648.0;
    return static_cast<double>(static_cast<int32_t>(z));
}

// Half-sample interpolation over a 64-entry ring stored twice: `oldest` points at the
// oldest entry, so oldest[0 … 63] runs from oldest to newest.
inline double halfSample(const double* oldest, const double* taps) {
    double s = 0.0;
    for (int k = 0; k < kInterpTaps; ++k) s += (oldest[63 - k] + oldest[k]) * taps[k];
    return s;
}

// (|v + 1| − |v − 1|)/2 limits v to ±1 and, as a side effect, rounds magnitudes
// below about 1e-16 to exact zero (which is what lets Autoblack reach digital
// black). Its own rounding can overshoot by one ulp just above full scale, so the
// result is bounded once more.
inline double clampFullScale(double v) {
    const double c = (std::fabs(v + 1.0) - std::fabs(v - 1.0)) * 0.5;
    return std::min(1.0, std::max(-1.0, c));
}

inline double stepGain(double g, double target, double c) {
    g = g + (target - g) * c;
    return g + kFlush - kFlush;
}

}  // namespace

template <typename T>
void EngineState::process(const T* const* inputs, T* const* outputs, int32_t frames,
                          bool input1Connected, bool output1Connected) {
    if (s_.calibrateMode.load(kRelaxed) != 0) {
        processCalibration(outputs, frames, output1Connected);
    } else {
        processLimiter(inputs, outputs, frames, input1Connected, output1Connected);
    }
}

template <typename T>
void EngineState::processLimiter(const T* const* inputs, T* const* outputs, int32_t frames,
                                 bool input1Connected, bool output1Connected) {
    if (outputs == nullptr || outputs[0] == nullptr || frames <= 0) return;
    T* outL = outputs[0];
    T* outR = (output1Connected && outputs[1] != nullptr) ? outputs[1] : outL;
    if (block_ == nullptr) {
        std::fill_n(outR, frames, T(0));
        std::fill_n(outL, frames, T(0));
        return;
    }
    // A missing input is silence; a missing right input repeats the left one.
    const T* inL = (inputs != nullptr) ? inputs[0] : nullptr;
    const T* inR = inL;
    if (inL != nullptr && input1Connected && inputs[1] != nullptr) inR = inputs[1];
    DenormalGuard guard;
    runLimiter(inL, inR, outL, outR, frames);
}

template <typename T>
void EngineState::runLimiter(const T* inL, const T* inR, T* outL, T* outR, int32_t frames) {
    // ---- settings, once per block ----
    const int32_t W = windowLength_.load(kRelaxed);
    const int32_t N = kernelLength_.load(kRelaxed);
    const int32_t postLen = postDelayLength_.load(kRelaxed);
    const int32_t inLen = W + kDetectorAlign;
    const double driveT = s_.driveTarget.load(kRelaxed);
    const double outT =
        s_.autoOut.load(kRelaxed) != 0 ? 1.0 / driveT : s_.outputTarget.load(kRelaxed);
    const double gsc = gainSmoothCoef_.load(kRelaxed);
    const double levCoef = levellerCoef_.load(kRelaxed);
    const double levThr = s_.levellerThreshold.load(kRelaxed);
    const bool levOn = s_.levellerSetting.load(kRelaxed) != 1.0f;
    const bool oversample = s_.detectorOversample.load(kRelaxed) != 0;
    const bool order2 = s_.detectorOrder.load(kRelaxed) != 0;
    const double link = s_.linkAmount.load(kRelaxed);
    const double S = s_.transientMix.load(kRelaxed);
    const bool powerOn = s_.powerOn.load(kRelaxed) != 0.0;
    const int32_t mask = s_.attShowMask.load(kRelaxed);
    const bool showFast = (mask & 2) != 0, showEnv = (mask & 1) != 0, showLev = (mask & 4) != 0;
    const double inFactor = s_.postMeter.load(kRelaxed) != 0 ? 1.0 : driveGain_;
    const bool meterOvs = s_.meterOvs.load(kRelaxed) != 0;
    const double rmsC = rmsCoef_.load(kRelaxed);
    const bool quantize = s_.quantizeOn.load(kRelaxed) != 0;
    const bool autoblack = s_.autoblackOn.load(kRelaxed) != 0;
    const int32_t bits = s_.bitsIndex.load(kRelaxed);
    const double h = bits == 0 ? 128.0 : (bits == 1 ? 32768.0 : 8388608.0);
    const double invH = 1.0 / h;  // exact: h is a power of two
    const double blackC = blackCoef_.load(kRelaxed);
    double ns[kNsTaps];
    {
        const double* set = nsSetFor(nsTableSelection_.load(kRelaxed));
        std::copy_n(set, kNsTaps, ns);
    }
    alignas(16) double att[kFollowers], rel[kFollowers];
    for (int k = 0; k < kFollowers; ++k) {
        att[k] = attackCoef_[k].load(kRelaxed);
        rel[k] = releaseCoef_[k].load(kRelaxed);
    }
    const double* taps = interpTaps_;
    if (nsIndexResetPending_.exchange(false, kRelaxed)) nsIndex_ = 0;

    // ---- state into locals ----
    double dg = driveGain_, og = outputGain_, lev = levellerLevel_, bg = blackGain_;
    int32_t inIdx = inputIdx_, alIdx = alignIdx_, detIdx = detIdx_, auIdx = audioIdx_;
    int32_t longPos = longPos_, shortPos = shortPos_, smPos = smPos_, postIdx = postIdx_;
    int32_t meterIdx = meterIdx_, nsIdx = nsIndex_;
    DitherRng rng = rng_;
    double inMS[2], outMS[2];
    double inPk[2] = {0.0, 0.0}, outPk[2] = {0.0, 0.0}, gr[2] = {1.0, 1.0};  // this block's holds
    for (int c = 0; c < 2; ++c) {
        inMS[c] = inMeanSquare_[c].load(kRelaxed);
        outMS[c] = outMeanSquare_[c].load(kRelaxed);
    }
    Channel& L = ch_[0];
    Channel& R = ch_[1];
    Channel* chs[2] = {&L, &R};

    for (int32_t i = 0; i < frames; ++i) {
        // 1. gain smoothing
        dg = stepGain(dg, driveT, gsc);
        og = stepGain(og, outT, gsc);

        // 2. raw input, aligned with the output
        double x[2];
        x[0] = inL != nullptr ? sanitize(static_cast<double>(inL[i])) : 0.0;
        x[1] = inR != nullptr ? sanitize(static_cast<double>(inR[i])) : 0.0;
        double r[2];
        for (int c = 0; c < 2; ++c) {
            r[c] = chs[c]->inputDelay[inIdx];
            chs[c]->inputDelay[inIdx] = x[c];
        }
        if (++inIdx == inLen) inIdx = 0;

        // 3. drive, 4. leveller (linked)
        const double u0 = x[0] * dg, u1 = x[1] * dg;
        const double levelIn = std::max(std::max(std::fabs(u0), std::fabs(u1)), kFloor);
        lev = lev + (levelIn - lev) * levCoef;
        const double t = (lev > levThr && levOn) ? levThr / lev : 1.0;
        const double w[2] = {t * u0, t * u1};

        // 5. alignment and detector ring, 6. detector value, 7. audio delay, 8. magnitude
        const int32_t ringPos = detIdx;
        detIdx = (detIdx + 1) & (kInterpRing - 1);
        double y[2], m[2];
        for (int c = 0; c < 2; ++c) {
            Channel& ch = *chs[c];
            const double a = ch.alignDelay[alIdx];
            ch.alignDelay[alIdx] = w[c];
            ch.detRing[ringPos] = w[c];
            ch.detRing[ringPos + kInterpRing] = w[c];
            double d = a;
            if (oversample) {
                const double* oldest = ch.detRing + ringPos + 1;
                const double s = halfSample(oldest, taps);
                const double cc = oldest[32];  // 31 places back: the same sample as a
                d = (std::fabs(s) < std::fabs(cc) ? cc : s) * kOversampleMargin;
            }
            y[c] = ch.audioDelay[auIdx];
            ch.audioDelay[auIdx] = a;
            m[c] = std::max(std::fabs(d), kFloor);
        }
        if (++alIdx == kDetectorAlign) alIdx = 0;
        if (++auIdx == W) auIdx = 0;

        // 9. long maximum, 10. link
        double D[2];
        D[0] = slidingMaxInsert(L.longTree, W, longPos, m[0]);
        D[1] = slidingMaxInsert(R.longTree, W, longPos, m[1]);
        longPos = (longPos + 1) & (W - 1);
        {
            const double k = std::max(D[0], D[1]) * link;
            D[0] = D[0] * (1.0 - link) + k;
            D[1] = D[1] * (1.0 - link) + k;
        }

        // 11. envelope followers, 13. envelope value
        double E[2];
        for (int c = 0; c < 2; ++c) {
            double* s1 = chs[c]->s1;
            double* s2 = chs[c]->s2;
            const double Dc = D[c];
            double e = 1.0;
            for (int k = 0; k < kFollowers; ++k) {
                const double c1 = Dc < s1[k] ? rel[k] : att[k];
                s1[k] = s1[k] + (Dc - s1[k]) * c1;
                if (order2) {
                    const double c2 = s1[k] <= s2[k] ? rel[k] : att[k];
                    s2[k] = s2[k] + (s1[k] - s2[k]) * c2;
                } else {
                    s2[k] = s1[k];
                }
                e = std::max(e, s2[k]);
            }
            E[c] = e;
        }

        // 12. short maximum and peak smoother
        double P[2];
        for (int c = 0; c < 2; ++c) {
            chs[c]->smIn[smPos] = slidingMaxInsert(chs[c]->shortTree, N, shortPos, m[c]);
        }
        shortPos = (shortPos + 1) & (N - 1);
        if (++smPos == N) {
            smPos = 0;
            for (int c = 0; c < 2; ++c) {
                smootherBlock(fft_, kernelSpectrum_, chs[c]->smIn, N, fftWork_, chs[c]->smOut,
                              chs[c]->overlap);
            }
        }
        for (int c = 0; c < 2; ++c) {
            P[c] = chs[c]->postDelay[postIdx];
            chs[c]->postDelay[postIdx] = chs[c]->smOut[smPos];
        }
        if (++postIdx == postLen) postIdx = 0;

        // 14. gain computer, 15. meters
        double out[2];
        for (int c = 0; c < 2; ++c) {
            double mg = 1.0;
            if (powerOn) {
                const double gFast = 1.0 / std::max(P[c], 1.0);
                const double gEnv = 1.0 / std::max(E[c], P[c]);
                const double g = S * gFast + (1.0 - S) * gEnv;
                const double Z = (1.0 - S) / E[c] + S;
                out[c] = g * y[c] * og;
                mg = (showFast ? g / Z : 1.0) * (showEnv ? Z : 1.0) * (showLev ? t : 1.0);
            } else {
                out[c] = r[c];
            }
            const double in = r[c] * inFactor;
            inPk[c] = std::max(inPk[c], static_cast<double>(static_cast<float>(std::fabs(in))));
            inMS[c] = inMS[c] + (in * in - inMS[c]) * rmsC;
            gr[c] = std::min(gr[c], mg);
            if (!meterOvs) {
                const double o = static_cast<float>(std::fabs(out[c]));
                outPk[c] = std::max(outPk[c], o);
                outMS[c] = outMS[c] + (o * o - outMS[c]) * rmsC;
            } else {
                double* ring = chs[c]->meterRing;
                ring[meterIdx] = out[c];
                ring[meterIdx + kInterpRing] = out[c];
                const double* oldest = ring + meterIdx + 1;
                const double s = halfSample(oldest, taps);
                const double cc = oldest[32];
                outPk[c] =
                    std::max(outPk[c], static_cast<double>(static_cast<float>(std::fabs(s))));
                outPk[c] =
                    std::max(outPk[c], static_cast<double>(static_cast<float>(std::fabs(cc))));
                outMS[c] = outMS[c] + (cc * cc - outMS[c]) * rmsC;
            }
        }
        if (meterOvs) meterIdx = (meterIdx + 1) & (kInterpRing - 1);

        // 16. requantizer
        if (quantize) {
            if (std::max(std::fabs(out[0]), std::fabs(out[1])) > kSilence || !autoblack) {
                bg = 1.0;
            } else {
                bg = bg - bg * blackC;
            }
            bg = bg + kFlush - kFlush;
            double f[2] = {0.0, 0.0};
            for (int c = 0; c < 2; ++c) {
                const double* e = chs[c]->nsError + nsIdx + kNsTaps;  // e[0] newest, e[-k] older
                double acc = 0.0;
                for (int k = 0; k < kNsTaps; ++k) acc += ns[k] * e[-k];
                f[c] = acc;
            }
            if (++nsIdx == kNsTaps) nsIdx = 0;
            for (int c = 0; c < 2; ++c) {
                const double r1 = rng.next();
                const double r2 = rng.next();
                const double d = (r1 + r2) * 0.5;
                const double v = out[c] + f[c];
                const double q = truncSaturated(d + v * h + h) - h;
                const double yq = q * invH;
                // The error is bounded by a quantum unless the conversion saturated; keep it
                // bounded then too, so an overload cannot run away through the feedback.
                const double err = std::clamp(yq - v, -1.0, 1.0);
                chs[c]->nsError[nsIdx] = err;
                chs[c]->nsError[nsIdx + kNsTaps] = err;
                out[c] = yq * bg;
            }
        }

        // 17. clamp to ±1, right first so a single output carries the left channel
        const double oR = clampFullScale(out[1]);
        const double oL = clampFullScale(out[0]);
        outR[i] = static_cast<T>(oR);
        outL[i] = static_cast<T>(oL);
    }

    // ---- state back ----
    driveGain_ = dg;
    outputGain_ = og;
    levellerLevel_ = lev;
    blackGain_ = bg;
    inputIdx_ = inIdx;
    alignIdx_ = alIdx;
    detIdx_ = detIdx;
    audioIdx_ = auIdx;
    longPos_ = longPos;
    shortPos_ = shortPos;
    smPos_ = smPos;
    postIdx_ = postIdx;
    meterIdx_ = meterIdx;
    nsIndex_ = nsIdx;
    rng_ = rng;
    // A poll since the last store saw nothing of this block: the holds restart with
    // it. Otherwise the block adds to what is held.
    const bool reset = meterResetPending_.exchange(false, kRelaxed);
    const bool grReset = grHoldResetPending_.exchange(false, kRelaxed) || reset;
    for (int c = 0; c < 2; ++c) {
        inMeanSquare_[c].store(inMS[c], kRelaxed);
        outMeanSquare_[c].store(outMS[c], kRelaxed);
        inPeak_[c].store(reset ? inPk[c] : std::max(inPk[c], inPeak_[c].load(kRelaxed)), kRelaxed);
        outPeak_[c].store(reset ? outPk[c] : std::max(outPk[c], outPeak_[c].load(kRelaxed)),
                          kRelaxed);
        grHold_[c].store(grReset ? gr[c] : std::min(gr[c], grHold_[c].load(kRelaxed)), kRelaxed);
    }
}

template void EngineState::process<float>(const float* const*, float* const*, int32_t, bool, bool);
template void EngineState::process<double>(const double* const*, double* const*, int32_t, bool,
                                           bool);
template void EngineState::processLimiter<float>(const float* const*, float* const*, int32_t, bool,
                                                 bool);
template void EngineState::processLimiter<double>(const double* const*, double* const*, int32_t,
                                                  bool, bool);

}  // namespace zelto
