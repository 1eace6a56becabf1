// A load or save button of the preset strip. Left click sends 1.0, a click
// with the right button alone 0.5 (a load button then reads the file in the
// other byte order), then the value returns to 0 at once: the listener opens
// a dialog and the release is of no interest. Keys do nothing.
// The bitmap holds three frames: normal, hover, pressed.
// Events and drawing on the user-interface thread.
#pragma once

#include "toolkit/vstgui.h"

class CSaveLoadButton : public CKickButton {
  public:
    CSaveLoadButton(const CRect& size, CControlListener* listener, int32_t tag,
                    CCoord heightOfOneImage, CBitmap* background, const CPoint& offset);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    bool isHovered() const { return hover; }
    int32_t currentFrame() const { return getValue() != 0.0f ? 2 : hover ? 1 : 0; }

    CLASS_METHODS(CSaveLoadButton, CKickButton)

  private:
    bool hover = false;
};
