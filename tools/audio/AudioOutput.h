// Playback to the default sound device through ALSA, for `zelto play`.
// ALSA because it is what every Linux system has underneath whatever sound
// server runs, it needs no server of its own, and its blocking write paces the
// audio thread at the device's rate. Optional at run time: without a device
// the player paces itself with the clock.
#pragma once

#include <string>

typedef struct _snd_pcm snd_pcm_t;

namespace zelto {

class AudioOutput {
  public:
    AudioOutput() = default;
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    /// Opens the default playback device for interleaved 32-bit float stereo
    /// at this rate; false (with the reason) when there is none.
    bool open(int sampleRate, std::string& why);
    bool isOpen() const { return pcm_ != nullptr; }
    /// Writes frames, blocking while the device is full; recovers from an
    /// underrun. False when the device failed for good.
    bool write(const float* interleaved, int frames);
    /// Lets what was written play out, then closes the device.
    void close();

  private:
    snd_pcm_t* pcm_ = nullptr;
};

}  // namespace zelto
