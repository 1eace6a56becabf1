// A rotary knob. Dragging follows the host's knob mode: linear (up and
// right increase, 200 pixels for the whole range, Shift for fine steps) or
// circular (the value follows the pointer's angle around the centre; Alt
// switches to linear). Control+click restores the default value; the wheel
// and the arrow keys step by the wheel increment (a tenth of it with
// Shift). Draws the background bitmap and a handle line (or handle bitmap)
// at the value's angle. Events on the user-interface thread; setValue from
// any thread.
#pragma once

#include "toolkit/CColor.h"
#include "toolkit/CControl.h"

class CKnob : public CControl {
  public:
    CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
          CBitmap* handle = nullptr, const CPoint& offset = CPoint(0, 0));
    CKnob(const CKnob& other);
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    /// Angles in radians, counter-clockwise from the positive x axis: the
    /// minimum sits at startAngle, the maximum rangeAngle further clockwise.
    void setStartAngle(float angle) { startAngle = angle; }
    float getStartAngle() const { return startAngle; }
    void setRangeAngle(float angle) { rangeAngle = angle; }
    float getRangeAngle() const { return rangeAngle; }
    void setZoomFactor(float factor) { zoomFactor = factor > 0 ? factor : 1; }
    float getZoomFactor() const { return zoomFactor; }
    void setInsetValue(CCoord inset) { insetValue = inset; }
    void setColorHandle(const CColor& color) { colorHandle = color; }
    const CColor& getColorHandle() const { return colorHandle; }
    void setHandleBitmap(CBitmap* bitmap);
    const CPoint& getOffset() const { return offset; }

    /// Value for a point relative to the view's top-left.
    virtual float valueFromPoint(const CPoint& point) const;
    /// The handle's end point, relative to the view's top-left.
    virtual CPoint valueToPoint() const;

    CLASS_METHODS(CKnob, CControl)

  protected:
    virtual void drawHandle(CDrawContext* context);

    CPoint offset;
    CBitmap* handleBitmap = nullptr;
    CColor colorHandle{kWhiteCColor};
    CCoord insetValue = 3;
    float startAngle = 3.14159265f * 5.0f / 4.0f;  // lower left
    float rangeAngle = 3.14159265f * 3.0f / 2.0f;  // to the lower right
    float zoomFactor = 1.5f;

    // Drag state.
    CPoint firstPoint;
    CPoint lastPoint;
    float entryState = 0.0f;
    float startValue = 0.0f;
    float range = 200.0f;
    float coef = 0.0f;
    int32_t oldButton = 0;
    bool modeLinear = false;
};
