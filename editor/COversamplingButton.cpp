// COversamplingButton: on from step 1, a click writes exact 0 or 1.
#include "editor/COversamplingButton.h"

#include "core/Parameters.h"
#include "editor/StripControl.h"

COversamplingButton::COversamplingButton(const CRect& size, CControlListener* listener, int32_t tag,
                                         CBitmap* background)
    : COnOffButton(size, listener, tag, background) {}

int32_t COversamplingButton::currentFrame() const {
    return zelto::stepFromValue(getValue(), 2) == 1 ? 1 : 0;
}

void COversamplingButton::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), kFrameHeight);
    setDirty(false);
}

CMouseEventResult COversamplingButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // Only a value of exactly 1 (or more) counts as on here.
    value.store(static_cast<int32_t>(getValue()) != 0 ? 0.0f : 1.0f, std::memory_order_relaxed);
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
