// The accurate true-peak meter; see TruePeak.h.
#include "tools/audio/TruePeak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "tools/audio/WidestSimd.h"

namespace zelto {

namespace {

constexpr int kL = TruePeakMeter::kOversampling;
constexpr int kT = TruePeakMeter::kTapsPerPhase;
constexpr int kCoarse = 4;               // the first grid: points a quarter sample apart
constexpr int kStride = kL / kCoarse;    // fine phases between two coarse points
constexpr int kLanes = 16;               // windows computed together on the coarse grid
constexpr int64_t kChunk = 4096;         // frames de-interleaved at a time
constexpr double kKaiserBeta = 7.5;      // about 77 dB of stopband at 48 taps per phase
constexpr double kRefineBelow = 0.8913;  // 1 dB from the 4x grid: see the header
constexpr double kFinishBelow = 0.9716;  // 0.25 dB from the 8x grid (which can miss 0.17)
// Anything larger cannot be represented by the single-precision filter; a
// real signal is never there, and the report says "> +200 dB" for it.
constexpr double kHuge = 1e30;

double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 64; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

struct Filter {
    // Coarse phases (kStride, 2 kStride, 3 kStride) tap by tap, for the
    // windows-wide loop; every phase tap-major, for the phases-wide loop.
    std::array<std::array<float, kT>, kCoarse - 1> coarse{};
    std::array<std::array<float, kL>, kT> fine{};
    // The 8x points between the coarse ones, tap-major, read before the rest.
    std::array<std::array<float, kCoarse>, kT> middle{};

    Filter() {
        const double pi = 3.14159265358979323846;
        const double half = kT / 2.0;
        const double norm = besselI0(kKaiserBeta);
        for (int p = 0; p < kL; ++p) {
            std::array<double, kT> h{};
            double sum = 0.0;
            for (int k = 0; k < kT; ++k) {
                // The window starting at sample i interpolates between samples
                // i + kT/2 - 1 and i + kT/2: tap k sits tau samples before the point.
                const double tau = half - 1.0 + static_cast<double>(p) / kL - k;
                const double r = tau / half;
                const double w =
                    r * r < 1.0 ? besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / norm : 0.0;
                const double s = tau == 0.0 ? 1.0 : std::sin(pi * tau) / (pi * tau);
                h[k] = s * w;
                sum += h[k];
            }
            // Unity gain at DC for every phase, so a constant reads as itself.
            for (int k = 0; k < kT; ++k) {
                fine[k][p] = static_cast<float>(h[k] / sum);
                if (p % kStride == 0 && p != 0) coarse[p / kStride - 1][k] = fine[k][p];
                if (p % kStride == kStride / 2) middle[k][p / kStride] = fine[k][p];
            }
        }
    }
};

const Filter& filter() {
    static const Filter f;
    return f;
}

// Both loops are written for the compiler to vectorise, for the widest
// registers the processor has (WidestSimd.h).
// Eight floats the compiler keeps in one register (two on processors
// without the wide ones). Loads go through memcpy, which needs no
// alignment; the helpers take references, so no such value is ever passed
// by value between functions.
typedef float Floats8 __attribute__((vector_size(32)));

inline void load8(Floats8& v, const float* p) {
    std::memcpy(&v, p, sizeof v);
}
/// m = max(m, |v|), lane by lane.
inline void maxAbs8(Floats8& m, const Floats8& v) {
    const Floats8 a = v < 0.0f ? -v : v;
    m = a > m ? a : m;
}

static_assert(kLanes == 16 && kL == 32 && kCoarse == 4, "the kernels below are unrolled for these");

/// The three coarse points of kLanes consecutive windows starting at x; the
/// largest magnitude of each window's coarse points and its own sample into
/// `out`.
ZELTO_WIDEST_SIMD void coarseBlock(const Filter& f, const float* x, float* out) {
    Floats8 a0 = {}, a1 = {}, b0 = {}, b1 = {}, c0 = {}, c1 = {};
    for (int k = 0; k < kT; ++k) {
        Floats8 x0, x1;
        load8(x0, x + k);
        load8(x1, x + k + 8);
        const Floats8 ha = Floats8{} + f.coarse[0][k], hb = Floats8{} + f.coarse[1][k],
                      hc = Floats8{} + f.coarse[2][k];
        a0 += ha * x0;
        a1 += ha * x1;
        b0 += hb * x0;
        b1 += hb * x1;
        c0 += hc * x0;
        c1 += hc * x1;
    }
    Floats8 m0 = {}, m1 = {}, own0, own1;
    load8(own0, x + kT / 2 - 1);
    load8(own1, x + kT / 2 - 1 + 8);
    maxAbs8(m0, own0);
    maxAbs8(m0, a0);
    maxAbs8(m0, b0);
    maxAbs8(m0, c0);
    maxAbs8(m1, own1);
    maxAbs8(m1, a1);
    maxAbs8(m1, b1);
    maxAbs8(m1, c1);
    std::memcpy(out, &m0, sizeof m0);
    std::memcpy(out + 8, &m1, sizeof m1);
}

/// The largest magnitude of the four 8x points between the coarse ones of
/// the window starting at x.
float middleWindow(const Filter& f, const float* x) {
    float a[kCoarse] = {};
    for (int k = 0; k < kT; ++k) {
        const float v = x[k];
        for (int p = 0; p < kCoarse; ++p) a[p] += f.middle[k][p] * v;
    }
    float m = 0.0f;
    for (int p = 0; p < kCoarse; ++p) m = std::max(m, std::fabs(a[p]));
    return m;
}

/// The largest magnitude of all kL points of the window starting at x.
ZELTO_WIDEST_SIMD float fineWindow(const Filter& f, const float* x) {
    Floats8 a0 = {}, a1 = {}, a2 = {}, a3 = {};
    for (int k = 0; k < kT; ++k) {
        const Floats8 v = Floats8{} + x[k];
        const float* h = f.fine[k].data();
        Floats8 h0, h1, h2, h3;
        load8(h0, h);
        load8(h1, h + 8);
        load8(h2, h + 16);
        load8(h3, h + 24);
        a0 += h0 * v;
        a1 += h1 * v;
        a2 += h2 * v;
        a3 += h3 * v;
    }
    Floats8 m = {};
    maxAbs8(m, a0);
    maxAbs8(m, a1);
    maxAbs8(m, a2);
    maxAbs8(m, a3);
    float r = 0.0f;
    for (int p = 0; p < 8; ++p) r = std::max(r, m[p]);
    return r;
}

}  // namespace

TruePeakMeter::TruePeakMeter(int channels)
    : channels_(channels), ch_(static_cast<size_t>(std::max(channels, 0))) {
    filter();
    for (Channel& c : ch_) {
        c.x.assign(kT - 1, 0.0f);
        c.x.reserve(static_cast<size_t>(kChunk + kT + kLanes));
    }
}

void TruePeakMeter::add(const double* interleaved, int64_t frames) {
    for (int64_t done = 0; done < frames;) {
        const int64_t n = std::min(kChunk, frames - done);
        for (int c = 0; c < channels_; ++c) {
            Channel& chan = ch_[static_cast<size_t>(c)];
            const size_t keep = chan.x.size();
            chan.x.resize(keep + static_cast<size_t>(n));
            const double* src = interleaved + done * channels_ + c;
            for (int64_t i = 0; i < n; ++i) {
                const double v = src[i * channels_];
                if (!(std::fabs(v) < kHuge)) chan.peak = std::numeric_limits<double>::infinity();
                chan.x[keep + static_cast<size_t>(i)] =
                    std::fabs(v) < kHuge ? static_cast<float>(v) : 0.0f;
            }
            run(chan);
        }
        done += n;
    }
}

void TruePeakMeter::run(Channel& c) const {
    const size_t m = c.x.size();
    if (m < static_cast<size_t>(kT)) return;
    const size_t windows = m - kT + 1;
    const Filter& f = filter();
    // Room for the last block of lanes to read past the end.
    c.x.resize(m + kLanes, 0.0f);
    std::vector<float> coarse(windows + kLanes);
    float chunkMax = 0.0f;
    for (size_t i = 0; i < windows; i += kLanes) {
        coarseBlock(f, c.x.data() + i, coarse.data() + i);
    }
    for (size_t i = 0; i < windows; ++i) chunkMax = std::max(chunkMax, coarse[i]);
    double peak = std::max(c.peak, static_cast<double>(chunkMax));
    for (size_t i = 0; i < windows; ++i) {
        if (coarse[i] < peak * kRefineBelow || coarse[i] == 0.0f) continue;
        const double middle = std::max(coarse[i], middleWindow(f, c.x.data() + i));
        peak = std::max(peak, middle);
        if (middle < peak * kFinishBelow) continue;
        peak = std::max(peak, static_cast<double>(fineWindow(f, c.x.data() + i)));
    }
    c.peak = peak;
    // Keep the history the next windows need.
    std::copy(c.x.begin() + static_cast<std::ptrdiff_t>(windows),
              c.x.begin() + static_cast<std::ptrdiff_t>(m), c.x.begin());
    c.x.resize(kT - 1);
}

void TruePeakMeter::flushed(Channel& c) const {
    // The last samples ring into the silence after them.
    c.x.resize(c.x.size() + kT - 1, 0.0f);
    run(c);
}

double TruePeakMeter::peak(int channel) const {
    Channel c = ch_[static_cast<size_t>(channel)];
    flushed(c);
    return c.peak;
}

double TruePeakMeter::peak() const {
    double p = 0.0;
    for (int c = 0; c < channels_; ++c) p = std::max(p, peak(c));
    return p;
}

}  // namespace zelto
