// The panel's knobs: a 101-frame film strip, frame = floor(100 x value).
// Dragging is always linear, whatever knob mode the host asks for: up or to
// the right increases, 400 pixels for the whole range, 1000 with Shift;
// pressing or releasing Shift mid-drag changes the scale without a jump.
// The wheel moves 0.01 per notch (0.001 with Shift); Control-click restores
// the default. Drags and wheel notches reach the host inside a
// begin/end-edit bracket.
// Events on the user-interface thread; setValue from any thread.
#pragma once

#include "toolkit/vstgui.h"

class CMyKnob : public CAnimKnob {
  public:
    CMyKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
            CCoord frameHeight);
    CMyKnob(const CMyKnob& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;

    /// Source offset (pixels down the strip) of the frame draw() shows.
    CCoord currentOffset() const;

    static constexpr int32_t kFrames = 101;
    static constexpr float kPixelsForRange = 400.0f;
    static constexpr float kFinePixelsForRange = 1000.0f;
    static constexpr float kWheelStep = 0.01f;
    static constexpr float kFineWheelStep = 0.001f;

  private:
    void setScale(const CButtonState& buttons);

    CPoint dragStart;
    CPoint dragLast;
    float dragStartValue = 0.0f;
    float pixelsForRange = kPixelsForRange;
    float valuePerPixel = 0.0f;
    int32_t lastButtons = 0;
};
