// The calibration-signal selector: off, left, left and right uncorrelated,
// right. A click steps to the next signal; while one is active the button
// blinks, 256 ms per phase counted from the last click, driven by the tick
// count the editor's idle pass hands it.
// Events on the user-interface thread; setValue and setTick from any thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "toolkit/vstgui.h"

class CCalibButton : public CControl {
  public:
    CCalibButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);
    CCalibButton(const CCalibButton& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    /// The current tick count [ms]; marks the button dirty while a signal blinks.
    void setTick(uint32_t now);
    /// Source offset (pixels down the strip) of the frame draw() shows now.
    CCoord currentOffset() const;

    static constexpr int32_t kSteps = 4;
    static constexpr CCoord kFrameHeight = 19;
    /// The blinking frames sit this far below the steady ones.
    static constexpr CCoord kBlinkOffset = 57;

    CLASS_METHODS(CCalibButton, CControl)

  private:
    std::atomic<uint32_t> nowTick{0};
    std::atomic<uint32_t> clickTick{0};
};
