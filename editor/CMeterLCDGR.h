// The numeric stereo gain-reduction readout: the deepest reduction since the
// last reset, in dB, in the bitmap font.
// Threads: setGainReduction and draw on the UI thread; resetMeter on any
// thread (an atomic request and the dirty flag).
#pragma once

#include <atomic>
#include <string>

#include "editor/CTextPrinter.h"

class CMeterLCDGR : public CControl, public CTextPrinter {
  public:
    static constexpr int32_t kTag = 27;

    CMeterLCDGR(const CRect& size, CBitmap* background, CBitmap* font, CControlListener* listener);
    CMeterLCDGR(const CMeterLCDGR& other);

    /// Latest gains, linear (1.0 = none); the readout keeps the lowest.
    void setGainReduction(float grL, float grR);
    void resetMeter();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    float minDb(int ch) const { return minDb_[ch & 1]; }
    static std::string valueText(float minDb);

    CLASS_METHODS(CMeterLCDGR, CControl)

  private:
    void applyPendingReset();

    float minDb_[2] = {0.0f, 0.0f};
    std::atomic<bool> resetPending_{false};
};
