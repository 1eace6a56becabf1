// The bitmap-font printer with a second colouring of the same glyphs (dark
// red instead of dark grey), for levels above full scale. UI thread only.
#pragma once

#include "editor/CTextPrinter.h"

class CTextPrinter2Color : public CTextPrinter {
  public:
    /// Keeps a reference on both font strips (either may be null).
    CTextPrinter2Color(CBitmap* font, CBitmap* redFont);
    CTextPrinter2Color(const CTextPrinter2Color& other);
    ~CTextPrinter2Color() override;

    /// As CTextPrinter::print; with red the glyphs come from the second font
    /// and an inverted cell is over-red instead of dark.
    void print(CDrawContext* context, const CPoint& point, const char* text, bool vertical,
               bool inverted, bool red);

  protected:
    CBitmap* redFont_;
};
