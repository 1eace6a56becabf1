// CAnimKnob: film-strip frame selection.
#include "toolkit/controls/CAnimKnob.h"

#include <cmath>

#include "toolkit/CBitmap.h"

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag,
                     CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset),
      subPixmaps(0),
      heightOfOneImage(size.getHeight()) {
    if (background != nullptr && heightOfOneImage > 0) {
        subPixmaps = static_cast<int32_t>(background->getHeight() / heightOfOneImage);
    }
}

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, int32_t tag, int32_t subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKnob(size, listener, tag, background, nullptr, offset),
      subPixmaps(subPixmaps),
      heightOfOneImage(heightOfOneImage) {}

void CAnimKnob::draw(CDrawContext* context) {
    CPoint where = offset;
    const float v = getValueNormalized();
    if (heightOfOneImage > 0 && subPixmaps > 1) {
        const CCoord span = heightOfOneImage * (subPixmaps - 1);
        CCoord y = std::floor((inverseBitmap ? 1.0 - v : v) * span);
        y -= std::fmod(y, heightOfOneImage);
        where.y += y;
    }
    if (CBitmap* bitmap = getDrawBackground()) bitmap->draw(context, getViewSize(), where);
    setDirty(false);
}
