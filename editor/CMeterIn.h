// The stereo input level meter, left of the gain-reduction meter: a bar
// meter at its place in the window, with the input scales (images 131, 132, 133).
// Threads as CBarMeter.
#pragma once

#include "editor/CBarMeter.h"

class CMeterIn : public CBarMeter {
  public:
    /// The view rectangle of the input meter in the window.
    static CRect defaultSize() { return CRect(147, 38, 207, 408); }

    CMeterIn(const CRect& size, const CBarMeterBitmaps& bitmaps, CControlListener* listener);

    CLASS_METHODS(CMeterIn, CBarMeter)
};
