// Level statistics for the render report; see SignalMeter.h.
#include "tools/audio/SignalMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelto {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

double toDb(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -kInf;
}

double LevelStats::highestTruePeakDb() const {
    if (std::isnan(truePeakDb)) return bs1770TruePeakDb;
    if (std::isnan(bs1770TruePeakDb)) return truePeakDb;
    return std::max(truePeakDb, bs1770TruePeakDb);
}

double LevelStats::peakToLoudnessDb() const {
    const double peak = highestTruePeakDb();
    if (!std::isfinite(peak) || !std::isfinite(loudnessLufs)) return kNaN;
    return peak - loudnessLufs;
}

SignalMeter::SignalMeter(int channels, int sampleRate, double ceilingDb, Detail detail)
    : channels_(channels),
      sampleRate_(sampleRate),
      detail_(detail),
      ceiling_(std::pow(10.0, ceilingDb / 20.0)),
      hop_(std::max(1, sampleRate / 10)),
      maxMomentary_(-kInf),
      maxShortTerm_(-kInf),
      truePeak_(channels) {
    const int mode = detail == Detail::Full
                         ? EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK
                         : EBUR128_MODE_I;
    state_ =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), mode);
}

SignalMeter::~SignalMeter() {
    if (worker_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    if (state_ != nullptr) ebur128_destroy(&state_);
}

void SignalMeter::work() {
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return busy_ || stop_; });
        if (!busy_) return;
        lock.unlock();
        addToLoudness(handed_.data(), static_cast<int64_t>(handed_.size()) / channels_);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

void SignalMeter::handOver() {
    if (!worker_.joinable()) worker_ = std::thread([this] { work(); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
    std::swap(pending_, handed_);
    pending_.clear();
    busy_ = true;
    changed_.notify_all();
}

void SignalMeter::add(const double* interleaved, int64_t frames) {
    const int64_t n = frames * channels_;
    for (int64_t i = 0; i < n; ++i) {
        const double a = std::fabs(interleaved[i]);
        peak_ = std::max(peak_, a);
        if (a > ceiling_) ++over_;
    }
    if (detail_ != Detail::Loudness) truePeak_.add(interleaved, frames);
    if (state_ == nullptr || frames <= 0) return;
    if (detail_ != Detail::Full) {
        ebur128_add_frames_double(state_, interleaved, static_cast<size_t>(frames));
        frames_ += frames;
        return;
    }
    pending_.insert(pending_.end(), interleaved, interleaved + n);
    if (pending_.size() >= static_cast<size_t>(hop_ * 10 * channels_)) handOver();
}

void SignalMeter::addToLoudness(const double* interleaved, int64_t frames) {
    // The maxima are read every 100 ms of audio, as a meter's display would
    // update; short-term loudness only once a whole 3 s window exists.
    while (frames > 0) {
        const int64_t n = std::min(frames, hop_ - frames_ % hop_);
        ebur128_add_frames_double(state_, interleaved, static_cast<size_t>(n));
        frames_ += n;
        interleaved += n * channels_;
        frames -= n;
        if (frames_ % hop_ != 0) continue;
        double l = 0.0;
        if (frames_ * 10 >= 4LL * sampleRate_ &&
            ebur128_loudness_momentary(state_, &l) == EBUR128_SUCCESS) {
            maxMomentary_ = std::max(maxMomentary_, l);
        }
        if (frames_ >= 3LL * sampleRate_ &&
            ebur128_loudness_shortterm(state_, &l) == EBUR128_SUCCESS) {
            maxShortTerm_ = std::max(maxShortTerm_, l);
        }
    }
}

LevelStats SignalMeter::stats() {
    if (detail_ == Detail::Full && !finished_) {
        finished_ = true;
        if (!pending_.empty()) handOver();
        if (worker_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            changed_.notify_all();
            worker_.join();
        }
    }
    LevelStats s{};
    s.samplePeakDb = toDb(peak_);
    s.overCeiling = over_;
    s.truePeakDb = kNaN;
    s.bs1770TruePeakDb = kNaN;
    s.loudnessLufs = -kInf;
    s.loudnessRangeLu = kNaN;
    s.maxMomentaryLufs = kNaN;
    s.maxShortTermLufs = kNaN;
    // The true peak can never be below the sample peak; an interpolator's
    // own estimate may be, by rounding, on sample-exact peaks.
    if (detail_ != Detail::Loudness) s.truePeakDb = toDb(std::max(truePeak_.peak(), peak_));
    if (state_ == nullptr) return s;
    if (detail_ == Detail::Full) {
        double truePeak = 0.0;
        bool ok = true;
        for (int c = 0; c < channels_; ++c) {
            double p = 0.0;
            if (ebur128_true_peak(state_, static_cast<unsigned>(c), &p) != EBUR128_SUCCESS) {
                ok = false;
            }
            truePeak = std::max(truePeak, p);
        }
        if (ok) s.bs1770TruePeakDb = toDb(std::max(truePeak, peak_));
        double lra = 0.0;
        if (ebur128_loudness_range(state_, &lra) == EBUR128_SUCCESS) s.loudnessRangeLu = lra;
        s.maxMomentaryLufs = maxMomentary_;
        s.maxShortTermLufs = maxShortTerm_;
    }
    double lufs = 0.0;
    if (ebur128_loudness_global(state_, &lufs) == EBUR128_SUCCESS) s.loudnessLufs = lufs;
    // Energy that overflows gates every block away: that is not silence.
    if (!std::isfinite(s.loudnessLufs) && peak_ > 1e10) {
        s.loudnessLufs = kNaN;
    }
    return s;
}

}  // namespace zelto
