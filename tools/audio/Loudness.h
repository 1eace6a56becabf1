// Loudness of mono and stereo streams after ITU-R BS.1770 (K-weighting;
// 400 ms blocks every 100 ms, gated at -70 LUFS and 10 LU under their mean)
// and EBU Tech 3342 (loudness range: 3 s short-term windows every 100 ms,
// the overlap its current version asks for, gated at -70 LUFS and 20 LU
// under their mean, from the 10th to the 95th percentile), with the maxima of momentary and
// short-term loudness a meter would show. Lean enough for a search that measures many renders of
// the same file: one pass, two biquads per channel, a figure every 100 ms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelto {

class GatedLoudness {
  public:
    GatedLoudness(int channels, int sampleRate);

    void add(const double* interleaved, int64_t frames);
    /// LUFS; -inf below the gates or shorter than one block.
    double integrated() const;
    /// Highest 400 ms loudness, LUFS; NaN shorter than one block.
    double maxMomentary() const;
    /// Highest 3 s loudness, LUFS; NaN shorter than one window.
    double maxShortTerm() const;
    /// Loudness range, LU; 0 when fewer than two windows pass the gates,
    /// NaN shorter than one window.
    double range() const;

  private:
    static constexpr std::size_t kShortTermSegments = 30;  // 3 s of 100 ms

    void closeSegment();

    struct Biquad {
        double b0, b1, b2, a1, a2;
    };
    struct State {
        double s1 = 0.0, s2 = 0.0;  // shelf
        double t1 = 0.0, t2 = 0.0;  // high-pass
        double energy = 0.0;        // sum of squares in the current 100 ms
    };

    int channels_;
    int64_t hop_;  // frames in 100 ms
    Biquad shelf_{}, highPass_{};
    std::vector<State> state_;
    int64_t inSegment_ = 0;
    std::vector<double> recent_;     // the last 30 completed 100 ms sums, oldest first
    std::vector<double> blocks_;     // mean square of every 400 ms block
    std::vector<double> shortTerm_;  // mean square of every 3 s window
};

}  // namespace zelto
