// Audio file reading and writing for zelto, on libsndfile. Writing always goes
// to a temporary file in the destination folder that is renamed over the
// destination only once everything has been written and synced, so a failed
// or interrupted run never leaves a half-written or truncated file behind.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>

namespace zelto {

enum class SampleFormat { Float, Pcm16, Pcm24 };

const char* sampleFormatName(SampleFormat f);

/// The container and sample format for OUT: container from the extension
/// (.wav, .flac, .aif/.aiff), samples from `requested` ("float", "pcm16",
/// "pcm24" or empty for the container's default). Throws a usage ToolError.
struct OutputFormat {
    int sndfileFormat = 0;  // SF_FORMAT_* container | sample type
    SampleFormat samples = SampleFormat::Float;
    std::string container;  // "WAV", "FLAC", "AIFF"
};
OutputFormat chooseOutputFormat(const std::string& path, const std::string& requested);

class AudioReader {
  public:
    /// Opens and checks the file; throws ToolError(kExitInput) with the reason.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    /// Frames the header announces; the data may end earlier in a damaged file.
    int64_t declaredFrames() const { return info_.frames; }
    std::string describe() const;  // "WAV float 2 ch 44100 Hz"

    /// Reads up to `frames` interleaved frames; returns how many were read,
    /// 0 at the end. Throws ToolError(kExitInput) on a read error.
    int64_t read(double* interleaved, int64_t frames);

  private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

class AudioWriter {
  public:
    /// Creates the temporary file next to `path`; throws ToolError(kExitOutput).
    /// `expectedFrames` only picks RF64 over WAV for data beyond 4 GB.
    AudioWriter(const std::string& path, const OutputFormat& format, int channels, int sampleRate,
                int64_t expectedFrames);
    /// Removes the temporary file unless commit() succeeded.
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    /// Writes interleaved frames; samples must already be in range for PCM.
    void write(const double* interleaved, int64_t frames);
    /// Finishes the file, syncs it and renames it over the destination.
    void commit();
    const std::string& temporaryPath() const { return tempPath_; }

  private:
    void discard();

    std::string path_, tempPath_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
    int slotGuard_ = -1;  // entry in the signal handler's list of temporaries
    bool committed_ = false;
};

}  // namespace zelto
