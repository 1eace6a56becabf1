#include "editor/CInfo.h"

#include <string>

using namespace zelto;

CInfo::CInfo(const CRect& size, CBitmap* font)
    : CControl(size, nullptr, 0), CTextPrinter(font), homeRect_(size) {}

CInfo::CInfo(const CInfo& other)
    : CControl(other),
      CTextPrinter(other),
      isOpen_(other.isOpen_),
      latencySamples_(other.getLatency()),
      homeRect_(other.homeRect_) {}

void CInfo::setLatency(int32_t samples) {
    latencySamples_.store(samples, std::memory_order_relaxed);
    setDirty(true);
}

void CInfo::draw(CDrawContext* context) {
    if (isOpen_ && context != nullptr) {
        context->setFillColor(kLcdLight);
        context->setFrameColor(kLcdDark);
        context->setLineWidth(3);
        context->drawRect(CRect(43, 294, 481, 430), kDrawFilledAndStroked);
        context->setFillColor(kLcdDark);
        context->drawRect(CRect(54, 301, 109, 310), kDrawFilled);
        print(context, CPoint(55, 309), "KRW Zelto", false, true);
        print(context, CPoint(200, 309), "Brickwall Limiting, Metering and Requantizing", false,
              false);
        print(context, CPoint(55, 323), "Version:", false, false);
        print(context, CPoint(440, 323), kVersion, false, false);
        print(context, CPoint(55, 351), "Current process latency (samples):", false, false);
        const std::string latency = formatText("%d", getLatency());
        print(context, CPoint(470 - 6 * static_cast<CCoord>(latency.size()), 351), latency.c_str(),
              false, false);
    }
    setDirty(false);
}

CMouseEventResult CInfo::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    CFrame* owner = getFrame();
    if (!isOpen_) {
        // Out of the normal hit testing and drawing while the frame hands it
        // every event as its modal view.
        setViewSize(CRect(0, 0, 0, 0), false);
        isOpen_ = true;
        if (owner != nullptr) owner->setModalView(this);
    } else {
        isOpen_ = false;
        setViewSize(homeRect_, false);
        if (owner != nullptr) owner->clearModalView();
    }
    if (owner != nullptr) owner->invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
