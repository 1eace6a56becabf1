// Button, switch and selector strips of the window. One look for all of them:
// a dark key with a bevel whose caption lights up when it is engaged, blue
// for a setting in force, red for the calibration signal and for the "save"
// acknowledgement of the metering preferences.
#include <cmath>
#include <string>
#include <vector>

#include "Artwork.h"
#include "Layout.h"

namespace zelto::art {

namespace {

using namespace layout;
namespace pal = palette;

constexpr int kKeyHeight = 19;

enum class Lamp {
    Dim,      // not engaged
    Blue,     // engaged
    Muted,    // engaged, but without effect at the moment
    Red,      // calibration running, or preferences saved
    DarkRed,  // the calibration blink's dark phase
};

Rgb lampColour(Lamp lamp) {
    switch (lamp) {
        case Lamp::Dim:
            return rgb(128, 134, 142);
        case Lamp::Blue:
            return rgb(104, 184, 255);
        case Lamp::Muted:
            return rgb(74, 104, 134);
        case Lamp::Red:
            return rgb(255, 92, 66);
        case Lamp::DarkRed:
            return rgb(134, 40, 28);
    }
    return rgb(128, 134, 142);
}

// A key face in (x, y, w, h). Engaged keys sit a little deeper and darker.
void keyFace(cairo_t* cr, double x, double y, double w, double h, bool engaged) {
    const Rgb top = engaged ? rgb(34, 37, 41) : rgb(70, 74, 80);
    const Rgb bottom = engaged ? rgb(46, 49, 54) : rgb(45, 48, 53);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 3);
    cairo_pattern_t* g = verticalGradient(y, top, y + h, bottom);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 1);
    setColour(cr, rgb(10, 10, 11));
    cairo_stroke(cr);
    // A lit upper lip on raised keys, a shadowed one on pressed keys.
    fillRect(cr, x + 3, y + 1, w - 6, 1, engaged ? rgb(0, 0, 0) : rgb(255, 255, 255),
             engaged ? 0.25 : 0.12);
}

const TextStyle kCaption{"DejaVu Sans Condensed", 7.5, true, 0.0, rgb(0, 0, 0)};

void keyCaption(cairo_t* cr, const std::string& text, double x, double y, double w, double h,
                Lamp lamp) {
    const double cx = x + w / 2.0, cy = y + h / 2.0;
    if (lamp == Lamp::Blue) glow(cr, cx, cy, w * 0.42, h * 0.45, pal::kAccent, 0.30);
    if (lamp == Lamp::Red) glow(cr, cx, cy, w * 0.42, h * 0.45, pal::kWarn, 0.28);
    TextStyle style = kCaption;
    style.colour = lampColour(lamp);
    // Long captions shrink a little rather than touch the key's edges.
    while (style.size > 6.0 && textWidth(cr, style, text) > w - 8) style.size -= 0.5;
    const Box ink = measureText(cr, style, "0", cx, 0);  // digits set the caption height
    drawText(cr, style, text, cx, std::round(cy - (ink.top + ink.bottom) / 2.0));
}

void key(cairo_t* cr, const std::string& text, double x, double y, double w, double h, Lamp lamp,
         bool engaged) {
    keyFace(cr, x, y, w, h, engaged);
    keyCaption(cr, text, x, y, w, h, lamp);
}

struct KeyFrame {
    const char* text;
    Lamp lamp;
    bool engaged;
};

cairo_surface_t* keyStrip(cairo_surface_t* bg, const Rect& at,
                          std::initializer_list<KeyFrame> frames) {
    const std::vector<KeyFrame> list(frames);
    return makeStrip(bg, at, int(list.size()), [&](cairo_t* cr, int i) {
        key(cr, list[i].text, 0, 0, at.width(), at.height(), list[i].lamp, list[i].engaged);
    });
}

constexpr KeyFrame kOff{"off", Lamp::Dim, false};
constexpr KeyFrame kOnBlue{"on", Lamp::Blue, true};
constexpr KeyFrame kSave{"save", Lamp::Red, false};

// The mode key: a peak key above a K-scale key, the space between them is
// panel (presses there do nothing).
cairo_surface_t* modeStrip(cairo_surface_t* bg) {
    const char* scales[] = {"K-12", "K-14", "K-20"};
    const Rect& at = kMode;
    const double w = at.width();
    const double kTop = at.height() - kKeyHeight;
    return makeStrip(bg, at, 7, [&](cairo_t* cr, int f) {
        if (f == 6) {
            key(cr, "save", 0, 0, w, kKeyHeight, Lamp::Red, false);
            key(cr, "save", 0, kTop, w, kKeyHeight, Lamp::Red, false);
            return;
        }
        const bool kSystem = f >= 3;
        key(cr, "peak", 0, 0, w, kKeyHeight, kSystem ? Lamp::Dim : Lamp::Blue, !kSystem);
        key(cr, scales[f % 3], 0, kTop, w, kKeyHeight, kSystem ? Lamp::Blue : Lamp::Dim, kSystem);
        // A hairline joining the two keys shows they are one selector.
        fillRect(cr, std::round(w / 2.0), kKeyHeight + 3, 1, kTop - kKeyHeight - 6,
                 rgb(74, 78, 84));
    });
}

// Transient shape: three square keys, each with the corner it puts on a peak.
void kneeIcon(cairo_t* cr, double x, double y, double roundness, Rgb colour) {
    const double x0 = x + 3.5, y0 = y + 14.5, xc = x + 9.0, yc = y + 5.5, x1 = x + 14.5;
    const double r = roundness;
    // Along the rising leg, r before the corner, and along the flat, r after it.
    const double len = std::hypot(xc - x0, yc - y0);
    const double ux = (xc - x0) / len, uy = (yc - y0) / len;
    cairo_new_path(cr);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, xc - ux * r, yc - uy * r);
    cairo_curve_to(cr, xc, yc, xc, yc, xc + r, yc);
    cairo_line_to(cr, x1, yc);
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColour(cr, colour);
    cairo_stroke(cr);
}

cairo_surface_t* shapeStrip(cairo_surface_t* bg) {
    const double roundness[] = {0.0, 3.0, 6.5};
    return makeStrip(bg, kTransShape, 3, [&](cairo_t* cr, int f) {
        for (int i = 0; i < 3; ++i) {
            const double x = 1 + 33 * i, y = 2, s = 18;
            const bool lit = i == f;
            roundedRect(cr, x + 0.5, y + 0.5, s - 1, s - 1, 2.5);
            cairo_pattern_t* g = lit ? verticalGradient(y, rgb(24, 44, 72), y + s, rgb(30, 56, 92))
                                     : verticalGradient(y, rgb(70, 74, 80), y + s, rgb(44, 47, 52));
            cairo_set_source(cr, g);
            cairo_fill_preserve(cr);
            cairo_pattern_destroy(g);
            cairo_set_line_width(cr, 1);
            setColour(cr, lit ? pal::kAccent : rgb(10, 10, 11));
            cairo_stroke(cr);
            if (lit) glow(cr, x + s / 2, y + s / 2, s * 0.45, s * 0.45, pal::kAccent, 0.25);
            kneeIcon(cr, x, y, roundness[i], lit ? rgb(205, 232, 255) : rgb(146, 152, 160));
        }
    });
}

// Power: a round key with a ring that lights blue when the limiter runs.
cairo_surface_t* powerStrip(cairo_surface_t* bg) {
    return makeStrip(bg, kPower, 2, [&](cairo_t* cr, int f) {
        const double cx = kPower.width() / 2.0, cy = kPower.height() / 2.0;
        const bool on = f == 1;
        cairo_pattern_t* bezel =
            verticalGradient(cy - 16, rgb(16, 16, 18), cy + 16, rgb(74, 78, 84));
        cairo_arc(cr, cx, cy, 16.0, 0, 2 * kPi);
        cairo_set_source(cr, bezel);
        cairo_fill(cr);
        cairo_pattern_destroy(bezel);
        cairo_arc(cr, cx, cy, 14.6, 0, 2 * kPi);
        setColour(cr, on ? rgb(20, 50, 86) : rgb(20, 21, 23));
        cairo_fill(cr);
        if (on) {
            glow(cr, cx, cy, 16.5, 16.5, pal::kAccent, 0.35);
            cairo_arc(cr, cx, cy, 13.4, 0, 2 * kPi);
            cairo_set_line_width(cr, 2.2);
            setColour(cr, pal::kAccent);
            cairo_stroke(cr);
        }
        cairo_pattern_t* face =
            verticalGradient(cy - 12, rgb(84, 88, 95), cy + 12, rgb(38, 41, 46));
        cairo_arc(cr, cx, cy, 11.8, 0, 2 * kPi);
        cairo_set_source(cr, face);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(face);
        cairo_set_line_width(cr, 1);
        setColour(cr, rgb(10, 10, 11));
        cairo_stroke(cr);
        const Rgb icon = on ? pal::kAccentLight : rgb(150, 156, 164);
        setColour(cr, icon);
        cairo_set_line_width(cr, 1.8);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy + 0.5, 5.4, radians(-90 + 42), radians(270 - 42));
        cairo_stroke(cr);
        cairo_move_to(cr, cx, cy - 6.5);
        cairo_line_to(cr, cx, cy - 0.5);
        cairo_stroke(cr);
    });
}

// The small switch under "post" and "auto": a key with a lamp in it.
cairo_surface_t* smallSwitchStrip(cairo_surface_t* bg) {
    return makeStrip(bg, kPostMeter, 3, [&](cairo_t* cr, int f) {
        const double w = kPostMeter.width(), h = kPostMeter.height();
        keyFace(cr, 1, 1, w - 2, h - 2, f != 0);
        const double cx = w / 2.0, cy = h / 2.0;
        cairo_arc(cr, cx, cy, 3.6, 0, 2 * kPi);
        setColour(cr, rgb(10, 10, 11));
        cairo_fill(cr);
        if (f == 0) {
            cairo_arc(cr, cx, cy, 2.7, 0, 2 * kPi);
            setColour(cr, rgb(40, 43, 47));
            cairo_fill(cr);
            return;
        }
        const Rgb lamp = f == 1 ? pal::kAccent : pal::kWarn;
        glow(cr, cx, cy, 7.5, 7.5, lamp, 0.45);
        cairo_arc(cr, cx, cy, 2.7, 0, 2 * kPi);
        setColour(cr, lamp);
        cairo_fill(cr);
        cairo_arc(cr, cx - 0.8, cy - 0.9, 0.9, 0, 2 * kPi);
        setColour(cr, rgb(255, 255, 255), 0.7);
        cairo_fill(cr);
    });
}

}  // namespace

void drawButtons(ImageSet& images, cairo_surface_t* bg) {
    images.add(139, keyStrip(bg, kDetectorOrder, {kOff, kOnBlue}));
    images.add(140, keyStrip(bg, kOversample, {kOff, kOnBlue}));
    images.add(162, keyStrip(bg, kQuantize, {kOff, kOnBlue}));
    images.add(144, keyStrip(bg, kAttZoom, {kOff, kOnBlue, kSave}));
    images.add(160, keyStrip(bg, kMeterOvs, {kOff, {"on", Lamp::Red, true}, kSave}));
    images.add(164, keyStrip(bg, kAttShowLim1,
                             {{"lim1", Lamp::Dim, false}, {"lim1", Lamp::Blue, true}, kSave}));
    images.add(165, keyStrip(bg, kAttShowLim2,
                             {{"lim2", Lamp::Dim, false}, {"lim2", Lamp::Blue, true}, kSave}));
    images.add(166, keyStrip(bg, kAttShowLevel,
                             {{"level", Lamp::Dim, false}, {"level", Lamp::Blue, true}, kSave}));
    images.add(163, keyStrip(bg, kAutoblack, {kOff, kOnBlue, {"on", Lamp::Muted, true}}));
    images.add(142, keyStrip(bg, kBits,
                             {{"8 bit", Lamp::Dim, false},
                              {"16 bit", Lamp::Dim, false},
                              {"24 bit", Lamp::Dim, false},
                              {"8 bit", Lamp::Blue, true},
                              {"16 bit", Lamp::Blue, true},
                              {"24 bit", Lamp::Blue, true}}));
    images.add(143, keyStrip(bg, kNoiseShape,
                             {kOff,
                              {"type A", Lamp::Dim, false},
                              {"type B", Lamp::Dim, false},
                              {"type C", Lamp::Dim, false},
                              {"type A", Lamp::Blue, true},
                              {"type B", Lamp::Blue, true},
                              {"type C", Lamp::Blue, true}}));
    images.add(145, keyStrip(bg, kCalibrate,
                             {kOff,
                              {"L", Lamp::Red, true},
                              {"R", Lamp::Red, true},
                              {"L+R", Lamp::Red, true},
                              {"L", Lamp::DarkRed, true},
                              {"R", Lamp::DarkRed, true},
                              {"L+R", Lamp::DarkRed, true}}));
    images.add(141, modeStrip(bg));
    images.add(146, shapeStrip(bg));
    images.add(149, powerStrip(bg));
    images.add(161, smallSwitchStrip(bg));
}

}  // namespace zelto::art
