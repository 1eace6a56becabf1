// A knob drawn from a film strip: subPixmaps images stacked vertically, each
// heightOfOneImage tall; the value picks image floor(value * (n - 1)), so
// the maximum shows the last one. Dragging, wheel and keys as CKnob.
// Events on the user-interface thread; setValue from any thread.
#pragma once

#include "toolkit/controls/CKnob.h"

class CAnimKnob : public CKnob {
  public:
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
              const CPoint& offset = CPoint(0, 0));
    CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));
    CAnimKnob(const CAnimKnob& other) = default;

    void draw(CDrawContext* context) override;

    void setNumSubPixmaps(int32_t count) { subPixmaps = count; }
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    void setHeightOfOneImage(CCoord height) { heightOfOneImage = height; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    /// Runs the strip backwards (first image for the maximum).
    void setInverseBitmap(bool state) { inverseBitmap = state; }
    bool getInverseBitmap() const { return inverseBitmap; }

    CLASS_METHODS(CAnimKnob, CKnob)

  protected:
    int32_t subPixmaps;
    CCoord heightOfOneImage;
    bool inverseBitmap = false;
};
