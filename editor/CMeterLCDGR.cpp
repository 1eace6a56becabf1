#include "editor/CMeterLCDGR.h"

#include <cmath>

using namespace zelto;

CMeterLCDGR::CMeterLCDGR(const CRect& size, CBitmap* background, CBitmap* font,
                         CControlListener* listener)
    : CControl(size, listener, kTag, background), CTextPrinter(font) {}

CMeterLCDGR::CMeterLCDGR(const CMeterLCDGR& other) : CControl(other), CTextPrinter(other) {
    minDb_[0] = other.minDb_[0];
    minDb_[1] = other.minDb_[1];
}

std::string CMeterLCDGR::valueText(float minDb) {
    return formatText("%2.1f", static_cast<double>(minDb));
}

void CMeterLCDGR::setGainReduction(float grL, float grR) {
    applyPendingReset();
    const float gains[2] = {grL, grR};
    for (int ch = 0; ch < 2; ++ch) {
        // A gain of zero would read minus infinity, which no box can show; the
        // engine's gain never gets there, so -99.9 dB stands for it.
        const float db = gains[ch] > 0.0f ? 20.0f * std::log10(gains[ch]) : -99.9f;
        if (db < minDb_[ch]) minDb_[ch] = db < -99.9f ? -99.9f : db;
    }
    setDirty(true);
}

void CMeterLCDGR::resetMeter() {
    resetPending_.store(true, std::memory_order_relaxed);
    setDirty(true);
}

void CMeterLCDGR::applyPendingReset() {
    if (resetPending_.exchange(false, std::memory_order_relaxed)) minDb_[0] = minDb_[1] = 0.0f;
}

void CMeterLCDGR::draw(CDrawContext* context) {
    applyPendingReset();
    if (context != nullptr) {
        const CCoord x0 = size.left, y1 = size.bottom;
        if (background != nullptr) background->draw(context, size, CPoint(size.left, size.top));
        context->setFillColor(kLcdDark);
        print(context, CPoint(x0 + 41, y1 - 2), "dB", false, false);
        for (int ch = 0; ch < 2; ++ch) {
            const CCoord left = x0 + (ch == 0 ? 1 : 61);
            const std::string text = valueText(minDb_[ch]);
            context->drawRect(CRect(left, y1 - 10, left + 31, y1 - 1), kDrawFilled);
            const auto length = static_cast<CCoord>(text.size());
            print(context, CPoint(left + 1 + 3 * (5 - length), y1 - 2), text.c_str(), false, true);
        }
    }
    setDirty(false);
}

CMouseEventResult CMeterLCDGR::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (listener != nullptr) listener->valueChanged(this);
    invalid();
    minDb_[0] = minDb_[1] = 0.0f;
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
