// Text in the window's bitmap font: 5 x 8 pixel glyphs stacked in one strip
// of 192 (the printable characters 32…127, then the same inverted), each
// printed in a 6 x 8 cell of the light or dark panel colour. Used by the
// level readouts and the info panel. UI thread only.
#pragma once

#include "toolkit/vstgui.h"

namespace zelto {
inline constexpr CColor kLcdLight(213, 236, 246, 255);
inline constexpr CColor kLcdDark(79, 79, 79, 255);
inline constexpr CColor kLcdOverRed(229, 53, 5, 255);
}  // namespace zelto

class CTextPrinter {
  public:
    /// Keeps a reference on the font strip (may be null: prints cells only).
    explicit CTextPrinter(CBitmap* font);
    CTextPrinter(const CTextPrinter& other);
    CTextPrinter& operator=(const CTextPrinter&) = delete;
    virtual ~CTextPrinter();

    /// Prints text with its baseline at point.y, one cell per byte, left to
    /// right (or downwards when vertical), light on dark when inverted.
    /// The context's fill and frame colours are left as they were.
    void print(CDrawContext* context, const CPoint& point, const char* text, bool vertical,
               bool inverted);

  protected:
    /// The one loop behind both printers: cells in cellColour, glyphs from font.
    static void printCells(CDrawContext* context, CBitmap* font, const CPoint& point,
                           const char* text, bool vertical, bool inverted,
                           const CColor& cellColour);

    CBitmap* font_;
};
