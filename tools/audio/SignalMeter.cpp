// Level statistics for the render report; see SignalMeter.h.
#include "tools/audio/SignalMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/common/Parallel.h"

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

SignalMeter::SignalMeter(int channels, int sampleRate, double ceilingDb, Detail detail,
                         bool onThread)
    : channels_(channels),
      detail_(detail),
      onThread_(onThread),
      ceiling_(std::pow(10.0, ceilingDb / 20.0)),
      loudness_(channels, sampleRate),
      truePeak_(channels) {
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
    for (auto*& p : bs1770Peak_) {
        if (p != nullptr) ebur128_destroy(&p);
    }
}

void SignalMeter::work(size_t job) {
    std::vector<double> mono;
    uint64_t done = 0;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return batch_ > done || stop_; });
        if (batch_ == done) return;
        done = batch_;
        lock.unlock();
        const int64_t frames = static_cast<int64_t>(handed_.size()) / channels_;
        const size_t channel = job;
        if (job == bs1770Peak_.size()) {
            measure(handed_.data(), frames);
        } else if (ebur128_state* st = bs1770Peak_[channel]) {
            mono.resize(static_cast<size_t>(frames));
            for (int64_t i = 0; i < frames; ++i) {
                mono[static_cast<size_t>(i)] =
                    handed_[static_cast<size_t>(i) * static_cast<size_t>(channels_) + channel];
            }
            ebur128_add_frames_double(st, mono.data(), static_cast<size_t>(frames));
        }
        lock.lock();
        if (--working_ == 0) changed_.notify_all();
    }
}

void SignalMeter::handOver() {
    const size_t jobs = bs1770Peak_.size() + (onThread_ ? 1 : 0);
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return working_ == 0; });
    std::swap(pending_, handed_);
    pending_.clear();
    ++batch_;
    working_ = static_cast<int>(jobs);
    if (workers_.empty()) {
        for (size_t job = 0; job < jobs; ++job) workers_.emplace_back([this, job] { work(job); });
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

void SignalMeter::measure(const double* interleaved, int64_t frames) {
    const int64_t n = frames * channels_;
    for (int64_t i = 0; i < n; ++i) {
        const double a = std::fabs(interleaved[i]);
        peak_ = std::max(peak_, a);
        if (a > ceiling_) ++over_;
    }
    if (detail_ != Detail::Loudness && detail_ != Detail::LoudnessFigures) {
        truePeak_.add(interleaved, frames);
    }
    loudness_.add(interleaved, frames);
}

void SignalMeter::add(const double* interleaved, int64_t frames) {
    if (!onThread_) measure(interleaved, frames);
    if ((bs1770Peak_.empty() && !onThread_) || frames <= 0) return;
    pending_.insert(pending_.end(), interleaved, interleaved + frames * channels_);
    if (pending_.size() >= kBatchFrames * static_cast<size_t>(channels_)) handOver();
}

LevelStats SignalMeter::stats() {
    if (detail_ == Detail::Full || onThread_) finish();
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
    if (detail_ != Detail::Loudness && detail_ != Detail::LoudnessFigures) {
        s.truePeakDb = toDb(std::max(truePeak_.peak(), peak_));
    }
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
    if (detail_ == Detail::Figures || detail_ == Detail::Full ||
        detail_ == Detail::LoudnessFigures) {
        s.loudnessRangeLu = loudness_.range();
        s.maxMomentaryLufs = loudness_.maxMomentary();
        s.maxShortTermLufs = loudness_.maxShortTerm();
    }
    s.loudnessLufs = loudness_.integrated();
    // Energy that overflows gates every block away: that is not silence,
    // and no loudness figure of it means anything.
    if (!std::isfinite(s.loudnessLufs) && peak_ > 1e10) {
        s.loudnessLufs = s.loudnessRangeLu = s.maxMomentaryLufs = s.maxShortTermLufs = kNaN;
    }
    return s;
}

double bs1770TruePeakDb(const std::vector<float>& interleaved, int channels, int sampleRate,
                        int pieces) {
    // The interpolator's memory is a few dozen samples; this is plenty.
    constexpr int64_t kContext = 1024;
    const int64_t frames = channels > 0 ? static_cast<int64_t>(interleaved.size()) / channels : 0;
    if (frames == 0) return -kInf;
    pieces = static_cast<int>(std::clamp<int64_t>(pieces, 1, frames));
    const int64_t length = (frames + pieces - 1) / pieces;
    std::vector<double> peaks(static_cast<size_t>(pieces), 0.0);
    std::vector<char> failed(static_cast<size_t>(pieces), 0);
    forEachIndex(static_cast<size_t>(pieces), defaultWorkers(), [&](size_t piece) {
        const int64_t start = static_cast<int64_t>(piece) * length;
        const int64_t from = std::max<int64_t>(0, start - kContext);
        const int64_t to = std::min(frames, start + length + kContext);
        // All channels in one state: cheaper than one state each.
        ebur128_state* st =
            ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                         EBUR128_MODE_TRUE_PEAK);
        const float* at = interleaved.data() + from * channels;
        // The audio before the part only sets the interpolator going;
        // the reading is of the second call alone.
        bool ok =
            st != nullptr &&
            (start == from || ebur128_add_frames_float(st, at, static_cast<size_t>(start - from)) ==
                                  EBUR128_SUCCESS) &&
            ebur128_add_frames_float(st, at + (start - from) * channels,
                                     static_cast<size_t>(to - start)) == EBUR128_SUCCESS;
        double peak = 0.0;
        for (int c = 0; ok && c < channels; ++c) {
            double p = 0.0;
            ok = ebur128_prev_true_peak(st, static_cast<unsigned>(c), &p) == EBUR128_SUCCESS;
            peak = std::max(peak, p);
        }
        if (st != nullptr) ebur128_destroy(&st);
        peaks[piece] = peak;
        failed[piece] = ok ? 0 : 1;
    });
    if (std::find(failed.begin(), failed.end(), 1) != failed.end()) return kNaN;
    return toDb(*std::max_element(peaks.begin(), peaks.end()));
}

}  // namespace zelto
