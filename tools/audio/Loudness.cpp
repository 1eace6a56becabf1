// Loudness figures; see Loudness.h.
#include "tools/audio/Loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/audio/WidestSimd.h"

namespace zelto {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kAbsoluteGateLufs = -70.0;

double lufsOf(double meanSquare) {
    return -0.691 + 10.0 * std::log10(meanSquare);
}

double meanSquareOf(double lufs) {
    return std::pow(10.0, (lufs + 0.691) / 10.0);
}

}  // namespace

GatedLoudness::GatedLoudness(int channels, int sampleRate)
    : channels_(channels),
      hop_((sampleRate + 5) / 10),
      state_(static_cast<size_t>(channels > 0 ? channels : 0)) {
    // The K-weighting's two stages, designed for this rate from the analog
    // prototypes behind the standard's 48 kHz coefficients: a high shelf of
    // about +4 dB above 1.7 kHz (the head's effect) and a second-order high
    // pass at 38 Hz.
    const double rate = sampleRate;
    {
        const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(kPi * f0 / rate);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf_ = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                  (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                  (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(kPi * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
}

namespace {

// K-weighting of `kChannels` interleaved channels (all in one loop, so
// their recursions overlap), adding each channel's squares to its running
// sum (state[c][4]): summed in sample order whatever the blocks, so a
// stream measures the same however it is cut up. The state lives
// in locals for the whole run: kept in the object, every sample would wait
// for its own stores to come back (they could, as far as the compiler
// knows, alias the samples). Transposed direct form II, in double: the high
// pass at 38 Hz needs the precision at high rates.
template <int kChannels>
[[gnu::always_inline]] inline void kWeight(const double* x, int64_t n, int stride, const double* s,
                                           const double* h, double (*state)[5]) {
    double s1[kChannels], s2[kChannels], t1[kChannels], t2[kChannels], acc[kChannels];
    for (int c = 0; c < kChannels; ++c) {
        s1[c] = state[c][0], s2[c] = state[c][1], t1[c] = state[c][2], t2[c] = state[c][3];
        acc[c] = state[c][4];
    }
    for (int64_t i = 0; i < n; ++i) {
        for (int c = 0; c < kChannels; ++c) {
            const double v = x[i * stride + c];
            const double y = s[0] * v + s1[c];
            s1[c] = s[1] * v - s[3] * y + s2[c];
            s2[c] = s[2] * v - s[4] * y;
            const double z = h[0] * y + t1[c];
            t1[c] = h[1] * y - h[3] * z + t2[c];
            t2[c] = h[2] * y - h[4] * z;
            acc[c] += z * z;
        }
    }
    for (int c = 0; c < kChannels; ++c) {
        state[c][0] = s1[c], state[c][1] = s2[c], state[c][2] = t1[c], state[c][3] = t2[c];
        state[c][4] = acc[c];
    }
}

}  // namespace

// Two recursions per channel and sample, each as fast as its chain of
// multiply-adds: fused ones shorten it.
ZELTO_WIDEST_SIMD void GatedLoudness::add(const double* interleaved, int64_t frames) {
    const double s[5] = {shelf_.b0, shelf_.b1, shelf_.b2, shelf_.a1, shelf_.a2};
    const double h[5] = {highPass_.b0, highPass_.b1, highPass_.b2, highPass_.a1, highPass_.a2};
    while (frames > 0) {
        // Up to the end of the current 100 ms.
        const int64_t n = std::min(frames, hop_ - inSegment_);
        // Stereo in one loop; one channel at a time otherwise.
        const int together = channels_ == 2 ? 2 : 1;
        for (int first = 0; first < channels_; first += together) {
            double state[2][5];
            for (int c = 0; c < together; ++c) {
                const State& st = state_[static_cast<size_t>(first + c)];
                state[c][0] = st.s1, state[c][1] = st.s2, state[c][2] = st.t1, state[c][3] = st.t2;
                state[c][4] = st.energy;
            }
            if (together == 2) {
                kWeight<2>(interleaved, n, 2, s, h, state);
            } else {
                kWeight<1>(interleaved + first, n, channels_, s, h, state);
            }
            for (int c = 0; c < together; ++c) {
                state_[static_cast<size_t>(first + c)] = {state[c][0], state[c][1], state[c][2],
                                                          state[c][3], state[c][4]};
            }
        }
        inSegment_ += n;
        interleaved += n * channels_;
        frames -= n;
        if (inSegment_ == hop_) closeSegment();
    }
}

void GatedLoudness::closeSegment() {
    if (recent_.size() == kShortTermSegments) recent_.erase(recent_.begin());
    double segment = 0.0;
    for (State& st : state_) {
        segment += st.energy;
        st.energy = 0.0;
    }
    recent_.push_back(segment);
    inSegment_ = 0;
    const size_t n = recent_.size();
    const double hop = static_cast<double>(hop_);
    if (n >= 4) {
        blocks_.push_back((recent_[n - 4] + recent_[n - 3] + recent_[n - 2] + recent_[n - 1]) /
                          (4.0 * hop));
    }
    if (n == kShortTermSegments) {
        double window = 0.0;
        for (double e : recent_) window += e;
        shortTerm_.push_back(window / (static_cast<double>(kShortTermSegments) * hop));
    }
}

double GatedLoudness::integrated() const {
    const double absolute = meanSquareOf(kAbsoluteGateLufs);
    double sum = 0.0;
    int64_t n = 0;
    for (double z : blocks_) {
        if (z > absolute) sum += z, ++n;
    }
    if (n == 0) return -std::numeric_limits<double>::infinity();
    const double relative = sum / static_cast<double>(n) * std::pow(10.0, -10.0 / 10.0);
    double gated = 0.0;
    int64_t m = 0;
    for (double z : blocks_) {
        if (z > absolute && z > relative) gated += z, ++m;
    }
    return m > 0 ? lufsOf(gated / static_cast<double>(m))
                 : -std::numeric_limits<double>::infinity();
}

double GatedLoudness::maxMomentary() const {
    if (blocks_.empty()) return std::numeric_limits<double>::quiet_NaN();
    return lufsOf(*std::max_element(blocks_.begin(), blocks_.end()));
}

double GatedLoudness::maxShortTerm() const {
    if (shortTerm_.empty()) return std::numeric_limits<double>::quiet_NaN();
    return lufsOf(*std::max_element(shortTerm_.begin(), shortTerm_.end()));
}

double GatedLoudness::range() const {
    if (shortTerm_.empty()) return std::numeric_limits<double>::quiet_NaN();
    const double absolute = meanSquareOf(kAbsoluteGateLufs);
    double sum = 0.0;
    int64_t n = 0;
    for (double z : shortTerm_) {
        if (z > absolute) sum += z, ++n;
    }
    if (n == 0) return 0.0;
    // The relative gate is 20 LU under the mean of what passed the absolute one.
    const double relative = sum / static_cast<double>(n) * std::pow(10.0, -20.0 / 10.0);
    std::vector<double> levels;
    for (double z : shortTerm_) {
        if (z > absolute && z > relative) levels.push_back(lufsOf(z));
    }
    if (levels.size() < 2) return 0.0;
    std::sort(levels.begin(), levels.end());
    auto percentile = [&](double p) {
        const double at = p * static_cast<double>(levels.size() - 1);
        return levels[static_cast<size_t>(std::lround(at))];
    };
    return percentile(0.95) - percentile(0.10);
}

}  // namespace zelto
