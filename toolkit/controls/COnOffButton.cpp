// COnOffButton: toggle on click or Return.
#include "toolkit/controls/COnOffButton.h"

#include "toolkit/CBitmap.h"

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, int32_t tag,
                           CBitmap* background, int32_t style)
    : CControl(size, listener, tag, background), style(style) {}

void COnOffButton::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        const CCoord offset = getValue() == getMax() ? bitmap->getHeight() / 2 : 0;
        bitmap->draw(context, getViewSize(), CPoint(0, offset));
    }
    setDirty(false);
}

void COnOffButton::toggle() {
    value.store(getValue() == getMax() ? getMin() : getMax());
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
}

CMouseEventResult COnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    toggle();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

int32_t COnOffButton::onKeyDown(VstKeyCode& keyCode) {
    if (keyCode.modifier == 0 && (keyCode.virt == VKEY_RETURN || keyCode.virt == VKEY_ENTER)) {
        toggle();
        return 1;
    }
    return -1;
}
