// A whole input held in memory, for searches that render the same file many
// times: read and decoded once instead of once per render. Stored as 32-bit
// floats, which hold PCM of up to 24 bits and float files exactly; a file
// whose samples would lose precision (64-bit float, 32-bit PCM) or that is
// larger than the caller allows is not held, and the caller reads it from
// disk each time instead.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/audio/AudioTags.h"

namespace zelto {

struct AudioClip {
    int channels = 0;
    int sampleRate = 0;
    std::vector<float> samples;  // interleaved
    int sndfileFormat = 0;       // the file's, which an output keeps by default
    AudioTags tags;              // the file's, copied to an output
    int64_t frames() const {
        return channels > 0 ? static_cast<int64_t>(samples.size()) / channels : 0;
    }
};

/// The file as a clip, or null when it holds more than `maxBytes` of
/// samples, is truncated, or cannot be held exactly. Throws the reader's
/// ToolError(kExitInput) for a file that cannot be read.
std::shared_ptr<const AudioClip> loadClip(const std::string& path, int64_t maxBytes);

/// Reads a clip as AudioReader reads a file.
class ClipReader {
  public:
    explicit ClipReader(const AudioClip& clip) : clip_(clip) {}
    int channels() const { return clip_.channels; }
    int sampleRate() const { return clip_.sampleRate; }
    int64_t declaredFrames() const { return clip_.frames(); }
    std::optional<int64_t> announcedFrames() const { return std::nullopt; }
    int sndfileFormat() const { return clip_.sndfileFormat; }
    AudioTags tags() const { return clip_.tags; }
    int64_t read(double* interleaved, int64_t frames);

  private:
    const AudioClip& clip_;
    int64_t at_ = 0;
};

}  // namespace zelto
