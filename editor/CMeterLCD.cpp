#include "editor/CMeterLCD.h"

#include <cmath>

using namespace zelto;

CMeterLCD::CMeterLCD(const CRect& size, CBitmap* background, CBitmap* font, CBitmap* redFont,
                     CControlListener* listener)
    : CControl(size, listener, kTag, background), CTextPrinter2Color(font, redFont) {}

CMeterLCD::CMeterLCD(const CMeterLCD& other)
    : CControl(other), CTextPrinter2Color(other), meterMode_(other.getMeterMode()) {
    maxDb_[0] = other.maxDb_[0];
    maxDb_[1] = other.maxDb_[1];
}

std::string CMeterLCD::valueText(float maxDb, int32_t mode) {
    static constexpr float kReference[4] = {0.0f, 12.0f, 14.0f, 20.0f};
    const float shown = maxDb + kReference[(mode >= 0 && mode <= 3) ? mode : 0];
    if (!(shown > -100.0f)) return "-oo";
    return formatText("%+2.1f", static_cast<double>(shown));
}

void CMeterLCD::setPeaks(float peakL, float peakR) {
    applyPendingReset();
    const float peaks[2] = {peakL, peakR};
    for (int ch = 0; ch < 2; ++ch) {
        // Silence is minus infinity and never replaces a held maximum.
        const float db = 20.0f * std::log10(peaks[ch]);
        if (db > maxDb_[ch]) maxDb_[ch] = std::isfinite(db) ? db : 200.0f;
    }
    setDirty(true);
}

void CMeterLCD::setMeterMode(int32_t mode) {
    meterMode_.store(mode, std::memory_order_relaxed);
    setDirty(true);
}

void CMeterLCD::resetMeter() {
    resetPending_.store(true, std::memory_order_relaxed);
    setDirty(true);
}

void CMeterLCD::applyPendingReset() {
    if (resetPending_.exchange(false, std::memory_order_relaxed)) maxDb_[0] = maxDb_[1] = kResetDb;
}

void CMeterLCD::draw(CDrawContext* context) {
    applyPendingReset();
    if (context != nullptr) {
        const CCoord x0 = size.left, y1 = size.bottom;
        if (background != nullptr) background->draw(context, size, CPoint(size.left, size.top));
        context->setFillColor(kLcdDark);
        const int32_t mode = getMeterMode();
        if (mode == 0) {
            CTextPrinter::print(context, CPoint(x0 + 35, y1 - 2), "dBFS", false, false);
        } else {
            CTextPrinter::print(context, CPoint(x0 + 35, y1 - 2), "    ", false, false);
            CTextPrinter::print(context, CPoint(x0 + 38, y1 - 2), "dBr", false, false);
        }
        for (int ch = 0; ch < 2; ++ch) {
            const CCoord left = x0 + (ch == 0 ? 1 : 61);
            const std::string text = valueText(maxDb_[ch], mode);
            // The box turns over-red once the channel went above full scale,
            // whatever the scale shows.
            const bool over = maxDb_[ch] > 0.0f;
            context->setFillColor(over ? kLcdOverRed : kLcdDark);
            context->drawRect(CRect(left, y1 - 10, left + 31, y1 - 1), kDrawFilled);
            context->setFillColor(kLcdDark);
            const auto length = static_cast<CCoord>(text.size());
            print(context, CPoint(left + 1 + 3 * (5 - length), y1 - 2), text.c_str(), false, true,
                  over);
        }
    }
    setDirty(false);
}

CMouseEventResult CMeterLCD::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (listener != nullptr) listener->valueChanged(this);
    invalid();
    maxDb_[0] = maxDb_[1] = kResetDb;
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
