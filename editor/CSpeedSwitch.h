// The transient shape switch: three positions (hard, medium, soft), each
// chosen by a click on its own spot of the switch; a click between the
// spots changes nothing.
// Events on the user-interface thread; setValue from any thread.
#pragma once

#include "toolkit/vstgui.h"

class CSpeedSwitch : public CControl {
  public:
    CSpeedSwitch(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);
    CSpeedSwitch(const CSpeedSwitch& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t currentFrame() const;
    /// The position a press at this window point picks, or -1 for none.
    static int32_t positionAt(const CPoint& where);

    static constexpr int32_t kPositions = 3;
    static constexpr CCoord kFrameHeight = 25;

    CLASS_METHODS(CSpeedSwitch, CControl)
};
