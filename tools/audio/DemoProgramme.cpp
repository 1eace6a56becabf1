// The demo programme; see DemoProgramme.h. 120 beats per minute in 4/4, a
// four-chord loop (Am F C G), one bar per chord.
#include "tools/audio/DemoProgramme.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zelto {

namespace {

constexpr double kPi = 3.14159265358979323846;

/// xorshift32: the same noise everywhere, unlike the standard distributions.
class Noise {
  public:
    double next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<double>(state_) / 2147483648.0 - 1.0;
    }

  private:
    uint32_t state_ = 0x2545F491u;
};

double midiHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

}  // namespace

DemoProgramme makeDemoProgramme(int sampleRate, double seconds, double peakDb) {
    const double fs = sampleRate;
    const auto total = static_cast<size_t>(seconds * fs);
    std::vector<double> left(total, 0.0), right(total, 0.0);

    const double beat = 0.5;  // seconds
    const double bar = 4 * beat;
    // Chord roots and triads (MIDI notes): A minor, F, C, G.
    const int roots[4] = {33, 29, 36, 31};
    const int chords[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};

    Noise noise;
    double lastNoise = 0.0;
    double kickPhase = 0.0, bassPhase = 0.0;
    for (size_t n = 0; n < total; ++n) {
        const double t = static_cast<double>(n) / fs;
        const int barIndex = static_cast<int>(t / bar);
        const int chord = barIndex % 4;
        const double inBeat = std::fmod(t, beat);
        const int beatInBar = static_cast<int>(std::fmod(t, bar) / beat);
        const double inEighth = std::fmod(t, beat / 2);

        // Kick on every beat: a falling sine with a short click.
        const double kickHz = 48.0 + 110.0 * std::exp(-inBeat / 0.03);
        kickPhase += 2 * kPi * kickHz / fs;
        const double kick =
            std::sin(kickPhase) * std::exp(-inBeat / 0.22) + 0.3 * std::exp(-inBeat / 0.002);

        // Snare on beats 2 and 4: bright noise and a body tone.
        const double white = noise.next();
        const double bright = white - lastNoise;  // first difference: tilted up
        lastNoise = white;
        double snare = 0.0;
        if (beatInBar == 1 || beatInBar == 3) {
            snare = 0.45 * bright * std::exp(-inBeat / 0.10) +
                    0.5 * std::sin(2 * kPi * 185.0 * inBeat) * std::exp(-inBeat / 0.06);
        }
        const double hat = 0.08 * bright * std::exp(-inEighth / 0.025);

        // Bass in eighths on the chord's root: a few saw harmonics.
        bassPhase += 2 * kPi * midiHz(roots[chord]) / fs;
        double saw = 0.0;
        for (int h = 1; h <= 6; ++h) saw += std::sin(h * bassPhase) / h;
        const double bass =
            0.35 * saw * (1.0 - std::exp(-inEighth / 0.004)) * std::exp(-inEighth / 0.18);

        // Chords: two slightly detuned partials per note, one per side.
        double padL = 0.0, padR = 0.0;
        const double inBar = std::fmod(t, bar);
        const double padEnv = std::min(1.0, inBar / 0.15) * (0.7 + 0.3 * std::exp(-inBar / 0.6));
        for (int k = 0; k < 3; ++k) {
            const double f = midiHz(chords[chord][k]);
            padL += std::sin(2 * kPi * f * 0.998 * t + k);
            padR += std::sin(2 * kPi * f * 1.002 * t + 2 * k);
        }
        left[n] = 0.9 * kick + snare + hat * 0.8 + bass + 0.09 * padEnv * padL;
        right[n] = 0.9 * kick + snare * 0.9 + hat * 1.2 + bass + 0.09 * padEnv * padR;
    }

    double musicPeak = 0.0;
    for (size_t n = 0; n < total; ++n) {
        musicPeak = std::max({musicPeak, std::fabs(left[n]), std::fabs(right[n])});
    }

    // Bursts at a quarter of the sample rate, phase 45 degrees: every sample
    // lands at +-0.707 of the crest. One on the last eighth of every other
    // bar, 60 ms long with 5 ms raised-cosine edges.
    const double burstLength = 0.060, ramp = 0.005;
    const double crest = 1.6 * musicPeak;
    for (double start = bar - beat / 2; start + burstLength < seconds; start += 2 * bar) {
        const auto first = static_cast<size_t>(start * fs);
        const auto count = static_cast<size_t>(burstLength * fs);
        for (size_t i = 0; i < count && first + i < total; ++i) {
            const double u = static_cast<double>(i) / fs;
            double w = 1.0;
            if (u < ramp) w = 0.5 - 0.5 * std::cos(kPi * u / ramp);
            if (burstLength - u < ramp) w = 0.5 - 0.5 * std::cos(kPi * (burstLength - u) / ramp);
            const double s = crest * w * std::sin(kPi / 2 * static_cast<double>(i) + kPi / 4);
            left[first + i] += s;
            right[first + i] -= s;  // opposite polarity: wide, and no cancellation
        }
    }

    double peak = 0.0;
    for (size_t n = 0; n < total; ++n)
        peak = std::max({peak, std::fabs(left[n]), std::fabs(right[n])});
    const double gain = peak > 0.0 ? std::pow(10.0, peakDb / 20.0) / peak : 0.0;

    DemoProgramme p{sampleRate, std::vector<double>(2 * total)};
    for (size_t n = 0; n < total; ++n) {
        p.frames[2 * n] = left[n] * gain;
        p.frames[2 * n + 1] = right[n] * gain;
    }
    return p;
}

}  // namespace zelto
