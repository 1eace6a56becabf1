// The preset strip's buttons: three frames each (at rest, under the mouse,
// pressed), the rocker with five (at rest, hovered left or right, pressed
// left or right), and the small unused arrow 994.
#include <cmath>

#include "Artwork.h"
#include "Layout.h"

namespace zelto::art {

namespace {

using namespace layout;
namespace pal = palette;

enum class State { Rest, Hover, Pressed };

State stateOf(int frame) {
    return frame == 0 ? State::Rest : frame == 1 ? State::Hover : State::Pressed;
}

Rgb inkOf(State s) {
    switch (s) {
        case State::Rest:
            return rgb(172, 178, 186);
        case State::Hover:
            return rgb(240, 243, 248);
        case State::Pressed:
            return pal::kAccentLight;
    }
    return rgb(172, 178, 186);
}

void face(cairo_t* cr, double x, double y, double w, double h, State s) {
    Rgb top = rgb(60, 63, 68), bottom = rgb(40, 42, 46);
    if (s == State::Hover) top = rgb(76, 80, 87), bottom = rgb(50, 53, 58);
    if (s == State::Pressed) top = rgb(26, 28, 31), bottom = rgb(40, 43, 47);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 2.5);
    cairo_pattern_t* g = verticalGradient(y, top, y + h, bottom);
    cairo_set_source(cr, g);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(g);
    cairo_set_line_width(cr, 1);
    setColour(cr, rgb(9, 9, 10));
    cairo_stroke(cr);
    if (s != State::Pressed) fillRect(cr, x + 2.5, y + 1, w - 5, 1, rgb(255, 255, 255), 0.10);
}

// An arrow into a tray (store, save) or out of it (recall, load).
void trayArrow(cairo_t* cr, double w, double h, bool into, Rgb ink) {
    const double cx = std::round(w / 2.0) - 0.0, base = h - 3.5;
    setColour(cr, ink);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, cx - 5, base - 2.5);
    cairo_line_to(cr, cx - 5, base);
    cairo_line_to(cr, cx + 5, base);
    cairo_line_to(cr, cx + 5, base - 2.5);
    cairo_stroke(cr);
    const double tip = into ? base - 2.0 : 2.5, tail = into ? 2.5 : base - 2.0;
    const double head = into ? -3.5 : 3.5;
    cairo_move_to(cr, cx, tail);
    cairo_line_to(cr, cx, tip + head * 0.6);
    cairo_stroke(cr);
    cairo_move_to(cr, cx - 3.2, tip + head);
    cairo_line_to(cr, cx + 3.2, tip + head);
    cairo_line_to(cr, cx, tip);
    cairo_close_path(cr);
    cairo_fill(cr);
}

cairo_surface_t* arrowButton(cairo_surface_t* bg, const Rect& at, bool into) {
    return makeStrip(bg, at, 3, [&](cairo_t* cr, int f) {
        const State s = stateOf(f);
        face(cr, 0, 0, at.width(), at.height(), s);
        cairo_translate(cr, 0, s == State::Pressed ? 0.5 : 0.0);
        trayArrow(cr, at.width(), at.height(), into, inkOf(s));
    });
}

cairo_surface_t* wordButton(cairo_surface_t* bg, const Rect& at, const char* word) {
    return makeStrip(bg, at, 3, [&](cairo_t* cr, int f) {
        const State s = stateOf(f);
        face(cr, 0, 0, at.width(), at.height(), s);
        const TextStyle style{"DejaVu Sans Condensed", 7.0, true, 0.0, inkOf(s)};
        const Box ink = measureText(cr, style, "bk", 0, 0);
        drawText(cr, style, word, at.width() / 2.0,
                 std::round(at.height() / 2.0 - (ink.top + ink.bottom) / 2.0) +
                     (s == State::Pressed ? 1 : 0));
    });
}

cairo_surface_t* manualButton(cairo_surface_t* bg) {
    return makeStrip(bg, kManual, 3, [&](cairo_t* cr, int f) {
        const State s = stateOf(f);
        face(cr, 0, 0, kManual.width(), kManual.height(), s);
        const TextStyle style{"DejaVu Sans", 7.0, true, 0.0, inkOf(s)};
        drawText(cr, style, "?", kManual.width() / 2.0, 7 + (s == State::Pressed ? 1 : 0));
    });
}

void triangle(cairo_t* cr, double cx, double cy, bool right, Rgb ink) {
    const double d = right ? 1.0 : -1.0;
    setColour(cr, ink);
    cairo_move_to(cr, cx + 2.5 * d, cy);
    cairo_line_to(cr, cx - 2.0 * d, cy - 3.5);
    cairo_line_to(cr, cx - 2.0 * d, cy + 3.5);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// Previous / next: one body split in two halves.
cairo_surface_t* rocker(cairo_surface_t* bg) {
    const Rect& at = kRocker;
    return makeStrip(bg, at, 5, [&](cairo_t* cr, int f) {
        const double w = at.width(), h = at.height(), half = w / 2.0;
        State left = State::Rest, right = State::Rest;
        if (f == 1) left = State::Hover;
        if (f == 2) right = State::Hover;
        if (f == 3) left = State::Pressed;
        if (f == 4) right = State::Pressed;
        face(cr, 0, 0, w, h, State::Rest);
        for (int side = 0; side < 2; ++side) {
            const State s = side == 0 ? left : right;
            if (s != State::Rest) {
                cairo_save(cr);
                cairo_rectangle(cr, side * half, 0, half, h);
                cairo_clip(cr);
                face(cr, 0, 0, w, h, s);
                cairo_restore(cr);
            }
            const double dy = s == State::Pressed ? 0.5 : 0.0;
            triangle(cr, side * half + half / 2.0 + (side == 0 ? 0.0 : 0.5), h / 2.0 + dy,
                     side == 1, inkOf(s));
        }
        fillRect(cr, std::floor(half), 2, 1, h - 4, rgb(9, 9, 10));
    });
}

cairo_surface_t* smallArrow(cairo_surface_t* bg) {
    cairo_surface_t* s = crop(bg, 372, 450, 7, 7);
    cairo_t* cr = cairo_create(s);
    face(cr, 0, 0, 7, 7, State::Rest);
    setColour(cr, inkOf(State::Rest));
    cairo_move_to(cr, 1.5, 2.5);
    cairo_line_to(cr, 5.5, 2.5);
    cairo_line_to(cr, 3.5, 5.0);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_destroy(cr);
    return s;
}

}  // namespace

void drawPresetStrip(ImageSet& images, cairo_surface_t* bg) {
    images.add(989, manualButton(bg));
    images.add(990, arrowButton(bg, kLoadBank, false));
    images.add(991, arrowButton(bg, kSaveBank, true));
    images.add(992, wordButton(bg, kDefaultBank, "bank"));
    images.add(993, wordButton(bg, kDefaultPreset, "preset"));
    images.add(994, smallArrow(bg));
    images.add(995, rocker(bg));
}

}  // namespace zelto::art
