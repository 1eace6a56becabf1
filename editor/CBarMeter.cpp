#include "editor/CBarMeter.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr CCoord kZoneTop = 42;
constexpr CCoord kZoneBottom = 402;
constexpr int32_t kZonePixels = 360;

float levelDb(float linear) {
    // Silence floors at -120 dB; the logarithm never sees zero or less.
    const float x = linear > 0.000001f ? linear : 0.000001f;
    return std::isfinite(x) ? 20.0f * std::log10(x) : 20.0f;
}

void takeReference(CBitmap* bitmap) {
    if (bitmap != nullptr) bitmap->remember();
}

void dropReference(CBitmap* bitmap) {
    if (bitmap != nullptr) bitmap->forget();
}

template <typename Fn>
void forEachBitmap(const CBarMeterBitmaps& b, Fn fn) {
    for (CBitmap* bitmap : {b.background, b.peakUnlit, b.peakLit, b.scaleK20, b.scaleK14,
                            b.scaleK12, b.kLit, b.kUnlit}) {
        fn(bitmap);
    }
}

void drawSlice(CDrawContext* context, CBitmap* bitmap, const CRect& dest, CCoord sourceY) {
    if (bitmap == nullptr || dest.getHeight() <= 0) return;
    bitmap->draw(context, dest, CPoint(0, sourceY));
}

}  // namespace

CBarMeter::CBarMeter(const CRect& size, const CBarMeterBitmaps& bitmaps,
                     const CBarMeterGeometry& geometry, CControlListener* listener)
    : CControl(size, listener, kTag), bitmaps_(bitmaps), geometry_(geometry) {
    forEachBitmap(bitmaps_, takeReference);
}

CBarMeter::CBarMeter(const CBarMeter& other)
    : CControl(other),
      bitmaps_(other.bitmaps_),
      geometry_(other.geometry_),
      lastTick_(other.lastTick_),
      currentTick_(other.currentTick_),
      meterMode_(other.getMeterMode()) {
    for (int ch = 0; ch < 2; ++ch) {
        peakDb_[ch] = other.peakDb_[ch];
        rmsDb_[ch] = other.rmsDb_[ch];
        heldDb_[ch] = other.heldDb_[ch];
        holdMs_[ch] = other.holdMs_[ch];
    }
    forEachBitmap(bitmaps_, takeReference);
}

CBarMeter::~CBarMeter() {
    forEachBitmap(bitmaps_, dropReference);
}

int32_t CBarMeter::barPixels(float db, float offset) {
    const float pixels = (db + offset) * 6.0f + 0.5f;
    if (!(pixels > 0.0f)) return 0;
    return std::min(static_cast<int32_t>(std::min(pixels, 1000.0f)), kZonePixels);
}

void CBarMeter::setLevels(uint32_t tick, float peakL, float peakR, float rmsL, float rmsR) {
    applyPendingReset();
    currentTick_ = tick;
    peakDb_[0] = std::min(levelDb(peakL), 20.0f);
    peakDb_[1] = std::min(levelDb(peakR), 20.0f);
    rmsDb_[0] = levelDb(rmsL);
    rmsDb_[1] = levelDb(rmsR);
    setDirty(true);
}

void CBarMeter::setMeterMode(int32_t mode) {
    meterMode_.store(mode, std::memory_order_relaxed);
    setDirty(true);
}

void CBarMeter::resetMeter() {
    resetPending_.store(true, std::memory_order_relaxed);
    setDirty(true);
}

void CBarMeter::applyPendingReset() {
    if (!resetPending_.exchange(false, std::memory_order_relaxed)) return;
    for (int ch = 0; ch < 2; ++ch) peakDb_[ch] = rmsDb_[ch] = heldDb_[ch] = kFloorDb;
}

void CBarMeter::draw(CDrawContext* context) {
    applyPendingReset();
    // Ballistics: the hold runs down by the time since the previous draw, then
    // the held peak falls at 8.66 dB/s; a higher peak is caught and held anew.
    const int64_t elapsed = static_cast<uint32_t>(currentTick_ - lastTick_);
    lastTick_ = currentTick_;
    for (int ch = 0; ch < 2; ++ch) {
        int64_t hold = holdMs_[ch] - elapsed;
        if (hold <= 0) {
            heldDb_[ch] +=
                static_cast<float>(static_cast<double>(hold) * kFallDbPerSecond / 1000.0);
            hold = 0;
        }
        holdMs_[ch] = static_cast<int32_t>(hold);
        heldDb_[ch] = std::max(heldDb_[ch], kFloorDb);
        if (peakDb_[ch] > heldDb_[ch]) {
            heldDb_[ch] = peakDb_[ch];
            holdMs_[ch] = kHoldMs;
        }
    }
    const int32_t mode = getMeterMode();
    if (context != nullptr && mode >= 0 && mode <= 3) {
        CBitmap* scale =
            mode == 2 ? bitmaps_.scaleK14 : (mode == 3 ? bitmaps_.scaleK20 : bitmaps_.scaleK12);
        if (scale != nullptr) scale->draw(context, geometry_.scale, CPoint(0, 0));
        drawChannel(context, geometry_.leftBar, geometry_.leftBarEnd, 0, mode);
        drawChannel(context, geometry_.rightBar, geometry_.rightBarEnd, 1, mode);
    }
    setDirty(false);
}

void CBarMeter::drawChannel(CDrawContext* context, CCoord x, CCoord xEnd, int ch, int32_t mode) {
    if (mode == 0) {
        // Peak: -48 dB at the foot, 0 dBFS 288 pixels up, +12 dB at the top.
        const int32_t h = barPixels(heldDb_[ch], 48.0f);
        drawSlice(context, bitmaps_.peakLit, CRect(x, kZoneBottom - h, xEnd, kZoneBottom), 408 - h);
        drawSlice(context, bitmaps_.peakUnlit, CRect(x, kZoneTop, xEnd, kZoneBottom - h), 48);
        return;
    }
    // K modes: -60 dB at the foot, 0 dBFS at the top; the colour base puts the
    // K reference level on the same strip row in every mode.
    const int32_t base = mode == 1 ? 432 : (mode == 2 ? 420 : 384);
    const int32_t h = barPixels(rmsDb_[ch], 60.0f);
    drawSlice(context, bitmaps_.kLit, CRect(x, kZoneBottom - h, xEnd, kZoneBottom), base - h);
    drawSlice(context, bitmaps_.kUnlit, CRect(x, kZoneTop, xEnd, kZoneBottom - h),
              base - kZonePixels);
    const int32_t p = barPixels(heldDb_[ch], 60.0f);
    if (p > 2) {
        drawSlice(context, bitmaps_.kLit, CRect(x, kZoneBottom - p, xEnd, kZoneBottom + 3 - p),
                  base - p);
    }
}

CMouseEventResult CBarMeter::onMouseDown(CPoint& /*where*/, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // The editor resets all six meters (tag 27); nothing reaches the effect.
    if (listener != nullptr) listener->valueChanged(this);
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}
