// CModeButton: peak / K-scale zones, frames by type and scale.
#include "editor/CModeButton.h"

#include "editor/MeterModeListener.h"
#include "editor/StripControl.h"

CModeButton::CModeButton(const CRect& size, CControlListener* listener, int32_t tag,
                         CBitmap* background)
    : CControl(size, listener, tag, background) {}

CModeButton::CModeButton(const CModeButton& other) : CControl(other) {
    highlight.store(other.getHighlight(), std::memory_order_relaxed);
    meterType.store(other.getMeterType(), std::memory_order_relaxed);
    meterScale.store(other.getMeterScale(), std::memory_order_relaxed);
}

void CModeButton::setHighlight(bool on) {
    highlight.store(on, std::memory_order_relaxed);
    setDirty(true);
}

void CModeButton::setMeterType(int32_t type) {
    meterType.store(type != 0 ? 1 : 0, std::memory_order_relaxed);
    setDirty(true);
}

void CModeButton::setMeterScale(int32_t scale) {
    meterScale.store(scale < 0 ? 0 : (scale > 2 ? 2 : scale), std::memory_order_relaxed);
    setDirty(true);
}

int32_t CModeButton::currentFrame() const {
    // Frames 0-2: peak lit, scale shown dim; 3-5: K metering lit; 6: flash.
    if (getHighlight()) return 6;
    return getMeterType() == 1 ? getMeterScale() + 3 : getMeterScale();
}

void CModeButton::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), getHeight());
    setDirty(false);
}

CMouseEventResult CModeButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    auto* target = dynamic_cast<MeterModeListener*>(listener);
    if ((!buttons.isLeftButton() && !buttons.isRightButton()) || target == nullptr) {
        return kMouseEventNotHandled;
    }
    if (buttons.isRightButton()) {
        target->saveMeterPrefs();
    } else if (where.y < size.top + kZone) {
        target->setMeterType(0);
    } else if (where.y > size.bottom - kZone) {
        if (getMeterType() == 1) {
            const int32_t next = (getMeterScale() + 1) % 3;
            meterScale.store(next, std::memory_order_relaxed);
            target->setMeterScale(next);
        }
        target->setMeterType(1);
    }
    // The strip between the two buttons does nothing.
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
