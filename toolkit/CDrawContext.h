// Drawing on the backend's image (cairo on Linux, GDI on Windows) with the
// toolkit's state model: fill, frame and font colours, line width, font,
// clip. Rectangles are pixel-exact: on
// integer coordinates a filled rectangle covers exactly its pixels and a
// framed one the band of line-width pixels just inside its edge, never
// antialiased. One-pixel lines run along pixel centres, so a line from
// (x1, y) to (x2, y) covers pixels x1 .. x2 - 1.
// User-interface thread only; one context is never shared between threads.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/CColor.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CRect.h"
#include "toolkit/platform/NativeSurface.h"

class CBitmap;

enum CDrawStyle : int32_t {
    kDrawStroked = 0,
    kDrawFilled,
    kDrawFilledAndStroked,
};

enum CDrawMode : int32_t {
    kAliasingDrawMode = 0,  // lines without antialiasing (the default)
    kAntiAliasingDrawMode,
};
inline constexpr CDrawMode kAliasing = kAliasingDrawMode;
inline constexpr CDrawMode kAntiAliasing = kAntiAliasingDrawMode;

enum CHoriTxtAlign : int32_t {
    kLeftText = 0,
    kCenterText,
    kRightText,
};

class CDrawContext {
  public:
    /// Draws on surface (which must outlive the context).
    explicit CDrawContext(NativeSurface* surface);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    /// The backend's own drawing state (a cairo context on Linux).
    NativeContext* getNativeContext() const { return cr; }
    bool isValid() const;

    void setLineWidth(CCoord width);
    CCoord getLineWidth() const { return state.lineWidth; }
    void setDrawMode(CDrawMode mode) { state.drawMode = mode; }
    CDrawMode getDrawMode() const { return state.drawMode; }
    void setFillColor(const CColor& color) { state.fillColor = color; }
    const CColor& getFillColor() const { return state.fillColor; }
    void setFrameColor(const CColor& color) { state.frameColor = color; }
    const CColor& getFrameColor() const { return state.frameColor; }
    void setFontColor(const CColor& color) { state.fontColor = color; }
    const CColor& getFontColor() const { return state.fontColor; }
    /// A size above 0 or a style of 0 or more override the font's own.
    void setFont(const CFontRef font, CCoord size = 0, int32_t style = -1);
    const CFontDesc& getFont() const { return state.font; }

    void moveTo(const CPoint& point) { penPosition = point; }
    void lineTo(const CPoint& point);
    void drawLine(const CPoint& start, const CPoint& end);
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect) { drawRect(rect, kDrawFilled); }
    void drawEllipse(const CRect& rect, CDrawStyle style = kDrawStroked);

    /// Text in the font colour, clipped to rect, vertically centred,
    /// horizontally aligned as asked.
    void drawString(const char* string, const CRect& rect, CHoriTxtAlign align = kCenterText,
                    bool antialias = true);
    /// Text with its baseline starting at point.
    void drawString(const char* string, const CPoint& point, bool antialias = true);
    CCoord getStringWidth(const char* string);
    /// Ascent and descent of the current font in pixels.
    void getFontMetrics(CCoord& ascent, CCoord& descent);

    /// Draws the part of bitmap at sourceOffset into destRect (no scaling);
    /// whatever falls outside the bitmap is left untouched.
    void drawBitmap(const CBitmap& bitmap, const CRect& destRect,
                    const CPoint& sourceOffset = CPoint(0, 0), float alpha = 1.0f);

    /// Clips further drawing to rect, within the limit the owner set.
    void setClipRect(const CRect& rect);
    CRect getClipRect() const { return state.clip; }
    void resetClipRect() { setClipRect(limit); }
    /// The region outside which nothing may be drawn at all (the frame sets
    /// it to the part being repainted); setClipRect never widens it.
    void setClipLimit(const CRect& rect);

    void saveGlobalState();
    void restoreGlobalState();
    /// Back to the initial colours, line width, font, draw mode and clip.
    void resetState();

  private:
    struct State {
        CColor fillColor{kWhiteCColor};
        CColor frameColor{kBlackCColor};
        CColor fontColor{kWhiteCColor};
        CCoord lineWidth = 1;
        CDrawMode drawMode = kAliasingDrawMode;
        CFontDesc font{"Arial", 12, kNormalFace};
        CRect clip;
    };

    void applyClip();
    void applyFont();
    /// The backend's part of drawString: text with its baseline starting at
    /// origin, clipped to the whole-pixel rectangle clip.
    void drawStringClipped(const char* string, const CRect& clip, const CPoint& origin,
                           bool antialias);
    /// The current font made with or without antialiased outlines (GDI
    /// makes one font object per quality; cairo needs no such step).
    void applyFontQuality(bool antialias);
    void setSource(const CColor& color);

    NativeContext* cr = nullptr;
    State state;
    std::vector<State> saved;
    CRect limit;
    CPoint penPosition;
};
