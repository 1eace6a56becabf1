// CRockerSwitch: half-by-half press tracking.
#include "toolkit/controls/CRockerSwitch.h"

#include "toolkit/CBitmap.h"

CRockerSwitch::CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                             CBitmap* background, const CPoint& offset, int32_t style)
    : CRockerSwitch(size, listener, tag, size.getHeight(), background, offset, style) {}

CRockerSwitch::CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                             CCoord heightOfOneImage, CBitmap* background, const CPoint& offset,
                             int32_t style)
    : CControl(size, listener, tag, background),
      offset(offset),
      heightOfOneImage(heightOfOneImage > 0 ? heightOfOneImage : size.getHeight()),
      style(style) {
    vmin = -1.0f;
    vmax = 1.0f;
    value.store(0.0f);
    oldValue.store(0.0f);
    defaultValue = 0.0f;
}

void CRockerSwitch::draw(CDrawContext* context) {
    CPoint where = offset;
    const float v = getValue();
    if (v == getMax()) {
        where.y += 2 * heightOfOneImage;
    } else if (v != getMin()) {
        where.y += heightOfOneImage;
    }
    if (CBitmap* bitmap = getDrawBackground()) bitmap->draw(context, getViewSize(), where);
    setDirty(false);
}

CMouseEventResult CRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    entryState = getValue();
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventHandled;
    const CRect& r = getViewSize();
    float v = entryState;
    if (r.pointInside(where)) {
        const bool firstHalf = (style & kVertical) ? where.y < r.top + r.getHeight() / 2
                                                   : where.x < r.left + r.getWidth() / 2;
        v = firstHalf ? getMin() : getMax();
    }
    value.store(v);
    if (isDirty()) {
        valueChanged();
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    value.store(0.0f);
    if (isDirty()) {
        valueChanged();
        invalid();
    }
    if (isEditing()) endEdit();
    return kMouseEventHandled;
}

void CRockerSwitch::rockOnce(float direction) {
    beginEdit();
    value.store(direction > 0 ? getMax() : getMin());
    valueChanged();
    value.store(0.0f);
    valueChanged();
    endEdit();
    invalid();
}

bool CRockerSwitch::onWheel(const CPoint&, const float& distance, const CButtonState&) {
    if (!getMouseEnabled() || distance == 0.0f) return false;
    rockOnce(distance);
    return true;
}

int32_t CRockerSwitch::onKeyDown(VstKeyCode& keyCode) {
    if (keyCode.modifier != 0) return -1;
    const bool vertical = (style & kVertical) != 0;
    if (keyCode.virt == (vertical ? VKEY_UP : VKEY_LEFT)) {
        rockOnce(-1.0f);
        return 1;
    }
    if (keyCode.virt == (vertical ? VKEY_DOWN : VKEY_RIGHT)) {
        rockOnce(1.0f);
        return 1;
    }
    return -1;
}
