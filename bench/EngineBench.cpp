// Engine benchmarks: the process path in ns per stereo frame and real-time factor
// across rates, shapes and options, and the real FFT alone per size.
// Run: build/bench/bench/engine_bench (see docs/PERFORMANCE.md for the command
// and the recorded figures).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "engine/EngineState.h"
#include "engine/PeakSmoother.h"
#include "engine/RealFft.h"
#include "engine/SlidingMaxTree.h"

namespace {

using zelto::EngineState;

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
    // Warm up: fill the delay lines and let the followers settle.
    for (int pass = 0; pass < 4; ++pass) {
        for (int b = 0; b < kBlocksPerIteration; ++b) {
            const T* in[2] = {inL.data() + b * kBlock, inR.data() + b * kBlock};
            T* out[2] = {outL.data() + b * kBlock, outR.data() + b * kBlock};
            e->template process<T>(in, out, kBlock, true, true);
        }
    }
    for (auto _ : state) {
        for (int b = 0; b < kBlocksPerIteration; ++b) {
            const T* in[2] = {inL.data() + b * kBlock, inR.data() + b * kBlock};
            T* out[2] = {outL.data() + b * kBlock, outR.data() + b * kBlock};
            e->template process<T>(in, out, kBlock, true, true);
        }
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    using benchmark::Counter;
    state.counters["ns_per_frame"] =
        Counter(n * 1e-9, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["x_realtime"] =
        Counter(n / static_cast<double>(c.rate), Counter::kIsIterationInvariantRate);
}

void BM_RealFftRoundTrip(benchmark::State& state) {
    const int m = static_cast<int>(state.range(0));
    zelto::RealFft fft;
    fft.configure(m);
    std::vector<double> d(m);
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    for (auto& v : d) v = uni(gen);
    for (auto _ : state) {
        fft.forward(d.data());
        fft.inverse(d.data());
        for (auto& v : d) v *= 1.0 / m;
        benchmark::DoNotOptimize(d.data());
    }
    state.counters["ns_per_transform"] = benchmark::Counter(
        2 * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The peak smoother per input sample: FFT block convolution against the direct
// N-tap convolution it replaces.
void BM_SmootherFft(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    zelto::RealFft fft;
    fft.configure(2 * n);
    std::vector<double> taps(n), spectrum(2 * n), work(2 * n), in(n, 0.5), out(n), overlap(n);
    zelto::buildSmoothingKernelTaps(n, taps.data());
    zelto::buildKernelSpectrum(fft, taps.data(), n, spectrum.data());
    for (auto _ : state) {
        zelto::smootherBlock(fft, spectrum.data(), in.data(), n, work.data(), out.data(),
                             overlap.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_sample"] = benchmark::Counter(
        n * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SmootherDirect(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<double> taps(n), hist(2 * n, 0.5);
    zelto::buildSmoothingKernelTaps(n, taps.data());
    for (auto _ : state) {
        for (int s = 0; s < n; ++s) {
            double acc = 0.0;
            for (int m = 0; m < n; ++m) acc += taps[m] * hist[s + m];
            benchmark::DoNotOptimize(acc);
        }
    }
    state.counters["ns_per_sample"] = benchmark::Counter(
        n * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Sliding maximum per sample: the tree against a scan of the window.
void BM_SlidingMaxTree(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    std::vector<double> tree(2 * w), x(4096);
    zelto::slidingMaxReset(tree.data(), w);
    std::mt19937 gen(2);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    for (auto& v : x) v = uni(gen);
    int pos = 0;
    for (auto _ : state) {
        for (double v : x) {
            benchmark::DoNotOptimize(zelto::slidingMaxInsert(tree.data(), w, pos, v));
            pos = (pos + 1) & (w - 1);
        }
    }
    state.counters["ns_per_sample"] = benchmark::Counter(
        4096e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SlidingMaxNaive(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    std::vector<double> ring(w, 0.0), x(4096);
    std::mt19937 gen(2);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    for (auto& v : x) v = uni(gen);
    int pos = 0;
    for (auto _ : state) {
        for (double v : x) {
            ring[pos] = v;
            pos = (pos + 1) % w;
            double mx = 0.0;
            for (double z : ring) mx = z > mx ? z : mx;
            benchmark::DoNotOptimize(mx);
        }
    }
    state.counters["ns_per_sample"] = benchmark::Counter(
        4096e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

const char* kShapeNames[3] = {"hard", "med", "soft"};

void registerAll() {
    for (int rate : {44100, 96000, 192000}) {
        for (int shape = 0; shape < 3; ++shape) {
            for (int variant = 0; variant < 4; ++variant) {
                // variant 0: default; 1: Oversample; 2: Oversample + MeterOvs; 3: Quantize type C
                Config c;
                c.rate = rate;
                c.shape = shape;
                c.oversample = variant == 1 || variant == 2;
                c.meterOvs = variant == 2;
                c.quantizeC = variant == 3;
                static const char* kVariant[4] = {"plain", "ovs", "ovs+meterovs", "quantC"};
                char name[96];
                std::snprintf(name, sizeof name, "Process<float>/%d/%s/%s", rate,
                              kShapeNames[shape], kVariant[variant]);
                benchmark::RegisterBenchmark(name, BM_Process<float>, c);
                std::snprintf(name, sizeof name, "Process<double>/%d/%s/%s", rate,
                              kShapeNames[shape], kVariant[variant]);
                benchmark::RegisterBenchmark(name, BM_Process<double>, c);
            }
        }
    }
    for (int variant = 0; variant < 4; ++variant) {
        Config c;
        c.portable = true;
        c.oversample = variant == 1 || variant == 2;
        c.meterOvs = variant == 2;
        c.quantizeC = variant == 3;
        static const char* kVariant[4] = {"plain", "ovs", "ovs+meterovs", "quantC"};
        char name[96];
        std::snprintf(name, sizeof name, "Process<double>/44100/hard/%s/portable",
                      kVariant[variant]);
        benchmark::RegisterBenchmark(name, BM_Process<double>, c);
    }
    benchmark::RegisterBenchmark("RealFft/roundtrip", BM_RealFftRoundTrip)
        ->RangeMultiplier(2)
        ->Range(16, 512);
    benchmark::RegisterBenchmark("Smoother/fft", BM_SmootherFft)->RangeMultiplier(2)->Range(8, 256);
    benchmark::RegisterBenchmark("Smoother/direct", BM_SmootherDirect)
        ->RangeMultiplier(2)
        ->Range(8, 256);
    benchmark::RegisterBenchmark("SlidingMax/tree", BM_SlidingMaxTree)->Arg(8)->Arg(128)->Arg(512);
    benchmark::RegisterBenchmark("SlidingMax/naive", BM_SlidingMaxNaive)
        ->Arg(8)
        ->Arg(128)
        ->Arg(512);
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
