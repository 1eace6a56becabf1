// --plot: the picture of a render is checked for what it shows, pixel by
// pixel against the fixed layout: its size, the gain-reduction curve deepest
// where the loud passage is and as deep as the report says, nothing where
// the plug-in did not limit, and the target line on the row of its loudness.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>

#include "ToolTestSupport.h"
#include "tools/analysis/PlotLayout.h"

using namespace zelto_test;
using zelto::kPlotLevels;
using zelto::kPlotLoudness;
using zelto::kPlotReduction;

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

Picture load(const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    Picture p;
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        p.width = cairo_image_surface_get_width(s);
        p.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < p.height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
            for (int x = 0; x < p.width; ++x) p.pixels.push_back(row[x] & 0xFFFFFFu);
        }
    }
    cairo_surface_destroy(s);
    return p;
}

int red(uint32_t c) {
    return static_cast<int>(c >> 16 & 0xFF);
}
int green(uint32_t c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
int blue(uint32_t c) {
    return static_cast<int>(c & 0xFF);
}
bool isOrange(uint32_t c) {
    return red(c) > 180 && green(c) > 90 && green(c) < 170 && blue(c) < 60;
}
bool isWarnRed(uint32_t c) {
    return red(c) > 200 && green(c) > 50 && green(c) < 110 && blue(c) > 30 && blue(c) < 90;
}
bool isYellow(uint32_t c) {
    return red(c) > 200 && green(c) > 170 && blue(c) < 80;
}

TEST(ZeltoPlot, GainReductionIsDrawnWhereAndAsDeepAsThePlugInLimited) {
    TempDir dir;
    // A quiet tone with one loud tenth of a second at 2.5 s; with +12 dB of
    // drive only that passage reaches the ceiling.
    const double seconds = 4.0;
    Audio a{2, kRate, 0, std::vector<double>(static_cast<size_t>(seconds * kRate) * 2)};
    for (size_t n = 0; n < a.frames(); ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double amp = (t >= 2.5 && t < 2.6) ? 1.0 : 0.1;
        a.samples[2 * n] = a.samples[2 * n + 1] = amp * std::sin(2 * kPi * 300 * t);
    }
    writeAudio(dir / "in.wav", a);
    const RunResult r =
        runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin", ZELTO_PLUGIN_PATH, "--set",
                  "Drive=0.75", "--plot", dir / "p.png", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const double maxReduction = parseJson(r.out)["maxGainReductionDb"].num();
    ASSERT_GT(maxReduction, 6.0);

    const Picture p = load(dir / "p.png");
    ASSERT_EQ(p.width, zelto::kPlotWidth);
    ASSERT_EQ(p.height, zelto::kPlotHeight);
    int deepestColumn = -1, deepestRow = -1;
    for (int x = kPlotReduction.left; x <= kPlotReduction.right(); ++x) {
        for (int y = kPlotReduction.bottom(); y >= kPlotReduction.top + 24; --y) {
            if (isOrange(p.at(x, y))) {
                if (y > deepestRow) deepestRow = y, deepestColumn = x;
                break;
            }
        }
    }
    ASSERT_GE(deepestColumn, 0) << "no gain reduction drawn";
    // The plug-in reports its gain once per process call (512 frames here),
    // and looks ahead by its latency: the curve may start that much early.
    EXPECT_GE(deepestColumn, kPlotReduction.column(2.5 - 0.02, seconds));
    EXPECT_LE(deepestColumn, kPlotReduction.column(2.6 + 0.02, seconds));
    EXPECT_NEAR(deepestRow, kPlotReduction.row(-maxReduction), 2.0);
    // The largest true peak is marked over the loud passage, at its level.
    const double truePeak = parseJson(r.out)["output"]["truePeakDbtp"].num();
    bool marked = false;
    for (int x = kPlotLevels.column(2.5 - 0.02, seconds); x <= kPlotLevels.column(2.6, seconds);
         ++x) {
        const int tip = std::max(kPlotLevels.row(truePeak), kPlotLevels.top + 22);
        for (int y = tip - 10; y <= tip; ++y) marked = marked || isWarnRed(p.at(x, y));
    }
    EXPECT_TRUE(marked) << "no true-peak marker at " << truePeak << " dBTP near 2.5 s";
    // Before the loud passage the plug-in did not limit, and the panel is empty
    // (below the heading).
    for (int x = kPlotReduction.column(0.2, seconds); x < kPlotReduction.column(2.3, seconds);
         ++x) {
        for (int y = kPlotReduction.top + 24; y <= kPlotReduction.bottom(); ++y) {
            ASSERT_FALSE(isOrange(p.at(x, y))) << x << "," << y;
        }
    }
}

TEST(ZeltoPlot, MasterDrawsTheTargetOnTheRowOfItsLoudness) {
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, kRate, 3 * kRate, 0.5));
    for (const char* target : {"-14", "-20"}) {
        const RunResult r = runZelto({"master", dir / "in.wav", dir / "out.wav", "--lufs", target,
                                      "--plugin", ZELTO_PLUGIN_PATH, "--plot", dir / "m.png"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        const Picture p = load(dir / "m.png");
        ASSERT_EQ(p.width, zelto::kPlotWidth);
        auto yellowIn = [&](int y) {
            int n = 0;
            for (int x = kPlotLoudness.left; x <= kPlotLoudness.right(); ++x)
                n += isYellow(p.at(x, y));
            return n;
        };
        const int row = kPlotLoudness.row(std::stod(target));
        EXPECT_GT(yellowIn(row), kPlotLoudness.width * 9 / 10) << target;
        EXPECT_LT(yellowIn(row + 2), kPlotLoudness.width / 10) << target;
        EXPECT_LT(yellowIn(row - 12), kPlotLoudness.width / 10) << target;

        // Without a picture, the file found is written from the search's
        // own render of it rather than by running the plug-in again: the
        // same bytes, and the same plug-in figures in the report.
        const RunResult plain = runZelto({"master", dir / "in.wav", dir / "plain.wav", "--lufs",
                                          target, "--plugin", ZELTO_PLUGIN_PATH});
        ASSERT_EQ(plain.exitCode, 0) << plain.out << plain.err;
        EXPECT_EQ(readFile(dir / "plain.wav"), readFile(dir / "out.wav")) << target;
        auto line = [](const std::string& report, const std::string& label) {
            const size_t at = report.find("\n" + label);
            return at == std::string::npos ? "" : report.substr(at, report.find('\n', at + 1) - at);
        };
        for (const char* label : {"Gain reduction", "Processing", "True peak", "Loudness range"}) {
            EXPECT_NE(line(plain.out, label), "") << label;
            EXPECT_EQ(line(plain.out, label), line(r.out, label)) << label;
        }
    }
}

TEST(ZeltoPlot, TheCeilingIsDrawnTheFloorFollowsQuietPassagesAndShortTermWaitsForItsWindow) {
    // 12 s of tone with a -51 dBFS passage from 4 to 8 s.
    TempDir dir;
    const double seconds = 12.0;
    Audio a{2, kRate, 0, std::vector<double>(static_cast<size_t>(seconds * kRate) * 2)};
    for (size_t n = 0; n < a.frames(); ++n) {
        const double t = static_cast<double>(n) / kRate;
        const double amp = (t >= 4.0 && t < 8.0) ? std::pow(10.0, -51.0 / 20.0) : 0.5;
        a.samples[2 * n] = a.samples[2 * n + 1] = amp * std::sin(2 * kPi * 440 * t);
    }
    writeAudio(dir / "in.wav", a);
    const RunResult r =
        runZelto({"master", dir / "in.wav", dir / "out.wav", "--lufs", "-14", "--true-peak", "-3",
                  "--plugin", ZELTO_PLUGIN_PATH, "--plot", dir / "p.png"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const Picture p = load(dir / "p.png");
    ASSERT_EQ(p.width, zelto::kPlotWidth);

    // The ceiling: one row of the level panel red nearly all the way across.
    int ceilingRow = -1;
    for (int y = kPlotLevels.top; y <= kPlotLevels.bottom() && ceilingRow < 0; ++y) {
        int n = 0;
        for (int x = kPlotLevels.left; x <= kPlotLevels.right(); ++x) n += isWarnRed(p.at(x, y));
        if (n > kPlotLevels.width * 8 / 10) ceilingRow = y;
    }
    ASSERT_GE(ceilingRow, 0) << "no ceiling line";
    // Its row fixes the scale (the top is +12 dB), and so the panel's floor,
    // which must lie under the quiet passage.
    const double pxPerDb = (ceilingRow - kPlotLevels.top) / (12.0 - -3.0);
    const double floorDb = 12.0 - (kPlotLevels.height - 1) / pxPerDb;
    EXPECT_LE(floorDb, -56.0);
    EXPECT_GE(floorDb, zelto::kPlotLevelsFloorMin - 1.0);
    // The passage shows as bars rising well above the floor.
    const int x = kPlotLevels.column(6.0, seconds);
    int top = kPlotLevels.bottom();
    while (top > kPlotLevels.top &&
           p.at(x, top - 1) != p.at(kPlotLevels.left + 1, kPlotLevels.top + 30))
        --top;
    EXPECT_LT(top, kPlotLevels.bottom() - 10) << "the quiet passage sits on the floor";

    // No short-term loudness before its first whole 3 s window.
    bool early = false;
    for (int cx = kPlotLoudness.left; cx < kPlotLoudness.column(2.9, seconds); ++cx) {
        for (int y = kPlotLoudness.top + 24; y <= kPlotLoudness.bottom(); ++y) {
            const uint32_t c = p.at(cx, y);
            early = early || (green(c) > 150 && red(c) < 100 && blue(c) < 120);
        }
    }
    EXPECT_FALSE(early);
}

TEST(ZeltoPlot, AnUnwritablePictureIsAnOutputError) {
    TempDir dir;
    writeAudio(dir / "in.wav", testSignal(2, kRate, kRate, 0.5));
    const RunResult r = runZelto({"render", dir / "in.wav", dir / "out.wav", "--plugin",
                                  ZELTO_PLUGIN_PATH, "--plot", dir / "no-such-dir/p.png"});
    EXPECT_EQ(r.exitCode, 9) << r.err;
    EXPECT_NE(r.err.find("p.png"), std::string::npos) << r.err;
}

}  // namespace
