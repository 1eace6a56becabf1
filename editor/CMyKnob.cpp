// CMyKnob: truncating film-strip frames, linear drag with fine mode, fixed wheel step.
#include "editor/CMyKnob.h"

#include <cmath>

CMyKnob::CMyKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                 CCoord frameHeight)
    : CAnimKnob(size, listener, tag, kFrames, frameHeight, background) {}

CCoord CMyKnob::currentOffset() const {
    const float v = getValue();
    if (!(v >= 0.0f)) return 0;
    const CCoord h = getHeightOfOneImage();
    const auto total = static_cast<int64_t>(100 * h);
    // A host may send more than 1.0; the last frame is as far as the strip goes.
    const auto e = v >= 1.0f ? total : static_cast<int64_t>(static_cast<double>(total) * v);
    if (e >= total) return static_cast<CCoord>(total);
    return std::floor(static_cast<CCoord>(e) / h) * h;
}

void CMyKnob::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        bitmap->draw(context, getViewSize(), CPoint(0, currentOffset()));
    }
    setDirty(false);
}

void CMyKnob::setScale(const CButtonState& buttons) {
    pixelsForRange = (buttons & kShift) ? kFinePixelsForRange : kPixelsForRange;
    valuePerPixel = getRange() / pixelsForRange;
}

CMouseEventResult CMyKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    dragStart = dragLast = where;
    dragStartValue = getValue();
    setScale(buttons);
    lastButtons = buttons();
    beginEdit();
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult CMyKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !isEditing() || where == dragLast) return kMouseEventHandled;
    dragLast = where;
    const auto d = static_cast<float>((dragStart.y - where.y) + (where.x - dragStart.x));
    if (buttons() != lastButtons) {
        // Shift pressed or released: the new scale continues from here.
        const float oldPerPixel = valuePerPixel;
        setScale(buttons);
        dragStartValue += (oldPerPixel - valuePerPixel) * d;
        lastButtons = buttons();
    }
    value.store(dragStartValue + d * valuePerPixel, std::memory_order_relaxed);
    bounceValue();
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

bool CMyKnob::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    const float before = getValue();
    const float step = (buttons & kShift) ? kFineWheelStep : kWheelStep;
    value.store(before + distance * step, std::memory_order_relaxed);
    bounceValue();
    if (getValue() != before && listener != nullptr) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}
