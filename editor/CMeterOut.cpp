#include "editor/CMeterOut.h"

CMeterOut::CMeterOut(const CRect& size, const CBarMeterBitmaps& bitmaps, CControlListener* listener)
    : CBarMeter(size, bitmaps, CBarMeterGeometry{320, 335, 363, 378, CRect(335, 38, 362, 405)},
                listener) {}
