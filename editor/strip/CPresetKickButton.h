// A button of the preset strip: lights on hover, shows its pressed frame
// while held, and tells its listener at once on the press, so a file dialog
// or a message that swallows the release cannot lose the click.
// With doubleClickOnly it answers double clicks alone (the default buttons:
// a stray single click must never replace the stored start-up state), and
// Ctrl + double click sends 0.5 instead of 1.0 (clear instead of store).
// The bitmap holds three frames, top to bottom: normal, hover, pressed.
// Events and drawing on the user-interface thread.
#pragma once

#include "toolkit/vstgui.h"

class CPresetKickButton : public CKickButton {
  public:
    CPresetKickButton(const CRect& size, CControlListener* listener, int32_t tag,
                      CCoord heightOfOneImage, CBitmap* background, const CPoint& offset,
                      bool doubleClickOnly);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    bool isHovered() const { return hover; }
    bool isPressed() const { return pressed; }
    /// Drops the pressed state (the release may never come).
    void release();
    /// The frame draw() shows now: 0 normal, 1 hover, 2 pressed.
    int32_t currentFrame() const { return pressed ? 2 : hover ? 1 : 0; }

    CLASS_METHODS(CPresetKickButton, CKickButton)

  private:
    bool doubleClickOnly;
    bool hover = false;
    bool pressed = false;
};
