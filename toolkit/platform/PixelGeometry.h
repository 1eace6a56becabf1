// Whole-pixel geometry shared by the drawing backends: every shape is put
// on integer coordinates before it is drawn, so both backends touch the
// same pixels.
#pragma once

#include <algorithm>
#include <cmath>

#include "toolkit/CRect.h"

namespace zelto::toolkit {

inline CCoord px(CCoord v) {
    return std::round(v);
}

/// rect rounded to whole pixels, with left <= right and top <= bottom.
inline CRect pixelRect(const CRect& r) {
    CRect out(px(r.left), px(r.top), px(r.right), px(r.bottom));
    if (out.right < out.left) std::swap(out.left, out.right);
    if (out.bottom < out.top) std::swap(out.top, out.bottom);
    return out;
}

/// Where a bitmap of width x height lands when its part at sourceOffset is
/// drawn into destRect: the bitmap's top-left in the target (origin) and the
/// whole-pixel area it covers there (empty when nothing shows).
struct BitmapPlacement {
    CPoint origin;
    CRect area;
};
inline BitmapPlacement bitmapPlacement(const CRect& destRect, const CPoint& sourceOffset,
                                       CCoord width, CCoord height) {
    const CRect dest = pixelRect(destRect);
    const CPoint origin(dest.left - px(sourceOffset.x), dest.top - px(sourceOffset.y));
    CRect area = dest;
    area.bound(CRect(origin.x, origin.y, origin.x + width, origin.y + height));
    return {origin, area};
}

/// Where a line of text of this width and these font metrics starts in r:
/// x by the alignment (0 left, 1 centre, 2 right), the baseline so that the
/// text sits vertically centred.
struct TextOrigin {
    CCoord x;
    CCoord baseline;
};
inline TextOrigin textOrigin(const CRect& r, CCoord width, CCoord ascent, CCoord descent,
                             int align) {
    CCoord x = r.left;
    if (align == 1) {
        x = r.left + (r.getWidth() - width) / 2;
    } else if (align == 2) {
        x = r.right - width;
    }
    return {x, r.top + (r.getHeight() + ascent - descent) / 2};
}

}  // namespace zelto::toolkit
