// Level statistics of a stream of interleaved frames for the render report:
// sample peak, true peak and integrated loudness (libebur128, ITU-R BS.1770)
// and the count of samples above a ceiling. Pure measurement: it never
// changes the samples it is given.
#pragma once

#include <ebur128.h>

#include <cstdint>

namespace zelto {

struct LevelStats {
    double samplePeakDb;  // dBFS, -inf for silence
    double truePeakDb;    // dBTP, NaN if unavailable
    double loudnessLufs;  // LUFS, -inf when below the gate or too short, NaN when it overflows
    int64_t overCeiling;  // samples (not frames) with |x| > ceiling
};

class SignalMeter {
  public:
    SignalMeter(int channels, int sampleRate, double ceilingDb);
    ~SignalMeter();
    SignalMeter(const SignalMeter&) = delete;
    SignalMeter& operator=(const SignalMeter&) = delete;

    void add(const double* interleaved, int64_t frames);
    LevelStats stats() const;

  private:
    int channels_;
    double ceiling_;  // linear
    double peak_ = 0.0;
    int64_t over_ = 0;
    ebur128_state* state_ = nullptr;
};

double toDb(double linear);

}  // namespace zelto
