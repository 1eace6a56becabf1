// A two-state button: a click flips the value between minimum and maximum.
// The bitmap holds the off image above the on image. Events on the
// user-interface thread; setValue from any thread.
#pragma once

#include "toolkit/CControl.h"

class COnOffButton : public CControl {
  public:
    COnOffButton(const CRect& size, CControlListener* listener = nullptr, int32_t tag = -1,
                 CBitmap* background = nullptr, int32_t style = 0);
    COnOffButton(const COnOffButton& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    /// Return flips it, as a click does.
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    int32_t getStyle() const { return style; }

    CLASS_METHODS(COnOffButton, CControl)

  protected:
    void toggle();
    int32_t style;
};
