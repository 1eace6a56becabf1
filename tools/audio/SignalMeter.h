// Level statistics of a stream of interleaved frames for the render report:
// sample peak, true peak by our accurate meter (TruePeak.h) and by the
// ITU-R BS.1770 meter of libebur128, the loudness figures delivery checks
// ask for (integrated, range, maximum momentary and short-term) and the
// count of samples above a ceiling. Pure measurement: it never changes the
// samples it is given.
#pragma once

#include <ebur128.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "tools/audio/Loudness.h"
#include "tools/audio/TruePeak.h"

namespace zelto {

struct LevelStats {
    double samplePeakDb;      // dBFS, -inf for silence
    double truePeakDb;        // dBTP by the accurate meter, NaN if not measured
    double bs1770TruePeakDb;  // dBTP by the BS.1770 interpolator, NaN if not measured
    double loudnessLufs;      // LUFS, -inf when below the gate or too short, NaN when it overflows
    double loudnessRangeLu;   // LU, NaN if not measured
    double maxMomentaryLufs;  // LUFS (400 ms windows); NaN if shorter or not measured
    double maxShortTermLufs;  // LUFS (3 s windows); NaN if shorter or not measured
    int64_t overCeiling;      // samples (not frames) with |x| > ceiling
    /// Peak-to-loudness ratio: the higher true peak over the integrated loudness.
    double peakToLoudnessDb() const;
    /// The higher of the two true-peak readings (NaN if neither was taken).
    double highestTruePeakDb() const;
};

class SignalMeter {
  public:
    /// What to measure. A search needs the integrated loudness and sample
    /// peak of each candidate (Loudness), and the accurate true peak of
    /// those near its target (Search); a report needs everything (Full), or
    /// everything but the BS.1770 true peak (Figures).
    enum class Detail { Loudness, Search, Figures, Full };

    SignalMeter(int channels, int sampleRate, double ceilingDb, Detail detail = Detail::Full);
    ~SignalMeter();
    SignalMeter(const SignalMeter&) = delete;
    SignalMeter& operator=(const SignalMeter&) = delete;

    void add(const double* interleaved, int64_t frames);
    /// The figures of everything added; call once, at the end.
    LevelStats stats();

  private:
    void addToLoudness(const double* interleaved, int64_t frames);
    void handOver();
    void work(int job);
    void finish();

    int channels_;
    int sampleRate_;
    Detail detail_;
    double ceiling_;  // linear
    double peak_ = 0.0;
    int64_t over_ = 0;
    int64_t frames_ = 0;
    int64_t hop_;  // 100 ms: how often the momentary and short-term maxima are taken
    double maxMomentary_, maxShortTerm_;
    ebur128_state* state_ = nullptr;               // loudness for a report
    std::optional<GatedLoudness> searchLoudness_;  // the same, leaner, for a search
    std::vector<ebur128_state*> bs1770Peak_;       // one per channel (Full)
    TruePeakMeter truePeak_;
    // A report's loudness figures and its BS.1770 true peak take longer than
    // the rest together: threads of their own (one for the loudness, one per
    // channel for the true peak) measure them from batches of frames while
    // the caller renders and reads its own peaks.
    std::vector<double> pending_, handed_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t batch_ = 0;  // the number of batches handed over
    int working_ = 0;     // workers still measuring the current one
    bool stop_ = false, finished_ = false;
};

double toDb(double linear);

}  // namespace zelto
