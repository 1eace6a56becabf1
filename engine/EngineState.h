// EngineState: the whole signal engine of one plug-in instance — settings in real
// units, coefficients derived from them and from the sample rate, every delay line,
// tree, follower, smoother, requantizer and meter accumulator, and the two process
// paths (limiter and calibration noise).
//
// Threads: settings setters may run on any thread without the engine lock (each
// setting is one relaxed atomic word); setSampleRate, setTransShape, suspendInit and
// resetEngineState run under the shell's engine lock; process runs on the audio
// thread under the same lock and never allocates, locks, throws or does I/O.
// getMeterValues may run on any thread without the lock.
// A host may still run a block unguarded (after a lock timeout) while the geometry
// changes: every position is re-derived from the block's own lengths at its start,
// so such a block computes nonsense for a moment but never leaves a buffer.
// Depends on nothing but the C++ standard library.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "engine/DitherRng.h"
#include "engine/HalfSample.h"
#include "engine/NoiseShaping.h"
#include "engine/Pair.h"
#include "engine/RealFft.h"

namespace zelto {

// Ten meter values, linear (1.0 = full scale, or no gain reduction), in this order:
// input peak L, R; output peak L, R; input RMS L, R; output RMS L, R; gain L, R.
struct MeterSnapshot {
    float values[10];
};

enum MeterIndex : int32_t {
    kMeterInPeakL = 0,
    kMeterInPeakR,
    kMeterOutPeakL,
    kMeterOutPeakR,
    kMeterInRmsL,
    kMeterInRmsR,
    kMeterOutRmsL,
    kMeterOutRmsR,
    kMeterGainL,
    kMeterGainR,
};

// Capacities: the largest geometry any sample rate or shape can need.
inline constexpr int32_t kMaxWindowLength = 512;  // W at rateClass 2
inline constexpr int32_t kMaxKernelLength = 256;  // N for "soft" at rateClass 2
inline constexpr int32_t kDetectorAlign = 31;     // alignment delay, half the interpolator
inline constexpr int32_t kInterpTaps = 32;        // one half of the 64-tap interpolator
inline constexpr int32_t kInterpRing = 64;        // detector / output-meter rings
inline constexpr int32_t kFollowers = 8;          // envelope followers per stage
inline constexpr int32_t kMaxPostDelay = 512;
inline constexpr double kDefaultSampleRate = 44100.0;

template <bool kWide, bool kPlain, typename T>
class LimiterBlock;

class EngineState {
  public:
    EngineState();  // allocates nothing
    ~EngineState();
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    // Allocates every buffer at full capacity and prepares the 44100 Hz state
    // (taps, kernel, tables, coefficients, suspend initialisation). Returns false if
    // an allocation failed; calling it again once it succeeded changes nothing.
    bool allocate();
    bool isAllocated() const { return block_ != nullptr; }

    // ---- geometry (any thread) ----
    int32_t sampleRateHz() const { return sampleRateHz_.load(kRelaxed); }
    double sampleRate() const { return sampleRate_.load(kRelaxed); }
    int32_t rateClass() const { return rateClass_.load(kRelaxed); }
    int32_t windowLength() const { return windowLength_.load(kRelaxed); }
    int32_t kernelLength() const { return kernelLength_.load(kRelaxed); }
    int32_t postDelayLength() const { return postDelayLength_.load(kRelaxed); }
    int32_t latencySamples() const { return windowLength() + kDetectorAlign; }

    // Under the engine lock, after suspendInit(). Rates outside 5000 … 200000 Hz (and
    // NaN) count as 44100. Re-derives geometry, coefficients, kernel and table
    // selection only when the integer rate changed; always clears the processing state.
    // Returns true when the rate changed.
    bool setSampleRate(double hostRate);
    // Under the engine lock: generator seeds, indices, meters and holds, smoothed gains
    // to their targets, followers, leveller, blackGain, then resetEngineState().
    // The first block processed afterwards starts its smoothed gains at the targets
    // in force then, so settings made between a suspend and the first block (in any
    // order) never glide through the ceiling.
    void suspendInit();
    // Under the engine lock: zero every delay line, ring, buffer, tree and error ring.
    void resetEngineState();

    // ---- settings in real units (any thread, no lock) ----
    void setDriveTarget(double gain);
    void setOutputTarget(double gain);
    void setAutoOut(int32_t on);
    void setTransientMix(double s);  // also recomputes the attack ladder
    void setReleaseMs(double ms);    // also recomputes the release ladder
    // Under the engine lock. Returns whether the shape changed (the caller then runs
    // suspendInit()).
    bool setTransShape(int32_t index);
    void setLinkAmount(double v);
    void setDetectorOversample(int32_t on);
    void setDetectorOrder(int32_t order);
    void setPowerOn(double on);
    void setScaleIndex(int32_t i);
    void setBitsIndex(int32_t i);
    void setNoiseShapeType(int32_t type);
    void setCalibrateMode(int32_t mode);
    void setLeveller(float setting, double threshold);
    void setMeterOvs(int32_t on);
    void setQuantizeOn(int32_t on);
    void setAutoblackOn(int32_t on);
    void setAttShowMask(int32_t mask);  // also both grHold = 1.0
    void setPostMeter(int32_t on);
    void setMeterType(int32_t type);  // kept for the editor only
    void setAttZoom(int32_t zoom);    // kept for the editor only

    // ---- setting getters (any thread) ----
    double driveTarget() const { return s_.driveTarget.load(kRelaxed); }
    double outputTarget() const { return s_.outputTarget.load(kRelaxed); }
    int32_t autoOut() const { return s_.autoOut.load(kRelaxed); }
    double transientMix() const { return s_.transientMix.load(kRelaxed); }
    double releaseMs() const { return s_.releaseMs.load(kRelaxed); }
    int32_t transShape() const { return s_.transShape.load(kRelaxed); }
    double linkAmount() const { return s_.linkAmount.load(kRelaxed); }
    int32_t detectorOversample() const { return s_.detectorOversample.load(kRelaxed); }
    int32_t detectorOrder() const { return s_.detectorOrder.load(kRelaxed); }
    double powerOn() const { return s_.powerOn.load(kRelaxed); }
    int32_t scaleIndex() const { return s_.scaleIndex.load(kRelaxed); }
    int32_t bitsIndex() const { return s_.bitsIndex.load(kRelaxed); }
    int32_t noiseShapeType() const { return s_.noiseShapeType.load(kRelaxed); }
    int32_t calibrateMode() const { return s_.calibrateMode.load(kRelaxed); }
    float levellerSetting() const { return s_.levellerSetting.load(kRelaxed); }
    double levellerThreshold() const { return s_.levellerThreshold.load(kRelaxed); }
    int32_t meterOvs() const { return s_.meterOvs.load(kRelaxed); }
    int32_t quantizeOn() const { return s_.quantizeOn.load(kRelaxed); }
    int32_t autoblackOn() const { return s_.autoblackOn.load(kRelaxed); }
    int32_t attShowMask() const { return s_.attShowMask.load(kRelaxed); }
    int32_t postMeter() const { return s_.postMeter.load(kRelaxed); }
    int32_t meterType() const { return s_.meterType.load(kRelaxed); }
    int32_t attZoom() const { return s_.attZoom.load(kRelaxed); }

    // ---- coefficients and tables (any thread) ----
    double attackCoef(int32_t k) const { return attackCoef_[clampFollower(k)].load(kRelaxed); }
    double releaseCoef(int32_t k) const { return releaseCoef_[clampFollower(k)].load(kRelaxed); }
    double gainSmoothCoef() const { return gainSmoothCoef_.load(kRelaxed); }
    double levellerCoef() const { return levellerCoef_.load(kRelaxed); }
    double rmsCoef() const { return rmsCoef_.load(kRelaxed); }
    double blackCoef() const { return blackCoef_.load(kRelaxed); }
    double interpTap(int32_t k) const { return interpTaps_[k & (kInterpTaps - 1)]; }
    // Time-domain smoothing kernel (kernelLength() taps, unit sum); under the lock.
    const double* smoothingKernel() const { return kernelTaps_; }
    // Selected noise-shaping set: -1 = the all-zero set, else type·6 + rate slot.
    int32_t nsTableSelection() const { return nsTableSelection_.load(kRelaxed); }
    double nsCoefficient(int32_t k) const;

    // ---- running state, for tests and the shell (audio thread or under the lock) ----
    double driveGain() const { return driveGain_; }
    double outputGain() const { return outputGain_; }
    double levellerLevel() const { return levellerLevel_; }
    double blackGain() const { return blackGain_; }
    int32_t nsIndex() const { return nsIndex_; }
    DitherRng rngState() const { return rng_; }
    double grHold(int32_t ch) const { return grHold_[ch & 1].load(kRelaxed); }
    // True from suspendInit until the next processed block.
    bool awaitingFirstBlock() const { return awaitingFirstBlock_; }

    // ---- audio thread, under the engine lock ----
    // calibrateMode != 0 runs processCalibration (inputs unread), else processLimiter.
    template <typename T>
    void process(const T* const* inputs, T* const* outputs, int32_t frames, bool input1Connected,
                 bool output1Connected);
    template <typename T>
    void processLimiter(const T* const* inputs, T* const* outputs, int32_t frames,
                        bool input1Connected, bool output1Connected);
    template <typename T>
    void processCalibration(T* const* outputs, int32_t frames, bool output1Connected);

    // Any thread, no lock: takes the peak and gain holds accumulated since the last
    // poll (each processed block reaches exactly one poll) and the current RMS. A
    // poll with no block processed since the previous one repeats its values.
    MeterSnapshot getMeterValues();

    // For tests and benchmarks, under the lock: false runs the portable SSE2 code even
    // where the processor offers AVX2 (the default uses it when available). Results
    // are identical except for the order of the interpolation sums (rounding only).
    void useWideInstructions(bool on);
    bool wideInstructions() const { return useAvx2_; }

  private:
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;
    static int32_t clampFollower(int32_t k) { return k < 0 ? 0 : (k > 7 ? 7 : k); }

    void computeRateCoefficients();
    void computeAttackLadder();
    void computeReleaseLadder();
    void applyShapeGeometry();
    void rebuildSmoothingKernel();
    void selectNoiseShapingTable();
    void carveBuffers();
    // Runs a coefficient computation until no rate or setting it reads changed
    // meanwhile, so concurrent setters and rate changes (any thread, no lock) always
    // leave the coefficients of the latest values.
    template <typename Fn>
    void recomputeStable(Fn&& compute);
    // Audio thread, end of a block: merges the block's holds into the poll's.
    void publishMeters(const double inPk[2], const double outPk[2], const double gain[2],
                       const double inMS[2], const double outMS[2]);

    // The limiter loop's block (LimiterPath.cpp) reads the settings and works on the
    // state and buffers directly. kPlain: compiled without Oversample, MeterOvs,
    // Quantize and the second follower stage (the common case).
    template <bool kWide, bool kPlain, typename T>
    friend class LimiterBlock;
    // True when none of the settings the kPlain loop leaves out is on. Read once per
    // block, before the loop reads its settings: a change in between only means the
    // block runs as it began.
    bool plainSettings() const {
        return s_.detectorOversample.load(kRelaxed) == 0 && s_.meterOvs.load(kRelaxed) == 0 &&
               s_.quantizeOn.load(kRelaxed) == 0 && s_.detectorOrder.load(kRelaxed) == 0;
    }
    template <typename T>
    void runLimiterAvx2(const T* inL, const T* inR, T* outL, T* outR, int32_t frames);
    template <typename T>
    void runLimiterBase(const T* inL, const T* inR, T* outL, T* outR, int32_t frames);
    template <typename T>
    void runCalibration(T* outL, T* outR, int32_t frames, int32_t mode);

    // Settings written by the shell from any thread; read by the audio thread once per block.
    struct Settings {
        std::atomic<double> driveTarget{1.0};        // linear, 2^-4 … 2^4
        std::atomic<double> outputTarget{1.0};       // linear, ceiling
        std::atomic<int32_t> autoOut{0};             // 0/1
        std::atomic<double> transientMix{0.02};      // S, 0 … 0.5
        std::atomic<double> releaseMs{200.0};        // [ms]
        std::atomic<int32_t> transShape{2};          // 0 hard, 1 med, 2 soft
        std::atomic<double> linkAmount{1.0};         // 0 … 1
        std::atomic<int32_t> detectorOversample{0};  // 0/1
        std::atomic<int32_t> detectorOrder{0};       // 0 one stage, 1 two stages
        std::atomic<double> powerOn{1.0};            // 1.0 on, 0.0 bypass
        std::atomic<int32_t> scaleIndex{0};          // K-12, K-14, K-20
        std::atomic<int32_t> bitsIndex{1};           // 8, 16, 24 bits
        std::atomic<int32_t> noiseShapeType{0};      // off, A, B, C
        std::atomic<int32_t> calibrateMode{0};       // off, left, l+r uncorrelated, right
        std::atomic<float> levellerSetting{1.0f};    // exactly 1.0 = leveller off
        std::atomic<double> levellerThreshold{1.0};  // linear
        std::atomic<int32_t> meterOvs{0};            // 0/1
        std::atomic<int32_t> quantizeOn{0};          // 0/1
        std::atomic<int32_t> autoblackOn{0};         // 0/1
        std::atomic<int32_t> attShowMask{7};         // bit0 envelope, bit1 fast, bit2 leveller
        std::atomic<int32_t> postMeter{0};           // 0 pre-drive input meter, 1 post
        std::atomic<int32_t> meterType{0};           // editor only
        std::atomic<int32_t> attZoom{0};             // editor only
    };

    // Stereo buffers, interleaved: frame i of a buffer is (L, R) at elements 2i, 2i + 1.
    // All carved from one 64-byte aligned allocation.
    struct Buffers {
        double* inputDelay = nullptr;   // raw input, W + 31 frames
        double* alignDelay = nullptr;   // 31 frames
        double* detRing = nullptr;      // 64-frame ring stored twice, for contiguous reads
        double* audioDelay = nullptr;   // W frames
        double* longBlock = nullptr;    // long sliding max: this block, W frames
        double* longSuffix = nullptr;   // and the previous block's suffix maxima, W + 1
        double* shortBlock = nullptr;   // short sliding max: N frames
        double* shortSuffix = nullptr;  // N + 1 frames
        double* maxPrefix = nullptr;    // running maxima of the long and short blocks, 2 frames
        double* s1 = nullptr;           // 8 first-stage followers
        double* s2 = nullptr;           // 8 second-stage followers
        Pair* smIn = nullptr;           // current smoother block input, N frames
        Pair* smOut = nullptr;          // smoother outputs of the current block, N frames
        Pair* overlap = nullptr;        // tail of the previous block's convolution, N frames
        Pair* fftWork = nullptr;        // 2N frames
        double* postDelay = nullptr;    // postDelayLength frames
        double* meterRing = nullptr;    // output-meter ring, 64 frames stored twice
        double* nsError = nullptr;      // 12 past requantization errors, stored twice
    };

    Settings s_;

    // Geometry.
    std::atomic<int32_t> sampleRateHz_{44100};
    std::atomic<double> sampleRate_{kDefaultSampleRate};
    std::atomic<int32_t> rateClass_{0};
    std::atomic<int32_t> windowLength_{128};   // W [samples]
    std::atomic<int32_t> kernelLength_{64};    // N [samples]
    std::atomic<int32_t> postDelayLength_{2};  // W − 2N + 2 [samples]

    // Coefficients, each c in y ← y + (x − y)·c.
    std::array<std::atomic<double>, kFollowers> attackCoef_{};   // 32 ms … 1 ms
    std::array<std::atomic<double>, kFollowers> releaseCoef_{};  // releaseMs … 2 ms
    std::atomic<double> gainSmoothCoef_{0.0};                    // 30 Hz one-pole
    std::atomic<double> levellerCoef_{0.0};                      // 1 s
    std::atomic<double> rmsCoef_{0.0};                           // 1 % after 600 ms
    std::atomic<double> blackCoef_{0.0};                         // 10 ms
    std::atomic<int32_t> nsTableSelection_{-1};                  // -1 zero set
    double interpTaps_[kInterpTaps] = {};                        // outermost first

    RealFft fft_;                       // length 2N
    double* kernelTaps_ = nullptr;      // N taps, unit sum
    double* kernelSpectrum_ = nullptr;  // packed spectrum of the kernel, scaled by 1/(2N)
    double* block_ = nullptr;           // the single allocation
    Buffers buf_;
    alignas(32) double interpTapsPair_[2 * kInterpTaps] = {};  // interpTaps, each twice
    HalfSampleFn halfSample_ = nullptr;  // interpolation kernel for this processor
    bool useAvx2_ = false;               // the limiter loop compiled for AVX2 + BMI2
    double pinkRows_[2][8] = {};         // last uniform value per pink row, per channel
    double pinkSum_[2] = {};             // running sums of the rows

    // Running state (audio thread / under the lock).
    int32_t inputIdx_ = 0, alignIdx_ = 0, detIdx_ = 0, audioIdx_ = 0;
    int32_t longPos_ = 0, shortPos_ = 0, smPos_ = 0, postIdx_ = 0, meterIdx_ = 0;
    int32_t nsIndex_ = 0;
    uint32_t pinkCounter_ = 0;
    double driveGain_ = 1.0;       // linear, smoothed toward driveTarget
    double outputGain_ = 1.0;      // linear, smoothed toward outputTarget or 1/driveTarget
    double levellerLevel_ = 1e-5;  // linear, 1 s average of the driven peak
    double blackGain_ = 1e-20;     // Autoblack fade gain
    DitherRng rng_;

    bool awaitingFirstBlock_ = true;  // no block processed since suspendInit

    // Bumped after every change a coefficient depends on (rate, release, shape type).
    std::atomic<uint32_t> coefEpoch_{0};

    // Meters. The holds collect the maxima (peaks) and minima (gains) of the blocks
    // processed since the last poll: the audio thread merges each block in with an
    // atomic read-modify-write, a poll swaps them out for the empty value. The mean
    // squares are stored whole once per block.
    std::atomic<double> inPeak_[2] = {};
    std::atomic<double> outPeak_[2] = {};
    std::atomic<double> inMeanSquare_[2] = {};
    std::atomic<double> outMeanSquare_[2] = {};
    std::atomic<double> grHold_[2] = {};
    std::atomic<uint32_t> meterBlocks_{0};          // blocks merged so far
    std::atomic<uint32_t> meterBlocksPolled_{0};    // meterBlocks_ at the last poll that took
    std::atomic<float> lastPoll_[6] = {};           // peaks and gains that poll returned
    std::atomic<bool> nsIndexResetPending_{false};  // set by setNoiseShapeType
};

extern template void EngineState::process<float>(const float* const*, float* const*, int32_t, bool,
                                                 bool);
extern template void EngineState::process<double>(const double* const*, double* const*, int32_t,
                                                  bool, bool);
extern template void EngineState::processLimiter<float>(const float* const*, float* const*, int32_t,
                                                        bool, bool);
extern template void EngineState::processLimiter<double>(const double* const*, double* const*,
                                                         int32_t, bool, bool);
extern template void EngineState::processCalibration<float>(float* const*, int32_t, bool);
extern template void EngineState::processCalibration<double>(double* const*, int32_t, bool);

}  // namespace zelto
