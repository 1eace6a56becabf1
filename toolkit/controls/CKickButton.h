// A momentary button: maximum while pressed with the pointer over it, back
// to minimum on release. The listener hears the maximum on a completed
// click and then the minimum. The bitmap holds the normal image above the
// pressed one, each heightOfOneImage tall. Events on the user-interface
// thread; setValue from any thread.
#pragma once

#include "toolkit/CControl.h"

class CKickButton : public CControl {
  public:
    CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                const CPoint& offset = CPoint(0, 0));
    CKickButton(const CRect& size, CControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));
    CKickButton(const CKickButton& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    /// Return kicks it once (press and release together, so a host that
    /// never sends key-ups cannot leave it stuck).
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    void setHeightOfOneImage(CCoord height) { heightOfOneImage = height; }
    const CPoint& getOffset() const { return offset; }

    CLASS_METHODS(CKickButton, CControl)

  protected:
    CPoint offset;
    CCoord heightOfOneImage;
    float entryState = 0.0f;
};
