// CPresetRockerSwitch: one step per press, hover halves.
#include "editor/strip/CPresetRockerSwitch.h"

#include "toolkit/CBitmap.h"

CPresetRockerSwitch::CPresetRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                                         CCoord heightOfOneImage, CBitmap* background,
                                         const CPoint& offset, int32_t style)
    : CRockerSwitch(size, listener, tag, heightOfOneImage, background, offset, style) {}

int32_t CPresetRockerSwitch::sideOf(const CPoint& where) const {
    const CRect& r = getViewSize();
    return where.x < r.left + r.getWidth() / 2 ? -1 : 1;
}

int32_t CPresetRockerSwitch::currentFrame() const {
    const float v = getValue();
    if (v < 0.0f) return 3;
    if (v > 0.0f) return 4;
    return hover < 0 ? 1 : hover > 0 ? 2 : 0;
}

void CPresetRockerSwitch::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        bitmap->draw(context, getViewSize(),
                     CPoint(offset.x, offset.y + currentFrame() * heightOfOneImage));
    }
    setDirty(false);
}

CMouseEventResult CPresetRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value.store(static_cast<float>(sideOf(where)));
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CPresetRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    value.store(0.0f);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPresetRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton()) return kMouseEventHandled;
    return onMouseEntered(where, buttons);
}

CMouseEventResult CPresetRockerSwitch::onMouseEntered(CPoint& where, const CButtonState&) {
    const int32_t side = sideOf(where);
    if (side != hover) {
        hover = side;
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CPresetRockerSwitch::onMouseExited(CPoint&, const CButtonState&) {
    hover = 0;
    invalid();
    return kMouseEventHandled;
}

// One preset per press only: a wheel or a held key would race through the
// bank, replacing the engine's settings at every step.
bool CPresetRockerSwitch::onWheel(const CPoint&, const float&, const CButtonState&) {
    return false;
}

int32_t CPresetRockerSwitch::onKeyDown(VstKeyCode&) {
    return -1;
}
