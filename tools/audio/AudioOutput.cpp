#include "tools/audio/AudioOutput.h"

#include <alsa/asoundlib.h>

namespace zelto {

namespace {

// ALSA prints its own complaints to stderr (a headless machine has no card);
// zelto says once, in its own words, that it paces with the clock instead.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

AudioOutput::~AudioOutput() {
    close();
}

bool AudioOutput::open(int sampleRate, std::string& why) {
    close();
    snd_lib_error_set_handler(quietAlsa);
    snd_pcm_t* pcm = nullptr;
    int err = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
    if (err < 0) {
        why = snd_strerror(err);
        return false;
    }
    // 100 ms of buffering: enough against scheduling hiccups, short enough
    // that a control moved in the window is heard at once.
    err = snd_pcm_set_params(pcm, SND_PCM_FORMAT_FLOAT_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2,
                             static_cast<unsigned>(sampleRate), 1, 100000);
    if (err < 0) {
        why = snd_strerror(err);
        snd_pcm_close(pcm);
        return false;
    }
    pcm_ = pcm;
    return true;
}

bool AudioOutput::write(const float* interleaved, int frames) {
    if (pcm_ == nullptr) return false;
    while (frames > 0) {
        snd_pcm_sframes_t n =
            snd_pcm_writei(pcm_, interleaved, static_cast<snd_pcm_uframes_t>(frames));
        if (n < 0) {
            if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) return false;
            continue;
        }
        interleaved += 2 * n;
        frames -= static_cast<int>(n);
    }
    return true;
}

void AudioOutput::close() {
    if (pcm_ == nullptr) return;
    snd_pcm_drain(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
}

}  // namespace zelto
