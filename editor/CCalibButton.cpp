// CCalibButton: stepping through the calibration signals, blinking while active.
#include "editor/CCalibButton.h"

#include "core/Parameters.h"

CCalibButton::CCalibButton(const CRect& size, CControlListener* listener, int32_t tag,
                           CBitmap* background)
    : CControl(size, listener, tag, background) {}

CCalibButton::CCalibButton(const CCalibButton& other) : CControl(other) {
    nowTick.store(other.nowTick.load(std::memory_order_relaxed), std::memory_order_relaxed);
    clickTick.store(other.clickTick.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

void CCalibButton::setTick(uint32_t now) {
    nowTick.store(now, std::memory_order_relaxed);
    if (zelto::stepFromValue(getValue(), kSteps) != 0) setDirty(true);
}

CCoord CCalibButton::currentOffset() const {
    // The strip holds steps 2 and 3 in the other order.
    static constexpr int32_t kFrameOfStep[kSteps] = {0, 1, 3, 2};
    const int32_t frame = kFrameOfStep[zelto::stepFromValue(getValue(), kSteps)];
    CCoord offset = kFrameHeight * frame;
    const uint32_t sinceClick =
        nowTick.load(std::memory_order_relaxed) - clickTick.load(std::memory_order_relaxed);
    if (frame != 0 && (sinceClick & 511u) < 256u) offset += kBlinkOffset;
    return offset;
}

void CCalibButton::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) {
        bitmap->draw(context, getViewSize(), CPoint(0, currentOffset()));
    }
    setDirty(false);
}

CMouseEventResult CCalibButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    const int32_t next = (zelto::stepFromValue(getValue(), kSteps) + 1) % kSteps;
    value.store(zelto::valueFromStep(next, kSteps), std::memory_order_relaxed);
    clickTick.store(nowTick.load(std::memory_order_relaxed), std::memory_order_relaxed);
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
