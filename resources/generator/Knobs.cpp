// Knob strips, 101 frames each from minimum to maximum. Every frame renders
// the knob turned to its position: grip and pointer rotate with the body,
// while the light stays where it is, as on a real front panel. All knobs
// turn clockwise through 270 degrees, pointer from lower left to lower right.
//
// The silver knobs read against scales printed on the panel. The black Drive
// and Output dials carry their scale in their own frames, with a blue arc
// from the neutral mark (0 dB) to the pointer, so the amount of gain change
// is visible at a glance.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Artwork.h"
#include "Layout.h"

namespace zelto::art {

namespace {

using namespace layout;
namespace pal = palette;

constexpr int kFrames = 101;

// Screen direction of an angle measured clockwise from straight up.
double dirX(double deg) {
    return std::sin(radians(deg));
}
double dirY(double deg) {
    return -std::cos(radians(deg));
}

// A conic fill with the given brightness around the circle (fixed light).
template <typename Brightness>
cairo_pattern_t* conic(double cx, double cy, double r, Rgb tint, Brightness brightness) {
    constexpr int kSectors = 36;
    cairo_pattern_t* p = cairo_pattern_create_mesh();
    const double step = 360.0 / kSectors;
    const double k = 4.0 / 3.0 * std::tan(radians(step) / 4.0) * r;
    for (int i = 0; i < kSectors; ++i) {
        const double a0 = i * step, a1 = (i + 1) * step;
        const double x0 = cx + r * dirX(a0), y0 = cy + r * dirY(a0);
        const double x1 = cx + r * dirX(a1), y1 = cy + r * dirY(a1);
        // Tangent directions (clockwise) at both ends of the arc.
        const double t0x = std::cos(radians(a0)), t0y = std::sin(radians(a0));
        const double t1x = std::cos(radians(a1)), t1y = std::sin(radians(a1));
        const Rgb c0 = shade(tint, brightness(a0)), c1 = shade(tint, brightness(a1));
        cairo_mesh_pattern_begin_patch(p);
        cairo_mesh_pattern_move_to(p, cx, cy);
        cairo_mesh_pattern_line_to(p, x0, y0);
        cairo_mesh_pattern_curve_to(p, x0 + k * t0x, y0 + k * t0y, x1 - k * t1x, y1 - k * t1y, x1,
                                    y1);
        cairo_mesh_pattern_line_to(p, cx, cy);
        cairo_mesh_pattern_set_corner_color_rgb(p, 0, c0.r, c0.g, c0.b);
        cairo_mesh_pattern_set_corner_color_rgb(p, 1, c0.r, c0.g, c0.b);
        cairo_mesh_pattern_set_corner_color_rgb(p, 2, c1.r, c1.g, c1.b);
        cairo_mesh_pattern_set_corner_color_rgb(p, 3, c1.r, c1.g, c1.b);
        cairo_mesh_pattern_end_patch(p);
    }
    return p;
}

void dropShadow(cairo_t* cr, double cx, double cy, double r) {
    cairo_pattern_t* p =
        cairo_pattern_create_radial(cx + 0.6, cy + 1.6, r - 3, cx + 0.6, cy + 1.6, r + 3.5);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0.65);
    cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, cx + 0.6, cy + 1.6, r + 3.5, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// Brushed aluminium seen under a light from the upper left: two bright lobes
// opposite each other across the spin marks.
double brushed(double a) {
    const double d = radians(a + 45.0);
    return 0.70 + 0.24 * std::cos(2 * d) + 0.07 * std::cos(d);
}

void silverKnob(cairo_t* cr, double cx, double cy, double angle) {
    constexpr double R = 18.0;         // body
    constexpr double kFace = R - 3.6;  // top face inside the grip
    dropShadow(cr, cx, cy, R);

    // Grip: a turned skirt with fine flutes.
    cairo_pattern_t* skirt = cairo_pattern_create_linear(cx - R, cy - R, cx + R, cy + R);
    cairo_pattern_add_color_stop_rgb(skirt, 0, 0.86, 0.87, 0.89);
    cairo_pattern_add_color_stop_rgb(skirt, 1, 0.34, 0.35, 0.37);
    cairo_arc(cr, cx, cy, R, 0, 2 * kPi);
    cairo_set_source(cr, skirt);
    cairo_fill(cr);
    cairo_pattern_destroy(skirt);
    constexpr int kFlutes = 40;
    for (int i = 0; i < kFlutes; ++i) {
        const double a0 = angle + i * 360.0 / kFlutes;
        const double a1 = a0 + 180.0 / kFlutes;
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, R - 0.2, radians(a0 - 90), radians(a1 - 90));
        cairo_arc_negative(cr, cx, cy, kFace, radians(a1 - 90), radians(a0 - 90));
        cairo_close_path(cr);
        setColour(cr, rgb(0, 0, 0), 0.22);
        cairo_fill(cr);
    }
    cairo_arc(cr, cx, cy, R - 0.5, 0, 2 * kPi);
    cairo_set_line_width(cr, 1.0);
    setColour(cr, rgb(20, 20, 22), 0.55);
    cairo_stroke(cr);

    // Face with spun-metal sheen.
    cairo_pattern_t* face = conic(cx, cy, kFace, rgb(236, 238, 242), brushed);
    cairo_arc(cr, cx, cy, kFace, 0, 2 * kPi);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    cairo_pattern_t* dome = cairo_pattern_create_radial(cx - 4, cy - 5, 1, cx, cy, kFace);
    cairo_pattern_add_color_stop_rgba(dome, 0, 1, 1, 1, 0.18);
    cairo_pattern_add_color_stop_rgba(dome, 1, 0, 0, 0, 0.10);
    cairo_arc(cr, cx, cy, kFace, 0, 2 * kPi);
    cairo_set_source(cr, dome);
    cairo_fill(cr);
    cairo_pattern_destroy(dome);
    // Chamfer between grip and face.
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, cx, cy, kFace, 0, 2 * kPi);
    setColour(cr, rgb(30, 30, 34), 0.45);
    cairo_stroke(cr);
    cairo_arc(cr, cx, cy, kFace - 1.0, radians(135), radians(315));
    setColour(cr, rgb(255, 255, 255), 0.35);
    cairo_stroke(cr);

    // Pointer: an engraved groove from near the centre to the edge of the face,
    // continued as a notch across the grip.
    const double sx = dirX(angle), sy = dirY(angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.2);
    setColour(cr, rgb(255, 255, 255), 0.55);
    cairo_move_to(cr, cx + sx * 4.5 + 0.6, cy + sy * 4.5 + 0.7);
    cairo_line_to(cr, cx + sx * (kFace - 1.5) + 0.6, cy + sy * (kFace - 1.5) + 0.7);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2.2);
    setColour(cr, rgb(28, 29, 33));
    cairo_move_to(cr, cx + sx * 4.5, cy + sy * 4.5);
    cairo_line_to(cr, cx + sx * (kFace - 1.5), cy + sy * (kFace - 1.5));
    cairo_stroke(cr);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, cx + sx * (kFace + 0.5), cy + sy * (kFace + 0.5));
    cairo_line_to(cr, cx + sx * (R - 0.6), cy + sy * (R - 0.6));
    cairo_stroke(cr);
}

struct DialScale {
    double minDb, maxDb, neutralDb;
    double tickStep, majorStep;  // every tick, and the longer ones
    std::vector<int> labels;     // numbers, printed in place of their ticks
};

double dialPosition(const DialScale& s, double db) {
    return (db - s.minDb) / (s.maxDb - s.minDb);
}

std::string signedDb(int db) {
    // Appending, not literal + temporary: GCC 12 gives a false -Wrestrict for that.
    if (db > 0) return std::string("+").append(std::to_string(db));
    if (db < 0) return std::string("\u2212").append(std::to_string(-db));
    return "0";
}

void blackDial(cairo_t* cr, double cx, double cy, const DialScale& scale, double v) {
    constexpr double R = 17.5;         // body
    constexpr double kFace = R - 1.6;  // inside the knurled rim
    constexpr double kArc = 19.7;      // value arc
    constexpr double kTick0 = 21.3, kTick1 = 23.4;
    const double angle = -135.0 + 270.0 * v;
    auto angleOf = [&](double db) { return -135.0 + 270.0 * dialPosition(scale, db); };

    dropShadow(cr, cx, cy, R);

    // The printed scale: ticks, and numbers in place of the ticks they name.
    const TextStyle digits{"DejaVu Sans Condensed", 6.5, false, 0.0, rgb(176, 182, 190)};
    for (double db = scale.minDb; db <= scale.maxDb + 1e-9; db += scale.tickStep) {
        bool labelled = false;
        for (int l : scale.labels) labelled |= std::fabs(db - l) < 1e-9;
        if (labelled) continue;
        const double a = angleOf(db);
        const double steps = (db - scale.minDb) / scale.majorStep;
        const bool major = std::fabs(steps - std::round(steps)) < 1e-9;
        const double r1 = major ? kTick1 + 1.0 : kTick1;
        setColour(cr, major ? rgb(176, 182, 190) : palette::kTick);
        cairo_set_line_width(cr, major ? 1.3 : 1.0);
        cairo_move_to(cr, cx + kTick0 * dirX(a), cy + kTick0 * dirY(a));
        cairo_line_to(cr, cx + r1 * dirX(a), cy + r1 * dirY(a));
        cairo_stroke(cr);
    }
    for (int l : scale.labels) {
        const double a = angleOf(l);
        const std::string text = signedDb(l);
        TextStyle style = digits;
        if (l == scale.neutralDb) style.colour = rgb(236, 240, 245), style.bold = true;
        const Box ink = measureText(cr, style, text, 0, 0, Align::Left);
        const double w = ink.right - ink.left, h = ink.bottom - ink.top;
        const double d = kTick0 - 0.5 + 0.5 * (std::fabs(dirX(a)) * w + std::fabs(dirY(a)) * h);
        const double py = cy + d * dirY(a);
        // Keep the side numbers whole inside the frame.
        const double px = std::clamp(cx + d * dirX(a), w / 2.0 + 0.5, 2 * cx - w / 2.0 - 0.5);
        drawText(cr, style, text, std::round(px - (ink.left + ink.right) / 2.0),
                 std::round(py - (ink.top + ink.bottom) / 2.0), Align::Left);
    }

    // Arc track, and the blue arc from the neutral mark to the setting.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, 2.0);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, kArc, radians(-135.0 - 90), radians(135.0 - 90));
    setColour(cr, rgb(14, 15, 17));
    cairo_stroke(cr);
    const double from = angleOf(scale.neutralDb);
    if (std::fabs(angle - from) > 0.01) {
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, kArc, radians(std::min(from, angle) - 90),
                  radians(std::max(from, angle) - 90));
        setColour(cr, pal::kAccent);
        cairo_stroke(cr);
    }

    // Knurled rim, turning with the dial.
    cairo_arc(cr, cx, cy, R, 0, 2 * kPi);
    setColour(cr, rgb(66, 68, 72));
    cairo_fill(cr);
    constexpr int kKnurls = 48;
    for (int i = 0; i < kKnurls; ++i) {
        const double a0 = angle + i * 360.0 / kKnurls, a1 = a0 + 180.0 / kKnurls;
        cairo_new_path(cr);
        cairo_arc(cr, cx, cy, R - 0.2, radians(a0 - 90), radians(a1 - 90));
        cairo_arc_negative(cr, cx, cy, kFace, radians(a1 - 90), radians(a0 - 90));
        cairo_close_path(cr);
        setColour(cr, rgb(10, 10, 12), 0.8);
        cairo_fill(cr);
    }
    cairo_pattern_t* rimLight = cairo_pattern_create_linear(cx, cy - R, cx, cy + R);
    cairo_pattern_add_color_stop_rgba(rimLight, 0, 1, 1, 1, 0.25);
    cairo_pattern_add_color_stop_rgba(rimLight, 1, 0, 0, 0, 0.35);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, R, 0, 2 * kPi);
    cairo_arc_negative(cr, cx, cy, kFace, 2 * kPi, 0);
    cairo_set_source(cr, rimLight);
    cairo_fill(cr);
    cairo_pattern_destroy(rimLight);

    // Black face with a soft sheen from the upper left.
    cairo_pattern_t* face = cairo_pattern_create_radial(cx - 4, cy - 5, 1, cx, cy, kFace);
    cairo_pattern_add_color_stop_rgb(face, 0, 0.22, 0.23, 0.25);
    cairo_pattern_add_color_stop_rgb(face, 1, 0.06, 0.062, 0.07);
    cairo_arc(cr, cx, cy, kFace, 0, 2 * kPi);
    cairo_set_source(cr, face);
    cairo_fill(cr);
    cairo_pattern_destroy(face);
    cairo_set_line_width(cr, 1.0);
    cairo_arc(cr, cx, cy, kFace - 0.8, radians(135), radians(315));
    setColour(cr, rgb(255, 255, 255), 0.12);
    cairo_stroke(cr);

    // White pointer line.
    const double sx = dirX(angle), sy = dirY(angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.0);
    setColour(cr, rgb(240, 243, 247));
    cairo_move_to(cr, cx + sx * 5.0, cy + sy * 5.0);
    cairo_line_to(cr, cx + sx * (kFace - 1.8), cy + sy * (kFace - 1.8));
    cairo_stroke(cr);
}

cairo_surface_t* silverStrip(cairo_surface_t* bg, const Rect& at) {
    return makeStrip(bg, at, kFrames, [&](cairo_t* cr, int i) {
        silverKnob(cr, at.width() / 2.0, at.height() / 2.0, -135.0 + 270.0 * i / (kFrames - 1));
    });
}

cairo_surface_t* dialStrip(cairo_surface_t* bg, const Rect& at, const DialScale& scale) {
    return makeStrip(bg, at, kFrames, [&](cairo_t* cr, int i) {
        blackDial(cr, at.width() / 2.0, at.height() / 2.0, scale, double(i) / (kFrames - 1));
    });
}

}  // namespace

void drawKnobs(ImageSet& images, cairo_surface_t* background) {
    images.add(152, silverStrip(background, kTransientKnob));
    images.add(153, silverStrip(background, kReleaseKnob));
    images.add(147, silverStrip(background, kLevellerKnob));
    images.add(148, silverStrip(background, kLinkKnob));
    images.add(150, dialStrip(background, kDriveDial, {-24, 24, 0, 6, 12, {-24, 0, 24}}));
    images.add(151, dialStrip(background, kOutputDial, {-12, 0, 0, 1, 3, {-12, -6, 0}}));
}

}  // namespace zelto::art
