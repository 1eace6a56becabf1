// Drawing helpers of the artwork generator. See Painter.h.
#include "Painter.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace zelto::art {

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb shade(Rgb c, double factor) {
    return {std::clamp(c.r * factor, 0.0, 1.0), std::clamp(c.g * factor, 0.0, 1.0),
            std::clamp(c.b * factor, 0.0, 1.0)};
}

bool Box::intersects(const Box& o, double margin) const {
    return left < o.right + margin && o.left < right + margin && top < o.bottom + margin &&
           o.top < bottom + margin;
}

Box toBox(const Rect& r) {
    return {double(r.left), double(r.top), double(r.right), double(r.bottom)};
}

void setColour(cairo_t* cr, Rgb c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void fillRect(cairo_t* cr, double x, double y, double w, double h, Rgb c, double alpha) {
    setColour(cr, c, alpha);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
    const double r = std::min({radius, w / 2.0, h / 2.0});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

cairo_pattern_t* verticalGradient(double y0, Rgb top, double y1, Rgb bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
    return p;
}

void glow(cairo_t* cr, double cx, double cy, double rx, double ry, Rgb c, double alpha) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_pattern_t* p = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, alpha);
    cairo_pattern_add_color_stop_rgba(p, 0.5, c.r, c.g, c.b, alpha * 0.45);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);
}

namespace {

// Length in bytes of the UTF-8 sequence that starts with `lead`.
size_t utf8Length(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    return 4;
}

void selectFont(cairo_t* cr, const TextStyle& style) {
    requireFont(style.family, style.bold);
    cairo_select_font_face(cr, style.family, CAIRO_FONT_SLANT_NORMAL,
                           style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, style.size);
}

// Walks the letters one by one so tracking can be added between them; calls
// `each`(letter, pen x) and answers the total advance.
template <typename F>
double walkLetters(cairo_t* cr, const TextStyle& style, std::string_view text, double x, F each) {
    double pen = x;
    size_t i = 0;
    while (i < text.size()) {
        const size_t n = std::min(utf8Length(static_cast<unsigned char>(text[i])), text.size() - i);
        const std::string letter(text.substr(i, n));
        cairo_text_extents_t e;
        cairo_text_extents(cr, letter.c_str(), &e);
        each(letter, pen, e);
        pen += e.x_advance;
        i += n;
        if (i < text.size()) pen += style.tracking;
    }
    return pen - x;
}

double startX(double x, double width, Align align) {
    switch (align) {
        case Align::Left:
            return x;
        case Align::Centre:
            return x - width / 2.0;
        case Align::Right:
            return x - width;
    }
    return x;
}

Box inkBox(cairo_t* cr, const TextStyle& style, std::string_view text, double x0, double baseline) {
    Box box{1e9, 1e9, -1e9, -1e9};
    walkLetters(cr, style, text, x0,
                [&](const std::string&, double pen, const cairo_text_extents_t& e) {
                    if (e.width <= 0 || e.height <= 0) return;
                    box.left = std::min(box.left, pen + e.x_bearing);
                    box.right = std::max(box.right, pen + e.x_bearing + e.width);
                    box.top = std::min(box.top, baseline + e.y_bearing);
                    box.bottom = std::max(box.bottom, baseline + e.y_bearing + e.height);
                });
    if (box.left > box.right) box = {x0, baseline, x0, baseline};
    return box;
}

}  // namespace

double textWidth(cairo_t* cr, const TextStyle& style, std::string_view text) {
    cairo_save(cr);
    selectFont(cr, style);
    const double w = walkLetters(cr, style, text, 0.0,
                                 [](const std::string&, double, const cairo_text_extents_t&) {});
    cairo_restore(cr);
    return w;
}

Box measureText(cairo_t* cr, const TextStyle& style, std::string_view text, double x,
                double baseline, Align align) {
    cairo_save(cr);
    selectFont(cr, style);
    const double width = walkLetters(
        cr, style, text, 0.0, [](const std::string&, double, const cairo_text_extents_t&) {});
    const double x0 = std::round(startX(x, width, align));
    const Box box = inkBox(cr, style, text, x0, std::round(baseline));
    cairo_restore(cr);
    return box;
}

Box drawText(cairo_t* cr, const TextStyle& style, std::string_view text, double x, double baseline,
             Align align) {
    cairo_save(cr);
    selectFont(cr, style);
    const double width = walkLetters(
        cr, style, text, 0.0, [](const std::string&, double, const cairo_text_extents_t&) {});
    const double x0 = std::round(startX(x, width, align));
    const double y0 = std::round(baseline);
    setColour(cr, style.colour);
    walkLetters(cr, style, text, x0,
                [&](const std::string& letter, double pen, const cairo_text_extents_t&) {
                    cairo_move_to(cr, pen, y0);
                    cairo_show_text(cr, letter.c_str());
                });
    const Box box = inkBox(cr, style, text, x0, y0);
    cairo_restore(cr);
    return box;
}

void useCrispText(cairo_t* cr) {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_MEDIUM);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

void useEvenText(cairo_t* cr) {
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

cairo_surface_t* newImage(int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return s;
}

cairo_surface_t* crop(cairo_surface_t* src, int x, int y, int w, int h) {
    cairo_surface_t* s = newImage(w, h);
    cairo_t* cr = cairo_create(s);
    blitPart(cr, src, x, y, w, h, 0, 0);
    cairo_destroy(cr);
    return s;
}

void blit(cairo_t* cr, cairo_surface_t* src, double x, double y) {
    cairo_save(cr);
    cairo_set_source_surface(cr, src, x, y);
    cairo_paint(cr);
    cairo_restore(cr);
}

void blitPart(cairo_t* cr, cairo_surface_t* src, int sx, int sy, int w, int h, int dx, int dy) {
    cairo_save(cr);
    cairo_rectangle(cr, dx, dy, w, h);
    cairo_clip(cr);
    cairo_set_source_surface(cr, src, dx - sx, dy - sy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

double hashNoise(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / double(1 << 24);
}

double smoothNoise(double x, double y, uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = hashNoise(ix, iy, seed), b = hashNoise(ix + 1, iy, seed);
    const double c = hashNoise(ix, iy + 1, seed), d = hashNoise(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

}  // namespace zelto::art
