// Where a block's time goes, pass by pass: the engine built with its stage clock
// (ZELTO_STAGE_CLOCK) adds the time-stamp counter's ticks of each pass of the
// limiter loop to zeltoStageTicks[]. This program runs the engine benchmark's
// programme through the default program and its options and prints nanoseconds per
// stereo frame for each pass, the best of several rounds (the least disturbed by
// other processes on a shared machine). Never part of the test run.
//
//   build/bench/bench/engine_stages [ROUNDS]      (default 15)
//
// Instructions per frame and pass (callgrind counts only inside the pass that PASS
// names: 0 input, 1 envelope, 2 gain; ROW picks one variant by its row, from 0):
//   valgrind --tool=callgrind --collect-atstart=no build/bench/bench/engine_stages 1 PASS ROW
// and divide the collected Ir by the frames the line "counted" reports.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "engine/EngineState.h"

extern "C" uint64_t zeltoStageTicks[4];
extern "C" int zeltoStageCounted;

namespace {

using zelto::EngineState;

constexpr int kBlock = 512;
constexpr int kBlocks = 64;  // 32768 frames per round

struct Variant {
    const char* name;
    int shape;  // 0 hard (N = 8), 2 soft (N = 64)
    bool oversample, meterOvs, quantizeC;
};

std::unique_ptr<EngineState> makeEngine(const Variant& v) {
    auto e = std::make_unique<EngineState>();
    if (!e->allocate()) return nullptr;
    e->setOutputTarget(1.0);
    e->setDriveTarget(1.0);
    e->setTransientMix(0.02);
    e->setReleaseMs(200.0);
    e->setLinkAmount(1.0);
    e->setPowerOn(1.0);
    e->setDetectorOversample(v.oversample ? 1 : 0);
    e->setMeterOvs(v.meterOvs ? 1 : 0);
    e->setQuantizeOn(v.quantizeC ? 1 : 0);
    e->setBitsIndex(1);
    e->setTransShape(v.shape);
    e->suspendInit();
    e->setSampleRate(44100);
    e->setNoiseShapeType(v.quantizeC ? 3 : 0);
    return e;
}

double monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// Time-stamp counter ticks per nanosecond, measured against the monotonic clock.
double ticksPerNs() {
    const double n0 = monotonicNs();
    const uint64_t t0 = __builtin_ia32_rdtsc();
    while (monotonicNs() - n0 < 2e8) {
    }
    return static_cast<double>(__builtin_ia32_rdtsc() - t0) / (monotonicNs() - n0);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const int counted = argc > 2 ? std::atoi(argv[2]) : -1;
    const int only = argc > 3 ? std::atoi(argv[3]) : -1;  // one variant, by its row
    const double tpn = ticksPerNs();
    const int n = kBlock * kBlocks;
    std::vector<float> inL(n), inR(n), outL(n), outR(n);
    std::mt19937 gen(42);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    for (int i = 0; i < n; ++i) {  // the engine benchmark's loud programme
        const double t = i / 44100.0;
        inL[i] = static_cast<float>(0.6 * std::sin(2 * M_PI * 80.0 * t) + 0.3 * uni(gen) +
                                    0.4 * std::sin(2 * M_PI * 2500.0 * t));
        inR[i] = static_cast<float>(0.6 * std::sin(2 * M_PI * 81.0 * t + 1.0) + 0.3 * uni(gen) +
                                    0.4 * std::sin(2 * M_PI * 3100.0 * t));
    }
    const Variant variants[] = {{"hard, default program", 0, false, false, false},
                                {"soft, default program", 2, false, false, false},
                                {"soft, Oversample", 2, true, false, false},
                                {"soft, Oversample + MeterOvs", 2, true, true, false},
                                {"soft, Quantize 16 bits type C", 2, false, false, true}};
    std::printf(
        "44.1 kHz, float, blocks of %d, best of %d rounds of %d frames; "
        "%.3f ticks per ns\n",
        kBlock, rounds, n, tpn);
    std::printf("ns per frame      %-32s %7s %9s %7s %7s %7s\n", "", "input", "envelope", "gain",
                "other", "total");
    int row = -1;
    for (const Variant& v : variants) {
        if (++row != only && only >= 0) continue;
        auto e = makeEngine(v);
        if (!e) return 1;
        double best[5] = {1e30, 1e30, 1e30, 1e30, 1e30};
        for (int r = -2; r < rounds; ++r) {  // two rounds of warm-up
            for (uint64_t& t : zeltoStageTicks) t = 0;
            for (int b = 0; b < kBlocks; ++b) {
                const float* in[2] = {inL.data() + b * kBlock, inR.data() + b * kBlock};
                float* out[2] = {outL.data() + b * kBlock, outR.data() + b * kBlock};
                e->process<float>(in, out, kBlock, true, true);
            }
            if (r < 0) {
                if (r == -1) zeltoStageCounted = counted;  // the counted rounds follow
                continue;
            }
            double sum = 0.0;
            for (int s = 0; s < 4; ++s) {
                const double ns = static_cast<double>(zeltoStageTicks[s]) / tpn / n;
                best[s] = std::min(best[s], ns);
                sum += ns;
            }
            best[4] = std::min(best[4], sum);
        }
        zeltoStageCounted = -1;
        std::printf("                  %-32s %7.1f %9.1f %7.1f %7.1f %7.1f\n", v.name, best[0],
                    best[1], best[2], best[3], best[4]);
        if (counted >= 0) std::printf("counted: pass %d over %d frames\n", counted, rounds * n);
    }
    return 0;
}
