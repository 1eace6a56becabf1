// Compares an LV2 render (which keeps the plug-in's latency) with a VST2
// render of the same input (latency compensated): every sample within the
// tolerance once the LV2 output is shifted by the latency, and no sample of
// either above the ceiling.
// Usage: compare_renders VST2.wav LV2.wav LATENCY CEILING_DB TOLERANCE
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool readFloats(const char* path, std::vector<float>& samples, SF_INFO& info) {
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "compare_renders: cannot read %s: %s\n", path, sf_strerror(nullptr));
        return false;
    }
    samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return got == info.frames;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: compare_renders VST2.wav LV2.wav LATENCY CEILING_DB TOL\n");
        return 2;
    }
    std::vector<float> vst, lv2;
    SF_INFO vstInfo{}, lv2Info{};
    if (!readFloats(argv[1], vst, vstInfo) || !readFloats(argv[2], lv2, lv2Info)) return 1;
    const long latency = std::atol(argv[3]);
    const double ceiling = std::pow(10.0, std::atof(argv[4]) / 20.0);
    const double tolerance = std::atof(argv[5]);
    if (vstInfo.channels != 2 || lv2Info.channels != 2 || lv2Info.frames != vstInfo.frames) {
        std::fprintf(stderr, "compare_renders: the renders differ in shape\n");
        return 1;
    }
    const long frames = static_cast<long>(vstInfo.frames) - latency;
    if (frames <= 0) return 1;
    double worst = 0.0;
    long worstAt = 0;
    for (long i = 0; i < frames * 2; ++i) {
        const double d = std::fabs(static_cast<double>(vst[i]) - lv2[i + latency * 2]);
        if (d > worst) {
            worst = d;
            worstAt = i / 2;
        }
    }
    double peak = 0.0;
    for (float s : vst) peak = std::max(peak, std::fabs(static_cast<double>(s)));
    for (float s : lv2) peak = std::max(peak, std::fabs(static_cast<double>(s)));
    std::printf(
        "%ld frames compared: largest difference %.3g at frame %ld, peak %.9f, ceiling %.9f\n",
        frames, worst, worstAt, peak, ceiling);
    // The engine holds the ceiling in double precision; the float output may
    // round up by half a unit in the last place.
    const bool same = worst <= tolerance;
    const bool held = peak <= ceiling * (1.0 + 1e-7);
    if (!same) std::fprintf(stderr, "compare_renders: the renders differ\n");
    if (!held) std::fprintf(stderr, "compare_renders: a sample lies above the ceiling\n");
    return same && held ? 0 : 1;
}
