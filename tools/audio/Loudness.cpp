// Integrated loudness for searches; see Loudness.h.
#include "tools/audio/Loudness.h"

#include <cmath>
#include <limits>

namespace zelto {

namespace {

constexpr double kPi = 3.14159265358979323846;

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
        if (++inSegment_ == hop_) {
            segments_.push_back(segment_);
            if (segments_.size() > 4) segments_.erase(segments_.begin());
            if (segments_.size() == 4) {
                blocks_.push_back((segments_[0] + segments_[1] + segments_[2] + segments_[3]) /
                                  (4.0 * static_cast<double>(hop_)));
            }
            segment_ = 0.0;
            inSegment_ = 0;
        }
    }
}

double GatedLoudness::integrated() const {
    auto lufs = [](double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); };
    const double absolute = std::pow(10.0, (-70.0 + 0.691) / 10.0);
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
    return m > 0 ? lufs(gated / static_cast<double>(m)) : -std::numeric_limits<double>::infinity();
}

}  // namespace zelto
