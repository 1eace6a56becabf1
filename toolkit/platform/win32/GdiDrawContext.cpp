// CDrawContext on GDI: the drawing primitives of the Windows backend, on
// the memory device context that holds the target image. Rectangles and
// bitmap slices touch exactly the pixels the cairo backend touches: GDI's
// rectangles and blits already exclude the right and bottom edges, and
// translucent fills are blended here by hand. Every GDI object made for a
// call is deleted before the call returns, except the current font.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/platform/PixelGeometry.h"
#include "toolkit/platform/win32/DibSurface.h"

using zelto::toolkit::bitmapPlacement;
using zelto::toolkit::pixelRect;
using zelto::toolkit::px;
using zelto::toolkit::win32::countGdiObject;
using zelto::toolkit::win32::DibSurface;

namespace zelto::toolkit::win32 {

struct GdiContext {
    DibSurface* surface = nullptr;
    HDC dc = nullptr;
    int savedState = 0;
    HFONT font = nullptr;
    HGDIOBJ previousFont = nullptr;
    // What `font` was made for, so it is made again only when that changes.
    std::string fontFamily;
    CCoord fontSize = 0;
    int32_t fontStyle = -1;
    bool fontAntialiased = true;
    RECT clip{};  // the current clip, in pixels
};

}  // namespace zelto::toolkit::win32

namespace {

using zelto::toolkit::win32::GdiContext;

COLORREF colorRef(const CColor& c) {
    return RGB(c.red, c.green, c.blue);
}

std::wstring widen(const char* text) {
    // UTF-8 first; text that is not valid UTF-8 is taken as the system
    // code page rather than dropped.
    const int length = static_cast<int>(std::char_traits<char>::length(text));
    int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    UINT codePage = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (needed <= 0) {
        codePage = CP_ACP;
        flags = 0;
        needed = MultiByteToWideChar(codePage, flags, text, length, nullptr, 0);
    }
    std::wstring out(static_cast<size_t>(std::max(needed, 0)), L'\0');
    if (needed > 0) MultiByteToWideChar(codePage, flags, text, length, out.data(), needed);
    return out;
}

// Blends colour c (with its alpha) over every pixel of r, within the clip.
void blendRect(GdiContext& g, RECT r, const CColor& c) {
    RECT area{};
    if (!IntersectRect(&area, &r, &g.clip)) return;
    RECT bounds{0, 0, g.surface->width, g.surface->height};
    if (!IntersectRect(&area, &area, &bounds)) return;
    GdiFlush();
    const uint32_t a = c.alpha;
    auto mix = [a](uint32_t under, uint32_t over) {
        return (over * a + under * (255 - a) + 127) / 255;
    };
    for (LONG y = area.top; y < area.bottom; ++y) {
        uint32_t* row = g.surface->bits + static_cast<size_t>(y) * g.surface->width;
        for (LONG x = area.left; x < area.right; ++x) {
            const uint32_t p = row[x];
            row[x] = (p & 0xff000000u) | (mix((p >> 16) & 255, c.red) << 16) |
                     (mix((p >> 8) & 255, c.green) << 8) | mix(p & 255, c.blue);
        }
    }
}

void fillPixels(GdiContext& g, const RECT& r, const CColor& c) {
    if (c.alpha == 0 || r.right <= r.left || r.bottom <= r.top) return;
    if (c.alpha < 255) {
        blendRect(g, r, c);
        return;
    }
    HBRUSH brush = CreateSolidBrush(colorRef(c));
    if (brush == nullptr) return;
    countGdiObject(1);
    FillRect(g.dc, &r, brush);
    DeleteObject(brush);
    countGdiObject(-1);
}

RECT toRect(const CRect& r) {
    return RECT{static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
                static_cast<LONG>(r.bottom)};
}

}  // namespace

CDrawContext::CDrawContext(NativeSurface* surface) {
    if (surface == nullptr || surface->dc == nullptr) return;
    auto* g = new GdiContext();
    g->surface = zelto::toolkit::referenceSurface(surface);
    g->dc = surface->dc;
    g->savedState = SaveDC(g->dc);
    SetBkMode(g->dc, TRANSPARENT);
    SetTextAlign(g->dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
    SetGraphicsMode(g->dc, GM_COMPATIBLE);
    cr = g;
    limit = CRect(0, 0, surface->width, surface->height);
    resetState();
}

CDrawContext::~CDrawContext() {
    if (cr == nullptr) return;
    GdiFlush();
    RestoreDC(cr->dc, cr->savedState);
    if (cr->font != nullptr) {
        DeleteObject(cr->font);
        countGdiObject(-1);
    }
    zelto::toolkit::releaseSurface(cr->surface);
    delete cr;
}

bool CDrawContext::isValid() const {
    return cr != nullptr;
}

void CDrawContext::setSource(const CColor&) {}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    if (cr == nullptr || state.frameColor.alpha == 0) return;
    const int width = static_cast<int>(std::max<CCoord>(1, px(state.lineWidth)));
    const auto x1 = static_cast<LONG>(px(start.x));
    const auto y1 = static_cast<LONG>(px(start.y));
    const auto x2 = static_cast<LONG>(px(end.x));
    const auto y2 = static_cast<LONG>(px(end.y));
    if (width > 1 && (x1 == x2 || y1 == y2)) {
        // A wide line along a pixel row or column is the band of `width`
        // pixels around it, from the start up to (not including) the end,
        // exactly as cairo's butt-capped stroke covers it.
        const LONG half = width / 2;
        if (y1 == y2) {
            fillPixels(*cr, RECT{std::min(x1, x2), y1 - half, std::max(x1, x2), y1 - half + width},
                       state.frameColor);
        } else {
            fillPixels(*cr, RECT{x1 - half, std::min(y1, y2), x1 - half + width, std::max(y1, y2)},
                       state.frameColor);
        }
        return;
    }
    LOGBRUSH brush{BS_SOLID, colorRef(state.frameColor), 0};
    HPEN pen = width == 1 ? CreatePen(PS_SOLID, 1, colorRef(state.frameColor))
                          : ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                                         static_cast<DWORD>(width), &brush, 0, nullptr);
    if (pen == nullptr) return;
    countGdiObject(1);
    HGDIOBJ previous = SelectObject(cr->dc, pen);
    // GDI leaves out a line's last pixel, as the contract wants.
    MoveToEx(cr->dc, static_cast<int>(x1), static_cast<int>(y1), nullptr);
    LineTo(cr->dc, static_cast<int>(x2), static_cast<int>(y2));
    SelectObject(cr->dc, previous);
    DeleteObject(pen);
    countGdiObject(-1);
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style) {
    if (cr == nullptr) return;
    const CRect r = pixelRect(rect);
    if (r.isEmpty()) return;
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        fillPixels(*cr, toRect(r), state.fillColor);
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        // The band of line-width pixels just inside the edge, as four
        // rectangles that never overlap (a translucent frame blends once).
        const auto w = static_cast<LONG>(std::max<CCoord>(1, px(state.lineWidth)));
        const RECT o = toRect(r);
        const LONG innerTop = std::min(o.bottom, o.top + w);
        const LONG innerBottom = std::max(innerTop, o.bottom - w);
        fillPixels(*cr, RECT{o.left, o.top, o.right, innerTop}, state.frameColor);
        fillPixels(*cr, RECT{o.left, innerBottom, o.right, o.bottom}, state.frameColor);
        const LONG innerLeft = std::min(o.right, o.left + w);
        const LONG innerRight = std::max(innerLeft, o.right - w);
        fillPixels(*cr, RECT{o.left, innerTop, innerLeft, innerBottom}, state.frameColor);
        fillPixels(*cr, RECT{innerRight, innerTop, o.right, innerBottom}, state.frameColor);
    }
}

void CDrawContext::drawEllipse(const CRect& rect, CDrawStyle style) {
    if (cr == nullptr) return;
    const CRect r = pixelRect(rect);
    if (r.isEmpty()) return;
    const bool fill = style == kDrawFilled || style == kDrawFilledAndStroked;
    const bool stroke = style == kDrawStroked || style == kDrawFilledAndStroked;
    HBRUSH brush = fill ? CreateSolidBrush(colorRef(state.fillColor))
                        : static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    HPEN pen = stroke ? CreatePen(PS_INSIDEFRAME,
                                  static_cast<int>(std::max<CCoord>(1, px(state.lineWidth))),
                                  colorRef(state.frameColor))
                      : static_cast<HPEN>(GetStockObject(NULL_PEN));
    if (fill && brush != nullptr) countGdiObject(1);
    if (stroke && pen != nullptr) countGdiObject(1);
    if (brush != nullptr && pen != nullptr) {
        HGDIOBJ oldBrush = SelectObject(cr->dc, brush);
        HGDIOBJ oldPen = SelectObject(cr->dc, pen);
        // With a null pen GDI's ellipse is one pixel smaller; make up for it.
        const int grow = stroke ? 0 : 1;
        Ellipse(cr->dc, static_cast<int>(r.left), static_cast<int>(r.top),
                static_cast<int>(r.right) + grow, static_cast<int>(r.bottom) + grow);
        SelectObject(cr->dc, oldPen);
        SelectObject(cr->dc, oldBrush);
    }
    if (fill && brush != nullptr) {
        DeleteObject(brush);
        countGdiObject(-1);
    }
    if (stroke && pen != nullptr) {
        DeleteObject(pen);
        countGdiObject(-1);
    }
}

void CDrawContext::applyFont() {
    // Measuring keeps whatever quality the font was last drawn with.
    applyFontQuality(cr->font != nullptr ? cr->fontAntialiased : true);
}

void CDrawContext::applyFontQuality(bool antialias) {
    const std::string family = state.font.getRenderFamily();
    const CCoord size = state.font.getSize() > 0 ? state.font.getSize() : 12;
    const int32_t style = state.font.getStyle();
    if (cr->font != nullptr && cr->fontFamily == family && cr->fontSize == size &&
        cr->fontStyle == style && cr->fontAntialiased == antialias) {
        return;
    }
    const std::wstring face = widen(family.c_str());
    // A negative height asks for the em size in pixels, as cairo's font size is.
    HFONT font = CreateFontW(
        -static_cast<int>(std::lround(size)), 0, 0, 0, (style & kBoldFace) ? FW_BOLD : FW_NORMAL,
        (style & kItalicFace) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
        CLIP_DEFAULT_PRECIS, antialias ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY,
        DEFAULT_PITCH | FF_SWISS, face.c_str());
    if (font == nullptr) return;
    countGdiObject(1);
    HGDIOBJ previous = SelectObject(cr->dc, font);
    if (cr->font != nullptr) {
        DeleteObject(cr->font);
        countGdiObject(-1);
    } else {
        cr->previousFont = previous;
    }
    cr->font = font;
    cr->fontFamily = family;
    cr->fontSize = size;
    cr->fontStyle = style;
    cr->fontAntialiased = antialias;
}

CCoord CDrawContext::getStringWidth(const char* string) {
    if (cr == nullptr || string == nullptr || *string == 0) return 0;
    applyFont();
    const std::wstring text = widen(string);
    SIZE extent{};
    if (!GetTextExtentPoint32W(cr->dc, text.c_str(), static_cast<int>(text.size()), &extent)) {
        return 0;
    }
    return extent.cx;
}

void CDrawContext::getFontMetrics(CCoord& ascent, CCoord& descent) {
    ascent = descent = 0;
    if (cr == nullptr) return;
    applyFont();
    TEXTMETRICW metrics{};
    if (!GetTextMetricsW(cr->dc, &metrics)) return;
    ascent = metrics.tmAscent;
    descent = metrics.tmDescent;
}

void CDrawContext::drawStringClipped(const char* string, const CRect& clip, const CPoint& origin,
                                     bool antialias) {
    // The font is settled before the clip is saved: restoring the clip must
    // not bring back a font that has been deleted meanwhile.
    applyFontQuality(antialias);
    const int saved = SaveDC(cr->dc);
    IntersectClipRect(cr->dc, static_cast<int>(clip.left), static_cast<int>(clip.top),
                      static_cast<int>(clip.right), static_cast<int>(clip.bottom));
    drawString(string, origin, antialias);
    RestoreDC(cr->dc, saved);
}

void CDrawContext::drawString(const char* string, const CPoint& point, bool antialias) {
    if (cr == nullptr || string == nullptr || *string == 0) return;
    applyFontQuality(antialias);
    const std::wstring text = widen(string);
    SetTextColor(cr->dc, colorRef(state.fontColor));
    const int x = static_cast<int>(px(point.x));
    const int y = static_cast<int>(px(point.y));
    ExtTextOutW(cr->dc, x, y, 0, nullptr, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    if (state.font.getStyle() & kUnderlineFace) {
        SIZE extent{};
        GetTextExtentPoint32W(cr->dc, text.c_str(), static_cast<int>(text.size()), &extent);
        CColor line = state.fontColor;
        fillPixels(*cr, RECT{x, y + 1, x + extent.cx, y + 2}, line);
    }
}

void CDrawContext::drawBitmap(const CBitmap& bitmap, const CRect& destRect,
                              const CPoint& sourceOffset, float alpha) {
    DibSurface* source = bitmap.getSurface();
    if (cr == nullptr || source == nullptr) return;
    const auto [origin, area] =
        bitmapPlacement(destRect, sourceOffset, bitmap.getWidth(), bitmap.getHeight());
    const CCoord originX = origin.x;
    const CCoord originY = origin.y;
    if (area.isEmpty() || alpha <= 0.0f) return;
    const int x = static_cast<int>(area.left);
    const int y = static_cast<int>(area.top);
    const int w = static_cast<int>(area.getWidth());
    const int h = static_cast<int>(area.getHeight());
    const int sx = static_cast<int>(area.left - originX);
    const int sy = static_cast<int>(area.top - originY);
    if (!source->hasAlpha && alpha >= 1.0f) {
        BitBlt(cr->dc, x, y, w, h, source->dc, sx, sy, SRCCOPY);
        return;
    }
    BLENDFUNCTION blend{};
    blend.BlendOp = AC_SRC_OVER;
    blend.SourceConstantAlpha = static_cast<BYTE>(std::lround(std::min(1.0f, alpha) * 255.0f));
    blend.AlphaFormat = source->hasAlpha ? AC_SRC_ALPHA : 0;
    AlphaBlend(cr->dc, x, y, w, h, source->dc, sx, sy, w, h, blend);
}

void CDrawContext::applyClip() {
    if (cr == nullptr) return;
    CRect r = pixelRect(state.clip);
    r.bound(limit);
    cr->clip = toRect(r);
    HRGN region = CreateRectRgn(cr->clip.left, cr->clip.top, cr->clip.right, cr->clip.bottom);
    if (region == nullptr) return;
    SelectClipRgn(cr->dc, region);  // the device context keeps its own copy
    DeleteObject(region);
}
