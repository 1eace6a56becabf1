// Audio file reading and writing for zelto; see AudioFile.h.
#include "tools/AudioFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tools/Signals.h"
#include "tools/Text.h"
#include "tools/ToolError.h"

namespace zelto {

namespace {

std::string extensionOf(const std::string& path) {
    return toLower(std::filesystem::path(path).extension().string());
}

std::string sndfileError(SNDFILE* file) {
    return sf_strerror(file);
}

}  // namespace

const char* sampleFormatName(SampleFormat f) {
    switch (f) {
        case SampleFormat::Pcm16:
            return "pcm16";
        case SampleFormat::Pcm24:
            return "pcm24";
        case SampleFormat::Float:
            break;
    }
    return "float";
}

OutputFormat chooseOutputFormat(const std::string& path, const std::string& requested) {
    OutputFormat f;
    const std::string ext = extensionOf(path);
    int container = 0;
    if (ext == ".wav") {
        container = SF_FORMAT_WAV;
        f.container = "WAV";
    } else if (ext == ".flac") {
        container = SF_FORMAT_FLAC;
        f.container = "FLAC";
    } else if (ext == ".aif" || ext == ".aiff") {
        container = SF_FORMAT_AIFF;
        f.container = "AIFF";
    } else {
        throw ToolError(kExitUsage, "cannot tell the output format from '" + path +
                                        "': use a .wav, .flac, .aif or .aiff name");
    }
    if (requested.empty()) {
        f.samples = container == SF_FORMAT_FLAC ? SampleFormat::Pcm24 : SampleFormat::Float;
    } else if (requested == "float") {
        if (container == SF_FORMAT_FLAC) {
            throw ToolError(kExitUsage,
                            "FLAC cannot store float samples: use --format pcm16 or pcm24");
        }
        f.samples = SampleFormat::Float;
    } else if (requested == "pcm16") {
        f.samples = SampleFormat::Pcm16;
    } else if (requested == "pcm24") {
        f.samples = SampleFormat::Pcm24;
    } else {
        throw ToolError(kExitUsage,
                        "--format takes float, pcm16 or pcm24, not '" + requested + "'");
    }
    const int sub = f.samples == SampleFormat::Float   ? SF_FORMAT_FLOAT
                    : f.samples == SampleFormat::Pcm16 ? SF_FORMAT_PCM_16
                                                       : SF_FORMAT_PCM_24;
    f.sndfileFormat = container | sub;
    return f;
}

AudioReader::AudioReader(const std::string& path) : path_(path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        throw ToolError(kExitInput, "cannot open input '" + path + "': " + std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) throw ToolError(kExitInput, "input '" + path + "' is a directory");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (file_ == nullptr) {
        throw ToolError(kExitInput, "cannot read input '" + path +
                                        "': not a supported audio file (" + sndfileError(nullptr) +
                                        ")");
    }
    if (info_.channels != 1 && info_.channels != 2) {
        const int ch = info_.channels;
        sf_close(file_);
        file_ = nullptr;
        throw ToolError(kExitInput, "input '" + path + "' has " + std::to_string(ch) +
                                        " channels; zelto renders mono and stereo files only");
    }
    if (info_.samplerate < 8000 || info_.samplerate > 768000) {
        const int rate = info_.samplerate;
        sf_close(file_);
        file_ = nullptr;
        throw ToolError(kExitInput, "input '" + path + "' has an unsupported sample rate of " +
                                        std::to_string(rate) + " Hz (8000 to 768000 Hz work)");
    }
}

AudioReader::~AudioReader() {
    if (file_ != nullptr) sf_close(file_);
}

std::string AudioReader::describe() const {
    SF_FORMAT_INFO major{}, sub{};
    major.format = info_.format & SF_FORMAT_TYPEMASK;
    sub.format = info_.format & SF_FORMAT_SUBMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major);
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &sub, sizeof sub);
    std::string s = major.extension ? toLower(major.extension) : "?";
    s += " ";
    s += sub.name ? sub.name : "?";
    return s;
}

int64_t AudioReader::read(double* interleaved, int64_t frames) {
    const sf_count_t got = sf_readf_double(file_, interleaved, frames);
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
        throw ToolError(kExitInput, "read error in '" + path_ + "': " + sndfileError(file_));
    }
    return got;
}

AudioWriter::AudioWriter(const std::string& path, const OutputFormat& format, int channels,
                         int sampleRate, int64_t expectedFrames)
    : path_(path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        throw ToolError(kExitOutput, "output '" + path + "' is a directory");
    }
    const fs::path target(path);
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::string pattern = (dir / ("." + target.filename().string() + ".zelto-XXXXXX")).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        throw ToolError(kExitOutput, "cannot write output '" + path + "' (in folder '" +
                                         dir.string() + "'): " + std::strerror(errno));
    }
    tempPath_ = pattern;
    slotGuard_ = registerTemporaryFile(tempPath_);
    // mkstemp creates the file private; the result should get the usual
    // permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);

    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format.sndfileFormat;
    // Plain WAV is what every program reads, but its sizes are 32-bit: data
    // that will not fit in 4 GB goes into RF64 instead.
    const int64_t bytesPerSample = format.samples == SampleFormat::Pcm16   ? 2
                                   : format.samples == SampleFormat::Pcm24 ? 3
                                                                           : 4;
    constexpr int64_t kWavLimit = 0xFFFFFFFFLL - (1LL << 20);
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV &&
        expectedFrames * channels * bytesPerSample > kWavLimit) {
        info.format = (info.format & ~SF_FORMAT_TYPEMASK) | SF_FORMAT_RF64;
    }
    if (!sf_format_check(&info)) {
        discard();
        throw ToolError(kExitOutput, "cannot write " + format.container + " with " +
                                         sampleFormatName(format.samples) + " samples at " +
                                         std::to_string(sampleRate) + " Hz");
    }
    file_ = sf_open_fd(fd_, SFM_WRITE, &info, SF_FALSE);
    if (file_ == nullptr) {
        const std::string why = sndfileError(nullptr);
        discard();
        throw ToolError(kExitOutput, "cannot write output '" + path + "': " + why);
    }
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The PEAK chunk carries a time stamp: without it, the same render gives
    // the same bytes every time.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

AudioWriter::~AudioWriter() {
    if (!committed_) discard();
}

void AudioWriter::discard() {
    if (file_ != nullptr) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        unregisterTemporaryFile(slotGuard_);
        slotGuard_ = -1;
    }
}

void AudioWriter::write(const double* interleaved, int64_t frames) {
    if (frames <= 0) return;
    if (sf_writef_double(file_, interleaved, frames) != frames) {
        throw ToolError(kExitOutput, "cannot write output '" + path_ + "': " + sndfileError(file_));
    }
}

void AudioWriter::commit() {
    sf_write_sync(file_);
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) {
        throw ToolError(kExitOutput,
                        "cannot finish output '" + path_ + "': " + sf_error_number(closed));
    }
    const bool synced = ::fsync(fd_) == 0;
    const int syncErrno = errno;
    const bool closedFd = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closedFd) {
        throw ToolError(kExitOutput, "cannot finish output '" + path_ +
                                         "': " + std::strerror(synced ? errno : syncErrno));
    }
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        throw ToolError(kExitOutput, "cannot move the finished output into place as '" + path_ +
                                         "': " + std::strerror(errno));
    }
    unregisterTemporaryFile(slotGuard_);
    slotGuard_ = -1;
    committed_ = true;
}

}  // namespace zelto
