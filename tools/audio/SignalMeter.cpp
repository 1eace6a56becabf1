// Level statistics for the render report; see SignalMeter.h.
#include "tools/audio/SignalMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelto {

double toDb(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

SignalMeter::SignalMeter(int channels, int sampleRate, double ceilingDb)
    : channels_(channels), ceiling_(std::pow(10.0, ceilingDb / 20.0)) {
    state_ = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                          EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
}

SignalMeter::~SignalMeter() {
    if (state_ != nullptr) ebur128_destroy(&state_);
}

void SignalMeter::add(const double* interleaved, int64_t frames) {
    const int64_t n = frames * channels_;
    for (int64_t i = 0; i < n; ++i) {
        const double a = std::fabs(interleaved[i]);
        peak_ = std::max(peak_, a);
        if (a > ceiling_) ++over_;
    }
    if (state_ != nullptr && frames > 0) {
        ebur128_add_frames_double(state_, interleaved, static_cast<size_t>(frames));
    }
}

LevelStats SignalMeter::stats() const {
    LevelStats s{};
    s.samplePeakDb = toDb(peak_);
    s.overCeiling = over_;
    s.truePeakDb = std::numeric_limits<double>::quiet_NaN();
    s.loudnessLufs = -std::numeric_limits<double>::infinity();
    if (state_ == nullptr) return s;
    double truePeak = 0.0;
    bool ok = true;
    for (int c = 0; c < channels_; ++c) {
        double p = 0.0;
        if (ebur128_true_peak(state_, static_cast<unsigned>(c), &p) != EBUR128_SUCCESS) ok = false;
        truePeak = std::max(truePeak, p);
    }
    // The true peak can never be below the sample peak; the interpolator's
    // own estimate may be, by rounding, on sample-exact peaks.
    if (ok) s.truePeakDb = toDb(std::max(truePeak, peak_));
    double lufs = 0.0;
    if (ebur128_loudness_global(state_, &lufs) == EBUR128_SUCCESS) s.loudnessLufs = lufs;
    // Energy that overflows gates every block away: that is not silence.
    if (!std::isfinite(s.loudnessLufs) && peak_ > 1e10) {
        s.loudnessLufs = std::numeric_limits<double>::quiet_NaN();
    }
    return s;
}

}  // namespace zelto
