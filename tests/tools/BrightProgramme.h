// Generated programme material with the content that trips short true-peak
// interpolators: hi-hats (noise bursts with most energy near the top of the
// band), hard-clipped drums and a band-limited square-wave synth, over a
// bass and chords. Deterministic, at any rate, mono or stereo.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ToolTestSupport.h"

namespace zelto_test {

struct BrightOptions {
    int rate = 44100;
    int channels = 2;
    double seconds = 10.0;
    double gain = 0.5;        // before the drums' clipping
    double quietFrom = -1.0;  // seconds: a passage at quietDb from here...
    double quietTo = -1.0;    // ...to here
    double quietDb = -51.0;   // its level
    bool preLimited = false;  // hard-clipped at -0.3 dBFS, as a hot master is
    uint32_t seed = 0x2545F491u;
};

inline Audio brightProgramme(const BrightOptions& o) {
    constexpr double kPi = 3.14159265358979323846;
    const size_t frames = static_cast<size_t>(o.seconds * o.rate);
    Audio a{o.channels, o.rate, 0, std::vector<double>(frames * static_cast<size_t>(o.channels))};
    uint32_t s = o.seed;
    auto noise = [&] {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return static_cast<double>(s) / 2147483648.0 - 1.0;
    };
    double prev = 0.0;
    const double synthHz = 220.0;
    const int harmonics = static_cast<int>(0.45 * o.rate / synthHz);
    const double clip = std::pow(10.0, -0.3 / 20.0);
    for (size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / o.rate;
        const double beat = std::fmod(t, 0.5), eighth = std::fmod(t, 0.25);
        // A differentiated noise burst: a hi-hat's energy sits near the top.
        const double white = noise();
        const double hat = 0.9 * (white - prev) * std::exp(-eighth / 0.02);
        prev = white;
        const double kick =
            std::clamp(2.5 * std::exp(-beat / 0.08) * std::sin(2 * kPi * 60 * beat), -0.8, 0.8);
        double square = 0.0;
        if (std::fmod(t, 2.0) < 1.0) {
            for (int k = 1; k <= harmonics; k += 2) {
                square += std::sin(2 * kPi * k * synthHz * t) / k;
            }
            square *= 4.0 / kPi * 0.12;
        }
        const double bass = 0.25 * std::sin(2 * kPi * 55 * t);
        const double chords = 0.08 * (std::sin(2 * kPi * 330 * t) + std::sin(2 * kPi * 415.3 * t));
        double level = o.gain;
        if (t >= o.quietFrom && t < o.quietTo) level *= std::pow(10.0, o.quietDb / 20.0) / 0.5;
        for (int c = 0; c < o.channels; ++c) {
            const double pan = c == 0 ? 1.0 : 0.8;
            double v = level * (kick + bass + pan * hat + (1.8 - pan) * square + chords);
            if (o.preLimited) v = std::clamp(2.0 * v, -clip, clip);
            a.samples[n * static_cast<size_t>(o.channels) + static_cast<size_t>(c)] = v;
        }
    }
    return a;
}

}  // namespace zelto_test
