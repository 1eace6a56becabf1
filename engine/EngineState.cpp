// EngineState: buffers, geometry, coefficients, settings, resets and meter polling.
// The per-sample paths live in LimiterPath.cpp and Calibration.cpp.
// allocate() is the only function that touches the heap; everything else here
// runs in bounded time without allocation, locks or I/O.
#include "engine/EngineState.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace zelto {

namespace {

constexpr double kPi = 3.141592653589793;

// Stereo buffer sizes [frames of two doubles].
constexpr size_t kInputDelayCap = kMaxWindowLength + kDetectorAlign;
constexpr size_t kAlignDelayCap = kDetectorAlign;
constexpr size_t kRingCap = 2 * kInterpRing;
constexpr size_t kAudioDelayCap = kMaxWindowLength;
constexpr size_t kLongBlockCap = kMaxWindowLength;
constexpr size_t kShortBlockCap = kMaxKernelLength;
constexpr size_t kSmootherCap = kMaxKernelLength;
constexpr size_t kFftCap = RealFft::kMaxLength;
constexpr size_t kPostDelayCap = kMaxPostDelay;
constexpr size_t kNsErrorCap = 2 * kNsTaps;
constexpr size_t kStereoFrames = kInputDelayCap + kAlignDelayCap + kRingCap + kAudioDelayCap +
                                 kLongBlockCap + (kLongBlockCap + 1) + kShortBlockCap +
                                 (kShortBlockCap + 1) + 2 + 2 * kFollowers + 3 * kSmootherCap +
                                 kFftCap + kPostDelayCap + kRingCap + kNsErrorCap;
constexpr size_t kSharedDoubles = kMaxKernelLength + RealFft::kMaxLength;
constexpr size_t kBlockDoubles = 2 * kStereoFrames + kSharedDoubles;
constexpr std::align_val_t kBlockAlign{64};

// Host rates outside this range are taken as 44100 Hz.
constexpr int32_t kMinRate = 5000;
constexpr int32_t kMaxRate = 200000;

bool finite(double v) {
    return std::isfinite(v);
}

double onePoleFromMs(double ms, double rate) {
    return 1.0 - std::exp(-1000.0 / (ms * rate));
}

}  // namespace

EngineState::EngineState() {
    useWideInstructions(true);
    for (auto& c : attackCoef_) c.store(0.0, kRelaxed);
    for (auto& c : releaseCoef_) c.store(0.0, kRelaxed);
    for (int ch = 0; ch < 2; ++ch) grHold_[ch].store(1.0, kRelaxed);
}

EngineState::~EngineState() {
    if (block_ != nullptr) ::operator delete[](block_, kBlockAlign);
}

bool EngineState::allocate() {
    if (block_ != nullptr) return true;
    block_ = static_cast<double*>(
        ::operator new[](kBlockDoubles * sizeof(double), kBlockAlign, std::nothrow));
    if (block_ == nullptr) return false;
    std::memset(block_, 0, kBlockDoubles * sizeof(double));
    carveBuffers();

    for (int32_t k = 0; k < kInterpTaps; ++k) {
        const double t = 31.5 - k;
        const double x = kPi * t;
        const double window = 0.35875 + 0.48829 * std::cos(x / 32.0) +
                              0.14128 * std::cos(2.0 * x / 32.0) +
                              0.01168 * std::cos(3.0 * x / 32.0);
        interpTaps_[k] = std::sin(x) / x * window;
        interpTapsPair_[2 * k] = interpTaps_[k];
        interpTapsPair_[2 * k + 1] = interpTaps_[k];
    }

    nsTableSelection_.store(-1, kRelaxed);
    sampleRateHz_.store(44100, kRelaxed);
    sampleRate_.store(kDefaultSampleRate, kRelaxed);
    rateClass_.store(0, kRelaxed);
    windowLength_.store(128, kRelaxed);
    s_.transShape.store(2, kRelaxed);
    applyShapeGeometry();
    computeRateCoefficients();
    computeAttackLadder();
    computeReleaseLadder();
    rebuildSmoothingKernel();
    suspendInit();
    return true;
}

void EngineState::carveBuffers() {
    double* p = block_;
    auto take = [&p](size_t frames) {
        double* r = p;
        p += 2 * frames;
        return r;
    };
    Buffers& b = buf_;
    b.inputDelay = take(kInputDelayCap);
    b.alignDelay = take(kAlignDelayCap);
    b.detRing = take(kRingCap);
    b.audioDelay = take(kAudioDelayCap);
    b.longBlock = take(kLongBlockCap);
    b.longSuffix = take(kLongBlockCap + 1);
    b.shortBlock = take(kShortBlockCap);
    b.shortSuffix = take(kShortBlockCap + 1);
    b.maxPrefix = take(2);
    b.s1 = take(kFollowers);
    b.s2 = take(kFollowers);
    b.smIn = reinterpret_cast<Pair*>(take(kSmootherCap));
    b.smOut = reinterpret_cast<Pair*>(take(kSmootherCap));
    b.overlap = reinterpret_cast<Pair*>(take(kSmootherCap));
    b.fftWork = reinterpret_cast<Pair*>(take(kFftCap));
    b.postDelay = take(kPostDelayCap);
    b.meterRing = take(kRingCap);
    b.nsError = take(kNsErrorCap);
    kernelTaps_ = p;
    p += kMaxKernelLength;
    kernelSpectrum_ = p;
    p += RealFft::kMaxLength;
    // Carving must end exactly at the end of the block.
    if (p != block_ + kBlockDoubles) std::abort();
}

// ---- geometry and coefficients ----

void EngineState::applyShapeGeometry() {
    const int32_t shape = std::clamp(s_.transShape.load(kRelaxed), 0, 2);
    static constexpr int32_t kBaseKernel[3] = {8, 16, 64};
    const int32_t n = kBaseKernel[shape] << rateClass_.load(kRelaxed);
    kernelLength_.store(n, kRelaxed);
    postDelayLength_.store(windowLength_.load(kRelaxed) - 2 * n + 2, kRelaxed);
}

// The computations below store with the default (sequentially consistent) order:
// together with the epoch in recomputeStable that puts the stores of the last pass
// after every earlier pass's, whichever threads ran them.
void EngineState::computeRateCoefficients() {
    const double rate = sampleRate_.load(kRelaxed);
    rmsCoef_.store(1.0 - std::pow(0.01, 1000.0 / (rate * 600.0)));
    gainSmoothCoef_.store(1.0 - std::exp(-188.49555921538757 / rate));
    blackCoef_.store(1.0 - std::exp(-1000.0 / (rate * 10.0)));
    levellerCoef_.store(1.0 - std::exp(-1000.0 / (rate * 1000.0)));
}

void EngineState::computeAttackLadder() {
    const double rate = sampleRate_.load(kRelaxed);
    for (int32_t k = 0; k < kFollowers; ++k) {
        const double t = 32.0 - k * (31.0 / 7.0);
        attackCoef_[k].store(onePoleFromMs(t, rate));
    }
}

void EngineState::computeReleaseLadder() {
    const double rate = sampleRate_.load(kRelaxed);
    const double r = s_.releaseMs.load(kRelaxed);
    for (int32_t k = 0; k < kFollowers; ++k) {
        const double t = r - k * (r - 2.0) / 7.0;
        releaseCoef_[k].store(onePoleFromMs(t, rate));
    }
}

void EngineState::selectNoiseShapingTable() {
    const int32_t type = s_.noiseShapeType.load(kRelaxed);
    if (type <= 0) {
        nsTableSelection_.store(-1);
        return;
    }
    const int32_t slot = nsRateSlot(sampleRateHz_.load(kRelaxed));
    // At a rate without its own sets the previous selection stays in force.
    if (slot >= 0) nsTableSelection_.store((type - 1) * kNsRateCount + slot);
}

template <typename Fn>
void EngineState::recomputeStable(Fn&& compute) {
    // Every writer stores its value, bumps the epoch, then computes. A pass that saw
    // the epoch unchanged from start to end read values no later writer has touched
    // yet; any writer after it computes again itself.
    uint32_t seen = coefEpoch_.load(std::memory_order_acquire);
    for (;;) {
        compute();
        const uint32_t now = coefEpoch_.load();
        if (now == seen) return;
        seen = now;
    }
}

double EngineState::nsCoefficient(int32_t k) const {
    if (k < 0 || k >= kNsTaps) return 0.0;
    return nsSetFor(nsTableSelection_.load(kRelaxed))[k];
}

bool EngineState::setSampleRate(double hostRate) {
    int32_t hz = 44100;
    if (hostRate >= kMinRate && hostRate < static_cast<double>(kMaxRate) + 1.0) {
        hz = static_cast<int32_t>(hostRate);  // truncation toward zero
        if (hz < kMinRate || hz > kMaxRate) hz = 44100;
    }
    const bool changed = hz != sampleRateHz_.load(kRelaxed);
    if (changed) {
        sampleRateHz_.store(hz, kRelaxed);
        const double rate = static_cast<double>(hz);
        sampleRate_.store(rate, kRelaxed);
        const int32_t rc = rate < 80000.0 ? 0 : (rate < 170000.0 ? 1 : 2);
        rateClass_.store(rc, kRelaxed);
        windowLength_.store(128 << rc, kRelaxed);
        applyShapeGeometry();
        coefEpoch_.fetch_add(1);
        recomputeStable([this] {
            computeReleaseLadder();
            selectNoiseShapingTable();
            computeAttackLadder();
            computeRateCoefficients();
        });
        nsIndex_ = 0;
        if (block_ != nullptr) rebuildSmoothingKernel();
    }
    if (block_ != nullptr) resetEngineState();
    return changed;
}

// ---- resets ----

void EngineState::resetEngineState() {
    if (block_ == nullptr) return;
    const Buffers& b = buf_;
    auto clear = [](double* p, size_t frames) { std::fill_n(p, 2 * frames, 0.0); };
    clear(b.inputDelay, kInputDelayCap);
    clear(b.alignDelay, kAlignDelayCap);
    clear(b.detRing, kRingCap);
    clear(b.audioDelay, kAudioDelayCap);
    clear(b.longBlock, kLongBlockCap);
    clear(b.longSuffix, kLongBlockCap + 1);
    clear(b.shortBlock, kShortBlockCap);
    clear(b.shortSuffix, kShortBlockCap + 1);
    clear(b.maxPrefix, 2);
    std::fill_n(b.smIn, kSmootherCap, Pair::zero());
    std::fill_n(b.smOut, kSmootherCap, Pair::zero());
    std::fill_n(b.overlap, kSmootherCap, Pair::zero());
    std::fill_n(b.fftWork, kFftCap, Pair::zero());
    clear(b.postDelay, kPostDelayCap);
    clear(b.meterRing, kRingCap);
    clear(b.nsError, kNsErrorCap);
    // Positions restart too, so no index can outlive a shorter geometry.
    inputIdx_ = alignIdx_ = detIdx_ = audioIdx_ = 0;
    longPos_ = shortPos_ = smPos_ = postIdx_ = meterIdx_ = 0;
}

void EngineState::suspendInit() {
    rng_.seed();
    nsIndex_ = 0;
    nsIndexResetPending_.store(false, kRelaxed);
    for (int ch = 0; ch < 2; ++ch) {
        inPeak_[ch].store(0.0, kRelaxed);
        outPeak_[ch].store(0.0, kRelaxed);
        inMeanSquare_[ch].store(0.0, kRelaxed);
        outMeanSquare_[ch].store(0.0, kRelaxed);
        grHold_[ch].store(1.0, kRelaxed);
        lastPoll_[kMeterInPeakL + ch].store(0.0f, kRelaxed);
        lastPoll_[kMeterOutPeakL + ch].store(0.0f, kRelaxed);
        lastPoll_[4 + ch].store(1.0f, kRelaxed);
        std::fill_n(pinkRows_[ch], 8, 0.0);
        pinkSum_[ch] = 0.0;
    }
    meterBlocksPolled_.store(meterBlocks_.load(kRelaxed), kRelaxed);
    if (buf_.s1 != nullptr) {
        std::fill_n(buf_.s1, 2 * kFollowers, 0.0);
        std::fill_n(buf_.s2, 2 * kFollowers, 0.0);
    }
    pinkCounter_ = 0;
    blackGain_ = 1e-20;
    driveGain_ = s_.driveTarget.load(kRelaxed);
    outputGain_ = s_.outputTarget.load(kRelaxed);
    levellerLevel_ = 0.00001;
    awaitingFirstBlock_ = true;
    resetEngineState();
}

// ---- settings ----
// Non-finite values are ignored, and values are kept inside the ranges in which
// the limiter's ceiling and the followers' stability hold.

void EngineState::setDriveTarget(double gain) {
    if (!finite(gain)) return;
    s_.driveTarget.store(std::clamp(gain, 0.0625, 16.0), kRelaxed);
}

void EngineState::setOutputTarget(double gain) {
    if (!finite(gain)) return;
    s_.outputTarget.store(std::clamp(gain, 0.0, 1.0), kRelaxed);
}

void EngineState::setAutoOut(int32_t on) {
    s_.autoOut.store(on != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setTransientMix(double s) {
    if (finite(s)) s_.transientMix.store(std::clamp(s, 0.0, 1.0), kRelaxed);
    coefEpoch_.fetch_add(1);
    recomputeStable([this] { computeAttackLadder(); });
}

void EngineState::setReleaseMs(double ms) {
    if (!finite(ms)) return;
    s_.releaseMs.store(std::clamp(ms, 0.001, 1.0e6), kRelaxed);
    coefEpoch_.fetch_add(1);
    recomputeStable([this] { computeReleaseLadder(); });
}

bool EngineState::setTransShape(int32_t index) {
    index = std::clamp(index, 0, 2);
    if (index == s_.transShape.load(kRelaxed)) return false;
    s_.transShape.store(index, kRelaxed);
    applyShapeGeometry();
    if (block_ != nullptr) rebuildSmoothingKernel();
    return true;
}

void EngineState::setLinkAmount(double v) {
    if (finite(v)) s_.linkAmount.store(std::clamp(v, 0.0, 1.0), kRelaxed);
}

void EngineState::setDetectorOversample(int32_t on) {
    s_.detectorOversample.store(on != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setDetectorOrder(int32_t order) {
    s_.detectorOrder.store(order != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setPowerOn(double on) {
    s_.powerOn.store(on != 0.0 ? 1.0 : 0.0, kRelaxed);
}

void EngineState::setScaleIndex(int32_t i) {
    s_.scaleIndex.store(std::clamp(i, 0, 2), kRelaxed);
}

void EngineState::setBitsIndex(int32_t i) {
    s_.bitsIndex.store(std::clamp(i, 0, 2), kRelaxed);
}

void EngineState::setNoiseShapeType(int32_t type) {
    s_.noiseShapeType.store(std::clamp(type, 0, 3), kRelaxed);
    nsIndexResetPending_.store(true, kRelaxed);
    coefEpoch_.fetch_add(1);
    recomputeStable([this] { selectNoiseShapingTable(); });
}

void EngineState::setCalibrateMode(int32_t mode) {
    s_.calibrateMode.store(std::clamp(mode, 0, 3), kRelaxed);
}

void EngineState::setLeveller(float setting, double threshold) {
    if (!std::isfinite(setting) || !finite(threshold)) return;
    s_.levellerSetting.store(setting, kRelaxed);
    // A threshold at or below zero would mute or invert the signal.
    s_.levellerThreshold.store(std::clamp(threshold, 1e-6, 1e6), kRelaxed);
}

void EngineState::setMeterOvs(int32_t on) {
    s_.meterOvs.store(on != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setQuantizeOn(int32_t on) {
    s_.quantizeOn.store(on != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setAutoblackOn(int32_t on) {
    s_.autoblackOn.store(on != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setAttShowMask(int32_t mask) {
    s_.attShowMask.store(mask & 7, kRelaxed);
    // Gains held under the old selection mean nothing under the new one.
    for (int ch = 0; ch < 2; ++ch) {
        grHold_[ch].store(1.0, kRelaxed);
        lastPoll_[4 + ch].store(1.0f, kRelaxed);
    }
}

void EngineState::setPostMeter(int32_t on) {
    s_.postMeter.store(on != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setMeterType(int32_t type) {
    s_.meterType.store(type != 0 ? 1 : 0, kRelaxed);
}

void EngineState::setAttZoom(int32_t zoom) {
    s_.attZoom.store(zoom != 0 ? 1 : 0, kRelaxed);
}

void EngineState::useWideInstructions(bool on) {
    useAvx2_ = on && processorHasAvx2();
    halfSample_ = useAvx2_ ? selectHalfSample() : halfSamplePlain;
}

// ---- meters ----

namespace {

void mergeMax(std::atomic<double>& held, double v) {
    double cur = held.load(std::memory_order_relaxed);
    while (v > cur && !held.compare_exchange_weak(cur, v, std::memory_order_relaxed)) {
    }
}

void mergeMin(std::atomic<double>& held, double v) {
    double cur = held.load(std::memory_order_relaxed);
    while (v < cur && !held.compare_exchange_weak(cur, v, std::memory_order_relaxed)) {
    }
}

}  // namespace

void EngineState::publishMeters(const double inPk[2], const double outPk[2], const double gain[2],
                                const double inMS[2], const double outMS[2]) {
    // Read-modify-write, never load-then-store: a poll swapping a hold out between
    // the two would otherwise be undone and the block it took counted twice, or a
    // block lost.
    for (int c = 0; c < 2; ++c) {
        inMeanSquare_[c].store(inMS[c], kRelaxed);
        outMeanSquare_[c].store(outMS[c], kRelaxed);
        mergeMax(inPeak_[c], inPk[c]);
        mergeMax(outPeak_[c], outPk[c]);
        mergeMin(grHold_[c], gain[c]);
    }
    meterBlocks_.fetch_add(1, std::memory_order_release);
}

MeterSnapshot EngineState::getMeterValues() {
    const uint32_t blocks = meterBlocks_.load(std::memory_order_acquire);
    if (meterBlocksPolled_.exchange(blocks, std::memory_order_acq_rel) != blocks) {
        for (int ch = 0; ch < 2; ++ch) {
            lastPoll_[kMeterInPeakL + ch].store(
                static_cast<float>(inPeak_[ch].exchange(0.0, kRelaxed)), kRelaxed);
            lastPoll_[kMeterOutPeakL + ch].store(
                static_cast<float>(outPeak_[ch].exchange(0.0, kRelaxed)), kRelaxed);
            lastPoll_[4 + ch].store(static_cast<float>(grHold_[ch].exchange(1.0, kRelaxed)),
                                    kRelaxed);
        }
    }
    MeterSnapshot m{};
    for (int ch = 0; ch < 2; ++ch) {
        m.values[kMeterInPeakL + ch] = lastPoll_[kMeterInPeakL + ch].load(kRelaxed);
        m.values[kMeterOutPeakL + ch] = lastPoll_[kMeterOutPeakL + ch].load(kRelaxed);
        m.values[kMeterInRmsL + ch] =
            static_cast<float>(std::sqrt(2.0 * inMeanSquare_[ch].load(kRelaxed)));
        m.values[kMeterOutRmsL + ch] =
            static_cast<float>(std::sqrt(2.0 * outMeanSquare_[ch].load(kRelaxed)));
        m.values[kMeterGainL + ch] = lastPoll_[4 + ch].load(kRelaxed);
    }
    return m;
}

}  // namespace zelto
