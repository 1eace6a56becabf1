// Audio file reading and writing for zelto, on libsndfile. Reading accepts
// regular files only and never blocks on a FIFO or device. Writing goes
// through the platform's AtomicFileWriter: a temporary file in the
// destination's folder that replaces the destination only once everything
// has been written and synced, so a failed or interrupted run never leaves a
// half-written or truncated file behind.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileIO.h"
#include "tools/audio/AudioTags.h"

namespace zelto {

enum class SampleFormat { Float, Pcm16, Pcm24 };

const char* sampleFormatName(SampleFormat f);
/// Bits per sample as written: 16, 24, or 32 for float.
int sampleBits(SampleFormat f);

/// How PCM samples get their last bit. Float outputs are written as they are.
enum class Dither {
    None,  // rounded to the nearest step (exact for samples already on it)
    Tpdf,  // triangular dither of one step either way, then rounded
};

/// The container and sample format for OUT: container from the extension
/// (.wav, .flac, .aif/.aiff), samples from `requested` ("float", "pcm16",
/// "pcm24"), or when that is empty from the input's libsndfile format
/// (16 and 24-bit PCM stay so, fewer bits become 16, everything else float;
/// FLAC, which holds no float, gets 24). Throws a usage ToolError.
struct OutputFormat {
    int sndfileFormat = 0;  // SF_FORMAT_* container | sample type
    SampleFormat samples = SampleFormat::Float;
    std::string container;  // "WAV", "FLAC", "AIFF"
    Dither dither = Dither::None;
    /// A linear level no PCM sample may pass once dithered and rounded (the
    /// limiter's ceiling); 0 for none.
    double ceiling = 0.0;
};
OutputFormat chooseOutputFormat(const std::string& path, const std::string& requested,
                                int inputSndfileFormat = 0);

/// "title", "artist", ... for an SF_STR_* value.
const char* tagName(int sfString);

class AudioReader {
  public:
    /// Opens and checks the file; throws ToolError(kExitInput) with the reason.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    /// Frames the file holds as far as its data goes.
    int64_t declaredFrames() const { return info_.frames; }
    /// Frames the header announces when the file ends before its data chunk
    /// does (a truncated file); nothing for a complete file.
    std::optional<int64_t> announcedFrames() const { return announcedFrames_; }
    std::string describe() const;  // "WAV float 2 ch 44100 Hz"
    int sndfileFormat() const { return info_.format; }
    /// The file's title, artist, ... and broadcast information.
    AudioTags tags() const;

    /// Reads up to `frames` interleaved frames; returns how many were read,
    /// 0 at the end. Throws ToolError(kExitInput) on a read error.
    int64_t read(double* interleaved, int64_t frames);
    /// Back to the first frame; throws ToolError(kExitInput) when the file
    /// cannot seek.
    void rewind();

  private:
    void checkLength(int fd);

    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    uint64_t announcedBytes_ = 0;  // the data chunk's size when it runs past the end
    int64_t presentBytes_ = 0;     // the bytes of that chunk the file holds
    std::optional<int64_t> announcedFrames_;
};

class AudioWriter {
  public:
    /// Checks the destination and creates the temporary file in its folder;
    /// throws ToolError(kExitOutput) with the reason.
    /// `expectedFrames` only picks RF64 over WAV for data beyond 4 GB.
    AudioWriter(const std::string& path, const OutputFormat& format, int channels, int sampleRate,
                int64_t expectedFrames);
    /// Removes the temporary file unless commit() succeeded.
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    /// Stores the tags the output's container can hold; must come before the
    /// first write. Answers the names of those it could not keep.
    std::vector<std::string> setTags(const AudioTags& tags);
    /// Writes interleaved frames; samples must already be in range for PCM,
    /// which is quantised here with the format's dither.
    void write(const double* interleaved, int64_t frames);
    /// Finishes the file, syncs it and renames it over the destination.
    void commit();

  private:
    void discard();

    std::string path_;
    OutputFormat format_;
    int channels_ = 0;
    AtomicFileWriter file_;
    SNDFILE* sndfile_ = nullptr;
    std::vector<int> codes_;    // one block of PCM samples as libsndfile's ints
    uint64_t ditherState_ = 0;  // the dither's random sequence, the same every run
    int slotGuard_ = -1;        // entry in the signal handler's list of temporaries
    bool committed_ = false;
};

}  // namespace zelto
