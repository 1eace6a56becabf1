// The ceiling promise through the built binary, whatever the host does: every
// order of rate, parameters, state and suspend/resume a host may use before the
// first block, and the same calls hammered from another thread while audio runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <iomanip>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/Parameters.h"
#include "support/TestSupport.h"

using namespace zelto;
using zelto::test::HostRecorder;
using zelto::test::Instance;
using zelto::test::LoadedPlugin;
using zelto::test::ScopedConfigHome;

namespace {

constexpr double kCeilingDb = -1.0;

float outputValueForDb(double db) {
    // Output gain is 2^(2(v - 1)).
    return static_cast<float>(1.0 + std::log2(std::pow(10.0, db / 20.0)) / 2.0);
}

// Loud from the very first sample: a sine 6 dB over full scale, noise and
// single-sample spikes.
std::vector<double> loudProgramme(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        x[i] = 2.0 * std::sin(2.0 * M_PI * 997.0 * t) + 0.6 * uni(gen);
        if (gen() % 509 == 0) x[i] = (gen() & 1) ? 3.0 : -3.0;
    }
    return x;
}

std::vector<uint8_t> chunkWithOutputAt(float value) {
    LoadedPlugin plugin;
    Instance source(plugin);
    source.effect()->setParameter(source.effect(), kParamOutput, value);
    void* data = nullptr;
    const auto size = source.dispatch(effGetChunk, 0, 0, &data);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

// Runs the programme through the instance in blocks of `block` frames and
// returns the largest output magnitude.
template <typename T>
double processLoud(Instance& inst, size_t block, size_t frames) {
    const std::vector<double> l = loudProgramme(frames, 11), r = loudProgramme(frames, 12);
    std::vector<T> inL(block), inR(block), outL(block), outR(block);
    T* inputs[] = {inL.data(), inR.data()};
    T* outputs[] = {outL.data(), outR.data()};
    AEffect* e = inst.effect();
    double peak = 0.0;
    for (size_t at = 0; at < frames; at += block) {
        const size_t n = std::min(block, frames - at);
        for (size_t i = 0; i < n; ++i) {
            inL[i] = static_cast<T>(l[at + i]);
            inR[i] = static_cast<T>(r[at + i]);
        }
        if constexpr (std::is_same_v<T, float>) {
            e->processReplacing(e, inputs, outputs, static_cast<VstInt32>(n));
        } else {
            e->processDoubleReplacing(e, inputs, outputs, static_cast<VstInt32>(n));
        }
        for (size_t i = 0; i < n; ++i) {
            peak = std::max({peak, std::fabs(static_cast<double>(outL[i])),
                             std::fabs(static_cast<double>(outR[i]))});
        }
    }
    return peak;
}

struct HostOrder {
    const char* name;
    std::function<void(Instance&, const std::vector<uint8_t>& chunk)> prepare;
};

void setOutput(Instance& inst) {
    inst.effect()->setParameter(inst.effect(), kParamOutput, outputValueForDb(kCeilingDb));
}

void setChunk(Instance& inst, const std::vector<uint8_t>& chunk) {
    std::vector<uint8_t> copy = chunk;
    ASSERT_EQ(inst.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data()), 0);
}

void setRate(Instance& inst) {
    inst.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
}
void suspend(Instance& inst) {
    inst.dispatch(effMainsChanged, 0, 0);
}
void resume(Instance& inst) {
    inst.dispatch(effMainsChanged, 0, 1);
}

const HostOrder kOrders[] = {
    {"rate, parameter, resume",
     [](Instance& i, const std::vector<uint8_t>&) {
         setRate(i);
         setOutput(i);
         resume(i);
     }},
    {"rate, chunk, resume",
     [](Instance& i, const std::vector<uint8_t>& c) {
         setRate(i);
         setChunk(i, c);
         resume(i);
     }},
    {"chunk, rate, resume",
     [](Instance& i, const std::vector<uint8_t>& c) {
         setChunk(i, c);
         setRate(i);
         resume(i);
     }},
    {"suspend, rate, parameter, resume",
     [](Instance& i, const std::vector<uint8_t>&) {
         suspend(i);
         setRate(i);
         setOutput(i);
         resume(i);
     }},
    {"parameter, resume, no rate",
     [](Instance& i, const std::vector<uint8_t>&) {
         setOutput(i);
         resume(i);
     }},
    {"resume, then parameter",
     [](Instance& i, const std::vector<uint8_t>&) {
         resume(i);
         setOutput(i);
     }},
    {"no suspend or resume at all",
     [](Instance& i, const std::vector<uint8_t>& c) { setChunk(i, c); }},
};

}  // namespace

TEST(Ceiling, NoSampleAboveTheCeilingFromTheFirstBlockInAnyHostOrder) {
    ScopedConfigHome home;
    HostRecorder::reset();
    const float outputValue = outputValueForDb(kCeilingDb);
    const double ceiling = outputGainFromValue(outputValue);
    const std::vector<uint8_t> chunk = chunkWithOutputAt(outputValue);
    ASSERT_GT(chunk.size(), 8u);
    LoadedPlugin plugin;
    for (const HostOrder& order : kOrders) {
        for (size_t block : {size_t{1}, size_t{64}, size_t{512}}) {
            for (int precision = 0; precision < 2; ++precision) {
                SCOPED_TRACE(std::string(order.name) + ", block " + std::to_string(block) +
                             (precision == 0 ? ", float" : ", double"));
                Instance inst(plugin);
                ASSERT_NE(inst.effect(), nullptr);
                order.prepare(inst, chunk);
                const size_t frames = 8192;
                const double peak = precision == 0 ? processLoud<float>(inst, block, frames)
                                                   : processLoud<double>(inst, block, frames);
                // The gain arithmetic rounds (a few ulps in double); single
                // precision may round the ceiling up by half an ulp of its own.
                const double allowed = ceiling * (precision == 0 ? 1.0 + 1e-7 : 1.0 + 1e-12);
                EXPECT_LE(peak, allowed) << std::setprecision(17) << peak << " > " << ceiling;
                // The limiter did work: the programme reaches the ceiling.
                EXPECT_GT(peak, ceiling * 0.9);
            }
        }
    }
}

TEST(Ceiling, ALowerOutputDuringPlaybackStillGlides) {
    // Only a change before the first block applies at once; during playback the
    // output gain moves smoothly, so no step is heard. Two instances get the same
    // programme: one had the lower Output from the start, the other gets it after
    // 4096 frames and must arrive at the same output some time later.
    ScopedConfigHome home;
    HostRecorder::reset();
    LoadedPlugin plugin;
    Instance early(plugin), late(plugin);
    setOutput(early);
    resume(early);
    resume(late);
    const size_t n = 16384;
    const std::vector<double> l = loudProgramme(n, 21), r = loudProgramme(n, 22);
    std::vector<double> outE(n), outL(n), spareE(n), spareL(n);
    auto run = [&](Instance& inst, std::vector<double>& out, std::vector<double>& spare,
                   size_t from, size_t frames) {
        const double* in[] = {l.data() + from, r.data() + from};
        double* o[] = {out.data() + from, spare.data() + from};
        inst.effect()->processDoubleReplacing(inst.effect(), const_cast<double**>(in), o,
                                              static_cast<VstInt32>(frames));
    };
    run(early, outE, spareE, 0, n);
    run(late, outL, spareL, 0, 4096);
    setOutput(late);
    run(late, outL, spareL, 4096, n - 4096);
    double ratioJustAfter = 0.0, ratioLater = 0.0;
    for (size_t i = 4096; i < 4096 + 64; ++i) {
        if (std::fabs(outE[i]) > 0.1) ratioJustAfter = std::max(ratioJustAfter, outL[i] / outE[i]);
    }
    for (size_t i = n - 1024; i < n; ++i) {
        if (std::fabs(outE[i]) > 0.1) ratioLater = std::max(ratioLater, outL[i] / outE[i]);
    }
    EXPECT_GT(ratioJustAfter, 1.05);
    EXPECT_NEAR(ratioLater, 1.0, 1e-6);
}

TEST(ConcurrentHostCalls, SuspendRatesChunksAndParametersWhileProcessingStayInFullScale) {
    // One thread processes loud audio; another suspends and resumes, changes the
    // rate, the shape and other parameters, and restores chunks, as fast as it
    // can. Clean under ThreadSanitizer; output finite and within full scale.
    ScopedConfigHome home;
    HostRecorder::reset();
    LoadedPlugin plugin;
    const std::vector<uint8_t> chunk = chunkWithOutputAt(outputValueForDb(-3.0));
    Instance inst(plugin);
    AEffect* e = inst.effect();
    ASSERT_NE(e, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<long> bad{0}, blocks{0};
    std::thread audio([&] {
        const std::vector<double> l = loudProgramme(4096, 3), r = loudProgramme(4096, 4);
        std::vector<float> inL(l.begin(), l.end()), inR(r.begin(), r.end()), outL(4096), outR(4096);
        std::mt19937 gen(5);
        while (!stop) {
            const auto n = static_cast<VstInt32>(1 + gen() % 1024);
            float* inputs[] = {inL.data(), inR.data()};
            float* outputs[] = {outL.data(), outR.data()};
            e->processReplacing(e, inputs, outputs, n);
            for (VstInt32 i = 0; i < n; ++i) {
                if (!(std::fabs(outL[i]) <= 1.0f) || !(std::fabs(outR[i]) <= 1.0f)) ++bad;
            }
            ++blocks;
        }
    });
    std::mt19937 gen(9);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 192000.0f, 22050.0f};
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int n = 0; n < 20000 && std::chrono::steady_clock::now() < until; ++n) {
        switch (gen() % 6) {
            case 0:
                inst.dispatch(effMainsChanged, 0, 0);
                break;
            case 1:
                inst.dispatch(effMainsChanged, 0, 1);
                break;
            case 2:
                inst.dispatch(effSetSampleRate, 0, 0, nullptr, rates[gen() % 5]);
                break;
            case 3: {
                std::vector<uint8_t> copy = chunk;
                inst.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
                break;
            }
            case 4:
                e->setParameter(e, kParamTransShape, static_cast<float>(gen() % 3) / 3.0f);
                break;
            default: {
                const auto index = static_cast<VstInt32>(gen() % kNumLiveParams);
                if (index != kParamCalibrate) {
                    e->setParameter(e, index, static_cast<float>(gen() % 1001) / 1000.0f);
                }
            }
        }
    }
    stop = true;
    audio.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_GT(blocks.load(), 0);
}
