// CControl: value handling, default value, edit bracket.
#include "toolkit/CControl.h"

#include <cmath>

#include "toolkit/CFrame.h"

CControl::CControl(const CRect& size, CControlListener* listener, int32_t tag,
                   CBitmap* backgroundBitmap)
    : CView(size), listener(listener), tag(tag) {
    wantsFocusFlag = true;
    setBackground(backgroundBitmap);
}

CControl::CControl(const CControl& other)
    : CView(other),
      listener(other.listener),
      tag(other.tag),
      vmin(other.vmin),
      vmax(other.vmax),
      defaultValue(other.defaultValue),
      wheelInc(other.wheelInc) {
    value.store(other.getValue(), std::memory_order_relaxed);
    oldValue.store(other.getOldValue(), std::memory_order_relaxed);
}

void CControl::setValueNormalized(float normalized) {
    if (!(normalized >= 0.0f)) normalized = 0.0f;  // NaN included
    if (normalized > 1.0f) normalized = 1.0f;
    setValue(vmin + normalized * getRange());
}

float CControl::getValueNormalized() const {
    const float range = getRange();
    if (range == 0.0f) return 0.0f;
    const float n = (getValue() - vmin) / range;
    if (!(n >= 0.0f)) return 0.0f;
    return n > 1.0f ? 1.0f : n;
}

void CControl::beginEdit() {
    if (listener != nullptr) listener->controlBeginEdit(this);
    if (frame != nullptr) frame->beginEdit(tag);
    editing = true;
}

void CControl::endEdit() {
    if (frame != nullptr) frame->endEdit(tag);
    if (listener != nullptr) listener->controlEndEdit(this);
    editing = false;
}

void CControl::valueChanged() {
    if (listener != nullptr) listener->valueChanged(this);
}

void CControl::bounceValue() {
    const float v = getValue();
    if (v > vmax) {
        value.store(vmax, std::memory_order_relaxed);
    } else if (v < vmin || std::isnan(v)) {
        value.store(vmin, std::memory_order_relaxed);
    }
}

bool CControl::checkDefaultValue(CButtonState buttons) {
    if (!buttons.isLeftButton() || buttons.getModifierState() != kDefaultValueModifier) {
        return false;
    }
    if (getValue() != defaultValue) {
        beginEdit();
        value.store(defaultValue, std::memory_order_relaxed);
        valueChanged();
        endEdit();
        invalid();
    }
    return true;
}

void CControl::setDirty(bool state) {
    if (!state) oldValue.store(getValue(), std::memory_order_relaxed);
    CView::setDirty(state);
}

bool CControl::isDirty() const {
    const float v = getValue();
    const float old = getOldValue();
    return CView::isDirty() || (v != old && !(std::isnan(v) && std::isnan(old)));
}
