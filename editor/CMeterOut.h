// The stereo output level meter, right of the gain-reduction meter: a bar
// meter at its place in the window, with the output scales (images 134, 135, 136).
// Threads as CBarMeter.
#pragma once

#include "editor/CBarMeter.h"

class CMeterOut : public CBarMeter {
  public:
    /// The view rectangle of the output meter in the window.
    static CRect defaultSize() { return CRect(319, 38, 379, 406); }

    CMeterOut(const CRect& size, const CBarMeterBitmaps& bitmaps, CControlListener* listener);

    CLASS_METHODS(CMeterOut, CBarMeter)
};
