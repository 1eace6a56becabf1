// Meter artwork: the lit strips carry their colour zones on exactly the rows
// the meters cut them at, unlit strips stay dark, the gain-reduction bar runs
// from green to red, and each scale image is its own.
#include "resources/ArtworkTestSupport.h"

using zelto::test::Colour;
using zelto::test::Picture;

namespace {

enum class Zone { Red, Orange, Yellow, YellowGreen, Green, Other };

Zone zoneOf(Colour c) {
    // Hue families, tolerant of the exact shade the artwork picks.
    if (c.r > 180 && c.g < 100 && c.b < 80) return Zone::Red;
    if (c.r > 200 && c.g >= 100 && c.g < 180 && c.b < 80) return Zone::Orange;
    if (c.r > 200 && c.g >= 180 && c.b < 100) return Zone::Yellow;
    if (c.g > 150 && c.r >= 110 && c.r < 200 && c.b < 100) return Zone::YellowGreen;
    if (c.g > 140 && c.r < 110 && c.b < 140) return Zone::Green;
    return Zone::Other;
}

Zone expectedZone(int row) {
    if (row < 120) return Zone::Red;
    if (row < 122) return Zone::Orange;
    if (row < 170) return Zone::Yellow;
    if (row < 180) return Zone::YellowGreen;
    return Zone::Green;
}

}  // namespace

TEST(MeterArt, LitStripsHaveTheirColourZonesOnExactRows) {
    for (int id : {130, 154}) {
        SCOPED_TRACE(id);
        const Picture p(id);
        ASSERT_TRUE(p.valid());
        for (int y = 0; y < p.height(); ++y) {
            const Colour first = p.at(0, y);
            ASSERT_EQ(zoneOf(first), expectedZone(y)) << "row " << y << " is " << first;
            // Solid rows: a bar cut at any row shows one clean colour across.
            for (int x = 1; x < p.width(); ++x) ASSERT_EQ(p.at(x, y), first) << "row " << y;
        }
    }
}

TEST(MeterArt, BothLitStripsAgree) {
    // Peak and K modes share the colour rows, so a level reads the same colour.
    const Picture peak(130), k(154);
    ASSERT_TRUE(peak.valid() && k.valid());
    EXPECT_EQ(peak.rows(0, peak.height()), k.rows(0, k.height()));
}

TEST(MeterArt, UnlitStripsAreDarkerThanAnyLitColour) {
    // An unlit bar must never look lit: its brightest pixel stays below the
    // darkest colour of the lit strip.
    const Picture lit(130);
    double darkestLit = 255;
    for (int y = 0; y < lit.height(); ++y)
        darkestLit = std::min(darkestLit, lit.at(0, y).luminance());
    for (int id : {129, 155}) {
        SCOPED_TRACE(id);
        const Picture p(id);
        ASSERT_TRUE(p.valid());
        for (int y = 0; y < p.height(); ++y) {
            for (int x = 0; x < p.width(); ++x) {
                ASSERT_LT(p.at(x, y).luminance(), darkestLit) << x << ", " << y;
            }
        }
    }
}

TEST(MeterArt, GainReductionBarRunsFromGreenToRed) {
    const Picture p(156);
    ASSERT_TRUE(p.valid());
    // Rows 0 … 144 are what the meter shows (up to 145 pixels).
    const Colour top = p.at(7, 0), deep = p.at(7, 144);
    EXPECT_GT(top.g, top.r + 60) << top;
    EXPECT_GT(deep.r, deep.g + 60) << deep;
    // Through yellow: somewhere in between red and green are both strong.
    bool yellow = false;
    int previous = -1000;
    for (int y = 0; y <= 144; ++y) {
        const Colour c = p.at(7, y);
        yellow |= c.r > 200 && c.g > 180;
        const int redness = c.r - c.g;
        EXPECT_GE(redness, previous) << "row " << y;
        previous = redness;
        for (int x = 0; x < p.width(); ++x) ASSERT_EQ(p.at(x, y), c) << "row " << y;
    }
    EXPECT_TRUE(yellow);
}

TEST(MeterArt, EachModeHasItsOwnScale) {
    for (int first : {131, 134}) {
        const Picture k20(first), k14(first + 1), k12(first + 2);
        EXPECT_NE(k20.rows(0, 367), k14.rows(0, 367)) << first;
        EXPECT_NE(k14.rows(0, 367), k12.rows(0, 367)) << first;
        EXPECT_NE(k20.rows(0, 367), k12.rows(0, 367)) << first;
    }
}

TEST(MeterArt, UnlitStripsMarkTheirReferenceRow) {
    // 0 dBFS is row 120 of the peak strip, the K reference row 144 of the K
    // strip; the mark there is the brightest line of each strip.
    for (auto [id, reference] : {std::pair{155, 120}, std::pair{129, 144}}) {
        SCOPED_TRACE(id);
        const Picture p(id);
        const double mark = p.at(7, reference).luminance();
        for (int y = 0; y < p.height(); ++y) {
            if (y == reference) continue;
            EXPECT_LT(p.at(7, y).luminance(), mark) << "row " << y;
        }
    }
}

TEST(MeterArt, LevelScalesCarryMarksAtEveryDecibel) {
    // Ticks along the bars every 6 rows (1 dB) from row 4 (top of the bar
    // zone, window y 42) to row 364 (bottom, y 402), on both edges: each tick
    // row stands out from the rows just above and below it.
    for (int id : {131, 132, 133, 134, 135, 136}) {
        SCOPED_TRACE(id);
        const Picture p(id);
        ASSERT_TRUE(p.valid());
        for (int row = 4; row <= 364; row += 6) {
            for (int x : {2, p.width() - 3}) {
                const double here = p.at(x, row).luminance();
                EXPECT_GT(here, p.at(x, row - 2).luminance() + 25) << "row " << row << " x " << x;
                EXPECT_GT(here, p.at(x, row + 2).luminance() + 25) << "row " << row << " x " << x;
            }
        }
    }
}

TEST(MeterArt, ZeroOfEachScaleSitsWhereTheBarsReachZero) {
    // The bars span window rows 42 … 402 for 60 dB; the scale images start at
    // window row 38. The highlighted 0 is centred on the row of 0 dB of its
    // mode: 20, 14 or 12 dB below the top (K-20, K-14, K-12 and peak).
    const std::pair<int, int> scales[] = {{131, 20}, {132, 14}, {133, 12},
                                          {134, 20}, {135, 14}, {136, 12}};
    for (auto [id, dbBelowTop] : scales) {
        SCOPED_TRACE(id);
        const Picture p(id);
        ASSERT_TRUE(p.valid());
        double rowSum = 0;
        int count = 0;
        for (int y = 0; y < p.height(); ++y) {
            for (int x = 0; x < p.width(); ++x) {
                if (p.at(x, y).luminance() > 200) rowSum += y, ++count;
            }
        }
        ASSERT_GT(count, 4) << "no highlighted zero";
        EXPECT_NEAR(rowSum / count, 42 - 38 + dbBelowTop * 6, 1.5);
    }
}

TEST(MeterArt, GainReductionScaleHasTwoDifferentFrames) {
    const Picture p(167);
    ASSERT_TRUE(p.valid());
    EXPECT_NE(p.rows(0, 153), p.rows(153, 153));
    // Both frames leave the bar lanes dark from window y 42 down: the bars
    // (window x 234 and 275, 15 wide) are drawn over them.
    for (int frame = 0; frame < 2; ++frame) {
        for (int y = 3; y < 148; ++y) {
            for (int x : {1, 8, 15, 42, 49, 56}) {
                EXPECT_LT(p.at(x, frame * 153 + y).luminance(), 40.0) << x << ", " << y;
            }
        }
    }
}
