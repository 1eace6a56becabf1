#include "editor/CTextPrinter.h"

using namespace zelto;

CTextPrinter::CTextPrinter(CBitmap* font) : font_(font) {
    if (font_ != nullptr) font_->remember();
}

CTextPrinter::CTextPrinter(const CTextPrinter& other) : font_(other.font_) {
    if (font_ != nullptr) font_->remember();
}

CTextPrinter::~CTextPrinter() {
    if (font_ != nullptr) font_->forget();
}

void CTextPrinter::print(CDrawContext* context, const CPoint& point, const char* text,
                         bool vertical, bool inverted) {
    printCells(context, font_, point, text, vertical, inverted, inverted ? kLcdDark : kLcdLight);
}

void CTextPrinter::printCells(CDrawContext* context, CBitmap* font, const CPoint& point,
                              const char* text, bool vertical, bool inverted,
                              const CColor& cellColour) {
    if (context == nullptr || text == nullptr) return;
    const CColor savedFrame = context->getFrameColor();
    const CColor savedFill = context->getFillColor();
    context->setFrameColor(cellColour);
    context->setFillColor(cellColour);
    CCoord x = point.x, y = point.y;
    for (const char* c = text; *c != 0; ++c) {
        int32_t glyph = (static_cast<unsigned char>(*c) & 127) - 32;
        if (inverted) glyph += 96;
        // Control characters have no glyph: they print as a blank.
        if (glyph < 0 || glyph > 191) glyph = 0;
        context->drawRect(CRect(x, y - 7, x + 6, y + 1), kDrawFilled);
        if (font != nullptr) {
            font->draw(context, CRect(x, y - 7, x + 5, y + 1), CPoint(0, 8 * glyph));
        }
        if (vertical) {
            y += 8;
        } else {
            x += 6;
        }
    }
    context->setFrameColor(savedFrame);
    context->setFillColor(savedFill);
}
