// Audio file reading and writing for zelto; see AudioFile.h.
#include "tools/audio/AudioFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "tools/common/ProcessSignals.h"
#include "tools/common/Text.h"
#include "tools/common/ToolError.h"

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

int sampleBits(SampleFormat f) {
    switch (f) {
        case SampleFormat::Pcm16:
            return 16;
        case SampleFormat::Pcm24:
            return 24;
        case SampleFormat::Float:
            break;
    }
    return 32;
}

namespace {

/// The output samples that keep what the input's format holds.
SampleFormat samplesLike(int inputSndfileFormat) {
    switch (inputSndfileFormat & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
            return SampleFormat::Pcm16;
        case SF_FORMAT_PCM_24:
            return SampleFormat::Pcm24;
        default:
            // Float, 32-bit PCM and the lossy formats: nothing is lost in float.
            return SampleFormat::Float;
    }
}

constexpr std::pair<int, const char*> kTagNames[] = {
    {SF_STR_TITLE, "title"},       {SF_STR_ARTIST, "artist"},       {SF_STR_ALBUM, "album"},
    {SF_STR_DATE, "date"},         {SF_STR_COMMENT, "comment"},     {SF_STR_TRACKNUMBER, "track"},
    {SF_STR_SOFTWARE, "software"}, {SF_STR_COPYRIGHT, "copyright"}, {SF_STR_GENRE, "genre"},
    {SF_STR_LICENSE, "license"},
};

}  // namespace

const char* tagName(int sfString) {
    for (const auto& [id, name] : kTagNames) {
        if (id == sfString) return name;
    }
    return "tag";
}

OutputFormat chooseOutputFormat(const std::string& path, const std::string& requested,
                                int inputSndfileFormat) {
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
        f.samples = samplesLike(inputSndfileFormat);
        if (container == SF_FORMAT_FLAC && f.samples == SampleFormat::Float) {
            f.samples = SampleFormat::Pcm24;
        }
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
    ReadError why = ReadError::None;
    const int fd = openRegularFile(path, &why);
    if (fd < 0) {
        const int openErrno = errno;
        if (why == ReadError::NotAFile) {
            throw ToolError(kExitInput, "input '" + path + "' is not a regular file");
        }
        throw ToolError(kExitInput,
                        "cannot open input '" + path +
                            "': " + std::strerror(why == ReadError::Missing ? ENOENT : openErrno));
    }
    checkLength(fd);
    // libsndfile owns the descriptor from here and closes it with the file.
    file_ = sf_open_fd(fd, SFM_READ, &info_, SF_TRUE);
    if (file_ == nullptr) {
        throw ToolError(kExitInput, "cannot read input '" + path +
                                        "': not a supported audio file (" + sndfileError(nullptr) +
                                        ")");
    }
    if (announcedBytes_ > 0) {
        int bytesPerSample = 0;
        switch (info_.format & SF_FORMAT_SUBMASK) {
            case SF_FORMAT_PCM_S8:
            case SF_FORMAT_PCM_U8:
            case SF_FORMAT_ULAW:
            case SF_FORMAT_ALAW:
                bytesPerSample = 1;
                break;
            case SF_FORMAT_PCM_16:
                bytesPerSample = 2;
                break;
            case SF_FORMAT_PCM_24:
                bytesPerSample = 3;
                break;
            case SF_FORMAT_PCM_32:
            case SF_FORMAT_FLOAT:
                bytesPerSample = 4;
                break;
            case SF_FORMAT_DOUBLE:
                bytesPerSample = 8;
                break;
            default:
                break;
        }
        const int64_t perFrame = static_cast<int64_t>(bytesPerSample) * info_.channels;
        int64_t announced = 0;
        // A damaged header may announce anything up to 2^64 bytes.
        constexpr uint64_t kMaxFrames = uint64_t{1} << 62;
        if (perFrame > 0) {
            announced = static_cast<int64_t>(
                std::min(announcedBytes_ / static_cast<uint64_t>(perFrame), kMaxFrames));
        } else if (presentBytes_ > 0) {
            announced = static_cast<int64_t>(
                std::min(static_cast<double>(info_.frames) * static_cast<double>(announcedBytes_) /
                             static_cast<double>(presentBytes_),
                         static_cast<double>(kMaxFrames)));
        }
        if (announced > info_.frames) announcedFrames_ = announced;
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

namespace {

uint32_t word32(const uint8_t* p, bool bigEndian) {
    return bigEndian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                     : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

uint64_t word64(const uint8_t* p) {
    return uint64_t(word32(p + 4, false)) << 32 | word32(p, false);
}

bool readAt(int fd, uint8_t* buffer, size_t size, int64_t offset) {
    return ::pread(fd, buffer, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

}  // namespace

// libsndfile quietly shortens a file whose data chunk runs past its end to
// the frames that are there; a render would then be shorter than the source
// with nothing said. The chunk sizes of WAV, RF64 and AIFF tell what the
// header announced: remember it when the file holds less.
void AudioReader::checkLength(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    const int64_t fileSize = st.st_size;
    uint8_t head[12];
    if (!readAt(fd, head, sizeof head, 0)) return;
    const bool riff = std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0 ||
                      std::memcmp(head, "RF64", 4) == 0;
    const bool aiff = std::memcmp(head, "FORM", 4) == 0 && (std::memcmp(head + 8, "AIFF", 4) == 0 ||
                                                            std::memcmp(head + 8, "AIFC", 4) == 0);
    if (!(riff && std::memcmp(head + 8, "WAVE", 4) == 0) && !aiff) return;
    const bool bigEndian = aiff || std::memcmp(head, "RIFX", 4) == 0;
    const bool rf64 = std::memcmp(head, "RF64", 4) == 0;
    const char* dataId = aiff ? "SSND" : "data";
    uint64_t rf64DataSize = 0;
    int64_t pos = 12;
    for (int chunks = 0; chunks < 4096 && pos + 8 <= fileSize; ++chunks) {
        uint8_t chunk[8 + 16];
        if (!readAt(fd, chunk, 8, pos)) return;
        uint64_t size = word32(chunk + 4, bigEndian);
        if (rf64 && std::memcmp(chunk, "ds64", 4) == 0 && size >= 16 &&
            readAt(fd, chunk + 8, 16, pos + 8)) {
            rf64DataSize = word64(chunk + 16);
        }
        if (std::memcmp(chunk, dataId, 4) == 0) {
            if (rf64 && size == 0xFFFFFFFFu) size = rf64DataSize;
            // Writers that stream without knowing the length leave 0 or all
            // ones: nothing was announced.
            if (size == 0 || (!rf64 && size == 0xFFFFFFFFu)) return;
            int64_t start = pos + 8;
            if (aiff) {
                // SSND starts with an offset to the samples and a block size.
                uint8_t offset[4];
                if (size < 8 || !readAt(fd, offset, 4, start)) return;
                const uint32_t skip = word32(offset, true);
                if (size - 8 < skip) return;
                size -= 8 + uint64_t{skip};
                start += 8 + int64_t{skip};
            }
            const int64_t present = std::max<int64_t>(0, fileSize - start);
            if (size <= static_cast<uint64_t>(present)) return;
            announcedBytes_ = size;
            presentBytes_ = present;
            return;
        }
        pos += 8 + static_cast<int64_t>(size) + static_cast<int64_t>(size & 1);
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

AudioTags AudioReader::tags() const {
    AudioTags tags;
    for (const auto& [id, name] : kTagNames) {
        const char* text = sf_get_string(file_, id);
        if (text != nullptr && *text != 0) tags.strings.emplace_back(id, text);
    }
    SF_BROADCAST_INFO bext{};
    if (sf_command(file_, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE) {
        tags.broadcast = bext;
    }
    return tags;
}

int64_t AudioReader::read(double* interleaved, int64_t frames) {
    const sf_count_t got = sf_readf_double(file_, interleaved, frames);
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
        throw ToolError(kExitInput, "read error in '" + path_ + "': " + sndfileError(file_));
    }
    return got;
}

void AudioReader::rewind() {
    if (sf_seek(file_, 0, SEEK_SET) != 0) {
        throw ToolError(kExitInput,
                        "cannot go back to the start of '" + path_ + "': " + sndfileError(file_));
    }
}

AudioWriter::AudioWriter(const std::string& path, const OutputFormat& format, int channels,
                         int sampleRate, int64_t expectedFrames)
    : path_(path), format_(format), channels_(channels), file_(path) {
    if (!file_.ok()) {
        throw ToolError(kExitOutput, "cannot write output '" + path + "': " + file_.error() +
                                         "; nothing was written");
    }
    // A named temporary (where the file system has no unnamed ones) is
    // removed by the signal handlers if the process dies.
    if (!file_.temporaryPath().empty()) slotGuard_ = registerTemporaryFile(file_.temporaryPath());

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
    sndfile_ = sf_open_fd(file_.fd(), SFM_WRITE, &info, SF_FALSE);
    if (sndfile_ == nullptr) {
        const std::string why = sndfileError(nullptr);
        discard();
        throw ToolError(kExitOutput, "cannot write output '" + path + "': " + why);
    }
    sf_command(sndfile_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // The PEAK chunk carries a time stamp: without it, the same render gives
    // the same bytes every time.
    sf_command(sndfile_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
}

AudioWriter::~AudioWriter() {
    if (!committed_) discard();
}

void AudioWriter::discard() {
    if (sndfile_ != nullptr) {
        sf_close(sndfile_);
        sndfile_ = nullptr;
    }
    file_.discard();
    unregisterTemporaryFile(slotGuard_);
    slotGuard_ = -1;
}

std::vector<std::string> AudioWriter::setTags(const AudioTags& tags) {
    std::vector<std::string> dropped;
    for (const auto& [id, text] : tags.strings) {
        if (sf_set_string(sndfile_, id, text.c_str()) != 0) dropped.push_back(tagName(id));
    }
    if (tags.broadcast) {
        SF_BROADCAST_INFO bext = *tags.broadcast;
        if (sf_command(sndfile_, SFC_SET_BROADCAST_INFO, &bext, sizeof bext) != SF_TRUE) {
            dropped.push_back("broadcast info");
        }
    }
    return dropped;
}

namespace {

/// The next number of a fixed 64-bit sequence (splitmix64): plenty for
/// dither, and the same render gives the same bytes every time.
uint64_t nextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

/// Uniform in [0, 1) from the top 53 bits.
double uniform(uint64_t& state) {
    return static_cast<double>(nextRandom(state) >> 11) * 0x1.0p-53;
}

}  // namespace

void AudioWriter::write(const double* interleaved, int64_t frames) {
    if (frames <= 0) return;
    if (format_.samples != SampleFormat::Float) {
        // PCM is quantised here rather than by libsndfile so that the step is
        // exactly 2^-(bits-1) of full scale and the dither is ours to choose.
        // libsndfile takes ints as 32-bit full scale and keeps the top bits.
        const int bits = sampleBits(format_.samples);
        const double steps = std::ldexp(1.0, bits - 1);
        const int64_t shift = int64_t{1} << (32 - bits);
        auto lowest = static_cast<int64_t>(-steps), highest = static_cast<int64_t>(steps) - 1;
        if (format_.ceiling > 0.0) {
            // Dither and rounding may lift a sample that the limiter held at
            // its ceiling by a step or so: the ceiling holds in the file too.
            const auto atCeiling = static_cast<int64_t>(std::floor(format_.ceiling * steps));
            highest = std::min(highest, atCeiling);
            lowest = std::max(lowest, -atCeiling);
        }
        const size_t n = static_cast<size_t>(frames) * static_cast<size_t>(channels_);
        codes_.resize(n);
        for (size_t i = 0; i < n; ++i) {
            double y = interleaved[i] * steps;
            if (format_.dither == Dither::Tpdf) {
                y = std::floor(y + (uniform(ditherState_) - uniform(ditherState_)) + 0.5);
            } else {
                y = std::nearbyint(y);
            }
            const auto code = std::clamp(
                static_cast<int64_t>(std::clamp(y, -4.0 * steps, 4.0 * steps)), lowest, highest);
            codes_[i] = static_cast<int>(code * shift);
        }
        if (sf_writef_int(sndfile_, codes_.data(), frames) != frames) {
            throw ToolError(kExitOutput,
                            "cannot write output '" + path_ + "': " + sndfileError(sndfile_));
        }
        return;
    }
    if (sf_writef_double(sndfile_, interleaved, frames) != frames) {
        throw ToolError(kExitOutput,
                        "cannot write output '" + path_ + "': " + sndfileError(sndfile_));
    }
}

void AudioWriter::commit() {
    sf_write_sync(sndfile_);
    const int closed = sf_close(sndfile_);
    sndfile_ = nullptr;
    if (closed != 0) {
        throw ToolError(kExitOutput,
                        "cannot finish output '" + path_ + "': " + sf_error_number(closed));
    }
    if (!file_.commit()) {
        throw ToolError(kExitOutput, "cannot finish output '" + path_ + "': " + file_.error());
    }
    unregisterTemporaryFile(slotGuard_);
    slotGuard_ = -1;
    committed_ = true;
}

}  // namespace zelto
