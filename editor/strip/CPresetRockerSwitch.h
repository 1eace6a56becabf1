// The previous/next rocker of the preset strip (horizontal): a press on the
// left half sends -1, on the right half +1, and the value returns to 0 on
// release. Hover shows which half a click would take.
// The bitmap holds five frames: normal, hover left, hover right, pressed
// left, pressed right. Events and drawing on the user-interface thread.
#pragma once

#include "toolkit/vstgui.h"

class CPresetRockerSwitch : public CRockerSwitch {
  public:
    CPresetRockerSwitch(const CRect& size, CControlListener* listener, int32_t tag,
                        CCoord heightOfOneImage, CBitmap* background, const CPoint& offset,
                        int32_t style = kHorizontal);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    /// -1 over the left half, +1 over the right, 0 outside.
    int32_t hoverSide() const { return hover; }
    int32_t currentFrame() const;

    CLASS_METHODS(CPresetRockerSwitch, CRockerSwitch)

  private:
    int32_t sideOf(const CPoint& where) const;
    int32_t hover = 0;
};
