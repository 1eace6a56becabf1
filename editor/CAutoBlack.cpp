// CAutoBlack: on/off with a dim frame while requantizing is off.
#include "editor/CAutoBlack.h"

#include "core/Parameters.h"
#include "editor/StripControl.h"

CAutoBlack::CAutoBlack(const CRect& size, CControlListener* listener, int32_t tag,
                       CBitmap* background)
    : CControl(size, listener, tag, background) {}

CAutoBlack::CAutoBlack(const CAutoBlack& other) : CControl(other) {
    enabled.store(other.getEnabled(), std::memory_order_relaxed);
    selection.store(other.getSelection(), std::memory_order_relaxed);
}

void CAutoBlack::setEnabled(int32_t on) {
    enabled.store(on != 0 ? 1 : 0, std::memory_order_relaxed);
    setDirty(true);
}

void CAutoBlack::setSelection(int32_t index) {
    selection.store(index != 0 ? 1 : 0, std::memory_order_relaxed);
    setDirty(true);
}

int32_t CAutoBlack::currentFrame() const {
    if (getSelection() == 0) return 0;
    return getEnabled() != 0 ? 1 : 2;
}

void CAutoBlack::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), getHeight());
    setDirty(false);
}

CMouseEventResult CAutoBlack::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    const int32_t next = 1 - getSelection();
    selection.store(next, std::memory_order_relaxed);
    value.store(zelto::valueFromStep(next, 2), std::memory_order_relaxed);
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
