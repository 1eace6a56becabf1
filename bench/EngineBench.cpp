// Engine benchmarks: the process path in ns per stereo frame and real-time factor
// across rates, shapes and options; the real FFT alone per size; the smoother and
// the sliding maximum against the direct methods they replace.
// Counters are taken from the thread's CPU time, which keeps other processes on a
// shared machine from inflating them. Never part of the test run.
// Command and recorded figures: docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "engine/EngineState.h"
#include "engine/PeakSmoother.h"
#include "engine/RealFft.h"
#include "engine/SlidingMax.h"
#include "engine/SlidingMaxTree.h"

namespace {

using zelto::EngineState;
using zelto::Pair;

// CPU time of the calling thread [ns].
double threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

// cpuNs spread over every unit processed, as a plain number.
void perUnit(benchmark::State& state, const char* name, double cpuNs, double unitsPerIteration) {
    state.counters[name] = cpuNs / (static_cast<double>(state.iterations()) * unitsPerIteration);
}

constexpr int kBlock = 512;
constexpr int kBlocksPerIteration = 16;  // each iteration processes 8192 frames

struct Config {
    int rate = 44100;
    int shape = 0;  // hard
    bool oversample = false;
    bool meterOvs = false;
    bool quantizeC = false;  // Quantize on, 16 bits, type C shaping
    bool portable = false;   // the SSE2 loop even where AVX2 is available
};

// The default program: Output 0 dB, Drive 0 dB, Transient 0.02, Release 200 ms,
// link 100 %, everything else off; then the options of `c`.
std::unique_ptr<EngineState> makeEngine(const Config& c) {
    auto e = std::make_unique<EngineState>();
    if (!e->allocate()) return nullptr;
    e->setOutputTarget(1.0);
    e->setDriveTarget(1.0);
    e->setTransientMix(0.02);
    e->setReleaseMs(200.0);
    e->setLinkAmount(1.0);
    e->setPowerOn(1.0);
    e->setDetectorOversample(c.oversample ? 1 : 0);
    e->setMeterOvs(c.meterOvs ? 1 : 0);
    e->setQuantizeOn(c.quantizeC ? 1 : 0);
    e->setBitsIndex(1);
    e->setNoiseShapeType(c.quantizeC ? 3 : 0);
    if (e->setTransShape(c.shape)) e->suspendInit();
    e->suspendInit();
    e->setSampleRate(c.rate);
    e->setNoiseShapeType(c.quantizeC ? 3 : 0);
    e->useWideInstructions(!c.portable);
    return e;
}

// Programme that keeps the limiter working: music-like mix peaking around +3 dB.
template <typename T>
void makeInput(std::vector<T>& l, std::vector<T>& r, int n, double rate) {
    std::mt19937 gen(42);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    l.resize(n);
    r.resize(n);
    for (int i = 0; i < n; ++i) {
        const double t = i / rate;
        l[i] = static_cast<T>(0.6 * std::sin(2 * M_PI * 80.0 * t) + 0.3 * uni(gen) +
                              0.4 * std::sin(2 * M_PI * 2500.0 * t));
        r[i] = static_cast<T>(0.6 * std::sin(2 * M_PI * 81.0 * t + 1.0) + 0.3 * uni(gen) +
                              0.4 * std::sin(2 * M_PI * 3100.0 * t));
    }
}

template <typename T>
void BM_Process(benchmark::State& state, Config c) {
    auto e = makeEngine(c);
    if (!e) {
        state.SkipWithError("allocation failed");
        return;
    }
    const int n = kBlock * kBlocksPerIteration;
    std::vector<T> inL, inR, outL(n), outR(n);
    makeInput(inL, inR, n, c.rate);
    auto runAll = [&] {
        for (int b = 0; b < kBlocksPerIteration; ++b) {
            const T* in[2] = {inL.data() + b * kBlock, inR.data() + b * kBlock};
            T* out[2] = {outL.data() + b * kBlock, outR.data() + b * kBlock};
            e->template process<T>(in, out, kBlock, true, true);
        }
    };
    // Warm up: fill the delay lines and let the followers settle.
    for (int pass = 0; pass < 4; ++pass) runAll();
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        runAll();
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    const double cpuNs = threadCpuNs() - t0;
    perUnit(state, "ns_per_frame", cpuNs, n);
    // Seconds of audio per second of processing.
    state.counters["x_realtime"] =
        static_cast<double>(state.iterations()) * n / c.rate / (cpuNs * 1e-9);
}

void BM_RealFftRoundTrip(benchmark::State& state) {
    const int m = static_cast<int>(state.range(0));
    zelto::RealFft fft;
    fft.configure(m);
    std::vector<double> d(m);
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    for (auto& v : d) v = uni(gen);
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        fft.forward(d.data());
        fft.inverse(d.data());
        for (auto& v : d) v *= 1.0 / m;
        benchmark::DoNotOptimize(d.data());
    }
    perUnit(state, "ns_per_transform", threadCpuNs() - t0, 2.0);
}

// Both channels at once, as the smoother runs them: zero-padded forward transform,
// spectrum product, scrambled inverse.
void BM_RealFftStereoConvolution(benchmark::State& state) {
    const int m = static_cast<int>(state.range(0));
    zelto::RealFft fft;
    fft.configure(m);
    std::vector<Pair> in(m / 2, Pair::splat(0.5)), work(m);
    std::vector<double> h(m, 0.01);
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        fft.forwardZeroPadded(in.data(), work.data());
        zelto::RealFft::multiplyPacked(work.data(), h.data(), m);
        fft.inverseScrambled(work.data());
        benchmark::DoNotOptimize(work.data());
    }
    perUnit(state, "ns_per_block", threadCpuNs() - t0, 1.0);
}

// The peak smoother per input frame, both channels: FFT block convolution, against
// the direct N-tap convolution of both channels it replaces.
void BM_SmootherFftStereo(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    zelto::RealFft fft;
    fft.configure(2 * n);
    std::vector<double> taps(n), spectrum(2 * n);
    std::vector<Pair> in(n, Pair::splat(0.5)), work(2 * n), out(n), overlap(n);
    zelto::buildSmoothingKernelTaps(n, taps.data());
    zelto::buildKernelSpectrum(fft, taps.data(), n, spectrum.data());
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        zelto::smootherBlock(fft, spectrum.data(), in.data(), n, work.data(), out.data(),
                             overlap.data());
        benchmark::DoNotOptimize(out.data());
    }
    perUnit(state, "ns_per_frame", threadCpuNs() - t0, n);
}

void BM_SmootherDirectStereo(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<double> taps(n);
    std::vector<Pair> hist(2 * n, Pair::splat(0.5));
    zelto::buildSmoothingKernelTaps(n, taps.data());
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        for (int s = 0; s < n; ++s) {
            Pair acc = Pair::zero();
            for (int m = 0; m < n; ++m) acc = acc + hist[s + m] * taps[m];
            benchmark::DoNotOptimize(acc);
        }
    }
    perUnit(state, "ns_per_frame", threadCpuNs() - t0, n);
}

// Sliding maximum per frame: the engine's block prefix/suffix method on both
// channels, a tree per channel (two inserts), and a scan of the window.
void BM_SlidingMaxBlockStereo(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    std::vector<double> block(2 * 512, 0.0), suffix(2 * 513, 0.0);
    std::vector<Pair> x(4096);
    std::mt19937 gen(2);
    std::uniform_real_distribution<double> uni(0.001, 1.0);
    for (auto& v : x) v = Pair::set(uni(gen), uni(gen));
    Pair prefix = Pair::zero();
    int pos = 0;
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        for (const Pair& v : x) {
            benchmark::DoNotOptimize(
                zelto::slidingMaxPush(block.data(), suffix.data(), prefix, w, pos, v));
            pos = (pos + 1) & (w - 1);
        }
    }
    perUnit(state, "ns_per_frame", threadCpuNs() - t0, 4096);
}

void BM_SlidingMaxTreeStereo(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    std::vector<double> treeL(2 * w), treeR(2 * w), x(2 * 4096);
    zelto::slidingMaxReset(treeL.data(), w);
    zelto::slidingMaxReset(treeR.data(), w);
    std::mt19937 gen(2);
    std::uniform_real_distribution<double> uni(0.001, 1.0);
    for (auto& v : x) v = uni(gen);
    int pos = 0;
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        for (int i = 0; i < 4096; ++i) {
            benchmark::DoNotOptimize(zelto::slidingMaxInsert(treeL.data(), w, pos, x[2 * i]));
            benchmark::DoNotOptimize(zelto::slidingMaxInsert(treeR.data(), w, pos, x[2 * i + 1]));
            pos = (pos + 1) & (w - 1);
        }
    }
    perUnit(state, "ns_per_frame", threadCpuNs() - t0, 4096);
}

void BM_SlidingMaxScan(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    std::vector<double> ring(w, 0.0), x(4096);
    std::mt19937 gen(2);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    for (auto& v : x) v = uni(gen);
    int pos = 0;
    const double t0 = threadCpuNs();
    for (auto _ : state) {
        for (double v : x) {
            ring[pos] = v;
            pos = (pos + 1) % w;
            double mx = 0.0;
            for (double z : ring) mx = z > mx ? z : mx;
            benchmark::DoNotOptimize(mx);
        }
    }
    perUnit(state, "ns_per_sample", threadCpuNs() - t0, 4096);
}

const char* kShapeNames[3] = {"hard", "med", "soft"};
const char* kVariantNames[4] = {"plain", "ovs", "ovs+meterovs", "quantC"};

Config variantConfig(int rate, int shape, int variant, bool portable) {
    // 0: default program; 1: Oversample; 2: Oversample + MeterOvs; 3: Quantize, type C
    Config c;
    c.rate = rate;
    c.shape = shape;
    c.oversample = variant == 1 || variant == 2;
    c.meterOvs = variant == 2;
    c.quantizeC = variant == 3;
    c.portable = portable;
    return c;
}

void registerAll() {
    char name[96];
    for (int rate : {44100, 96000, 192000}) {
        for (int shape = 0; shape < 3; ++shape) {
            for (int variant = 0; variant < 4; ++variant) {
                const Config c = variantConfig(rate, shape, variant, false);
                std::snprintf(name, sizeof name, "Process<float>/%d/%s/%s", rate,
                              kShapeNames[shape], kVariantNames[variant]);
                benchmark::RegisterBenchmark(name, BM_Process<float>, c);
                std::snprintf(name, sizeof name, "Process<double>/%d/%s/%s", rate,
                              kShapeNames[shape], kVariantNames[variant]);
                benchmark::RegisterBenchmark(name, BM_Process<double>, c);
            }
        }
    }
    // The portable SSE2 loop, for comparison where AVX2 is available.
    for (int variant = 0; variant < 4; ++variant) {
        std::snprintf(name, sizeof name, "Process<double>/44100/hard/%s/portable",
                      kVariantNames[variant]);
        benchmark::RegisterBenchmark(name, BM_Process<double>,
                                     variantConfig(44100, 0, variant, true));
    }
    benchmark::RegisterBenchmark("RealFft/roundtrip", BM_RealFftRoundTrip)
        ->RangeMultiplier(2)
        ->Range(16, 512);
    benchmark::RegisterBenchmark("RealFft/stereo-convolution", BM_RealFftStereoConvolution)
        ->RangeMultiplier(2)
        ->Range(16, 512);
    benchmark::RegisterBenchmark("Smoother/fft-stereo", BM_SmootherFftStereo)
        ->RangeMultiplier(2)
        ->Range(8, 256);
    benchmark::RegisterBenchmark("Smoother/direct-stereo", BM_SmootherDirectStereo)
        ->RangeMultiplier(2)
        ->Range(8, 256);
    for (int w : {8, 128, 512}) {
        benchmark::RegisterBenchmark("SlidingMax/block-stereo", BM_SlidingMaxBlockStereo)->Arg(w);
        benchmark::RegisterBenchmark("SlidingMax/tree-stereo", BM_SlidingMaxTreeStereo)->Arg(w);
        benchmark::RegisterBenchmark("SlidingMax/scan", BM_SlidingMaxScan)->Arg(w);
    }
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
