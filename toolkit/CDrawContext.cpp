// CDrawContext: the state model shared by both backends (colours, line
// width, font, clip bookkeeping, saved states). The drawing itself lives in
// toolkit/platform/<backend>.
#include "toolkit/CDrawContext.h"

#include "toolkit/platform/PixelGeometry.h"

#include <cmath>

using zelto::toolkit::pixelRect;
using zelto::toolkit::textOrigin;

void CDrawContext::drawString(const char* string, const CRect& rect, CHoriTxtAlign align,
                              bool antialias) {
    if (!isValid() || string == nullptr || *string == 0) return;
    const CRect r = pixelRect(rect);
    if (r.isEmpty()) return;
    CCoord ascent = 0;
    CCoord descent = 0;
    getFontMetrics(ascent, descent);
    const auto [x, baseline] = textOrigin(r, getStringWidth(string), ascent, descent, align);
    drawStringClipped(string, r, CPoint(std::floor(x), std::round(baseline)), antialias);
}

void CDrawContext::setLineWidth(CCoord width) {
    state.lineWidth = width > 0 ? width : 1;
}

void CDrawContext::setFont(const CFontRef font, CCoord size, int32_t style) {
    if (font != nullptr)
        state.font = CFontDesc(font->getName().c_str(), font->getSize(), font->getStyle());
    if (size > 0) state.font.setSize(size);
    if (style >= 0) state.font.setStyle(style);
}

void CDrawContext::lineTo(const CPoint& point) {
    drawLine(penPosition, point);
    penPosition = point;
}

void CDrawContext::setClipRect(const CRect& rect) {
    state.clip = rect;
    state.clip.bound(limit);
    applyClip();
}

void CDrawContext::setClipLimit(const CRect& rect) {
    if (cr == nullptr) return;
    limit = pixelRect(rect);
    setClipRect(limit);
}

void CDrawContext::saveGlobalState() {
    saved.push_back(state);
}

void CDrawContext::restoreGlobalState() {
    if (saved.empty()) return;
    state = saved.back();
    saved.pop_back();
    applyClip();
}

void CDrawContext::resetState() {
    state = State{};
    state.clip = limit;
    saved.clear();
    applyClip();
}
