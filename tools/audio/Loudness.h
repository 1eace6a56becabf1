// Integrated loudness (ITU-R BS.1770: K-weighting, 400 ms blocks every
// 100 ms, absolute gate at -70 LUFS, relative gate 10 LU under the mean) for
// mono and stereo, lean enough for a search that measures many renders of
// the same file; reports use libebur128 for every figure.
#pragma once

#include <cstdint>
#include <vector>

namespace zelto {

class GatedLoudness {
  public:
    GatedLoudness(int channels, int sampleRate);

    void add(const double* interleaved, int64_t frames);
    /// LUFS; -inf below the gates or shorter than one block.
    double integrated() const;

  private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };
    struct State {
        double s1 = 0.0, s2 = 0.0;  // shelf
        double t1 = 0.0, t2 = 0.0;  // high-pass
    };

    int channels_;
    int64_t hop_;  // frames in 100 ms
    Biquad shelf_{}, highPass_{};
    std::vector<State> state_;
    double segment_ = 0.0;  // sum of squares of the current 100 ms
    int64_t inSegment_ = 0;
    std::vector<double> segments_;  // the last four completed
    std::vector<double> blocks_;    // mean square of every 400 ms block
};

}  // namespace zelto
