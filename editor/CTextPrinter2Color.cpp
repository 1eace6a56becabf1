#include "editor/CTextPrinter2Color.h"

using namespace zelto;

CTextPrinter2Color::CTextPrinter2Color(CBitmap* font, CBitmap* redFont)
    : CTextPrinter(font), redFont_(redFont) {
    if (redFont_ != nullptr) redFont_->remember();
}

CTextPrinter2Color::CTextPrinter2Color(const CTextPrinter2Color& other)
    : CTextPrinter(other), redFont_(other.redFont_) {
    if (redFont_ != nullptr) redFont_->remember();
}

CTextPrinter2Color::~CTextPrinter2Color() {
    if (redFont_ != nullptr) redFont_->forget();
}

void CTextPrinter2Color::print(CDrawContext* context, const CPoint& point, const char* text,
                               bool vertical, bool inverted, bool red) {
    const CColor cell = !inverted ? kLcdLight : (red ? kLcdOverRed : kLcdDark);
    printCells(context, red ? redFont_ : font_, point, text, vertical, inverted, cell);
}
