// Helpers shared by the engine tests: building an engine at a rate and shape,
// applying a RefSettings record, running stereo blocks and making test signals.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/EngineState.h"
#include "engine/ReferenceLimiter.h"

namespace zelto::test {

inline void applySettings(EngineState& e, const RefSettings& s) {
    e.setDriveTarget(s.drive);
    e.setOutputTarget(s.output);
    e.setAutoOut(s.autoOut ? 1 : 0);
    e.setTransientMix(s.transientMix);
    e.setReleaseMs(s.releaseMs);
    e.setLinkAmount(s.link);
    e.setDetectorOversample(s.oversample ? 1 : 0);
    e.setDetectorOrder(s.order2 ? 1 : 0);
    e.setPowerOn(s.power ? 1.0 : 0.0);
    e.setLeveller(s.levellerSetting, s.levellerThreshold);
    e.setQuantizeOn(s.quantize ? 1 : 0);
    e.setAutoblackOn(s.autoblack ? 1 : 0);
    e.setBitsIndex(s.bitsIndex);
    if (e.noiseShapeType() != s.nsType) e.setNoiseShapeType(s.nsType);
}

// An allocated engine at `rateHz` with shape `shape`, the settings applied and the
// running state initialised the way the shell does it.
inline std::unique_ptr<EngineState> makeEngine(int rateHz, int shape, const RefSettings& s) {
    auto e = std::make_unique<EngineState>();
    if (!e->allocate()) return nullptr;
    applySettings(*e, s);
    e->setTransShape(shape);
    e->suspendInit();
    e->setSampleRate(rateHz);
    return e;
}

template <typename T>
void run(EngineState& e, const std::vector<T>& inL, const std::vector<T>& inR, std::vector<T>& outL,
         std::vector<T>& outR, size_t start, size_t frames) {
    const T* in[2] = {inL.data() + start, inR.data() + start};
    T* out[2] = {outL.data() + start, outR.data() + start};
    e.process<T>(in, out, static_cast<int32_t>(frames), true, true);
}

// Loud, peaky programme: a few sines, noise and sparse spikes, up to about ±1.5.
inline void makeProgramme(std::vector<double>& l, std::vector<double>& r, size_t n, uint32_t seed,
                          double rate = 44100.0) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    l.resize(n);
    r.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        double a = 0.4 * std::sin(2 * M_PI * 110.0 * t) + 0.3 * std::sin(2 * M_PI * 3150.0 * t) +
                   0.2 * uni(gen);
        double b = 0.5 * std::sin(2 * M_PI * 97.0 * t + 1.0) + 0.25 * uni(gen);
        if (gen() % 997 == 0) a += 1.2 * uni(gen);
        if (gen() % 1499 == 0) b -= 1.3;
        // Slow swell so the envelope branch has work to do.
        const double swell = 0.6 + 0.5 * std::sin(2 * M_PI * 0.7 * t);
        l[i] = a * swell;
        r[i] = b * swell;
    }
}

}  // namespace zelto::test
