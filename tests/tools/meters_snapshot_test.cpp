// `zelto snapshot --input FILE --at SECONDS`: the window as a listener would
// see it at that moment of the programme. The bars are measured in the PNG
// against a snapshot of the silent window: a bar is as tall as the run of
// pixels that differ from silence above its foot.
#include <cairo/cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "tools/ToolTestSupport.h"

namespace zelto_test {
namespace {

struct Png {
    explicit Png(const std::string& path)
        : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Png() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    uint32_t at(int x, int y) const {
        uint32_t p;
        std::memcpy(&p,
                    cairo_image_surface_get_data(surface) +
                        y * cairo_image_surface_get_stride(surface) + 4 * x,
                    4);
        return p & 0xFFFFFF;
    }
    cairo_surface_t* surface;
};

// Rows from `foot` going up (or down, for the hanging gain bars) that differ
// from the silent window.
int runLength(const Png& shot, const Png& silent, int x, int foot, int step) {
    int n = 0;
    for (int y = foot; y >= 0 && y < 462 && shot.at(x, y) != silent.at(x, y); y += step) ++n;
    return n;
}

Audio sine(double amplitude, double seconds) {
    Audio a{2, 44100, 0, {}};
    const size_t frames = static_cast<size_t>(seconds * a.rate);
    a.samples.resize(2 * frames);
    for (size_t n = 0; n < frames; ++n) {
        // 441 Hz: every 100th sample is a crest, so the sampled peak is the amplitude.
        const double v = amplitude * std::sin(2.0 * M_PI * 441.0 * static_cast<double>(n) / a.rate);
        a.samples[2 * n] = a.samples[2 * n + 1] = v;
    }
    return a;
}

int expectedPeakPixels(double amplitude) {
    return static_cast<int>((20.0 * std::log10(amplitude) + 48.0) * 6.0 + 0.5);
}

TEST(ZeltoSnapshotAtTime, MetersShowTheProgrammeLevelAndTheLimiterAtWork) {
    TempDir dir;
    const std::string silentPng = dir / "silent.png";
    ASSERT_EQ(runZelto({"snapshot", "--out", silentPng}).exitCode, 0);
    Png silent(silentPng);
    ASSERT_TRUE(silent.ok());

    // -6 dBFS: no limiting; input and output bars at the same height.
    const std::string quiet = dir / "quiet.wav";
    writeAudio(quiet, sine(0.5, 2.0));
    const std::string quietPng = dir / "quiet.png";
    const RunResult q = runZelto({"snapshot", "--input", quiet, "--at", "1.5", "--out", quietPng});
    ASSERT_EQ(q.exitCode, 0) << q.err;
    Png quietShot(quietPng);
    ASSERT_TRUE(quietShot.ok());
    const int h = expectedPeakPixels(0.5);
    EXPECT_NEAR(runLength(quietShot, silent, 155, 401, -1), h, 1);  // input L
    EXPECT_NEAR(runLength(quietShot, silent, 198, 401, -1), h, 1);  // input R
    EXPECT_NEAR(runLength(quietShot, silent, 327, 401, -1), h, 1);  // output L
    EXPECT_EQ(runLength(quietShot, silent, 240, 42, 1), 0);         // no reduction

    // +6 dBFS: the output stops at full scale and the reduction bar hangs down
    // about 6 dB (6 px/dB).
    const std::string loud = dir / "loud.wav";
    writeAudio(loud, sine(2.0, 2.0));
    const std::string loudPng = dir / "loud.png";
    const RunResult l = runZelto({"snapshot", "--input", loud, "--at", "1.5", "--out", loudPng});
    ASSERT_EQ(l.exitCode, 0) << l.err;
    Png loudShot(loudPng);
    ASSERT_TRUE(loudShot.ok());
    EXPECT_NEAR(runLength(loudShot, silent, 155, 401, -1), expectedPeakPixels(2.0), 1);
    EXPECT_NEAR(runLength(loudShot, silent, 327, 401, -1), expectedPeakPixels(1.0), 2);
    const int reduction = runLength(loudShot, silent, 240, 42, 1);
    EXPECT_GE(reduction, 34);
    EXPECT_LE(reduction, 40);
}

TEST(ZeltoSnapshotAtTime, InputAndTimeGoTogetherAndBadInputIsRefused) {
    TempDir dir;
    EXPECT_EQ(runZelto({"snapshot", "--out", dir / "a.png", "--at", "1"}).exitCode, 2);
    EXPECT_EQ(runZelto({"snapshot", "--out", dir / "a.png", "--input", dir / "x.wav"}).exitCode, 2);
    EXPECT_EQ(runZelto({"snapshot", "--out", dir / "a.png", "--input", dir / "x.wav", "--at", "-1"})
                  .exitCode,
              2);
    const RunResult missing =
        runZelto({"snapshot", "--out", dir / "a.png", "--input", dir / "none.wav", "--at", "1"});
    EXPECT_EQ(missing.exitCode, 8);
    EXPECT_FALSE(fileExists(dir / "a.png"));
}

// A time past the end used to show the start of the file (or overflow the
// frame count): it is refused with the file's length, however far past.
TEST(ZeltoSnapshotAtTime, ATimePastTheEndIsRefusedWithTheFilesLength) {
    TempDir dir;
    writeAudio(dir / "two.wav", testSignal(2, 44100, 88200, 0.5));
    for (const std::string at : {"2.5", "100", "1e15", "1e300"}) {
        const RunResult r =
            runZelto({"snapshot", "--out", dir / "a.png", "--input", dir / "two.wav", "--at", at});
        EXPECT_EQ(r.exitCode, 2) << at << ": " << r.err;
        EXPECT_NE(r.err.find("2.000 s long"), std::string::npos) << at << ": " << r.err;
        EXPECT_FALSE(fileExists(dir / "a.png")) << at;
    }
    const RunResult end =
        runZelto({"snapshot", "--out", dir / "a.png", "--input", dir / "two.wav", "--at", "2"});
    EXPECT_EQ(end.exitCode, 0) << end.err;
    EXPECT_TRUE(fileExists(dir / "a.png"));
}

}  // namespace
}  // namespace zelto_test
