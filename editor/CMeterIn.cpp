#include "editor/CMeterIn.h"

CMeterIn::CMeterIn(const CRect& size, const CBarMeterBitmaps& bitmaps, CControlListener* listener)
    : CBarMeter(size, bitmaps, CBarMeterGeometry{150, 165, 191, 206, CRect(164, 38, 191, 405)},
                listener) {}
