// CSpeedSwitch: three click spots in window coordinates.
#include "editor/CSpeedSwitch.h"

#include "core/Parameters.h"
#include "editor/StripControl.h"

namespace {

// The spots of the three positions, in window pixels, bounds included.
constexpr CCoord kSpotTop = 123;
constexpr CCoord kSpotBottom = 140;
constexpr CCoord kSpotLeft[CSpeedSwitch::kPositions] = {39, 72, 105};
constexpr CCoord kSpotWidth = 17;

}  // namespace

CSpeedSwitch::CSpeedSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                           CBitmap* background)
    : CControl(size, listener, tag, background) {}

int32_t CSpeedSwitch::currentFrame() const {
    return zelto::stepFromValue(getValue(), kPositions);
}

void CSpeedSwitch::draw(CDrawContext* context) {
    zelto::editor::drawStripFrame(*this, context, currentFrame(), kFrameHeight);
    setDirty(false);
}

int32_t CSpeedSwitch::positionAt(const CPoint& where) {
    if (where.y < kSpotTop || where.y > kSpotBottom) return -1;
    for (int32_t i = 0; i < kPositions; ++i) {
        if (where.x >= kSpotLeft[i] && where.x <= kSpotLeft[i] + kSpotWidth) return i;
    }
    return -1;
}

CMouseEventResult CSpeedSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    const int32_t position = positionAt(where);
    if (position >= 0) {
        value.store(zelto::valueFromStep(position, kPositions), std::memory_order_relaxed);
        valueChanged();
        invalid();
    }
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
