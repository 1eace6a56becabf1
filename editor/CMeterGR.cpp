#include "editor/CMeterGR.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr CCoord kTop = 42;
constexpr CCoord kScaleHeight = 153;  // one frame of the background
}  // namespace

CMeterGR::CMeterGR(const CRect& size, CBitmap* background, CBitmap* bar, CControlListener* listener)
    : CControl(size, listener, kTag, background), bar_(bar) {
    if (bar_ != nullptr) bar_->remember();
}

CMeterGR::CMeterGR(const CMeterGR& other)
    : CControl(other),
      bar_(other.bar_),
      lastTick_(other.lastTick_),
      currentTick_(other.currentTick_),
      zoom_(other.getZoom()) {
    for (int ch = 0; ch < 2; ++ch) {
        grDb_[ch] = other.grDb_[ch];
        heldDb_[ch] = other.heldDb_[ch];
        holdMs_[ch] = other.holdMs_[ch];
    }
    if (bar_ != nullptr) bar_->remember();
}

CMeterGR::~CMeterGR() {
    if (bar_ != nullptr) bar_->forget();
}

int32_t CMeterGR::barPixels(float heldDb, bool zoom) {
    if (!(heldDb <= -0.1f)) return 0;
    const float k = zoom ? 12.0f : 6.0f;
    const float scaled = std::max(heldDb * k - 0.5f, -1000.0f);
    return std::clamp(1 - static_cast<int32_t>(scaled), 0, 145);
}

void CMeterGR::setLevels(uint32_t tick, float grL, float grR) {
    applyPendingReset();
    currentTick_ = tick;
    const float gains[2] = {grL, grR};
    for (int ch = 0; ch < 2; ++ch) {
        // A gain of zero (or anything unreadable) shows as the full -30 dB.
        const float db = gains[ch] > 0.0f ? 20.0f * std::log10(gains[ch]) : -30.0f;
        grDb_[ch] = std::isnan(db) ? -30.0f : std::clamp(db, -30.0f, 0.0f);
    }
    setDirty(true);
}

void CMeterGR::setZoom(bool zoom) {
    zoom_.store(zoom, std::memory_order_relaxed);
    setDirty(true);
}

void CMeterGR::resetMeter() {
    resetPending_.store(true, std::memory_order_relaxed);
    setDirty(true);
}

void CMeterGR::applyPendingReset() {
    if (!resetPending_.exchange(false, std::memory_order_relaxed)) return;
    for (int ch = 0; ch < 2; ++ch) grDb_[ch] = heldDb_[ch] = 0.0f;
}

void CMeterGR::draw(CDrawContext* context) {
    applyPendingReset();
    const bool zoom = getZoom();
    if (context != nullptr && background != nullptr) {
        background->draw(context, size, CPoint(0, zoom ? kScaleHeight : 0));
    }
    // The deepest reduction is held for 50 ms, then recovers at 30 dB/s.
    const int64_t elapsed = static_cast<uint32_t>(currentTick_ - lastTick_);
    lastTick_ = currentTick_;
    for (int ch = 0; ch < 2; ++ch) {
        int64_t hold = holdMs_[ch] - elapsed;
        if (hold <= 0) {
            heldDb_[ch] -=
                static_cast<float>(static_cast<double>(hold) * kRecoveryDbPerSecond / 1000.0);
            heldDb_[ch] = std::min(heldDb_[ch], 1000.0f);
            hold = 0;
        }
        holdMs_[ch] = static_cast<int32_t>(hold);
        if (heldDb_[ch] > grDb_[ch]) {
            heldDb_[ch] = grDb_[ch];
            holdMs_[ch] = kHoldMs;
        }
    }
    if (context != nullptr && bar_ != nullptr) {
        const int32_t nL = barPixels(heldDb_[0], zoom), nR = barPixels(heldDb_[1], zoom);
        if (nL > 0) bar_->draw(context, CRect(234, kTop, 249, kTop + nL), CPoint(0, 0));
        if (nR > 0) bar_->draw(context, CRect(275, kTop, 290, kTop + nR), CPoint(0, 0));
    }
    setDirty(false);
}

CMouseEventResult CMeterGR::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (listener != nullptr) listener->valueChanged(this);
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
