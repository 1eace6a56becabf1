// Level statistics of a stream of interleaved frames for the render report:
// sample peak, true peak by our accurate meter (TruePeak.h) and by the
// ITU-R BS.1770 meter of libebur128, the loudness figures delivery checks
// ask for (integrated, range, maximum momentary and short-term) and the
// count of samples above a ceiling. Pure measurement: it never changes the
// samples it is given.
#pragma once

#include <ebur128.h>

#include <cstdint>
#include <optional>

#include "tools/audio/TruePeak.h"

namespace zelto {

struct LevelStats {
    double samplePeakDb;      // dBFS, -inf for silence
    double truePeakDb;        // dBTP by the accurate meter, NaN if not measured
    double bs1770TruePeakDb;  // dBTP by the BS.1770 interpolator, NaN if not measured
    double loudnessLufs;      // LUFS, -inf when below the gate or too short, NaN when it overflows
    double loudnessRangeLu;   // LU, NaN if not measured
    double maxMomentaryLufs;  // LUFS (400 ms), -inf when shorter; NaN if not measured
    double maxShortTermLufs;  // LUFS (3 s), -inf when shorter; NaN if not measured
    int64_t overCeiling;      // samples (not frames) with |x| > ceiling
    /// Peak-to-loudness ratio: the higher true peak over the integrated loudness.
    double peakToLoudnessDb() const;
    /// The higher of the two true-peak readings (NaN if neither was taken).
    double highestTruePeakDb() const;
};

class SignalMeter {
  public:
    /// What to measure. A search only needs the integrated loudness, the
    /// sample peak and the accurate true peak of each candidate.
    enum class Detail { Search, Full };

    SignalMeter(int channels, int sampleRate, double ceilingDb, Detail detail = Detail::Full);
    ~SignalMeter();
    SignalMeter(const SignalMeter&) = delete;
    SignalMeter& operator=(const SignalMeter&) = delete;

    void add(const double* interleaved, int64_t frames);
    LevelStats stats() const;

  private:
    void addToLoudness(const double* interleaved, int64_t frames);

    int channels_;
    int sampleRate_;
    Detail detail_;
    double ceiling_;  // linear
    double peak_ = 0.0;
    int64_t over_ = 0;
    int64_t frames_ = 0;
    int64_t hop_;  // 100 ms: how often the momentary and short-term maxima are taken
    double maxMomentary_, maxShortTerm_;
    ebur128_state* state_ = nullptr;
    TruePeakMeter truePeak_;
};

double toDb(double linear);

}  // namespace zelto
