// CDrawContext on cairo: the drawing primitives of the Linux backend. Every
// shape is built on whole pixels so what the window shows is exactly what a
// snapshot of the offscreen image shows.
#include "toolkit/CDrawContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "toolkit/CBitmap.h"
#include "toolkit/platform/PixelGeometry.h"

using zelto::toolkit::bitmapPlacement;
using zelto::toolkit::pixelRect;
using zelto::toolkit::px;

CDrawContext::CDrawContext(NativeSurface* surface) {
    if (surface == nullptr) return;
    cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        cr = nullptr;
        return;
    }
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE) {
        limit = CRect(0, 0, cairo_image_surface_get_width(surface),
                      cairo_image_surface_get_height(surface));
    } else {
        limit = CRect(0, 0, 32767, 32767);
    }
    // Fixed text rendering, so pixels do not depend on the user's font
    // configuration.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    resetState();
}

CDrawContext::~CDrawContext() {
    if (cr != nullptr) cairo_destroy(cr);
}

bool CDrawContext::isValid() const {
    return cr != nullptr;
}

void CDrawContext::setSource(const CColor& c) {
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    if (cr == nullptr) return;
    cairo_save(cr);
    cairo_set_antialias(cr, state.drawMode == kAntiAliasingDrawMode ? CAIRO_ANTIALIAS_DEFAULT
                                                                    : CAIRO_ANTIALIAS_NONE);
    setSource(state.frameColor);
    cairo_set_line_width(cr, std::max<CCoord>(1, px(state.lineWidth)));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, px(start.x) + 0.5, px(start.y) + 0.5);
    cairo_line_to(cr, px(end.x) + 0.5, px(end.y) + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    if (cr == nullptr) return;
    const CRect r = pixelRect(rect);
    if (r.isEmpty()) return;
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        setSource(state.fillColor);
        cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
        cairo_fill(cr);
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        const CCoord w = std::max<CCoord>(1, px(state.lineWidth));
        setSource(state.frameColor);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
        CRect inner = r;
        inner.inset(w, w);
        if (!inner.isEmpty()) {
            cairo_rectangle(cr, inner.left, inner.top, inner.getWidth(), inner.getHeight());
        }
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
    if (cr == nullptr) return;
    const CRect r = pixelRect(rect);
    if (r.isEmpty()) return;
    cairo_save(cr);
    cairo_set_antialias(cr, state.drawMode == kAntiAliasingDrawMode ? CAIRO_ANTIALIAS_DEFAULT
                                                                    : CAIRO_ANTIALIAS_NONE);
    const CCoord inset = (style == kDrawFilled) ? 0 : std::max<CCoord>(1, state.lineWidth) / 2;
    const CCoord rx = r.getWidth() / 2 - inset;
    const CCoord ry = r.getHeight() / 2 - inset;
    if (rx > 0 && ry > 0) {
        cairo_translate(cr, r.left + r.getWidth() / 2, r.top + r.getHeight() / 2);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_identity_matrix(cr);
        if (style == kDrawFilled || style == kDrawFilledAndStroked) {
            setSource(state.fillColor);
            if (style == kDrawFilledAndStroked) {
                cairo_fill_preserve(cr);
            } else {
                cairo_fill(cr);
            }
        }
        if (style == kDrawStroked || style == kDrawFilledAndStroked) {
            setSource(state.frameColor);
            cairo_set_line_width(cr, std::max<CCoord>(1, state.lineWidth));
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

void CDrawContext::applyFont() {
    const int32_t style = state.font.getStyle();
    cairo_select_font_face(
        cr, state.font.getRenderFamily(),
        (style & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        (style & kBoldFace) ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    const CCoord size = state.font.getSize();
    cairo_set_font_size(cr, size > 0 ? size : 12);
}

CCoord CDrawContext::getStringWidth(const char* string) {
    if (cr == nullptr || string == nullptr || *string == 0) return 0;
    applyFont();
    cairo_text_extents_t extents;
    cairo_text_extents(cr, string, &extents);
    return extents.x_advance;
}

void CDrawContext::getFontMetrics(CCoord& ascent, CCoord& descent) {
    ascent = descent = 0;
    if (cr == nullptr) return;
    applyFont();
    cairo_font_extents_t extents;
    cairo_font_extents(cr, &extents);
    ascent = extents.ascent;
    descent = extents.descent;
}

void CDrawContext::drawStringClipped(const char* string, const CRect& clip, const CPoint& origin,
                                     bool antialias) {
    cairo_save(cr);
    cairo_rectangle(cr, clip.left, clip.top, clip.getWidth(), clip.getHeight());
    cairo_clip(cr);
    drawString(string, origin, antialias);
    cairo_restore(cr);
}

void CDrawContext::drawString(const char* string, const CPoint& point, bool antialias) {
    if (cr == nullptr || string == nullptr || *string == 0) return;
    cairo_save(cr);
    applyFont();
    if (!antialias) {
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_get_font_options(cr, options);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
    }
    setSource(state.fontColor);
    cairo_move_to(cr, px(point.x), px(point.y));
    cairo_show_text(cr, string);
    if (state.font.getStyle() & kUnderlineFace) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, string, &extents);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_new_path(cr);
        cairo_rectangle(cr, px(point.x), px(point.y) + 1, std::round(extents.x_advance), 1);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void CDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& destRect,
                              const CPoint& sourceOffset, float alpha) {
    cairo_surface_t* source = bitmap.getSurface();
    if (cr == nullptr || source == nullptr) return;
    const auto [origin, area] =
        bitmapPlacement(destRect, sourceOffset, bitmap.getWidth(), bitmap.getHeight());
    const CCoord originX = origin.x;
    const CCoord originY = origin.y;
    if (area.isEmpty() || alpha <= 0.0f) return;
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, area.left, area.top, area.getWidth(), area.getHeight());
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, originX, originY);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha >= 1.0f) {
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, alpha);
    }
    cairo_restore(cr);
}

void CDrawContext::applyClip() {
    if (cr == nullptr) return;
    cairo_reset_clip(cr);
    CRect r = pixelRect(state.clip);
    r.bound(limit);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_clip(cr);
}
