// CTextEdit: the in-place editor.
#include "toolkit/controls/CTextEdit.h"

#include <algorithm>
#include <cmath>

#include "toolkit/CBitmap.h"
#include "toolkit/CFrame.h"

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, int32_t tag, const char* txt,
                     CBitmap* background, int32_t style)
    : CParamDisplay(size, background, style) {
    this->listener = listener;
    this->tag = tag;
    wantsFocusFlag = true;
    if (txt != nullptr) text = txt;
}

CTextEdit::CTextEdit(const CTextEdit& other)
    : CParamDisplay(other),
      text(other.getText()),
      stringToValue(other.stringToValue),
      maxChars(other.maxChars) {}

void CTextEdit::setText(const char* txt) {
    {
        std::lock_guard<std::mutex> lock(textMutex);
        text = txt != nullptr ? txt : "";
    }
    setDirty(true);
}

std::string CTextEdit::getText() const {
    std::lock_guard<std::mutex> lock(textMutex);
    return text;
}

void CTextEdit::setStringToValueFunction(StringToValueFunction function) {
    stringToValue = std::move(function);
}

std::string CTextEdit::getDisplayText() {
    if (valueToString) return CParamDisplay::getDisplayText();
    return getText();
}

void CTextEdit::setMaxChars(int32_t count) {
    maxChars = std::clamp<int32_t>(count, 0, 255);
}

void CTextEdit::takeFocus() {
    if (active) return;
    original = getDisplayText();
    buffer = original;
    if (buffer.size() > static_cast<size_t>(maxChars)) buffer.resize(static_cast<size_t>(maxChars));
    caret = buffer.size();
    allSelected = true;
    caretX.clear();
    active = true;
    invalid();
}

void CTextEdit::looseFocus() {
    if (active) commit();
}

void CTextEdit::commit() {
    active = false;
    allSelected = false;
    invalid();
    if (buffer == original) return;
    if (stringToValue) {
        float v = getValue();
        if (!stringToValue(buffer.c_str(), v, this)) return;
        value.store(v);
        bounceValue();
    }
    setText(buffer.c_str());
    beginEdit();
    valueChanged();
    endEdit();
}

void CTextEdit::releaseFocus() {
    if (frame != nullptr && frame->getFocusView() == this) frame->setFocusView(nullptr);
}

void CTextEdit::endTextEdit(bool commitChanges) {
    if (!active) return;
    if (commitChanges) {
        commit();
    } else {
        active = false;
        allSelected = false;
        invalid();
    }
    releaseFocus();
}

void CTextEdit::insertCharacter(char c) {
    if (allSelected) {
        buffer.clear();
        caret = 0;
        allSelected = false;
    }
    if (buffer.size() >= static_cast<size_t>(maxChars)) return;
    buffer.insert(caret, 1, c);
    ++caret;
}

CMouseEventResult CTextEdit::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (!active) {
        if (frame != nullptr) {
            frame->setFocusView(this);
        }
        if (!active) takeFocus();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (buttons.isDoubleClick()) {
        allSelected = true;
    } else if (!caretX.empty()) {
        // The caret goes to the gap nearest the click.
        size_t best = 0;
        for (size_t i = 1; i < caretX.size(); ++i) {
            if (std::fabs(caretX[i] - where.x) < std::fabs(caretX[best] - where.x)) best = i;
        }
        caret = std::min(best, buffer.size());
        allSelected = false;
    }
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (!active) return -1;
    const bool control = (key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND)) != 0;
    const bool alt = (key.modifier & MODIFIER_ALTERNATE) != 0;
    switch (key.virt) {
        case VKEY_RETURN:
        case VKEY_ENTER:
        case VKEY_TAB:
            endTextEdit(true);
            return 1;
        case VKEY_ESCAPE:
            endTextEdit(false);
            return 1;
        case VKEY_BACK:
            if (allSelected) {
                buffer.clear();
                caret = 0;
                allSelected = false;
            } else if (caret > 0) {
                buffer.erase(caret - 1, 1);
                --caret;
            }
            invalid();
            return 1;
        case VKEY_DELETE:
            if (allSelected) {
                buffer.clear();
                caret = 0;
                allSelected = false;
            } else if (caret < buffer.size()) {
                buffer.erase(caret, 1);
            }
            invalid();
            return 1;
        case VKEY_LEFT:
            caret = allSelected ? 0 : (caret > 0 ? caret - 1 : 0);
            allSelected = false;
            invalid();
            return 1;
        case VKEY_RIGHT:
            caret = allSelected ? buffer.size() : std::min(caret + 1, buffer.size());
            allSelected = false;
            invalid();
            return 1;
        case VKEY_HOME:
            caret = 0;
            allSelected = false;
            invalid();
            return 1;
        case VKEY_END:
            caret = buffer.size();
            allSelected = false;
            invalid();
            return 1;
        default:
            break;
    }
    if (control || alt) {
        if (control && (key.character == 'a' || key.character == 'A')) {
            allSelected = true;
            invalid();
            return 1;
        }
        return -1;  // the host's shortcuts stay the host's
    }
    int32_t c = key.character;
    if (c == 0 && key.virt == VKEY_SPACE) c = ' ';
    if (c >= 32 && c < 127) {
        insertCharacter(static_cast<char>(c));
        invalid();
    }
    return 1;  // while editing, plain keys are ours
}

int32_t CTextEdit::onKeyUp(VstKeyCode& key) {
    if (!active) return -1;
    return (key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND | MODIFIER_ALTERNATE)) ? -1 : 1;
}

void CTextEdit::draw(CDrawContext* context) {
    if (!active) {
        CParamDisplay::draw(context);
        return;
    }
    setDirty(false);
    drawEditing(context);
}

void CTextEdit::drawEditing(CDrawContext* context) {
    const CRect& r = getViewSize();
    context->setFillColor(backColor);
    context->setFrameColor(frameColor);
    context->setLineWidth(1);
    context->drawRect(r, (style & kNoFrame) ? kDrawFilled : kDrawFilledAndStroked);

    CRect box = r;
    box.inset(textInset.x, textInset.y);
    box.inset(2, 0);
    context->setFont(font != nullptr ? font : kNormalFontSmall);
    CCoord ascent = 0;
    CCoord descent = 0;
    context->getFontMetrics(ascent, descent);
    const CCoord width = context->getStringWidth(buffer.c_str());
    caretX.assign(buffer.size() + 1, 0);
    for (size_t i = 1; i <= buffer.size(); ++i) {
        caretX[i] = context->getStringWidth(buffer.substr(0, i).c_str());
    }

    CCoord x = box.left;
    if (width <= box.getWidth()) {
        if (horiTxtAlign == kCenterText) x = box.left + (box.getWidth() - width) / 2;
        if (horiTxtAlign == kRightText) x = box.right - width;
    } else {
        // Too long for the box: scroll so the caret stays in sight.
        const CCoord caretOffset = caretX[std::min(caret, buffer.size())];
        if (caretOffset > box.getWidth() - 1) x = box.right - 1 - caretOffset;
    }
    x = std::floor(x);
    for (CCoord& cx : caretX) cx += x;

    const CCoord baseline = std::round(box.top + (box.getHeight() + ascent - descent) / 2);
    context->setClipRect(r);
    if (allSelected && !buffer.empty()) {
        context->setFillColor(fontColor);
        context->drawRect(CRect(x, r.top + 2, x + std::ceil(width), r.bottom - 2), kDrawFilled);
        context->setFontColor(backColor);
    } else {
        context->setFontColor(fontColor);
    }
    context->drawString(buffer.c_str(), CPoint(x, baseline));
    if (!allSelected) {
        const CCoord cx = std::round(caretX[std::min(caret, buffer.size())]);
        context->setFillColor(fontColor);
        context->drawRect(
            CRect(cx, std::floor(baseline - ascent), cx + 1, std::ceil(baseline + descent)),
            kDrawFilled);
    }
}
