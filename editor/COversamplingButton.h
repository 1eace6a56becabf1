// The detector's oversampling switch. Unlike the other switches it writes
// exact 0 and 1; a value set from outside shows as on from 0.5 up, and a
// click turns anything below 1 on (so 0.75 from a host stays on).
// Events on the user-interface thread; setValue from any thread.
#pragma once

#include "toolkit/vstgui.h"

class COversamplingButton : public COnOffButton {
  public:
    COversamplingButton(const CRect& size, CControlListener* listener, int32_t tag,
                        CBitmap* background);
    COversamplingButton(const COversamplingButton& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t currentFrame() const;

    /// The strip's frames are 19 pixels apart whatever the view's height.
    static constexpr CCoord kFrameHeight = 19;
};
