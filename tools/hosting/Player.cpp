#include "tools/hosting/Player.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tools/audio/AudioFile.h"
#include "tools/audio/AudioOutput.h"
#include "tools/common/ToolError.h"
#include "tools/hosting/PluginHost.h"

namespace zelto {

Programme readProgramme(const std::string& path) {
    AudioReader reader(path);
    if (reader.channels() < 1 || reader.channels() > 2) {
        throw ToolError(kExitInput, "input '" + path + "' has " +
                                        std::to_string(reader.channels()) +
                                        " channels; zelto plays mono or stereo files");
    }
    Programme p;
    p.sampleRate = reader.sampleRate();
    const int ch = reader.channels();
    std::vector<double> buffer(static_cast<size_t>(4096 * ch));
    for (;;) {
        const int64_t n = reader.read(buffer.data(), 4096);
        if (n <= 0) break;
        for (int64_t i = 0; i < n; ++i) {
            p.left.push_back(static_cast<float>(buffer[static_cast<size_t>(i * ch)]));
            p.right.push_back(static_cast<float>(buffer[static_cast<size_t>(i * ch + ch - 1)]));
        }
    }
    if (const auto announced = reader.announcedFrames(); announced && *announced > p.frames()) {
        throw ToolError(kExitInput, "input '" + path + "' is truncated: its header announces " +
                                        std::to_string(*announced) + " frames but it holds " +
                                        std::to_string(p.frames()));
    }
    if (p.frames() == 0) throw ToolError(kExitInput, "input '" + path + "' holds no audio");
    return p;
}

Player::Player(PluginHost& host, const Programme& programme, int block, bool loop, bool useDevice)
    : host_(host), programme_(programme), block_(block), loop_(loop), useDevice_(useDevice) {}

Player::~Player() {
    stop();
}

void Player::start() {
    if (thread_.joinable()) return;
    stop_ = false;
    finished_ = false;
    thread_ = std::thread([this] { run(); });
}

void Player::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void Player::run() {
    // Ask for real-time scheduling as a DAW's audio thread has; without the
    // privilege the ordinary scheduler has to do.
    sched_param param{};
    param.sched_priority = 10;
    (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

    AudioOutput device;
    std::string why = "not asked for";
    const bool toDevice = useDevice_ && device.open(programme_.sampleRate, why);
    if (toDevice) {
        std::fprintf(stderr, "zelto: playing to the default sound device\n");
    } else {
        std::fprintf(stderr, "zelto: no sound device (%s): pacing playback with the clock\n",
                     why.c_str());
    }
    AEffect& effect = host_.effect();
    const auto n = static_cast<size_t>(block_);
    std::vector<float> inL(n), inR(n), outL(n), outR(n), interleaved(2 * n);
    const int64_t total = programme_.frames();
    int64_t at = 0;
    const auto start = std::chrono::steady_clock::now();
    while (!stop_) {
        if (at >= total) {
            if (!loop_) break;
            at = 0;
        }
        const auto frames = static_cast<size_t>(std::min<int64_t>(block_, total - at));
        std::copy_n(programme_.left.begin() + at, frames, inL.begin());
        std::copy_n(programme_.right.begin() + at, frames, inR.begin());
        at += static_cast<int64_t>(frames);
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
                std::fprintf(stderr, "zelto: the sound device failed; playback stopped\n");
                break;
            }
        } else {
            const auto due = start + std::chrono::duration<double>(static_cast<double>(played) /
                                                                   programme_.sampleRate);
            std::this_thread::sleep_until(
                std::chrono::time_point_cast<std::chrono::steady_clock::duration>(due));
        }
    }
    device.close();
    finished_ = true;
}

}  // namespace zelto
