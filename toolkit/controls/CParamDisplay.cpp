// CParamDisplay: box, background and aligned text.
#include "toolkit/controls/CParamDisplay.h"

#include <cstring>

#include "toolkit/CBitmap.h"
#include "toolkit/TextFormat.h"

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, int32_t style)
    : CControl(size, nullptr, -1, background), style(style) {
    wantsFocusFlag = false;
    setFont(kNormalFontSmall);
}

CParamDisplay::CParamDisplay(const CParamDisplay& other)
    : CControl(other),
      valueToString(other.valueToString),
      fontColor(other.fontColor),
      backColor(other.backColor),
      frameColor(other.frameColor),
      shadowColor(other.shadowColor),
      horiTxtAlign(other.horiTxtAlign),
      backOffset(other.backOffset),
      textInset(other.textInset),
      style(other.style),
      transparent(other.transparent) {
    setFont(other.font);
}

CParamDisplay::~CParamDisplay() {
    setFont(nullptr);
}

void CParamDisplay::setValueToStringFunction(ValueToStringFunction function) {
    valueToString = std::move(function);
    invalid();
}

std::string CParamDisplay::getDisplayText() {
    const float v = getValue();
    if (valueToString) {
        char text[256] = {};
        if (valueToString(v, text, this)) {
            text[255] = 0;
            return text;
        }
    }
    return zelto::formatText("%.2f", static_cast<double>(v));
}

void CParamDisplay::setFont(CFontRef newFont) {
    if (newFont == font) return;
    if (newFont != nullptr) newFont->remember();
    if (font != nullptr) font->forget();
    font = newFont;
    invalid();
}

void CParamDisplay::setFontColor(const CColor& color) {
    fontColor = color;
    invalid();
}
void CParamDisplay::setBackColor(const CColor& color) {
    backColor = color;
    invalid();
}
void CParamDisplay::setFrameColor(const CColor& color) {
    frameColor = color;
    invalid();
}
void CParamDisplay::setShadowColor(const CColor& color) {
    shadowColor = color;
    invalid();
}
void CParamDisplay::setHoriAlign(CHoriTxtAlign align) {
    horiTxtAlign = align;
    invalid();
}
void CParamDisplay::setBackOffset(const CPoint& offset) {
    backOffset = offset;
    invalid();
}
void CParamDisplay::setTextInset(const CPoint& inset) {
    textInset = inset;
    invalid();
}
void CParamDisplay::setStyle(int32_t newStyle) {
    style = newStyle;
    invalid();
}
void CParamDisplay::setTransparency(bool state) {
    transparent = state;
    invalid();
}

void CParamDisplay::draw(CDrawContext* context) {
    setDirty(false);
    if (style & kNoDrawStyle) return;
    drawBack(context);
    if (!(style & kNoTextStyle)) drawText(context, getDisplayText());
}

void CParamDisplay::drawBack(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        bitmap->draw(context, getViewSize(), backOffset);
        return;
    }
    if (transparent) return;
    context->setFillColor(backColor);
    context->setFrameColor(frameColor);
    context->setLineWidth(1);
    context->drawRect(getViewSize(), (style & kNoFrame) ? kDrawFilled : kDrawFilledAndStroked);
}

void CParamDisplay::drawText(CDrawContext* context, const std::string& text) {
    if (text.empty()) return;
    CRect box = getViewSize();
    box.inset(textInset.x, textInset.y);
    context->setFont(font != nullptr ? font : kNormalFontSmall);
    if (style & kShadowText) {
        CRect shadow = box;
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(text.c_str(), shadow, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(text.c_str(), box, horiTxtAlign);
}
