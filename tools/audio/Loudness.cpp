// Integrated loudness for searches; see Loudness.h.
#include "tools/audio/Loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

void GatedLoudness::add(const double* interleaved, int64_t frames) {
    const Biquad s = shelf_, h = highPass_;
    for (int64_t i = 0; i < frames; ++i) {
        double sum = 0.0;
        for (int c = 0; c < channels_; ++c) {
            State& st = state_[static_cast<size_t>(c)];
            // Transposed direct form II, in double: the high pass at 38 Hz
            // needs the precision at high rates.
            const double x = interleaved[i * channels_ + c];
            const double y = s.b0 * x + st.s1;
            st.s1 = s.b1 * x - s.a1 * y + st.s2;
            st.s2 = s.b2 * x - s.a2 * y;
            const double z = h.b0 * y + st.t1;
            st.t1 = h.b1 * y - h.a1 * z + st.t2;
            st.t2 = h.b2 * y - h.a2 * z;
            sum += z * z;
        }
        segment_ += sum;
        if (++inSegment_ == hop_) closeSegment();
    }
}

void GatedLoudness::closeSegment() {
    if (recent_.size() == kShortTermSegments) recent_.erase(recent_.begin());
    recent_.push_back(segment_);
    segment_ = 0.0;
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
