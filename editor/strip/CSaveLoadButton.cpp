// CSaveLoadButton: left or right click, told at once, no release tracking.
#include "editor/strip/CSaveLoadButton.h"

#include "toolkit/CBitmap.h"

CSaveLoadButton::CSaveLoadButton(const CRect& size, CControlListener* listener, int32_t tag,
                                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset) {}

void CSaveLoadButton::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        bitmap->draw(context, getViewSize(),
                     CPoint(offset.x, offset.y + currentFrame() * heightOfOneImage));
    }
    setDirty(false);
}

CMouseEventResult CSaveLoadButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if ((!buttons.isLeftButton() && !buttons.isRightButton()) || listener == nullptr) {
        return kMouseEventNotHandled;
    }
    value.store(buttons.getButtonState() == kRButton ? 0.5f : 1.0f);
    valueChanged();
    value.store(0.0f);
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CSaveLoadButton::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

CMouseEventResult CSaveLoadButton::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

CMouseEventResult CSaveLoadButton::onMouseEntered(CPoint&, const CButtonState&) {
    hover = true;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CSaveLoadButton::onMouseExited(CPoint&, const CButtonState&) {
    hover = false;
    invalid();
    return kMouseEventHandled;
}

int32_t CSaveLoadButton::onKeyDown(VstKeyCode&) {
    return -1;
}
