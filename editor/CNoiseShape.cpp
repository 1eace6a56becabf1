// CNoiseShape: cycling noise-shaping selector.
#include "editor/CNoiseShape.h"

#include "core/Parameters.h"
#include "editor/StripControl.h"

CNoiseShape::CNoiseShape(const CRect& size, CControlListener* listener, int32_t tag,
                         CBitmap* background)
    : CControl(size, listener, tag, background) {}

CNoiseShape::CNoiseShape(const CNoiseShape& other) : CControl(other) {
    enabled.store(other.getEnabled(), std::memory_order_relaxed);
    selection.store(other.getSelection(), std::memory_order_relaxed);
}

void CNoiseShape::setEnabled(int32_t on) {
    enabled.store(on != 0 ? 1 : 0, std::memory_order_relaxed);
    setDirty(true);
}

void CNoiseShape::setSelection(int32_t index) {
    selection.store(index < 0 ? 0 : (index >= kChoices ? kChoices - 1 : index),
                    std::memory_order_relaxed);
    setDirty(true);
}

int32_t CNoiseShape::currentFrame() const {
    const int32_t s = getSelection();
    return s != 0 && getEnabled() != 0 ? s + 3 : s;
}

void CNoiseShape::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), getHeight());
    setDirty(false);
}

CMouseEventResult CNoiseShape::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    const int32_t next = (getSelection() + 1) % kChoices;
    selection.store(next, std::memory_order_relaxed);
    value.store(zelto::valueFromStep(next, kChoices), std::memory_order_relaxed);
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
