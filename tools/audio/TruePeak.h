// An accurate true-peak meter: the largest magnitude of the waveform a
// converter reconstructs from the samples, read on a 32-times oversampled
// grid through a long linear-phase interpolator (a Kaiser-windowed sinc, 48
// taps per phase, flat to within a few thousandths of a dB up to 0.45 of the
// sample rate). The samples are assumed to be preceded and followed by
// silence, as when a file is played from start to end.
//
// A full 32-times interpolation of every sample costs more than the plug-in
// does, so the meter first reads a 4-times grid (three interpolated points
// per sample), then the 8-times points only between samples whose 4-times
// reading comes within 1 dB of the largest seen, and the rest only where
// those come within 0.25 dB: between points a quarter (an eighth) of a
// sample apart, content below half the sample rate cannot rise more than
// 0.7 dB (0.17 dB), so nothing that could be the peak is skipped.
#pragma once

#include <cstdint>
#include <vector>

namespace zelto {

class TruePeakMeter {
  public:
    static constexpr int kOversampling = 32;
    static constexpr int kTapsPerPhase = 48;

    explicit TruePeakMeter(int channels);

    /// Interleaved frames, in order. Non-finite or huge samples read as
    /// an infinite peak.
    void add(const double* interleaved, int64_t frames);
    /// Linear true peak of all channels so far (including the ringing of
    /// the last samples into the silence after them).
    double peak() const;
    double peak(int channel) const;

  private:
    struct Channel {
        std::vector<float> x;  // kTapsPerPhase - 1 samples of history, then new ones
        double peak = 0.0;
    };
    void run(Channel& c) const;
    void flushed(Channel& c) const;

    int channels_;
    std::vector<Channel> ch_;
};

}  // namespace zelto
