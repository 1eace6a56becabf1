// CZeltoButton: frame choice, toggling by step, right click saves the metering set-up.
#include "editor/CZeltoButton.h"

#include "core/Parameters.h"
#include "editor/MeterModeListener.h"
#include "editor/StripControl.h"

using zelto::stepFromValue;
using zelto::valueFromStep;

CZeltoButton::CZeltoButton(const CRect& size, CControlListener* listener, int32_t tag,
                           CBitmap* background, bool isPreference)
    : COnOffButton(size, listener, tag, background), isPreference(isPreference) {}

CZeltoButton::CZeltoButton(const CZeltoButton& other)
    : COnOffButton(other), isPreference(other.isPreference) {
    highlight.store(other.getHighlight(), std::memory_order_relaxed);
}

void CZeltoButton::setHighlight(bool on) {
    highlight.store(on, std::memory_order_relaxed);
    setDirty(true);
}

int32_t CZeltoButton::currentFrame() const {
    if (getHighlight()) return 2;
    return stepFromValue(getValue(), 2) == 1 ? 1 : 0;
}

void CZeltoButton::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), getHeight());
    setDirty(false);
}

CMouseEventResult CZeltoButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (isPreference && buttons.isRightButton()) {
        // The set-up is saved as it stands; the button's own value stays.
        if (auto* target = dynamic_cast<MeterModeListener*>(listener)) target->saveMeterPrefs();
        invalid();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    const int32_t other = stepFromValue(getValue(), 2) == 1 ? 0 : 1;
    value.store(valueFromStep(other, 2), std::memory_order_relaxed);
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
