// The 5 × 8 bitmap fonts: 192 glyphs (characters 32–127, then the same
// inverted), two exact colours each so the printer can draw them unscaled,
// every character distinguishable from every other, and both colourings the
// same shapes.
#include <array>
#include <string>

#include "resources/ArtworkTestSupport.h"

using zelto::test::Colour;
using zelto::test::Picture;

namespace {

constexpr Colour kLight{213, 236, 246};
constexpr Colour kDark{79, 79, 79};
constexpr Colour kOverRed{229, 53, 5};

using Glyph = std::array<bool, 40>;  // ink, row by row

// Glyph g of a font, ink being the given colour.
Glyph glyph(const Picture& font, int g, Colour ink) {
    Glyph out{};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 5; ++x) out[size_t(y * 5 + x)] = font.at(x, g * 8 + y) == ink;
    }
    return out;
}

int distance(const Glyph& a, const Glyph& b) {
    int d = 0;
    for (size_t i = 0; i < a.size(); ++i) d += a[i] != b[i];
    return d;
}

int inkCount(const Glyph& g) {
    int n = 0;
    for (bool b : g) n += b;
    return n;
}

}  // namespace

TEST(BitmapFonts, EachFontUsesExactlyItsTwoColours) {
    for (auto [id, dark] : {std::pair{137, kDark}, std::pair{138, kOverRed}}) {
        SCOPED_TRACE(id);
        const Picture font(id);
        ASSERT_TRUE(font.valid());
        ASSERT_EQ(font.width(), 5);
        ASSERT_EQ(font.height(), 192 * 8);
        for (int y = 0; y < font.height(); ++y) {
            for (int x = 0; x < 5; ++x) {
                const Colour c = font.at(x, y);
                ASSERT_TRUE(c == kLight || c == dark) << c << " at " << x << ", " << y;
            }
        }
    }
}

TEST(BitmapFonts, SecondHalfIsTheFirstInverted) {
    for (auto [id, dark] : {std::pair{137, kDark}, std::pair{138, kOverRed}}) {
        SCOPED_TRACE(id);
        const Picture font(id);
        for (int g = 0; g < 96; ++g) {
            // Normal: dark ink on light. Inverted: light ink on dark, same shape.
            EXPECT_EQ(glyph(font, g, dark), glyph(font, g + 96, kLight)) << "glyph " << g;
        }
    }
}

TEST(BitmapFonts, BothColouringsHaveTheSameShapes) {
    const Picture normal(137), red(138);
    for (int g = 0; g < 96; ++g) {
        EXPECT_EQ(glyph(normal, g, kDark), glyph(red, g, kOverRed)) << "glyph " << g;
    }
}

TEST(BitmapFonts, EveryCharacterIsDistinguishable) {
    const Picture font(137);
    std::vector<Glyph> glyphs;
    for (int g = 0; g < 96; ++g) glyphs.push_back(glyph(font, g, kDark));
    EXPECT_EQ(inkCount(glyphs[0]), 0) << "space carries ink";
    for (int g = 1; g < 96; ++g) EXPECT_GT(inkCount(glyphs[size_t(g)]), 0) << char(g + 32);
    // At least two pixels apart, so no single misread pixel turns one
    // character into another (I and l, O and 0, comma and full stop …).
    for (int a = 0; a < 96; ++a) {
        for (int b = a + 1; b < 96; ++b) {
            EXPECT_GE(distance(glyphs[size_t(a)], glyphs[size_t(b)]), 2)
                << "'" << char(a + 32) << "' and '" << char(b + 32) << "'";
        }
    }
}

TEST(BitmapFonts, FiguresStayClearOfTheReadoutBoxEdges) {
    // The readouts print into a box one row taller than a glyph cell, from the
    // row above the cell to the cell's last row; figures leave that last row
    // empty so they sit centred in the box.
    const Picture font(137);
    for (char c : std::string("0123456789+-.dBFSr")) {
        const Glyph g = glyph(font, c - 32, kDark);
        for (int x = 0; x < 5; ++x) EXPECT_FALSE(g[size_t(35 + x)]) << "'" << c << "'";
    }
    // Descenders do reach it, so "samples" and "Requantizing" read properly.
    for (char c : std::string("gjpqy,")) {
        const Glyph g = glyph(font, c - 32, kDark);
        int ink = 0;
        for (int x = 0; x < 5; ++x) ink += g[size_t(35 + x)];
        EXPECT_GT(ink, 0) << "'" << c << "'";
    }
}
