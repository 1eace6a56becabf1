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
      maxMomentary_(kNaN),
      maxShortTerm_(kNaN),
      truePeak_(channels) {
    if (detail == Detail::Loudness || detail == Detail::Search) {
        searchLoudness_.emplace(channels, sampleRate);
    } else {
        state_ =
            ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                         EBUR128_MODE_I | EBUR128_MODE_LRA);
    }
    if (detail == Detail::Full) {
        for (int c = 0; c < channels; ++c) {
            bs1770Peak_.push_back(
                ebur128_init(1, static_cast<unsigned long>(sampleRate), EBUR128_MODE_TRUE_PEAK));
        }
    }
}

SignalMeter::~SignalMeter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (auto& w : workers_) w.join();
    if (state_ != nullptr) ebur128_destroy(&state_);
    for (auto*& p : bs1770Peak_) {
        if (p != nullptr) ebur128_destroy(&p);
    }
}

void SignalMeter::work(int job) {
    std::vector<double> mono;
    uint64_t done = 0;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return batch_ > done || stop_; });
        if (batch_ == done) return;
        done = batch_;
        lock.unlock();
        const int64_t frames = static_cast<int64_t>(handed_.size()) / channels_;
        if (job == 0) {
            if (state_ != nullptr) addToLoudness(handed_.data(), frames);
        } else if (ebur128_state* st = bs1770Peak_[static_cast<size_t>(job - 1)]) {
            mono.resize(static_cast<size_t>(frames));
            for (int64_t i = 0; i < frames; ++i) {
                mono[static_cast<size_t>(i)] =
                    handed_[static_cast<size_t>(i * channels_ + job - 1)];
            }
            ebur128_add_frames_double(st, mono.data(), static_cast<size_t>(frames));
        }
        lock.lock();
        if (--working_ == 0) changed_.notify_all();
    }
}

void SignalMeter::handOver() {
    const int jobs = 1 + static_cast<int>(bs1770Peak_.size());
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return working_ == 0; });
    std::swap(pending_, handed_);
    pending_.clear();
    ++batch_;
    working_ = jobs;
    if (workers_.empty()) {
        for (int job = 0; job < jobs; ++job) workers_.emplace_back([this, job] { work(job); });
    }
    changed_.notify_all();
}

void SignalMeter::finish() {
    if (finished_) return;
    finished_ = true;
    if (!pending_.empty()) handOver();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return working_ == 0; });
        stop_ = true;
    }
    changed_.notify_all();
    for (auto& w : workers_) w.join();
    workers_.clear();
}

void SignalMeter::add(const double* interleaved, int64_t frames) {
    const int64_t n = frames * channels_;
    for (int64_t i = 0; i < n; ++i) {
        const double a = std::fabs(interleaved[i]);
        peak_ = std::max(peak_, a);
        if (a > ceiling_) ++over_;
    }
    if (detail_ != Detail::Loudness) truePeak_.add(interleaved, frames);
    if (searchLoudness_) {
        searchLoudness_->add(interleaved, frames);
        return;
    }
    if (state_ == nullptr || frames <= 0) return;
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
            maxMomentary_ = std::isnan(maxMomentary_) ? l : std::max(maxMomentary_, l);
        }
        if (frames_ >= 3LL * sampleRate_ &&
            ebur128_loudness_shortterm(state_, &l) == EBUR128_SUCCESS) {
            maxShortTerm_ = std::isnan(maxShortTerm_) ? l : std::max(maxShortTerm_, l);
        }
    }
}

LevelStats SignalMeter::stats() {
    if (detail_ == Detail::Figures || detail_ == Detail::Full) finish();
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
    if (searchLoudness_) {
        s.loudnessLufs = searchLoudness_->integrated();
        if (!std::isfinite(s.loudnessLufs) && peak_ > 1e10) s.loudnessLufs = kNaN;
        return s;
    }
    if (state_ == nullptr) return s;
    if (detail_ == Detail::Full) {
        double truePeak = 0.0;
        bool ok = !bs1770Peak_.empty();
        for (ebur128_state* st : bs1770Peak_) {
            double p = 0.0;
            if (st == nullptr || ebur128_true_peak(st, 0, &p) != EBUR128_SUCCESS) ok = false;
            truePeak = std::max(truePeak, p);
        }
        if (ok) s.bs1770TruePeakDb = toDb(std::max(truePeak, peak_));
    }
    if (detail_ == Detail::Figures || detail_ == Detail::Full) {
        double lra = 0.0;
        if (ebur128_loudness_range(state_, &lra) == EBUR128_SUCCESS) s.loudnessRangeLu = lra;
        s.maxMomentaryLufs = maxMomentary_;
        s.maxShortTermLufs = maxShortTerm_;
    }
    double lufs = 0.0;
    if (ebur128_loudness_global(state_, &lufs) == EBUR128_SUCCESS) s.loudnessLufs = lufs;
    // Energy that overflows gates every block away: that is not silence,
    // and no loudness figure of it means anything.
    if (!std::isfinite(s.loudnessLufs) && peak_ > 1e10) {
        s.loudnessLufs = s.loudnessRangeLu = s.maxMomentaryLufs = s.maxShortTermLufs = kNaN;
    }
    return s;
}

}  // namespace zelto
