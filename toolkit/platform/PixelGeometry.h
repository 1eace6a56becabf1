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

}  // namespace zelto::toolkit
