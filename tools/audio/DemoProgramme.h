// The built-in test programme of `zelto demo`: a deterministic, music-like
// stereo mix (kick, snare, hats, bass, chords) with short bursts just below a
// quarter of the sample rate whose samples miss their crests, so the true
// peak lies well above the sample peak. Same samples on every run and
// machine build; nothing random comes from outside.
#pragma once

#include <vector>

namespace zelto {

struct DemoProgramme {
    int sampleRate;
    std::vector<double> frames;  // interleaved stereo
};

/// `seconds` of programme whose sample peak is exactly `peakDb` dBFS.
DemoProgramme makeDemoProgramme(int sampleRate = 44100, double seconds = 30.0, double peakDb = 6.0);

}  // namespace zelto
