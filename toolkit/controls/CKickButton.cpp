// CKickButton: press tracking and the release notification.
#include "toolkit/controls/CKickButton.h"

#include "toolkit/CBitmap.h"

CKickButton::CKickButton(const CRect& size, CControlListener* listener, int32_t tag,
                         CBitmap* background, const CPoint& offset)
    : CKickButton(size, listener, tag, size.getHeight(), background, offset) {}

CKickButton::CKickButton(const CRect& size, CControlListener* listener, int32_t tag,
                         CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      offset(offset),
      heightOfOneImage(heightOfOneImage > 0 ? heightOfOneImage : size.getHeight()) {}

void CKickButton::draw(CDrawContext* context) {
    CPoint where = offset;
    if (getValue() == getMax()) where.y += heightOfOneImage;
    if (CBitmap* bitmap = getDrawBackground()) bitmap->draw(context, getViewSize(), where);
    setDirty(false);
}

CMouseEventResult CKickButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    entryState = getValue();
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton()) {
        const CRect& r = getViewSize();
        const bool inside =
            where.x >= r.left && where.y >= r.top && where.x <= r.right && where.y <= r.bottom;
        value.store(inside ? getMax() : getMin());
        if (isDirty()) invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint&, const CButtonState&) {
    if (getValue() == getMax()) valueChanged();
    value.store(getMin());
    valueChanged();
    if (isDirty()) invalid();
    if (isEditing()) endEdit();
    return kMouseEventHandled;
}

int32_t CKickButton::onKeyDown(VstKeyCode& keyCode) {
    if (keyCode.modifier == 0 && (keyCode.virt == VKEY_RETURN || keyCode.virt == VKEY_ENTER)) {
        beginEdit();
        value.store(getMax());
        valueChanged();
        value.store(getMin());
        valueChanged();
        endEdit();
        invalid();
        return 1;
    }
    return -1;
}
