// A three-position rocker: -1 while one half is pressed, +1 for the other,
// 0 at rest. Horizontal: left half -1; vertical: top half -1. The bitmap
// holds three images: -1, 0, +1, each heightOfOneImage tall. Events on the
// user-interface thread; setValue from any thread.
#pragma once

#include "toolkit/CControl.h"

class CRockerSwitch : public CControl {
  public:
    CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                  const CPoint& offset = CPoint(0, 0), int32_t style = kHorizontal);
    CRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                  CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0),
                  int32_t style = kHorizontal);
    CRockerSwitch(const CRockerSwitch& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    /// A notch rocks once: toward +1 for wheel up, -1 for down.
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    /// Arrow keys along the rocker's axis rock it once.
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    int32_t getStyle() const { return style; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }

    CLASS_METHODS(CRockerSwitch, CControl)

  protected:
    void rockOnce(float direction);
    CPoint offset;
    CCoord heightOfOneImage;
    int32_t style;
    float entryState = 0.0f;
};
