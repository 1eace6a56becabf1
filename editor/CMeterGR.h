// The stereo gain-reduction meter: bars hanging down from the top of its
// scale, 6 px/dB (12 when zoomed), with a 50 ms hold and a 30 dB/s recovery run
// in draw from the tick each update carries.
// Threads: setLevels and draw on the UI thread; setZoom and resetMeter on any
// thread (atomics and the dirty flag only).
#pragma once

#include <atomic>
#include <cstdint>

#include "toolkit/vstgui.h"

class CMeterGR : public CControl {
  public:
    static constexpr int32_t kTag = 27;
    static constexpr int32_t kHoldMs = 50;
    static constexpr float kRecoveryDbPerSecond = 30.0f;
    static CRect defaultSize() { return CRect(233, 39, 291, 192); }

    /// background: the two scales (normal, zoomed) stacked; bar: the strip.
    CMeterGR(const CRect& size, CBitmap* background, CBitmap* bar, CControlListener* listener);
    CMeterGR(const CMeterGR& other);
    ~CMeterGR() override;

    /// Latest gains, linear (1.0 = no reduction), and the tick they belong to.
    void setLevels(uint32_t tick, float grL, float grR);
    void setZoom(bool zoom);
    bool getZoom() const { return zoom_.load(std::memory_order_relaxed); }
    void resetMeter();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    float heldDb(int ch) const { return heldDb_[ch & 1]; }
    /// Bar length in pixels for a held reduction.
    static int32_t barPixels(float heldDb, bool zoom);

    CLASS_METHODS(CMeterGR, CControl)

  private:
    void applyPendingReset();

    CBitmap* bar_;
    uint32_t lastTick_ = 0, currentTick_ = 0;
    float grDb_[2] = {0.0f, 0.0f};
    float heldDb_[2] = {0.0f, 0.0f};
    int32_t holdMs_[2] = {10, 10};
    std::atomic<bool> zoom_{false};
    std::atomic<bool> resetPending_{false};
};
