// Knob strips show a knob really turning: 101 different frames whose content
// rotates clockwise about the frame centre by the same small step each time,
// 270 degrees from the first frame to the last.
//
// The rotation between two frames is measured, not looked up: the face is
// sampled on rings around the centre, the part that is the same in every
// frame (the fixed light) is removed, and the angular shift that best maps
// one frame's rings onto the next one's is found by correlation.
#include <numbers>
#include <numeric>
#include <set>

#include "resources/ArtworkTestSupport.h"

using zelto::test::Picture;

namespace {

constexpr int kFrames = 101;
constexpr int kAngles = 720;  // half-degree steps

struct Knob {
    int id;
    int width, frameHeight;
};

const Knob kKnobs[] = {
    {152, 50, 48}, {153, 49, 47}, {147, 48, 47}, {148, 48, 47}, {150, 56, 55}, {151, 58, 56},
};

// Luminance on rings inside the knob body, angles clockwise from the top.
std::vector<std::vector<double>> rings(const Picture& p, const Knob& k, int frame) {
    const double cx = k.width / 2.0, cy = k.frameHeight / 2.0;
    const double half = std::min(k.width, k.frameHeight) / 2.0;
    std::vector<std::vector<double>> out;
    for (double f = 0.25; f <= 0.551; f += 0.05) {
        const double r = f * half;
        std::vector<double> ring(kAngles);
        for (int a = 0; a < kAngles; ++a) {
            const double t = a * 2 * std::numbers::pi / kAngles;
            ring[size_t(a)] =
                p.luminance(cx + r * std::sin(t), frame * k.frameHeight + cy - r * std::cos(t));
        }
        out.push_back(std::move(ring));
    }
    return out;
}

// Degrees by which frame b is turned clockwise relative to frame a.
double turn(const std::vector<std::vector<double>>& a, const std::vector<std::vector<double>>& b) {
    constexpr int kSearch = 30;  // ±15°
    std::vector<double> score;
    for (int s = -kSearch; s <= kSearch; ++s) {
        double sum = 0;
        for (size_t r = 0; r < a.size(); ++r) {
            for (int t = 0; t < kAngles; ++t) {
                sum += b[r][size_t(t)] * a[r][size_t((t - s + kAngles) % kAngles)];
            }
        }
        score.push_back(sum);
    }
    const size_t best = size_t(std::max_element(score.begin(), score.end()) - score.begin());
    double offset = 0;
    if (best > 0 && best + 1 < score.size()) {  // parabola through the peak
        const double l = score[best - 1], c = score[best], r = score[best + 1];
        const double d = l - 2 * c + r;
        if (d < 0) offset = 0.5 * (l - r) / d;
    }
    return (double(best) - kSearch + offset) * 360.0 / kAngles;
}

}  // namespace

TEST(KnobStrips, AllHundredAndOneFramesDiffer) {
    for (const Knob& k : kKnobs) {
        SCOPED_TRACE(k.id);
        const Picture p(k.id);
        ASSERT_TRUE(p.valid());
        ASSERT_EQ(p.height(), kFrames * k.frameHeight);
        std::set<std::vector<uint32_t>> seen;
        for (int f = 0; f < kFrames; ++f) {
            const auto frame = p.rows(f * k.frameHeight, k.frameHeight);
            seen.insert(frame);
            if (f == 0) continue;
            // Neighbours differ by more than a stray pixel or two.
            const auto prev = p.rows((f - 1) * k.frameHeight, k.frameHeight);
            int changed = 0;
            for (size_t i = 0; i < frame.size(); ++i) changed += frame[i] != prev[i];
            EXPECT_GT(changed, 20) << "frames " << f - 1 << " and " << f;
        }
        EXPECT_EQ(seen.size(), size_t(kFrames));
    }
}

TEST(KnobStrips, FramesRotateClockwiseInEvenStepsThrough270Degrees) {
    for (const Knob& k : kKnobs) {
        SCOPED_TRACE(k.id);
        const Picture p(k.id);
        ASSERT_TRUE(p.valid());
        std::vector<std::vector<std::vector<double>>> frames;
        for (int f = 0; f < kFrames; ++f) frames.push_back(rings(p, k, f));
        // Remove what every frame shares: the light and the unmoving parts.
        for (size_t r = 0; r < frames[0].size(); ++r) {
            for (size_t t = 0; t < size_t(kAngles); ++t) {
                double mean = 0;
                for (const auto& f : frames) mean += f[r][t];
                mean /= kFrames;
                for (auto& f : frames) f[r][t] -= mean;
            }
        }
        double total = 0;
        for (int f = 1; f < kFrames; ++f) {
            const double step = turn(frames[size_t(f - 1)], frames[size_t(f)]);
            EXPECT_GT(step, 1.7) << "frame " << f;
            EXPECT_LT(step, 3.7) << "frame " << f;
            total += step;
        }
        EXPECT_NEAR(total, 270.0, 12.0);
    }
}
