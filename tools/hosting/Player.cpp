#include "tools/hosting/Player.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>

#include "tools/audio/AudioFile.h"
#include "tools/audio/AudioOutput.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"

namespace zelto {

namespace {

constexpr int64_t kChunkFrames = 4096;
// About 1.5 s at 44.1 kHz and 512 KB whatever the rate: enough to ride out a
// slow disk, small enough that a file's length never shows in memory.
constexpr int64_t kRingFrames = 1 << 16;

}  // namespace

StereoSource::StereoSource(const std::string& path)
    : path_(path), reader_(std::make_unique<AudioReader>(path)) {
    const int ch = reader_->channels();
    if (ch < 1 || ch > 2) {
        throw ToolError(kExitInput, "input '" + path + "' has " + std::to_string(ch) +
                                        " channels; zelto plays mono or stereo files");
    }
    if (const auto announced = reader_->announcedFrames(); announced) {
        throw ToolError(kExitInput, "input '" + path + "' is truncated: its header announces " +
                                        std::to_string(*announced) + " frames but it holds " +
                                        std::to_string(reader_->declaredFrames()));
    }
    if (reader_->declaredFrames() <= 0) {
        throw ToolError(kExitInput, "input '" + path + "' holds no audio");
    }
    buffer_.resize(static_cast<size_t>(kChunkFrames * ch));
}

StereoSource::~StereoSource() = default;

int StereoSource::sampleRate() const {
    return reader_->sampleRate();
}

int64_t StereoSource::frames() const {
    return reader_->declaredFrames();
}

int64_t StereoSource::read(float* left, float* right, int64_t frames) {
    const int ch = reader_->channels();
    int64_t done = 0;
    while (done < frames) {
        const int64_t want = std::min(frames - done, kChunkFrames);
        const int64_t got = reader_->read(buffer_.data(), want);
        if (got <= 0) break;
        for (int64_t i = 0; i < got; ++i) {
            left[done + i] = static_cast<float>(buffer_[static_cast<size_t>(i * ch)]);
            right[done + i] = static_cast<float>(buffer_[static_cast<size_t>(i * ch + ch - 1)]);
        }
        done += got;
        if (got < want) break;
    }
    return done;
}

void StereoSource::rewind() {
    reader_->rewind();
}

Player::Player(PluginHost& host, StereoSource& source, int block, bool loop, bool useDevice)
    : host_(host),
      source_(source),
      block_(block),
      loop_(loop),
      useDevice_(useDevice),
      ring_(static_cast<size_t>(2 * kRingFrames)),
      capacity_(kRingFrames) {}

Player::~Player() {
    stop();
}

void Player::start() {
    if (audio_.joinable()) return;
    stop_ = false;
    finished_ = false;
    reader_ = std::thread([this] { readFile(); });
    audio_ = std::thread([this] { run(); });
}

void Player::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (reader_.joinable()) reader_.join();
    if (audio_.joinable()) audio_.join();
}

void Player::fail(int code, const std::string& why) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failureCode_ == 0) {
            failureCode_ = code;
            failure_ = why;
        }
    }
    finished_ = true;
    changed_.notify_all();
}

bool Player::push(const float* left, const float* right, int64_t frames) {
    int64_t done = 0;
    while (done < frames) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || written_ - read_ < capacity_; });
        if (stop_) return false;
        const int64_t room = capacity_ - (written_ - read_);
        const int64_t n = std::min(room, frames - done);
        for (int64_t i = 0; i < n; ++i) {
            const auto at = static_cast<size_t>(2 * ((written_ + i) % capacity_));
            ring_[at] = left[done + i];
            ring_[at + 1] = right[done + i];
        }
        written_ += n;
        done += n;
        lock.unlock();
        changed_.notify_all();
    }
    return true;
}

int64_t Player::pop(float* left, float* right, int64_t frames) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this, frames] {
        return stop_ || endOfFile_ || failureCode_ != 0 || written_ - read_ >= frames;
    });
    if (stop_ || failureCode_ != 0) return 0;
    const int64_t n = std::min(frames, written_ - read_);
    for (int64_t i = 0; i < n; ++i) {
        const auto at = static_cast<size_t>(2 * ((read_ + i) % capacity_));
        left[i] = ring_[at];
        right[i] = ring_[at + 1];
    }
    read_ += n;
    lock.unlock();
    changed_.notify_all();
    return n;
}

void Player::readFile() {
    try {
        std::vector<float> left(static_cast<size_t>(kChunkFrames));
        std::vector<float> right(left.size());
        // A file shorter than one chunk is looped from memory, repeated to
        // fill the chunk, rather than sought back to its start after every
        // few frames.
        const bool fromMemory = loop_ && source_.frames() <= kChunkFrames;
        int64_t held = 0;
        if (fromMemory) {
            const int64_t once = source_.read(left.data(), right.data(), kChunkFrames);
            held = once > 0 ? kChunkFrames - kChunkFrames % once : 0;
            for (int64_t i = once; i < held; ++i) {
                left[static_cast<size_t>(i)] = left[static_cast<size_t>(i % once)];
                right[static_cast<size_t>(i)] = right[static_cast<size_t>(i % once)];
            }
        }
        bool readSinceRewind = false;
        while (!stop_) {
            int64_t n = held;
            if (!fromMemory) n = source_.read(left.data(), right.data(), kChunkFrames);
            if (n <= 0) {
                // The header promised frames that were not there to read.
                if (!loop_ || !readSinceRewind) break;
                source_.rewind();
                readSinceRewind = false;
                continue;
            }
            readSinceRewind = true;
            if (!push(left.data(), right.data(), n)) return;
        }
    } catch (const ToolError& e) {
        fail(e.code(), e.what());
        return;
    } catch (const std::exception& e) {
        fail(kExitFailure, std::string("reading '") + source_.path() + "' failed: " + e.what());
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        endOfFile_ = true;
    }
    changed_.notify_all();
}

void Player::run() {
    // Ask for real-time scheduling as a DAW's audio thread has; without the
    // privilege the ordinary scheduler has to do.
    sched_param param{};
    param.sched_priority = 10;
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    const int rate = source_.sampleRate();
    AudioOutput device;
    std::string why = "not asked for";
    const bool toDevice = useDevice_ && device.open(rate, why);
    if (toDevice) {
        std::fprintf(stderr, "zelto: playing to the default sound device\n");
    } else {
        std::fprintf(stderr, "zelto: no sound device (%s): pacing playback with the clock\n",
                     why.c_str());
    }
    AEffect& effect = host_.effect();
    const auto n = static_cast<size_t>(block_);
    std::vector<float> inL(n), inR(n), outL(n), outR(n), interleaved(2 * n);
    const auto start = std::chrono::steady_clock::now();
    while (!stop_) {
        const auto frames = static_cast<size_t>(pop(inL.data(), inR.data(), block_));
        if (frames == 0) break;
        float* inputs[] = {inL.data(), inR.data()};
        float* outputs[] = {outL.data(), outR.data()};
        effect.processReplacing(&effect, inputs, outputs, static_cast<VstInt32>(frames));
        const int64_t played =
            played_.fetch_add(static_cast<int64_t>(frames)) + static_cast<int64_t>(frames);
        if (toDevice) {
            for (size_t i = 0; i < frames; ++i) {
                interleaved[2 * i] = outL[i];
                interleaved[2 * i + 1] = outR[i];
            }
            if (!device.write(interleaved.data(), static_cast<int>(frames))) {
                fail(kExitFailure, "the sound device failed; playback stopped");
                break;
            }
        } else {
            const auto due =
                start + std::chrono::duration<double>(static_cast<double>(played) / rate);
            std::this_thread::sleep_until(
                std::chrono::time_point_cast<std::chrono::steady_clock::duration>(due));
        }
    }
    device.close();
    finished_ = true;
}

}  // namespace zelto
