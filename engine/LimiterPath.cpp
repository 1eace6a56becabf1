// The look-ahead limiter path, one templated implementation for 32- and 64-bit
// host samples (the arithmetic is 64-bit either way), plus the requantizer and the
// meter feed that run inside it.
// Runs on the audio thread under the engine lock: no allocation, no locks, no I/O,
// never throws. A block reads its settings once, loads its state into a struct of
// locals once and stores it back once at its end; in between it runs in sub-blocks,
// each in three named passes (LimiterBlock below).
//
// Glossary of the per-sample state (L/R each unless noted):
//   x      raw input (non-finite → 0, bounded to ±1000)
//   r      x delayed by W + 31 (bypass, input meter)
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

#define ZELTO_PASS __attribute__((always_inline)) inline

// The stage split of bench/stages: a build of the engine with ZELTO_STAGE_CLOCK
// defined adds the time-stamp counter's ticks spent in each pass to
// zeltoStageTicks[] (0 input, 1 envelope, 2 gain, 3 settings, state and meters),
// and under callgrind counts instructions in the pass zeltoStageCounted names only.
// Without it (every shipped build) a stage is just its statement.
#if defined(ZELTO_STAGE_CLOCK)
#include <x86intrin.h>
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#endif
extern "C" uint64_t zeltoStageTicks[4];
extern "C" int zeltoStageCounted;
uint64_t zeltoStageTicks[4];
int zeltoStageCounted = -1;
#define ZELTO_STAGE(i, stmt)                                    \
    do {                                                        \
        if (zeltoStageCounted == (i)) CALLGRIND_TOGGLE_COLLECT; \
        const uint64_t zeltoStageStart = __rdtsc();             \
        stmt;                                                   \
        zeltoStageTicks[i] += __rdtsc() - zeltoStageStart;      \
        if (zeltoStageCounted == (i)) CALLGRIND_TOGGLE_COLLECT; \
    } while (0)
#else
#define ZELTO_STAGE(i, stmt) stmt
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
// result is bounded once more. V is Pair (one frame) or Quad (two frames).
template <typename V>
ZELTO_PASS V clampFullScale(V v) {
    const V one = V::splat(1.0);
    const V c = (abs(v + one) - abs(v - one)) * 0.5;
    return min(max(c, V::splat(-1.0)), one);
}

// The gain computer: the fast part (peak smoother) and the envelope part (followers)
// mixed by the transient amount S. V is Pair (one frame) or Quad (two frames).
template <typename V>
ZELTO_PASS V gainOf(V E, V P, V s, V oneMinusS) {
    const V one = V::splat(1.0);
    const V gFast = one / max(P, one);
    const V gEnv = one / max(E, P);
    return s * gFast + oneMinusS * gEnv;
}

// One step of the one-pole mean square behind an RMS meter.
ZELTO_PASS Pair stepMeanSquare(Pair ms, Pair sq, double c) {
    return ms + (sq - ms) * c;
}

// DitherRng's three shift registers as lanes 0 … 2 (lane 3 stays zero), stepped side
// by side with per-lane shift counts; the words are those of DitherRng::nextWord().
typedef uint32_t U4 __attribute__((vector_size(16)));
constexpr U4 kRngShiftA = {9, 2, 6, 0};
constexpr U4 kRngShiftB = {6, 7, 8, 0};
constexpr U4 kRngShiftC = {13, 20, 17, 0};
constexpr U4 kRngMask = {0x1FFFu, 0xFFFFFu, 0x1FFFFu, 0u};

ZELTO_PASS uint32_t nextDitherWord(U4& rng) {
    rng = ((((rng >> kRngShiftA) ^ rng) >> kRngShiftB) & kRngMask) ^ (rng << kRngShiftC);
    return rng[0] ^ rng[1] ^ rng[2];
}

// DitherRng::next() for two words at once: the same operations on each lane.
ZELTO_PASS Pair uniformFromWords(uint32_t a, uint32_t b) {
    const Pair u = Pair::set(static_cast<double>(a), static_cast<double>(b));
    return u * 2.3283064365e-10 * 2.0 - Pair::splat(1.0);
}

// Short smoothing kernels are cheaper to apply directly than through the block
// transform: the N outputs of a block cost N²/2 four-lane multiply-adds, against a
// forward and an inverse transform of length 2N. Measured, the direct form wins up
// to N = 64 and loses at 128 (docs/PERFORMANCE.md).
constexpr int32_t kDirectSmootherMax = 64;

// Frames per sub-block of the limiter loop (its passes keep per-frame values of this
// many frames on the stack).
constexpr int32_t kSubBlock = 32;

// K Quads of the direct smoother's outputs (2K frames of both channels), starting at
// `at` (this block's frame t in the history), written to `o`. Each output sums its N
// products from m = 0 upward; the K sums are independent, which keeps the adder busy
// while each of them waits for its previous add.
template <int K>
ZELTO_PASS void directSmootherQuads(const double* at, const double* taps, int32_t n, double* o) {
    Quad acc[K];
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) acc[k] = Quad::splat(0.0);
    for (int32_t m = 0; m < n; ++m) {
        const double* x = at - 2 * m;
        const double tap = taps[m];
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) acc[k] = acc[k] + Quad::load(x + 4 * k) * tap;
    }
#pragma GCC unroll 8
    for (int k = 0; k < K; ++k) acc[k].store(o + 4 * k);
}

// The smoother's block step in direct form. `hist` holds 2N frames: the previous
// block's inputs, then this block's. out[t] = Σ_{m<N} taps[m]·v(t − m) (t counted
// from this block's start), summed from m = 0 upward: the N − 1 sample block latency
// of the transform, and the very sums of a plain convolution. Afterwards this block
// becomes the previous one. N is a multiple of 8.
ZELTO_PASS void smootherBlockDirect(const double* taps, Pair* hist, int32_t n, Pair* out) {
    const double* h = reinterpret_cast<const double*>(hist);
    double* o = reinterpret_cast<double*>(out);
    if (n % 16 != 0) {
        for (int32_t t = 0; t < n; t += 8)
            directSmootherQuads<4>(h + 2 * (n + t), taps, n, o + 2 * t);
    } else {
        for (int32_t t = 0; t < n; t += 16)
            directSmootherQuads<8>(h + 2 * (n + t), taps, n, o + 2 * t);
    }
    std::memcpy(hist, hist + n, sizeof(Pair) * static_cast<size_t>(n));
}

ZELTO_PASS double stepGain(double g, double target, double c) {
    g = g + (target - g) * c;
    return g + kFlush - kFlush;
}

}  // namespace

// One block of the limiter: the driver and its passes. Everything is inlined into
// runLimiterBase / runLimiterAvx2, so the same source is compiled once for any
// x86-64 and once for AVX2 (kWide only tells which; no pass differs by it). kPlain
// leaves out Oversample, MeterOvs, Quantize and the second follower stage, so that
// the common settings run a loop without their tests and state.
template <bool kWide, bool kPlain, typename T>
class LimiterBlock {
  public:
    ZELTO_PASS explicit LimiterBlock(EngineState& e) : e_(e), b_(e.buf_) {
        ZELTO_STAGE(3, readSettings());
    }

    ZELTO_PASS void run(const T* inL, const T* inR, T* outL, T* outR, int32_t frames) {
        // Each frame's arithmetic is exactly the per-sample order of the glossary;
        // only the frames' interleaving changes. A pass is short enough for the
        // processor to overlap many frames of it, where one long pass per frame
        // left each frame's chain (input → detector → maxima → followers → gain)
        // waiting on itself.
        //
        // With Quantize on, the requantizer's error feedback (the longest chain of
        // dependent operations in the path) finishes a sub-block during the next
        // one's envelope pass, beside the followers, instead of running alone.
        //
        // The state lives in a local for the block: the passes take it by reference
        // and, all inlined, keep it in registers.
        State st;
        Frames f;
        ZELTO_STAGE(3, loadState(st));
        for (int32_t i0 = 0; i0 < frames; i0 += kSubBlock) {
            const int32_t n = std::min(kSubBlock, frames - i0);
            ZELTO_STAGE(0, inputPass(st, f, inL, inR, i0, n));
            ZELTO_STAGE(1, envelopePass(st, f, n, outL, outR));
            ZELTO_STAGE(2, gainPass(st, f, outL, outR, i0, n));
        }
        ZELTO_STAGE(2, for (int32_t j = 0; j < f.pendingN; ++j) finishFrame(st, f, outL, outR, j));
        ZELTO_STAGE(3, storeState(st));
    }

  private:
    // ---- settings of the block ----
    struct Settings {
        int32_t W, N, postLen, inLen;
        double driveT, outT, gsc, levCoef, levThr;
        bool levOn, oversample, order2, powerOn, showFast, showEnv, showLev, meterOvs;
        bool quantize, autoblack, shaping, directSmoother;
        double link, S, inFactor, rmsC, h, invH, blackC;
        Pair ns[kNsTaps];
        Quad att[kFollowers / 2], rel[kFollowers / 2];  // followers 2j, 2j+1 of both channels
        const double* tapsPair;
        HalfSampleFn halfSample;
        Pair* smIn;  // where the smoother's block collects
    };

    ZELTO_PASS void readSettings() {
        constexpr auto kRelaxed = std::memory_order_relaxed;
        const EngineState::Settings& s = e_.s_;
        // Lengths are read once and clamped to the buffers' capacities; the positions
        // are re-derived from them, so a block that runs unguarded while another
        // thread changes the geometry stays inside every buffer.
        k_.W = std::clamp(e_.windowLength_.load(kRelaxed), 1, kMaxWindowLength);
        k_.N = std::clamp(e_.kernelLength_.load(kRelaxed), 1, kMaxKernelLength);
        k_.postLen = std::clamp(e_.postDelayLength_.load(kRelaxed), 1, kMaxPostDelay);
        k_.inLen = k_.W + kDetectorAlign;
        k_.driveT = s.driveTarget.load(kRelaxed);
        k_.outT = s.autoOut.load(kRelaxed) != 0 ? 1.0 / k_.driveT : s.outputTarget.load(kRelaxed);
        if (e_.awaitingFirstBlock_) {
            // Nothing has been heard since the suspend: whatever the host set meanwhile,
            // in whatever order, applies from the first sample instead of gliding
            // there (a glide down of the output gain would pass peaks above the ceiling).
            e_.driveGain_ = k_.driveT;
            e_.outputGain_ = k_.outT;
            e_.awaitingFirstBlock_ = false;
        }
        k_.gsc = e_.gainSmoothCoef_.load(kRelaxed);
        k_.levCoef = e_.levellerCoef_.load(kRelaxed);
        k_.levThr = s.levellerThreshold.load(kRelaxed);
        k_.levOn = s.levellerSetting.load(kRelaxed) != 1.0f;
        k_.oversample = !kPlain && s.detectorOversample.load(kRelaxed) != 0;
        k_.order2 = !kPlain && s.detectorOrder.load(kRelaxed) != 0;
        k_.link = s.linkAmount.load(kRelaxed);
        k_.S = s.transientMix.load(kRelaxed);
        k_.powerOn = s.powerOn.load(kRelaxed) != 0.0;
        const int32_t mask = s.attShowMask.load(kRelaxed);
        k_.showFast = (mask & 2) != 0;
        k_.showEnv = (mask & 1) != 0;
        k_.showLev = (mask & 4) != 0;
        k_.inFactor = s.postMeter.load(kRelaxed) != 0 ? 1.0 : e_.driveGain_;
        k_.meterOvs = !kPlain && s.meterOvs.load(kRelaxed) != 0;
        k_.rmsC = e_.rmsCoef_.load(kRelaxed);
        k_.quantize = !kPlain && s.quantizeOn.load(kRelaxed) != 0;
        k_.autoblack = s.autoblackOn.load(kRelaxed) != 0;
        const int32_t bits = s.bitsIndex.load(kRelaxed);
        k_.h = bits == 0 ? 128.0 : (bits == 1 ? 32768.0 : 8388608.0);
        k_.invH = 1.0 / k_.h;  // exact: h is a power of two
        k_.blackC = e_.blackCoef_.load(kRelaxed);
        const int32_t nsSelection = e_.nsTableSelection_.load(kRelaxed);
        k_.shaping = nsSelection >= 0;
        const double* set = nsSetFor(nsSelection);
        for (int j = 0; j < kNsTaps; ++j) k_.ns[j] = Pair::splat(set[j]);
        for (int j = 0; j < kFollowers / 2; ++j) {
            const double a0 = e_.attackCoef_[2 * j].load(kRelaxed);
            const double a1 = e_.attackCoef_[2 * j + 1].load(kRelaxed);
            const double r0 = e_.releaseCoef_[2 * j].load(kRelaxed);
            const double r1 = e_.releaseCoef_[2 * j + 1].load(kRelaxed);
            k_.att[j] = Quad::set(a0, a0, a1, a1);
            k_.rel[j] = Quad::set(r0, r0, r1, r1);
        }
        if (e_.nsIndexResetPending_.exchange(false, kRelaxed)) e_.nsIndex_ = 0;
        k_.tapsPair = e_.interpTapsPair_;
        k_.halfSample = e_.halfSample_;
        // The direct smoother collects its block behind the previous one (it works in
        // steps of eight frames; every kernel length is a power of two from 8).
        k_.directSmoother = k_.N <= kDirectSmootherMax && k_.N % 8 == 0;
        k_.smIn = k_.directSmoother ? b_.smIn + k_.N : b_.smIn;
    }

    // Per-frame values handed from one pass to the next, for one sub-block, and with
    // Quantize the sub-block still to be requantized: its frames and its output
    // before the requantizer. Kept apart from the state and the settings, whose
    // scalars would otherwise share the fate of these arrays (taken by address,
    // they keep the whole aggregate in memory).
    struct Frames {
        Pair r[kSubBlock], y[kSubBlock], m[kSubBlock], E[kSubBlock], P[kSubBlock];
        double t[kSubBlock], og[kSubBlock];
        int32_t pendingI0 = 0, pendingN = 0;
        Pair pendingOut[kSubBlock];
    };

    // ---- state of the block, in locals ----
    // Quad k holds followers 2k and 2k+1 of both channels: the memory order.
    struct Followers {
        Quad s1[kFollowers / 2], s2[kFollowers / 2];
    };

    struct State {
        double dg, og, lev, bg;
        bool gliding;  // drive or output gain still moving toward its target
        int32_t inIdx, alIdx, detIdx, auIdx, longPos, shortPos, smPos, postIdx, meterIdx, nsIdx;
        Pair longPrefix, shortPrefix, lastErr, inMS, outMS;
        U4 rng;
        Followers fl;
        // This block's holds, two frames per Quad. The input peak keeps max|r|:
        // scaling by the (positive) factor and rounding to single precision are
        // monotonic, so they commute with the maximum and are applied once at the end.
        Quad inAbs, outPk, gr;
    };

    ZELTO_PASS void loadState(State& st) {
        constexpr auto kRelaxed = std::memory_order_relaxed;
        auto within = [](int32_t idx, int32_t len) { return idx >= 0 && idx < len ? idx : 0; };
        st.dg = e_.driveGain_;
        st.og = e_.outputGain_;
        st.lev = e_.levellerLevel_;
        st.bg = e_.blackGain_;
        // A smoothed gain that one step leaves unchanged is at its fixed point and stays
        // there for the block (the step depends on nothing else), so the per-frame
        // recursion, the longest dependency chain of the input pass, is skipped.
        st.gliding = stepGain(st.dg, k_.driveT, k_.gsc) != st.dg ||
                     stepGain(st.og, k_.outT, k_.gsc) != st.og;
        st.inIdx = within(e_.inputIdx_, k_.inLen);
        st.alIdx = within(e_.alignIdx_, kDetectorAlign);
        st.detIdx = e_.detIdx_ & (kInterpRing - 1);
        st.auIdx = within(e_.audioIdx_, k_.W);
        st.longPos = within(e_.longPos_, k_.W);
        st.shortPos = within(e_.shortPos_, k_.N);
        st.smPos = within(e_.smPos_, k_.N);
        st.postIdx = within(e_.postIdx_, k_.postLen);
        st.meterIdx = e_.meterIdx_ & (kInterpRing - 1);
        st.nsIdx = within(e_.nsIndex_, kNsTaps);
        st.longPrefix = Pair::load(b_.maxPrefix);
        st.shortPrefix = Pair::load(b_.maxPrefix + 2);
        st.lastErr = Pair::load(b_.nsError + 2 * (st.nsIdx + kNsTaps));  // the newest error
        st.inMS = Pair::set(e_.inMeanSquare_[0].load(kRelaxed), e_.inMeanSquare_[1].load(kRelaxed));
        st.outMS =
            Pair::set(e_.outMeanSquare_[0].load(kRelaxed), e_.outMeanSquare_[1].load(kRelaxed));
        st.rng = U4{e_.rng_.s1, e_.rng_.s2, e_.rng_.s3, 0u};
        // Quad j holds followers 2j and 2j+1 of both channels: the memory order.
        for (int j = 0; j < kFollowers / 2; ++j) {
            st.fl.s1[j] = Quad::load(b_.s1 + 4 * j);
            st.fl.s2[j] = Quad::load(b_.s2 + 4 * j);
        }
        st.inAbs = Quad::splat(0.0);
        st.outPk = Quad::splat(0.0);
        st.gr = Quad::splat(1.0);
    }

    ZELTO_PASS void storeState(State& st) {
        for (int j = 0; j < kFollowers / 2; ++j) {
            st.fl.s1[j].store(b_.s1 + 4 * j);
            // With one stage the second stage equals the first.
            (k_.order2 ? st.fl.s2[j] : st.fl.s1[j]).store(b_.s2 + 4 * j);
        }
        e_.driveGain_ = st.dg;
        e_.outputGain_ = st.og;
        e_.levellerLevel_ = st.lev;
        e_.blackGain_ = st.bg;
        e_.inputIdx_ = st.inIdx;
        e_.alignIdx_ = st.alIdx;
        e_.detIdx_ = st.detIdx;
        e_.audioIdx_ = st.auIdx;
        e_.longPos_ = st.longPos;
        e_.shortPos_ = st.shortPos;
        e_.smPos_ = st.smPos;
        e_.postIdx_ = st.postIdx;
        e_.meterIdx_ = st.meterIdx;
        e_.nsIndex_ = st.nsIdx;
        st.longPrefix.store(b_.maxPrefix);
        st.shortPrefix.store(b_.maxPrefix + 2);
        e_.rng_.s1 = st.rng[0];
        e_.rng_.s2 = st.rng[1];
        e_.rng_.s3 = st.rng[2];
        const Pair inPk = roundToFloat(abs(maxOfHalves(st.inAbs) * k_.inFactor));
        const Pair outPk = maxOfHalves(st.outPk), gr = minOfHalves(st.gr);
        const double inPkV[2] = {inPk.l(), inPk.r()}, outPkV[2] = {outPk.l(), outPk.r()};
        const double grV[2] = {gr.l(), gr.r()};
        const double inMSV[2] = {st.inMS.l(), st.inMS.r()};
        const double outMSV[2] = {st.outMS.l(), st.outMS.r()};
        e_.publishMeters(inPkV, outPkV, grV, inMSV, outMSV);
    }

    // ---- input → detector: gains, input delay, drive, leveller, detector, audio delay ----
    ZELTO_PASS void inputPass(State& st, Frames& f, const T* inL, const T* inR, int32_t i0,
                              int32_t n) {
        const Pair limit = Pair::splat(kInputLimit);
        for (int32_t j = 0; j < n; ++j) {
            if (st.gliding) {
                st.dg = stepGain(st.dg, k_.driveT, k_.gsc);
                st.og = stepGain(st.og, k_.outT, k_.gsc);
            }
            // Raw input, aligned with the output for bypass and the input meter.
            const double xl = inL != nullptr ? static_cast<double>(inL[i0 + j]) : 0.0;
            const double xr = inR != nullptr ? static_cast<double>(inR[i0 + j]) : 0.0;
            Pair x = Pair::set(xl, xr);
            if (!allLessEqual(abs(x), limit)) x = Pair::set(sanitize(xl), sanitize(xr));
            const Pair r = exchange(b_.inputDelay, st.inIdx, k_.inLen, x);

            // Drive, and the leveller (linked: one level for both channels).
            const Pair u = x * st.dg;
            const Pair au = abs(u);
            const double levelIn = std::max(std::max(au.l(), au.r()), kFloor);
            st.lev = st.lev + (levelIn - st.lev) * k_.levCoef;
            const double t = (st.lev > k_.levThr && k_.levOn) ? k_.levThr / st.lev : 1.0;
            const Pair w = u * t;

            // Alignment with the interpolator, the detector ring and value, audio delay.
            const Pair a = exchange(b_.alignDelay, st.alIdx, kDetectorAlign, w);
            w.store(b_.detRing + 2 * st.detIdx);
            w.store(b_.detRing + 2 * (st.detIdx + kInterpRing));
            Pair d = a;
            if (k_.oversample) {
                const double* oldest = b_.detRing + 2 * (st.detIdx + 1);
                const Pair s = k_.halfSample(oldest, k_.tapsPair);
                const Pair c = Pair::load(oldest + 2 * 32);  // 31 frames back: the same as a
                d = selectLess(abs(s), abs(c), c, s) * kOversampleMargin;
            }
            st.detIdx = (st.detIdx + 1) & (kInterpRing - 1);
            f.y[j] = exchange(b_.audioDelay, st.auIdx, k_.W, a);
            f.m[j] = max(abs(d), Pair::splat(kFloor));
            f.r[j] = r;
            f.t[j] = t;
            f.og[j] = st.og;
        }
    }

    // Stores v in a delay line of `len` frames at `idx`, advances idx and returns the
    // value stored there `len` frames ago.
    static ZELTO_PASS Pair exchange(double* line, int32_t& idx, int32_t len, Pair v) {
        double* slot = line + 2 * idx;
        const Pair old = Pair::load(slot);
        v.store(slot);
        if (++idx >= len) idx = 0;
        return old;
    }

    // ---- maxima, followers and smoother; the previous sub-block's last recursions ----
    ZELTO_PASS void envelopePass(State& st, Frames& f, int32_t n, T* outL, T* outR) {
        int32_t j = 0;
        if (k_.quantize) {
            const int32_t both = std::min(n, f.pendingN);
            for (; j < both; ++j) {
                envelopeFrame(st, f, j);
                finishFrame(st, f, outL, outR, j);
            }
            for (int32_t q = j; q < f.pendingN; ++q) finishFrame(st, f, outL, outR, q);
            f.pendingN = 0;
        }
        for (; j < n; ++j) envelopeFrame(st, f, j);
    }

    ZELTO_PASS void envelopeFrame(State& st, Frames& f, int32_t j) {
        const Pair m = f.m[j];
        // Long maximum, then the link.
        Pair D = slidingMaxPush(b_.longBlock, b_.longSuffix, st.longPrefix, k_.W, st.longPos, m);
        st.longPos = (st.longPos + 1) & (k_.W - 1);
        D = D * Pair::splat(1.0 - k_.link) + Pair::splat(std::max(D.l(), D.r()) * k_.link);
        f.E[j] = followers(st.fl, D);

        // Short maximum, the peak smoother and its delay.
        k_.smIn[st.smPos] =
            slidingMaxPush(b_.shortBlock, b_.shortSuffix, st.shortPrefix, k_.N, st.shortPos, m);
        st.shortPos = (st.shortPos + 1) & (k_.N - 1);
        if (++st.smPos >= k_.N) {
            st.smPos = 0;
            if (k_.directSmoother) {
                smootherBlockDirect(e_.kernelTaps_, b_.smIn, k_.N, b_.smOut);
            } else {
                smootherBlock(e_.fft_, e_.kernelSpectrum_, b_.smIn, k_.N, b_.fftWork, b_.smOut,
                              b_.overlap);
            }
        }
        f.P[j] = exchange(b_.postDelay, st.postIdx, k_.postLen, b_.smOut[st.smPos]);
    }

    // The 2 × 8 envelope followers of one frame (the program-dependent release) and
    // the envelope value E = max(1, followers). The four Quads are independent
    // recursions, so they advance side by side.
    ZELTO_PASS Pair followers(Followers& fl, Pair D) const {
        const Quad Dq = Quad::join(D, D);
        Quad E = Quad::splat(1.0);
        // Unrolled at every optimisation level, so the followers stay in registers.
#pragma GCC unroll 4
        for (int j = 0; j < kFollowers / 2; ++j) {
            Quad& s1 = fl.s1[j];
            s1 = s1 + (Dq - s1) * selectLess(Dq, s1, k_.rel[j], k_.att[j]);
            if (k_.order2) {
                Quad& s2 = fl.s2[j];
                s2 = s2 + (s1 - s2) * selectLessEqual(s1, s2, k_.rel[j], k_.att[j]);
                E = max(E, s2);
            } else {
                E = max(E, s1);
            }
        }
        return maxOfHalves(E);
    }

    // ---- gain, meters and output ----
    ZELTO_PASS void gainPass(State& st, Frames& f, T* outL, T* outR, int32_t i0, int32_t n) {
        int32_t j = 0;
        // Without the output interpolator nothing here is recursive, so two frames go
        // through each Quad.
        if (!k_.meterOvs) {
            for (; j + 1 < n; j += 2) gainTwoFrames(st, f, outL, outR, i0, j);
        }
        for (; j < n; ++j) gainFrame(st, f, outL, outR, i0, j);
        f.pendingI0 = i0;
        f.pendingN = k_.quantize ? n : 0;
    }

    // The gain applied and the gain shown for frames of r, y, E, P (Pair or Quad);
    // t and og per frame, in the same layout.
    template <typename V>
    ZELTO_PASS void gainAndShown(V r, V y, V E, V P, V t, V og, V& out, V& shown) const {
        out = r;
        shown = V::splat(1.0);
        if (!k_.powerOn) return;
        const V s = V::splat(k_.S), oneMinusS = V::splat(1.0 - k_.S);
        const V g = gainOf(E, P, s, oneMinusS);
        out = g * y * og;
        // The shown gain is (fast part g/Z)·(envelope part Z)·(leveller t), each part
        // only when selected; with both of the first two, (g/Z)·Z is g to within an
        // ulp, which saves two divisions in the usual display.
        if (k_.showFast && k_.showEnv) {
            shown = g;
        } else if (k_.showFast || k_.showEnv) {
            const V Z = oneMinusS / E + s;
            shown = k_.showFast ? g / Z : Z;
        }
        if (k_.showLev) shown = shown * t;
    }

    // Frames j and j + 1 of a per-frame array as one Quad. (Always inlined, as every
    // function that takes or returns a Quad: an ordinary call would pass it one way
    // in the AVX2 build and another in the SSE2 build of its caller.)
    static ZELTO_PASS Quad twoFrames(const Pair* p) {
        return Quad::load(reinterpret_cast<const double*>(p));
    }

    ZELTO_PASS void gainTwoFrames(State& st, Frames& f, T* outL, T* outR, int32_t i0, int32_t j) {
        const Quad r = twoFrames(&f.r[j]);
        Quad out, shown;
        gainAndShown(r, twoFrames(&f.y[j]), twoFrames(&f.E[j]), twoFrames(&f.P[j]),
                     Quad::set(f.t[j], f.t[j], f.t[j + 1], f.t[j + 1]),
                     Quad::set(f.og[j], f.og[j], f.og[j + 1], f.og[j + 1]), out, shown);
        st.inAbs = max(st.inAbs, abs(r));
        st.gr = min(st.gr, shown);
        const Quad in = r * k_.inFactor;
        const Quad inSq = in * in;
        const Quad o = roundToFloat(abs(out));
        st.outPk = max(st.outPk, o);
        const Quad oSq = o * o;
        st.inMS = stepMeanSquare(stepMeanSquare(st.inMS, inSq.lo(), k_.rmsC), inSq.hi(), k_.rmsC);
        st.outMS = stepMeanSquare(stepMeanSquare(st.outMS, oSq.lo(), k_.rmsC), oSq.hi(), k_.rmsC);
        if (k_.quantize) {
            out.store(reinterpret_cast<double*>(&f.pendingOut[j]));
            return;
        }
        const Quad c = clampFullScale(out);
        // Right first, so a single output carries the left channel.
        outR[i0 + j] = static_cast<T>(c[1]);
        outL[i0 + j] = static_cast<T>(c[0]);
        outR[i0 + j + 1] = static_cast<T>(c[3]);
        outL[i0 + j + 1] = static_cast<T>(c[2]);
    }

    ZELTO_PASS void gainFrame(State& st, Frames& f, T* outL, T* outR, int32_t i0, int32_t j) {
        const Pair r = f.r[j];
        Pair out, shown;
        gainAndShown(r, f.y[j], f.E[j], f.P[j], Pair::splat(f.t[j]), Pair::splat(f.og[j]), out,
                     shown);
        // Merged into lane pair 0 of the two-frame holds (max and min are exact).
        st.inAbs = max(st.inAbs, Quad::join(abs(r), Pair::zero()));
        st.gr = min(st.gr, Quad::join(shown, Pair::splat(1.0)));
        const Pair in = r * k_.inFactor;
        st.inMS = stepMeanSquare(st.inMS, in * in, k_.rmsC);
        Pair oSq;
        if (!k_.meterOvs) {
            const Pair o = roundToFloat(abs(out));
            st.outPk = max(st.outPk, Quad::join(o, Pair::zero()));
            oSq = o * o;
        } else {
            oSq = meterOversampled(st, out);
        }
        st.outMS = stepMeanSquare(st.outMS, oSq, k_.rmsC);
        if (k_.quantize) {
            f.pendingOut[j] = out;
            return;
        }
        out = clampFullScale(out);
        outR[i0 + j] = static_cast<T>(out.r());
        outL[i0 + j] = static_cast<T>(out.l());
    }

    // Frame j of the pending sub-block: the requantizer and the output.
    ZELTO_PASS void finishFrame(State& st, Frames& f, T* outL, T* outR, int32_t j) {
        const Pair out = clampFullScale(requantize(st, f.pendingOut[j]));
        outR[f.pendingI0 + j] = static_cast<T>(out.r());
        outL[f.pendingI0 + j] = static_cast<T>(out.l());
    }

    // The output meter through the half-sample interpolator: the peak of the samples
    // and of the points between them; returns the square for the mean square.
    ZELTO_PASS Pair meterOversampled(State& st, Pair out) {
        out.store(b_.meterRing + 2 * st.meterIdx);
        out.store(b_.meterRing + 2 * (st.meterIdx + kInterpRing));
        const double* oldest = b_.meterRing + 2 * (st.meterIdx + 1);
        const Pair s = k_.halfSample(oldest, k_.tapsPair);
        const Pair c = Pair::load(oldest + 2 * 32);
        const Pair pk = max(roundToFloat(abs(s)), roundToFloat(abs(c)));
        st.outPk = max(st.outPk, Quad::join(pk, Pair::zero()));
        st.meterIdx = (st.meterIdx + 1) & (kInterpRing - 1);
        return c * c;
    }

    // The requantizer: Autoblack, error feedback through the noise-shaping set, TPDF
    // dither and truncation to the word length.
    ZELTO_PASS Pair requantize(State& st, Pair out) {
        if (!k_.autoblack) {
            st.bg = 1.0;
        } else {
            const Pair ao = abs(out);
            st.bg = std::max(ao.l(), ao.r()) > kSilence ? 1.0 : st.bg - st.bg * k_.blackC;
        }
        st.bg = st.bg + kFlush - kFlush;
        // The newest error is kept in a register; the all-zero set needs no sum.
        // v = out + f, with f the feedback: the older errors are summed (in two partial
        // sums) and added to out first, the newest error's term last, so only a
        // multiply and an add lie between one sample's error and the next v.
        Pair v = out;
        if (k_.shaping) {
            const double* e = b_.nsError + 2 * (st.nsIdx + kNsTaps);  // e[-2k]: k samples older
            Pair fa = Pair::load(e - 2 * 11) * k_.ns[11];
            Pair fb = Pair::load(e - 2 * 10) * k_.ns[10];
#pragma GCC unroll 4
            for (int k = 9; k >= 3; k -= 2) {
                fa = fa + Pair::load(e - 2 * k) * k_.ns[k];
                fb = fb + Pair::load(e - 2 * (k - 1)) * k_.ns[k - 1];
            }
            fa = fa + Pair::load(e - 2) * k_.ns[1];
            v = (out + (fa + fb)) + st.lastErr * k_.ns[0];
        }
        if (++st.nsIdx >= kNsTaps) st.nsIdx = 0;
        // Draws r1, r2 for the left channel, r3, r4 for the right, as (r1, r3), (r2, r4).
        uint32_t u[4];
        for (int d = 0; d < 4; ++d) u[d] = nextDitherWord(st.rng);
        const Pair ra = uniformFromWords(u[0], u[2]), rb = uniformFromWords(u[1], u[3]);
        const Pair dither = (ra + rb) * 0.5;
        const Pair hP = Pair::splat(k_.h);
        const Pair z = dither + v * k_.h + hP;
        Pair yq, err;
        if (allLessEqual(abs(v), Pair::splat(kQuantizerRange))) {
            yq = (truncInt32(z) - hP) * k_.invH;
            err = yq - v;
        } else {
            // Saturate instead of wrapping where the 32-bit conversion would overflow,
            // and keep the error bounded so an overload cannot run away through the
            // feedback.
            const Pair zc = min(max(z, Pair::splat(-2147483648.0)), Pair::splat(2147483647.0));
            yq = (truncInt32(zc) - hP) * k_.invH;
            err = min(max(yq - v, Pair::splat(-1.0)), Pair::splat(1.0));
        }
        err.store(b_.nsError + 2 * st.nsIdx);
        err.store(b_.nsError + 2 * (st.nsIdx + kNsTaps));
        st.lastErr = err;
        return yq * st.bg;
    }

    EngineState& e_;
    // A local copy: Pair stores may alias anything, which would otherwise force the
    // buffer pointers to be reloaded from the object after every store.
    const EngineState::Buffers b_;
    Settings k_;
};

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

// The same loop twice: for any x86-64, and with AVX2/BMI2 encodings (256-bit Quads,
// three-operand forms) where the processor has them. Neither enables FMA, so both
// round every operation alike and give identical results.
template <typename T>
void EngineState::runLimiterBase(const T* inL, const T* inR, T* outL, T* outR, int32_t frames) {
    if (plainSettings()) {
        LimiterBlock<false, true, T>(*this).run(inL, inR, outL, outR, frames);
    } else {
        LimiterBlock<false, false, T>(*this).run(inL, inR, outL, outR, frames);
    }
}

template <typename T>
ZELTO_TARGET_WIDE void EngineState::runLimiterAvx2(const T* inL, const T* inR, T* outL, T* outR,
                                                   int32_t frames) {
    if (plainSettings()) {
        LimiterBlock<true, true, T>(*this).run(inL, inR, outL, outR, frames);
    } else {
        LimiterBlock<true, false, T>(*this).run(inL, inR, outL, outR, frames);
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
