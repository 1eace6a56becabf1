// CPresetKickButton: press-time notification, hover and pressed frames.
#include "editor/strip/CPresetKickButton.h"

#include "toolkit/CBitmap.h"

CPresetKickButton::CPresetKickButton(const CRect& size, CControlListener* listener, int32_t tag,
                                     CCoord heightOfOneImage, CBitmap* background,
                                     const CPoint& offset, bool doubleClickOnly)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset),
      doubleClickOnly(doubleClickOnly) {}

void CPresetKickButton::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        bitmap->draw(context, getViewSize(),
                     CPoint(offset.x, offset.y + currentFrame() * heightOfOneImage));
    }
    setDirty(false);
}

CMouseEventResult CPresetKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (doubleClickOnly && !buttons.isDoubleClick()) {
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    pressed = true;
    value.store(doubleClickOnly && (buttons & kControl) ? 0.5f : 1.0f);
    valueChanged();
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPresetKickButton::onMouseUp(CPoint&, const CButtonState&) {
    release();
    return kMouseEventHandled;
}

void CPresetKickButton::release() {
    value.store(0.0f);
    pressed = false;
    invalid();
}

CMouseEventResult CPresetKickButton::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

CMouseEventResult CPresetKickButton::onMouseEntered(CPoint&, const CButtonState&) {
    hover = true;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPresetKickButton::onMouseExited(CPoint&, const CButtonState&) {
    hover = false;
    invalid();
    return kMouseEventHandled;
}

// A key must not store a default or recall a memo behind the user's back.
int32_t CPresetKickButton::onKeyDown(VstKeyCode&) {
    return -1;
}
