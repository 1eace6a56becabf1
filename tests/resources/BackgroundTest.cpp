// The window background and how the other images sit on it: meters shown in
// their default state, fields and readouts legible in the colours the views
// type in, control frames that blend into the panel around them, the logo
// at the info panel's hot spot and the wooden cheeks.
#include <algorithm>
#include <vector>

#include "resources/ArtworkTestSupport.h"

using zelto::test::Colour;
using zelto::test::Picture;
using zelto::test::WindowRect;

namespace {

double relativeLuminance(Colour c) {
    auto lin = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}

// Contrast ratio of two colours, 1 (none) to 21 (black on white).
double contrast(Colour a, Colour b) {
    double la = relativeLuminance(a), lb = relativeLuminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

// The least contrast between `ink` and any pixel inside the rectangle.
double worstContrast(const Picture& bg, const WindowRect& r, Colour ink) {
    double worst = 21;
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        for (int x = r.left + 1; x < r.right - 1; ++x)
            worst = std::min(worst, contrast(bg.at(x, y), ink));
    }
    return worst;
}

}  // namespace

TEST(WindowBackground, ShowsTheMetersInTheirDefaultState) {
    // Peak metering: the K-12 scales (133 input, 136 output) between the bars,
    // the unlit peak strip (155) in every bar from its row 48 at window y 42,
    // and the full-range attenuation scale (first frame of 167).
    const Picture bg(128), scaleIn(133), scaleOut(136), unlit(155), gr(167);
    ASSERT_TRUE(bg.valid() && scaleIn.valid() && scaleOut.valid() && unlit.valid() && gr.valid());
    for (int y = 0; y < 367; ++y) {
        for (int x = 1; x < 27; ++x) {  // column 0 of the input scale lies under the left bar
            ASSERT_EQ(bg.at(164 + x, 38 + y), scaleIn.at(x, y)) << x << ", " << y;
        }
        for (int x = 0; x < 27; ++x) ASSERT_EQ(bg.at(335 + x, 38 + y), scaleOut.at(x, y));
    }
    for (int barX : {150, 191, 320, 363}) {
        for (int y = 0; y < 360; ++y) {
            for (int x = 0; x < 15; ++x) {
                ASSERT_EQ(bg.at(barX + x, 42 + y), unlit.at(x, 48 + y)) << barX << ", " << y;
            }
        }
    }
    for (int y = 0; y < 153; ++y) {
        for (int x = 0; x < 58; ++x) ASSERT_EQ(bg.at(233 + x, 39 + y), gr.at(x, y));
    }
}

TEST(WindowBackground, TextFieldsAreLegibleInTheirTypeColours) {
    const Picture bg(128);
    ASSERT_TRUE(bg.valid());
    // Drive and Output fields type light on dark, the four others dark on light.
    const Colour lightInk{213, 236, 246}, darkInk{39, 39, 39};
    for (WindowRect r : {WindowRect{43, 409, 117, 427}, WindowRect{410, 409, 484, 427}}) {
        EXPECT_GE(worstContrast(bg, r, lightInk), 7.0) << r.left << ", " << r.top;
    }
    for (WindowRect r : {WindowRect{45, 221, 119, 239}, WindowRect{45, 319, 119, 337},
                         WindowRect{411, 221, 485, 239}, WindowRect{411, 319, 485, 337}}) {
        EXPECT_GE(worstContrast(bg, r, darkInk), 7.0) << r.left << ", " << r.top;
    }
    // The preset name is typed dark as well.
    EXPECT_GE(worstContrast(bg, WindowRect{194, 447, 318, 461}, Colour{36, 36, 32}), 7.0);
}

TEST(WindowBackground, ReadoutsSitOnTheirOwnCellColour) {
    // Readout labels are printed on cells of the light colour; the panel under
    // a readout is that very colour, so the cells do not show as patches.
    const Picture bg(128);
    const Colour light{213, 236, 246};
    for (WindowRect r : {WindowRect{131, 415, 224, 426}, WindowRect{303, 415, 396, 426},
                         WindowRect{217, 199, 310, 210}}) {
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) ASSERT_EQ(bg.at(x, y), light) << x << ", " << y;
        }
    }
}

TEST(WindowBackground, ControlFramesBlendIntoThePanel) {
    // Strips drawn for one place on the window: the corners of every frame
    // (outside the knob, key or dial) are the panel pixels under them.
    struct Placed {
        int id;
        WindowRect at;
    };
    const Placed placed[] = {
        {139, {44, 40, 77, 59}},     {140, {81, 40, 114, 59}},    {141, {223, 305, 258, 361}},
        {162, {412, 40, 445, 59}},   {163, {449, 40, 482, 59}},   {142, {412, 78, 445, 97}},
        {143, {449, 78, 482, 97}},   {145, {269, 341, 302, 360}}, {144, {269, 265, 302, 284}},
        {164, {224, 265, 257, 284}}, {165, {224, 230, 257, 249}}, {166, {269, 230, 302, 249}},
        {160, {269, 307, 302, 326}}, {152, {55, 169, 105, 217}},  {153, {56, 267, 105, 314}},
        {147, {421, 169, 469, 216}}, {148, {421, 267, 469, 314}}, {146, {38, 121, 128, 146}},
        {149, {245, 400, 280, 435}}, {150, {52, 349, 108, 404}},  {151, {417, 349, 475, 405}},
        {161, {116, 368, 134, 392}}, {992, {39, 447, 71, 460}},   {993, {122, 447, 166, 460}},
        {995, {340, 447, 370, 460}}, {989, {510, 449, 521, 458}},
    };
    const Picture bg(128);
    for (const Placed& p : placed) {
        SCOPED_TRACE(p.id);
        const Picture strip(p.id);
        ASSERT_TRUE(strip.valid());
        const int w = p.at.right - p.at.left, h = p.at.bottom - p.at.top;
        ASSERT_EQ(strip.width(), w);
        for (int f = 0; f < strip.height() / h; ++f) {
            for (auto [x, y] : {std::pair{0, 0}, std::pair{w - 1, 0}, std::pair{0, h - 1},
                                std::pair{w - 1, h - 1}}) {
                const Colour mine = strip.at(x, f * h + y),
                             under = bg.at(p.at.left + x, p.at.top + y);
                EXPECT_LE(std::abs(mine.r - under.r) + std::abs(mine.g - under.g) +
                              std::abs(mine.b - under.b),
                          12)
                    << "frame " << f << " corner " << x << ", " << y << ": " << mine << " on "
                    << under;
            }
        }
    }
}

TEST(WindowBackground, LogoMarksTheInfoHotSpot) {
    // Something bright is printed in the hot spot above the power button, and
    // the panel around it stays dark.
    const Picture bg(128);
    int bright = 0;
    for (int y = 370; y < 401; ++y) {
        for (int x = 224; x < 301; ++x) bright += bg.at(x, y).luminance() > 150;
    }
    EXPECT_GT(bright, 60);
    for (int x = 224; x < 301; ++x) EXPECT_LT(bg.at(x, 366).luminance(), 80.0);
}

TEST(WindowBackground, HasWoodenCheeksDownBothSides) {
    const Picture bg(128);
    for (int y = 0; y < 440; y += 5) {
        for (int x : {5, 518}) {
            const Colour c = bg.at(x, y);
            EXPECT_GT(c.r, c.g) << x << ", " << y;
            EXPECT_GT(c.g, c.b) << x << ", " << y;
            EXPECT_GT(c.r - c.b, 20) << x << ", " << y;
        }
    }
}

// The small captions printed on the panel: the brightest ink of each word
// stands out from the panel around it by at least 4.5:1, and the letters of
// a word sit evenly (no hole of two or more empty pixel columns inside it).
TEST(WindowBackground, SmallCaptionsAreLegibleAndEvenlySpaced) {
    const Picture bg(128);
    ASSERT_TRUE(bg.valid());
    const struct {
        const char* word;
        WindowRect box;
    } words[] = {{"smooth", {44, 27, 77, 36}},      {"quantize", {412, 27, 445, 36}},
                 {"autoblack", {449, 27, 482, 36}}, {"bit", {415, 99, 442, 107}},
                 {"depth", {415, 107, 442, 116}},   {"noise", {450, 99, 481, 107}},
                 {"shaping", {450, 107, 481, 116}}, {"hard", {38, 110, 60, 119}},
                 {"med", {72, 110, 90, 119}},       {"soft", {100, 110, 125, 119}},
                 {"zoom", {272, 254, 299, 263}},    {"mode", {228, 295, 253, 304}},
                 {"recon", {272, 295, 299, 304}},   {"calib", {272, 330, 299, 339}},
                 {"post", {114, 357, 136, 366}},    {"auto", {392, 357, 414, 366}}};
    for (const auto& w : words) {
        const WindowRect& r = w.box;
        Colour ink = bg.at(r.left, r.top), panel = ink;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                const Colour c = bg.at(x, y);
                if (relativeLuminance(c) > relativeLuminance(ink)) ink = c;
                if (relativeLuminance(c) < relativeLuminance(panel)) panel = c;
            }
        }
        EXPECT_GE(contrast(ink, panel), 4.5) << w.word << ": ink " << ink << " on " << panel;

        int first = -1, last = -1, hole = 0, widestHole = 0;
        std::vector<bool> inked;
        for (int x = r.left; x < r.right; ++x) {
            bool any = false;
            for (int y = r.top; y < r.bottom; ++y) any = any || contrast(bg.at(x, y), panel) > 1.5;
            inked.push_back(any);
            if (any) {
                if (first < 0) first = x;
                last = x;
            }
        }
        ASSERT_GE(first, 0) << w.word << " is not printed there";
        for (int x = first; x <= last; ++x) {
            hole = inked[x - r.left] ? 0 : hole + 1;
            widestHole = std::max(widestHole, hole);
        }
        EXPECT_LE(widestHole, 1) << w.word << " has a hole between its letters";
    }
}
