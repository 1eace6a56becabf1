// The stereo level bar meter behind CMeterIn and CMeterOut: peak bars with a
// held peak that falls back, or K-scale RMS bars with a peak marker, drawn as
// slices of the lit and unlit colour strips over a 360-pixel zone (6 px/dB).
// The ballistics run in draw, from the tick each update carries, so they keep
// real time however often the host idles.
// Threads: setLevels and draw on the UI thread; setMeterMode and resetMeter on
// any thread (they only store atomics and mark the view dirty).
#pragma once

#include <atomic>
#include <cstdint>

#include "toolkit/vstgui.h"

/// The strips and scales of one bar meter.
struct CBarMeterBitmaps {
    CBitmap* background = nullptr;  // kept, never drawn
    CBitmap* peakUnlit = nullptr;
    CBitmap* peakLit = nullptr;
    CBitmap* scaleK20 = nullptr;
    CBitmap* scaleK14 = nullptr;
    CBitmap* scaleK12 = nullptr;  // also the peak-mode scale
    CBitmap* kLit = nullptr;
    CBitmap* kUnlit = nullptr;
};

/// Where the two bars and the scale image sit, in window pixels.
struct CBarMeterGeometry {
    CCoord leftBar, leftBarEnd, rightBar, rightBarEnd;
    CRect scale;
};

class CBarMeter : public CControl {
  public:
    static constexpr int32_t kTag = 27;
    static constexpr int32_t kHoldMs = 50;
    static constexpr float kFallDbPerSecond = 8.66f;
    static constexpr float kFloorDb = -122.0f;

    CBarMeter(const CRect& size, const CBarMeterBitmaps& bitmaps, const CBarMeterGeometry& geometry,
              CControlListener* listener);
    CBarMeter(const CBarMeter& other);
    ~CBarMeter() override;

    /// Latest levels, linear (1.0 = 0 dBFS), and the tick they belong to.
    void setLevels(uint32_t tick, float peakL, float peakR, float rmsL, float rmsR);
    /// 0 peak, 1 K-12, 2 K-14, 3 K-20.
    void setMeterMode(int32_t mode);
    int32_t getMeterMode() const { return meterMode_.load(std::memory_order_relaxed); }
    void resetMeter();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    // The state of the ballistics (tests).
    float heldDb(int ch) const { return heldDb_[ch & 1]; }
    float peakDb(int ch) const { return peakDb_[ch & 1]; }
    float rmsDb(int ch) const { return rmsDb_[ch & 1]; }

    /// int((db + offset) * 6 + 0.5), limited to 0…360.
    static int32_t barPixels(float db, float offset);

    CLASS_METHODS(CBarMeter, CControl)

  private:
    void applyPendingReset();
    void drawChannel(CDrawContext* context, CCoord x, CCoord xEnd, int ch, int32_t mode);

    CBarMeterBitmaps bitmaps_;
    CBarMeterGeometry geometry_;
    uint32_t lastTick_ = 0, currentTick_ = 0;
    float peakDb_[2] = {kFloorDb, kFloorDb};
    float rmsDb_[2] = {kFloorDb, kFloorDb};
    float heldDb_[2] = {kFloorDb, kFloorDb};
    int32_t holdMs_[2] = {kHoldMs, kHoldMs};
    std::atomic<int32_t> meterMode_{0};
    std::atomic<bool> resetPending_{false};
};
