// The look-ahead limiter path, one templated implementation for 32- and 64-bit
// host samples (the arithmetic is 64-bit either way), plus the requantizer and the
// meter feed that run inside it.
// Runs on the audio thread under the engine lock: no allocation, no locks, no I/O,
// never throws. Settings are read once per block; state lives in locals for the
// block and is stored back once at its end.
//
// Glossary of the per-sample state (L/R each unless noted):
//   x      raw input (non-finite → 0, bounded to ±1000)      r   x delayed by W + 31 (bypass,
//   in-meter) dg/og  smoothed drive / output gain (shared)       u   x·dg lev    leveller level, 1
//   s average (shared)        t   leveller gain (shared, linked) w      t·u a   w delayed by 31
//   (the limited signal) d      detector value (a, or the larger of a and the half-sample
//   interpolation ·1.001) y      a delayed by W: the sample the gain applies to now m      max(|d|,
//   1e-5)                              D   long-window max (W), then linked s1/s2  8 envelope
//   followers per stage              E   max(1, s2[0..7]) P      short-window max (N) smoothed and
//   delayed   g   applied gain e      requantization error ring (12)              bg  Autoblack
//   gain (shared)
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/EngineState.h"
#include "engine/HalfSample.h"
#include "engine/Pair.h"
#include "engine/PeakSmoother.h"
#include "engine/SlidingMax.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#if defined(__x86_64__) || defined(__i386__)
#define ZELTO_TARGET_WIDE __attribute__((target("avx2,bmi2")))
#else
#define ZELTO_TARGET_WIDE
#endif

namespace zelto {

namespace {

constexpr double kFloor = 0.00001;  // detector and leveller floor, −100 dB
constexpr double kFlush = 1e-30;    // add-and-subtract denormal flush
// Inputs are bounded to ±1000 (+60 dBFS): no real signal gets there, and a single
// absurd sample (a broken plug-in upstream sends 1e30) then pulls the gain down by
// at most 60 dB, from which the followers release within a second, instead of
// holding the output near silence for seconds.
constexpr double kInputLimit = 1000.0;
constexpr double kSilence = 1e-8;  // Autoblack threshold (strictly greater = signal)
constexpr double kOversampleMargin = 1.001;
// Below this magnitude v·h + h + dither stays inside the 32-bit range at every word
// length (255·2^23 + 2^23 + 1 < 2^31), and the requantization error below a quantum.
constexpr double kQuantizerRange = 250.0;

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

// (|v + 1| − |v − 1|)/2 limits v to ±1 and, as a side effect, rounds magnitudes
// below about 1e-16 to exact zero (which is what lets Autoblack reach digital
// black). Its own rounding can overshoot by one ulp just above full scale, so the
// result is bounded once more.
inline Pair clampFullScale(Pair v) {
    const Pair one = Pair::splat(1.0);
    const Pair c = (abs(v + one) - abs(v - one)) * 0.5;
    return min(max(c, Pair::splat(-1.0)), one);
}

// DitherRng::next() for two words at once: the same operations on each lane.
inline Pair uniformFromWords(uint32_t a, uint32_t b) {
    const Pair u = Pair::set(static_cast<double>(a), static_cast<double>(b));
    return u * 2.3283064365e-10 * 2.0 - Pair::splat(1.0);
}

// Four lanes of doubles in the compiler's generic vector form: one 256-bit register
// in the AVX2 loop. Used only inside that loop's body, never passed to functions.
typedef double Vec4 __attribute__((vector_size(32)));
typedef uint64_t U64x4 __attribute__((vector_size(32)));
typedef float F4 __attribute__((vector_size(16)));
constexpr U64x4 kAbsMask = {~0ull >> 1, ~0ull >> 1, ~0ull >> 1, ~0ull >> 1};

// DitherRng's three shift registers as lanes 0 … 2 (lane 3 stays zero).
typedef uint32_t U4 __attribute__((vector_size(16)));
constexpr U4 kRngShiftA = {9, 2, 6, 0};
constexpr U4 kRngShiftB = {6, 7, 8, 0};
constexpr U4 kRngShiftC = {13, 20, 17, 0};
constexpr U4 kRngMask = {0x1FFFu, 0xFFFFFu, 0x1FFFFu, 0u};

// Short smoothing kernels are cheaper to apply directly than through the block
// transform: the N outputs of a block cost N²/2 four-lane multiply-adds, against a
// forward and an inverse transform of length 2N. Measured, the direct form wins up
// to N = 64 and loses at 128 (docs/PERFORMANCE.md).
constexpr int32_t kDirectSmootherMax = 64;

// Frames per sub-block of the limiter loop (its passes keep per-frame values of this
// many frames on the stack).
constexpr int32_t kSubBlock = 32;

// K vectors of the direct smoother's outputs (2K frames of both channels), starting
// at `at` (this block's frame t in the history), written to `o`. Each output sums its
// N products from m = 0 upward; the K sums are independent, which keeps the adder
// busy while each of them waits for its previous add.
template <int K>
__attribute__((always_inline)) inline void directSmootherVectors(const double* at,
                                                                 const double* taps, int32_t n,
                                                                 double* o) {
    Vec4 acc[K];
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) acc[k] = Vec4{0.0, 0.0, 0.0, 0.0};
    for (int32_t m = 0; m < n; ++m) {
        const double* x = at - 2 * m;
        const double tap = taps[m];
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            Vec4 v;
            std::memcpy(&v, x + 4 * k, sizeof v);
            acc[k] = acc[k] + v * tap;
        }
    }
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) std::memcpy(o + 4 * k, &acc[k], sizeof acc[k]);
}

// The smoother's block step in direct form. `hist` holds 2N frames: the previous
// block's inputs, then this block's. out[t] = Σ_{m<N} taps[m]·v(t − m) (t counted
// from this block's start), summed from m = 0 upward: the N − 1 sample block latency
// of the transform, and the very sums of a plain convolution. Afterwards this block
// becomes the previous one. N is a multiple of 8.
template <bool kWide>
__attribute__((always_inline)) inline void smootherBlockDirect(const double* taps, Pair* hist,
                                                               int32_t n, Pair* out) {
    const double* h = reinterpret_cast<const double*>(hist);
    double* o = reinterpret_cast<double*>(out);
    if constexpr (kWide) {
        if (n % 16 != 0) {
            for (int32_t t = 0; t < n; t += 8)
                directSmootherVectors<4>(h + 2 * (n + t), taps, n, o + 2 * t);
        } else {
            for (int32_t t = 0; t < n; t += 16)
                directSmootherVectors<8>(h + 2 * (n + t), taps, n, o + 2 * t);
        }
    } else {
        for (int32_t t = 0; t < n; ++t) {
            const double* at = h + 2 * (n + t);
            Pair acc = Pair::zero();
            for (int32_t m = 0; m < n; ++m) acc = acc + Pair::load(at - 2 * m) * taps[m];
            out[t] = acc;
        }
    }
    std::memcpy(hist, hist + n, sizeof(Pair) * static_cast<size_t>(n));
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
    if (useAvx2_) {
        runLimiterAvx2(inL, inR, outL, outR, frames);
    } else {
        runLimiterBase(inL, inR, outL, outR, frames);
    }
}

// The same loop twice: for any x86-64, and with AVX2/BMI2 encodings (three-operand
// forms, fewer register copies) where the processor has them. Neither enables FMA,
// so both round every operation alike and give identical results.
template <typename T>
void EngineState::runLimiterBase(const T* inL, const T* inR, T* outL, T* outR, int32_t frames) {
    if (plainSettings()) {
        runLimiter<false, true>(inL, inR, outL, outR, frames);
    } else {
        runLimiter<false, false>(inL, inR, outL, outR, frames);
    }
}

template <typename T>
ZELTO_TARGET_WIDE void EngineState::runLimiterAvx2(const T* inL, const T* inR, T* outL, T* outR,
                                                   int32_t frames) {
    if (plainSettings()) {
        runLimiter<true, true>(inL, inR, outL, outR, frames);
    } else {
        runLimiter<true, false>(inL, inR, outL, outR, frames);
    }
}

template <bool kWide, bool kPlain, typename T>
__attribute__((always_inline)) inline void EngineState::runLimiter(const T* inL, const T* inR,
                                                                   T* outL, T* outR,
                                                                   int32_t frames) {
    // ---- settings, once per block ----
    // Lengths are read once and clamped to the buffers' capacities; the positions
    // below are re-derived from them, so a block that runs unguarded while another
    // thread changes the geometry stays inside every buffer.
    const int32_t W = std::clamp(windowLength_.load(kRelaxed), 1, kMaxWindowLength);
    const int32_t N = std::clamp(kernelLength_.load(kRelaxed), 1, kMaxKernelLength);
    const int32_t postLen = std::clamp(postDelayLength_.load(kRelaxed), 1, kMaxPostDelay);
    const int32_t inLen = W + kDetectorAlign;
    const double driveT = s_.driveTarget.load(kRelaxed);
    const double outT =
        s_.autoOut.load(kRelaxed) != 0 ? 1.0 / driveT : s_.outputTarget.load(kRelaxed);
    if (awaitingFirstBlock_) {
        // Nothing has been heard since the suspend: whatever the host set meanwhile,
        // in whatever order, applies from the first sample instead of gliding
        // there (a glide down of the output gain would pass peaks above the ceiling).
        driveGain_ = driveT;
        outputGain_ = outT;
        awaitingFirstBlock_ = false;
    }
    const double gsc = gainSmoothCoef_.load(kRelaxed);
    const double levCoef = levellerCoef_.load(kRelaxed);
    const double levThr = s_.levellerThreshold.load(kRelaxed);
    const bool levOn = s_.levellerSetting.load(kRelaxed) != 1.0f;
    const bool oversample = !kPlain && s_.detectorOversample.load(kRelaxed) != 0;
    const bool order2 = !kPlain && s_.detectorOrder.load(kRelaxed) != 0;
    const double link = s_.linkAmount.load(kRelaxed);
    const double S = s_.transientMix.load(kRelaxed);
    const bool powerOn = s_.powerOn.load(kRelaxed) != 0.0;
    const int32_t mask = s_.attShowMask.load(kRelaxed);
    const bool showFast = (mask & 2) != 0, showEnv = (mask & 1) != 0, showLev = (mask & 4) != 0;
    const double inFactor = s_.postMeter.load(kRelaxed) != 0 ? 1.0 : driveGain_;
    const bool meterOvs = !kPlain && s_.meterOvs.load(kRelaxed) != 0;
    const double rmsC = rmsCoef_.load(kRelaxed);
    const bool quantize = !kPlain && s_.quantizeOn.load(kRelaxed) != 0;
    const bool autoblack = s_.autoblackOn.load(kRelaxed) != 0;
    const int32_t bits = s_.bitsIndex.load(kRelaxed);
    const double h = bits == 0 ? 128.0 : (bits == 1 ? 32768.0 : 8388608.0);
    const double invH = 1.0 / h;  // exact: h is a power of two
    const double blackC = blackCoef_.load(kRelaxed);
    Pair ns[kNsTaps];
    const int32_t nsSelection = nsTableSelection_.load(kRelaxed);
    const bool shaping = nsSelection >= 0;
    {
        const double* set = nsSetFor(nsSelection);
        for (int k = 0; k < kNsTaps; ++k) ns[k] = Pair::splat(set[k]);
    }
    Pair att[kFollowers], rel[kFollowers], relXorAtt[kFollowers];
    for (int k = 0; k < kFollowers; ++k) {
        att[k] = Pair::splat(attackCoef_[k].load(kRelaxed));
        rel[k] = Pair::splat(releaseCoef_[k].load(kRelaxed));
        relXorAtt[k] = bitXor(rel[k], att[k]);
    }
    if (nsIndexResetPending_.exchange(false, kRelaxed)) nsIndex_ = 0;

    const Pair one = Pair::splat(1.0);
    const Pair floorP = Pair::splat(kFloor);
    const Pair limitP = Pair::splat(kInputLimit);
    const Pair sP = Pair::splat(S);
    const Pair oneMinusS = Pair::splat(1.0 - S);
    const Pair oneMinusLink = Pair::splat(1.0 - link);
    const double* tapsPair = interpTapsPair_;
    const HalfSampleFn halfSample = halfSample_;
    // A local copy: Pair stores may alias anything, which would otherwise force the
    // buffer pointers to be reloaded from the object after every store.
    const Buffers b = buf_;
    // The direct smoother collects its block behind the previous one (it works in
    // steps of eight frames; every kernel length is a power of two from 8).
    const bool directSmoother = N <= kDirectSmootherMax && N % 8 == 0;
    Pair* const smIn = directSmoother ? b.smIn + N : b.smIn;

    // ---- state into locals ----
    double dg = driveGain_, og = outputGain_, lev = levellerLevel_, bg = blackGain_;
    auto within = [](int32_t idx, int32_t len) { return idx >= 0 && idx < len ? idx : 0; };
    int32_t inIdx = within(inputIdx_, inLen), alIdx = within(alignIdx_, kDetectorAlign);
    int32_t detIdx = detIdx_ & (kInterpRing - 1), auIdx = within(audioIdx_, W);
    int32_t longPos = within(longPos_, W), shortPos = within(shortPos_, N);
    int32_t smPos = within(smPos_, N), postIdx = within(postIdx_, postLen);
    int32_t meterIdx = meterIdx_ & (kInterpRing - 1), nsIdx = within(nsIndex_, kNsTaps);
    Pair longPrefix = Pair::load(b.maxPrefix), shortPrefix = Pair::load(b.maxPrefix + 2);
    DitherRng rng = rng_;
    U4 rngv = {rng.s1, rng.s2, rng.s3, 0u};  // the same state, for the wide loop
    Pair lastErr = Pair::load(b.nsError + 2 * (nsIdx + kNsTaps));  // the newest error
    // Followers for the wide loop: vector j holds followers 2j and 2j+1 of both channels
    // (the interleaved memory order), with their coefficients alongside.
    Vec4 s1v[kFollowers / 2], s2v[kFollowers / 2], relv[kFollowers / 2], attv[kFollowers / 2];
    if constexpr (kWide) {
        std::memcpy(s1v, b.s1, sizeof s1v);
        std::memcpy(s2v, b.s2, sizeof s2v);
        for (int j = 0; j < kFollowers / 2; ++j) {
            relv[j] = Vec4{rel[2 * j].l(), rel[2 * j].l(), rel[2 * j + 1].l(), rel[2 * j + 1].l()};
            attv[j] = Vec4{att[2 * j].l(), att[2 * j].l(), att[2 * j + 1].l(), att[2 * j + 1].l()};
        }
    }
    Pair inMS = Pair::set(inMeanSquare_[0].load(kRelaxed), inMeanSquare_[1].load(kRelaxed));
    Pair outMS = Pair::set(outMeanSquare_[0].load(kRelaxed), outMeanSquare_[1].load(kRelaxed));
    // This block's holds. The input peak keeps max|r|: scaling by the (positive)
    // factor and rounding to single precision are monotonic, so they commute with
    // the maximum and are applied once at the end.
    Pair inAbs = Pair::zero(), outPk = Pair::zero(), gr = one;
    // The same holds for the wide loop's two-frame vectors, merged at the end.
    const Vec4 one4 = {1.0, 1.0, 1.0, 1.0};
    const Vec4 sP4 = {S, S, S, S}, oneMinusS4 = one4 - sP4;
    Vec4 inAbs4 = {0.0, 0.0, 0.0, 0.0}, outPk4 = inAbs4, gr4 = one4;

    // The block runs in sub-blocks, each in three passes: the input side up to the
    // detector magnitude, then the sliding maxima, followers and smoother, then the
    // gain, meters, requantizer and output. Each frame's arithmetic is exactly the
    // per-sample order above; only the frames' interleaving changes. A pass is short
    // enough for the processor to overlap many frames of it, where one long pass per
    // frame left each frame's chain (input → detector → maxima → followers → gain)
    // waiting on itself.
    Pair rS[kSubBlock], yS[kSubBlock], mS[kSubBlock], ES[kSubBlock], PS[kSubBlock];
    double tS[kSubBlock], ogS[kSubBlock];
    for (int32_t i0 = 0; i0 < frames; i0 += kSubBlock) {
        const int32_t n = std::min(kSubBlock, frames - i0);
        for (int32_t j = 0; j < n; ++j) {
            // 1. gain smoothing
            dg = stepGain(dg, driveT, gsc);
            og = stepGain(og, outT, gsc);

            // 2. raw input (non-finite → 0), aligned with the output
            const double xl = inL != nullptr ? static_cast<double>(inL[i0 + j]) : 0.0;
            const double xr = inR != nullptr ? static_cast<double>(inR[i0 + j]) : 0.0;
            Pair x = Pair::set(xl, xr);
            if (!allLessEqual(abs(x), limitP)) x = Pair::set(sanitize(xl), sanitize(xr));
            double* slot = b.inputDelay + 2 * inIdx;
            const Pair r = Pair::load(slot);
            x.store(slot);
            if (++inIdx >= inLen) inIdx = 0;

            // 3. drive, 4. leveller (linked)
            const Pair u = x * dg;
            const Pair au = abs(u);
            const double levelIn = std::max(std::max(au.l(), au.r()), kFloor);
            lev = lev + (levelIn - lev) * levCoef;
            const double t = (lev > levThr && levOn) ? levThr / lev : 1.0;
            const Pair w = u * t;

            // 5. alignment and detector ring, 6. detector value, 7. audio delay, 8. magnitude
            slot = b.alignDelay + 2 * alIdx;
            const Pair a = Pair::load(slot);
            w.store(slot);
            if (++alIdx >= kDetectorAlign) alIdx = 0;
            w.store(b.detRing + 2 * detIdx);
            w.store(b.detRing + 2 * (detIdx + kInterpRing));
            Pair d = a;
            if (oversample) {
                const double* oldest = b.detRing + 2 * (detIdx + 1);
                const Pair s = halfSample(oldest, tapsPair);
                const Pair c = Pair::load(oldest + 2 * 32);  // 31 frames back: the same sample as a
                d = selectLess(abs(s), abs(c), c, s) * kOversampleMargin;
            }
            detIdx = (detIdx + 1) & (kInterpRing - 1);
            slot = b.audioDelay + 2 * auIdx;
            const Pair y = Pair::load(slot);
            a.store(slot);
            if (++auIdx >= W) auIdx = 0;
            const Pair m = max(abs(d), floorP);
            rS[j] = r;
            yS[j] = y;
            mS[j] = m;
            tS[j] = t;
            ogS[j] = og;
        }
        for (int32_t j = 0; j < n; ++j) {
            const Pair m = mS[j];
            // 9. long maximum, 10. link
            Pair D = slidingMaxPush(b.longBlock, b.longSuffix, longPrefix, W, longPos, m);
            longPos = (longPos + 1) & (W - 1);
            {
                const double k = std::max(D.l(), D.r()) * link;
                D = D * oneMinusLink + Pair::splat(k);
            }

            // 11. envelope followers, 13. envelope value
            Pair E = one;
            if constexpr (kWide) {
                // Two followers of both channels per vector, state in registers for the block.
                const Vec4 Dv = {D.l(), D.r(), D.l(), D.r()};
                Vec4 Ev = {1.0, 1.0, 1.0, 1.0};
                // Unrolled at every optimisation level, so the followers stay in registers.
#pragma GCC unroll 4
                for (int j = 0; j < kFollowers / 2; ++j) {
                    s1v[j] = s1v[j] + (Dv - s1v[j]) * (Dv < s1v[j] ? relv[j] : attv[j]);
                    if (order2) {
                        s2v[j] =
                            s2v[j] + (s1v[j] - s2v[j]) * (s1v[j] <= s2v[j] ? relv[j] : attv[j]);
                        Ev = Ev < s2v[j] ? s2v[j] : Ev;
                    } else {
                        Ev = Ev < s1v[j] ? s1v[j] : Ev;
                    }
                }
                E = max(Pair::set(Ev[0], Ev[1]), Pair::set(Ev[2], Ev[3]));
            } else if (order2) {
                for (int k = 0; k < kFollowers; ++k) {
                    Pair s1 = Pair::load(b.s1 + 2 * k);
                    s1 = s1 + (D - s1) * selectLessXor(D, s1, relXorAtt[k], att[k]);
                    s1.store(b.s1 + 2 * k);
                    Pair s2 = Pair::load(b.s2 + 2 * k);
                    s2 = s2 + (s1 - s2) * selectLessEqual(s1, s2, rel[k], att[k]);
                    s2.store(b.s2 + 2 * k);
                    E = max(E, s2);
                }
            } else {
                // One stage: the second stage equals the first (copied at the end of the block).
                for (int k = 0; k < kFollowers; ++k) {
                    Pair s1 = Pair::load(b.s1 + 2 * k);
                    s1 = s1 + (D - s1) * selectLessXor(D, s1, relXorAtt[k], att[k]);
                    s1.store(b.s1 + 2 * k);
                    E = max(E, s1);
                }
            }

            // 12. short maximum and peak smoother
            smIn[smPos] = slidingMaxPush(b.shortBlock, b.shortSuffix, shortPrefix, N, shortPos, m);
            shortPos = (shortPos + 1) & (N - 1);
            if (++smPos >= N) {
                smPos = 0;
                if (directSmoother) {
                    smootherBlockDirect<kWide>(kernelTaps_, b.smIn, N, b.smOut);
                } else {
                    smootherBlock(fft_, kernelSpectrum_, b.smIn, N, b.fftWork, b.smOut, b.overlap);
                }
            }
            double* slot = b.postDelay + 2 * postIdx;
            const Pair P = Pair::load(slot);
            b.smOut[smPos].store(slot);
            if (++postIdx >= postLen) postIdx = 0;
            ES[j] = E;
            PS[j] = P;
        }
        int32_t j0 = 0;
        if (kWide && !meterOvs && !quantize) {
            // Two frames per vector: the gain computer's divisions, the meters' peaks
            // and the clamp are not recursive. The mean squares are, and still step
            // frame by frame. Each frame's arithmetic is that of the loop below.
            for (; j0 + 1 < n; j0 += 2) {
                Vec4 rv, yv, Ev, Pv;
                std::memcpy(&rv, &rS[j0], sizeof rv);
                std::memcpy(&yv, &yS[j0], sizeof yv);
                std::memcpy(&Ev, &ES[j0], sizeof Ev);
                std::memcpy(&Pv, &PS[j0], sizeof Pv);
                Vec4 out = rv, mg = one4;
                if (powerOn) {
                    const Vec4 ogv = {ogS[j0], ogS[j0], ogS[j0 + 1], ogS[j0 + 1]};
                    const Vec4 maxP1 = Pv < one4 ? one4 : Pv;
                    const Vec4 maxEP = Ev < Pv ? Pv : Ev;
                    const Vec4 g = sP4 * (one4 / maxP1) + oneMinusS4 * (one4 / maxEP);
                    out = g * yv * ogv;
                    if (showFast && showEnv) {
                        mg = g;
                    } else if (showFast || showEnv) {
                        const Vec4 Z = oneMinusS4 / Ev + sP4;
                        mg = showFast ? g / Z : Z;
                    }
                    if (showLev) mg = mg * Vec4{tS[j0], tS[j0], tS[j0 + 1], tS[j0 + 1]};
                }
                const Vec4 absR = (Vec4)((U64x4)rv & kAbsMask);
                inAbs4 = inAbs4 < absR ? absR : inAbs4;
                gr4 = mg < gr4 ? mg : gr4;
                const Vec4 in = rv * inFactor;
                const Vec4 inSq = in * in;
                const Vec4 o = __builtin_convertvector(
                    __builtin_convertvector((Vec4)((U64x4)out & kAbsMask), F4), Vec4);
                outPk4 = outPk4 < o ? o : outPk4;
                const Vec4 oSq = o * o;
                alignas(32) double sq[8];
                std::memcpy(sq, &inSq, sizeof inSq);
                std::memcpy(sq + 4, &oSq, sizeof oSq);
                inMS = inMS + (Pair::load(sq) - inMS) * rmsC;
                inMS = inMS + (Pair::load(sq + 2) - inMS) * rmsC;
                outMS = outMS + (Pair::load(sq + 4) - outMS) * rmsC;
                outMS = outMS + (Pair::load(sq + 6) - outMS) * rmsC;
                // 17. clamp to ±1, right first so a single output carries the left channel
                const Vec4 c = ((Vec4)((U64x4)(out + one4) & kAbsMask) -
                                (Vec4)((U64x4)(out - one4) & kAbsMask)) *
                               0.5;
                const Vec4 lo = c < -one4 ? -one4 : c;
                const Vec4 cl = one4 < lo ? one4 : lo;
                outR[i0 + j0] = static_cast<T>(cl[1]);
                outL[i0 + j0] = static_cast<T>(cl[0]);
                outR[i0 + j0 + 1] = static_cast<T>(cl[3]);
                outL[i0 + j0 + 1] = static_cast<T>(cl[2]);
            }
        }
        for (int32_t j = j0; j < n; ++j) {
            const Pair r = rS[j], y = yS[j], E = ES[j], P = PS[j];
            const double t = tS[j], og = ogS[j];
            // 14. gain computer, 15. meters
            Pair out = r, mg = one;
            if (powerOn) {
                const Pair gFast = one / max(P, one);
                const Pair gEnv = one / max(E, P);
                const Pair g = sP * gFast + oneMinusS * gEnv;
                out = g * y * og;
                // The shown gain is (fast part g/Z)·(envelope part Z)·(leveller t), each
                // part only when selected; with both of the first two, (g/Z)·Z is g to
                // within an ulp, which saves two divisions in the usual display.
                if (showFast && showEnv) {
                    mg = g;
                } else if (showFast || showEnv) {
                    const Pair Z = oneMinusS / E + sP;
                    mg = showFast ? g / Z : Z;
                }
                if (showLev) mg = mg * t;
            }
            const Pair in = r * inFactor;
            inAbs = max(inAbs, abs(r));
            inMS = inMS + (in * in - inMS) * rmsC;
            gr = min(gr, mg);
            if (!meterOvs) {
                const Pair o = roundToFloat(abs(out));
                outPk = max(outPk, o);
                outMS = outMS + (o * o - outMS) * rmsC;
            } else {
                out.store(b.meterRing + 2 * meterIdx);
                out.store(b.meterRing + 2 * (meterIdx + kInterpRing));
                const double* oldest = b.meterRing + 2 * (meterIdx + 1);
                const Pair s = halfSample(oldest, tapsPair);
                const Pair c = Pair::load(oldest + 2 * 32);
                outPk = max(outPk, roundToFloat(abs(s)));
                outPk = max(outPk, roundToFloat(abs(c)));
                outMS = outMS + (c * c - outMS) * rmsC;
                meterIdx = (meterIdx + 1) & (kInterpRing - 1);
            }

            // 16. requantizer
            if (quantize) {
                if (!autoblack) {
                    bg = 1.0;
                } else {
                    const Pair ao = abs(out);
                    bg = std::max(ao.l(), ao.r()) > kSilence ? 1.0 : bg - bg * blackC;
                }
                bg = bg + kFlush - kFlush;
                // The newest error is kept in a register; the all-zero set needs no sum.
                // v = out + f, with f the feedback: the older errors are summed (in two
                // partial sums) and added to out first, the newest error's term last, so only
                // a multiply and an add lie between one sample's error and the next v.
                Pair v = out;
                if (shaping) {
                    const double* e = b.nsError + 2 * (nsIdx + kNsTaps);  // e[-2k]: k samples older
                    Pair fa = Pair::load(e - 2 * 11) * ns[11], fb = Pair::load(e - 2 * 10) * ns[10];
                    for (int k = 9; k >= 3; k -= 2) {
                        fa = fa + Pair::load(e - 2 * k) * ns[k];
                        fb = fb + Pair::load(e - 2 * (k - 1)) * ns[k - 1];
                    }
                    fa = fa + Pair::load(e - 2) * ns[1];
                    v = (out + (fa + fb)) + lastErr * ns[0];
                }
                if (++nsIdx >= kNsTaps) nsIdx = 0;
                // Draws r1, r2 for the left channel, r3, r4 for the right, as (r1, r3), (r2, r4).
                uint32_t u[4];
                if constexpr (kWide) {
                    // The three shift registers side by side, with per-lane shift counts.
                    for (int d = 0; d < 4; ++d) {
                        rngv = ((((rngv >> kRngShiftA) ^ rngv) >> kRngShiftB) & kRngMask) ^
                               (rngv << kRngShiftC);
                        u[d] = rngv[0] ^ rngv[1] ^ rngv[2];
                    }
                } else {
                    for (int d = 0; d < 4; ++d) u[d] = rng.nextWord();
                }
                const Pair ra = uniformFromWords(u[0], u[2]), rb = uniformFromWords(u[1], u[3]);
                const Pair dither = (ra + rb) * 0.5;
                const Pair z = dither + v * h + Pair::splat(h);
                Pair yq, err;
                if (allLessEqual(abs(v), Pair::splat(kQuantizerRange))) {
                    yq = (truncInt32(z) - Pair::splat(h)) * invH;
                    err = yq - v;
                } else {
                    // Saturate instead of wrapping where the 32-bit conversion would overflow,
                    // and keep the error bounded so an overload cannot run away through the
                    // feedback.
                    const Pair zc =
                        min(max(z, Pair::splat(-2147483648.0)), Pair::splat(2147483647.0));
                    yq = (truncInt32(zc) - Pair::splat(h)) * invH;
                    err = min(max(yq - v, Pair::splat(-1.0)), one);
                }
                err.store(b.nsError + 2 * nsIdx);
                err.store(b.nsError + 2 * (nsIdx + kNsTaps));
                lastErr = err;
                out = yq * bg;
            }

            // 17. clamp to ±1, right first so a single output carries the left channel
            out = clampFullScale(out);
            outR[i0 + j] = static_cast<T>(out.r());
            outL[i0 + j] = static_cast<T>(out.l());
        }
    }

    if constexpr (kWide) {
        std::memcpy(b.s1, s1v, sizeof s1v);
        std::memcpy(b.s2, s2v, sizeof s2v);
    }
    if (!order2) {
        for (int k = 0; k < 2 * kFollowers; ++k) b.s2[k] = b.s1[k];
    }
    if constexpr (kWide) {
        inAbs = max(inAbs, max(Pair::set(inAbs4[0], inAbs4[1]), Pair::set(inAbs4[2], inAbs4[3])));
        outPk = max(outPk, max(Pair::set(outPk4[0], outPk4[1]), Pair::set(outPk4[2], outPk4[3])));
        gr = min(gr, min(Pair::set(gr4[0], gr4[1]), Pair::set(gr4[2], gr4[3])));
    }
    const Pair inPk = roundToFloat(abs(inAbs * inFactor));

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
    longPrefix.store(b.maxPrefix);
    shortPrefix.store(b.maxPrefix + 2);
    if constexpr (kWide) {
        rng.s1 = rngv[0];
        rng.s2 = rngv[1];
        rng.s3 = rngv[2];
    }
    rng_ = rng;
    const double inPkV[2] = {inPk.l(), inPk.r()}, outPkV[2] = {outPk.l(), outPk.r()};
    const double grV[2] = {gr.l(), gr.r()};
    const double inMSV[2] = {inMS.l(), inMS.r()}, outMSV[2] = {outMS.l(), outMS.r()};
    publishMeters(inPkV, outPkV, grV, inMSV, outMSV);
}

template void EngineState::process<float>(const float* const*, float* const*, int32_t, bool, bool);
template void EngineState::process<double>(const double* const*, double* const*, int32_t, bool,
                                           bool);
template void EngineState::processLimiter<float>(const float* const*, float* const*, int32_t, bool,
                                                 bool);
template void EngineState::processLimiter<double>(const double* const*, double* const*, int32_t,
                                                  bool, bool);

}  // namespace zelto
