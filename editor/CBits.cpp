// CBits: cycling word-length selector.
#include "editor/CBits.h"

#include "core/Parameters.h"
#include "editor/StripControl.h"

CBits::CBits(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background)
    : CControl(size, listener, tag, background) {}

CBits::CBits(const CBits& other) : CControl(other) {
    enabled.store(other.getEnabled(), std::memory_order_relaxed);
    selection.store(other.getSelection(), std::memory_order_relaxed);
}

void CBits::setEnabled(int32_t on) {
    enabled.store(on != 0 ? 1 : 0, std::memory_order_relaxed);
    setDirty(true);
}

void CBits::setSelection(int32_t index) {
    selection.store(index < 0 ? 0 : (index >= kChoices ? kChoices - 1 : index),
                    std::memory_order_relaxed);
    setDirty(true);
}

void CBits::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), getHeight());
    setDirty(false);
}

CMouseEventResult CBits::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // Cycles whether or not "Quantize" is on: the choice is kept for later.
    const int32_t next = (getSelection() + 1) % kChoices;
    selection.store(next, std::memory_order_relaxed);
    value.store(zelto::valueFromStep(next, kChoices), std::memory_order_relaxed);
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
