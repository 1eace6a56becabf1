// Drawing helpers of the artwork generator: colours, rectangles, text with
// measured ink boxes, surfaces and a deterministic texture noise. Build-time
// code only; nothing here is linked into the plug-in.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string_view>

namespace zelto::art {

struct Rgb {
    double r, g, b;
};

constexpr Rgb rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}

Rgb mix(Rgb a, Rgb b, double t);
Rgb shade(Rgb c, double factor);

/// A rectangle in window or image pixels: left and top inclusive, right and
/// bottom exclusive, as the control tables give them.
struct Rect {
    int left, top, right, bottom;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr double centreX() const { return (left + right) / 2.0; }
    constexpr double centreY() const { return (top + bottom) / 2.0; }
};

/// An ink box in pixels (fractional).
struct Box {
    double left, top, right, bottom;
    bool intersects(const Box& o, double margin = 0.0) const;
};

Box toBox(const Rect& r);

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0);
void fillRect(cairo_t* cr, double x, double y, double w, double h, Rgb c, double alpha = 1.0);
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
/// A vertical linear gradient from `top` at y0 to `bottom` at y1.
cairo_pattern_t* verticalGradient(double y0, Rgb top, double y1, Rgb bottom);
/// A soft elliptical glow centred at (cx, cy).
void glow(cairo_t* cr, double cx, double cy, double rx, double ry, Rgb c, double alpha);

enum class Align { Left, Centre, Right };

struct TextStyle {
    const char* family = "DejaVu Sans";
    double size = 7.0;
    bool bold = false;
    double tracking = 0.0;  // extra pixels after each letter
    Rgb colour = rgb(150, 157, 166);
};

/// Where the text would put ink, without drawing. `x` is the left edge, the
/// centre or the right edge of the advance box by `align`.
/// Stops the generator unless the font family (in that weight) is installed
/// as itself rather than as a substitute.
void requireFont(const char* family, bool bold);

Box measureText(cairo_t* cr, const TextStyle& style, std::string_view text, double x,
                double baseline, Align align = Align::Centre);
/// Draws the text (UTF-8) and answers its ink box. The start is rounded to a
/// whole pixel so small captions stay crisp.
Box drawText(cairo_t* cr, const TextStyle& style, std::string_view text, double x, double baseline,
             Align align = Align::Centre);
/// Advance width of the text with the style's tracking.
double textWidth(cairo_t* cr, const TextStyle& style, std::string_view text);

/// Sets the font options every caption uses (grey antialiasing, medium hinting: crisp
/// small captions without uneven letter gaps).
void useCrispText(cairo_t* cr);
/// Font options for words: advances left unrounded and only vertical hinting,
/// so the gaps between letters stay even (rounding each letter's advance to a
/// whole pixel opens visible holes inside small words).
void useEvenText(cairo_t* cr);

/// An opaque 24-bit image of the given size, painted black.
cairo_surface_t* newImage(int width, int height);
/// A new image holding the pixels of `src` at (x, y, w, h).
cairo_surface_t* crop(cairo_surface_t* src, int x, int y, int w, int h);
/// Paints `src` with its top-left at (x, y), optionally only the source
/// rectangle (sx, sy, w, h).
void blit(cairo_t* cr, cairo_surface_t* src, double x, double y);
void blitPart(cairo_t* cr, cairo_surface_t* src, int sx, int sy, int w, int h, int dx, int dy);

/// Deterministic value noise in [0, 1) from integer coordinates and a seed.
double hashNoise(int x, int y, uint32_t seed);
/// Smooth value noise in [0, 1) at fractional coordinates.
double smoothNoise(double x, double y, uint32_t seed);

constexpr double kPi = 3.14159265358979323846;
inline double radians(double degrees) {
    return degrees * kPi / 180.0;
}

}  // namespace zelto::art
