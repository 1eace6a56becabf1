// A numeric stereo peak readout in the bitmap font: the highest peak since the
// last reset, in dBFS, or relative to the K reference in the K modes ("dBr"),
// on an over-red box once it went above full scale.
// Threads: setPeaks and draw on the UI thread; setMeterMode and resetMeter on
// any thread (atomics and the dirty flag only).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "editor/CTextPrinter2Color.h"

class CMeterLCD : public CControl, public CTextPrinter2Color {
  public:
    static constexpr int32_t kTag = 27;
    static constexpr float kResetDb = -120.0f;

    /// background: the window background (the patch behind the view is drawn
    /// from it); font and redFont: the bitmap fonts.
    CMeterLCD(const CRect& size, CBitmap* background, CBitmap* font, CBitmap* redFont,
              CControlListener* listener);
    CMeterLCD(const CMeterLCD& other);

    /// Latest peaks, linear; the readout keeps the highest.
    void setPeaks(float peakL, float peakR);
    void setMeterMode(int32_t mode);
    int32_t getMeterMode() const { return meterMode_.load(std::memory_order_relaxed); }
    void resetMeter();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    float maxDb(int ch) const { return maxDb_[ch & 1]; }
    /// The text shown for a held peak in a meter mode: "-oo" or "%+2.1f".
    static std::string valueText(float maxDb, int32_t mode);

    CLASS_METHODS(CMeterLCD, CControl)

  private:
    void applyPendingReset();

    float maxDb_[2] = {kResetDb, kResetDb};
    std::atomic<int32_t> meterMode_{0};
    std::atomic<bool> resetPending_{false};
};
