// Inputs held in memory; see AudioClip.h.
#include "tools/audio/AudioClip.h"

#include <algorithm>

#include "tools/audio/AudioFile.h"

namespace zelto {

std::shared_ptr<const AudioClip> loadClip(const std::string& path, int64_t maxBytes) {
    AudioReader reader(path);
    if (reader.announcedFrames()) return nullptr;
    const int ch = reader.channels();
    const int64_t frames = reader.declaredFrames();
    if (frames < 0 || frames * ch > maxBytes / static_cast<int64_t>(sizeof(float))) return nullptr;
    auto clip = std::make_shared<AudioClip>();
    clip->channels = ch;
    clip->sampleRate = reader.sampleRate();
    clip->sndfileFormat = reader.sndfileFormat();
    clip->tags = reader.tags();
    clip->samples.reserve(static_cast<size_t>(frames * ch));
    std::vector<double> block(static_cast<size_t>(8192 * ch));
    for (;;) {
        const int64_t got = reader.read(block.data(), 8192);
        for (int64_t i = 0; i < got * ch; ++i) {
            const double v = block[static_cast<size_t>(i)];
            const float f = static_cast<float>(v);
            // Not exact, or not finite (which the render itself refuses
            // with the frame it found it at): read from disk instead.
            if (static_cast<double>(f) != v) return nullptr;
            clip->samples.push_back(f);
        }
        if (got < 8192) break;
        if (clip->frames() > frames) return nullptr;  // grew while read
    }
    if (clip->frames() != frames) return nullptr;
    return clip;
}

int64_t ClipReader::read(double* interleaved, int64_t frames) {
    const int64_t n = std::max<int64_t>(0, std::min(frames, clip_.frames() - at_));
    const float* src = clip_.samples.data() + at_ * clip_.channels;
    std::copy(src, src + n * clip_.channels, interleaved);
    at_ += n;
    return n;
}

}  // namespace zelto
