// The meter mode button: a peak button above a K-scale button in one strip.
// Clicking the upper part selects peak metering; clicking the lower part
// selects K metering and, when K metering is already on, steps the scale
// K-12 -> K-14 -> K-20 -> K-12. It writes "MeterType" and "Scale" through
// the editor (MeterModeListener) and shows what the editor tells it; its own
// value is unused. A right click saves the metering set-up.
// Events on the user-interface thread; the setters from any thread.
#pragma once

#include <atomic>

#include "toolkit/vstgui.h"

class CModeButton : public CControl {
  public:
    /// listener: the editor, which must also be a MeterModeListener for
    /// clicks to do anything.
    CModeButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);
    CModeButton(const CModeButton& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    void setHighlight(bool on);
    bool getHighlight() const { return highlight.load(std::memory_order_relaxed); }
    void setMeterType(int32_t type);
    int32_t getMeterType() const { return meterType.load(std::memory_order_relaxed); }
    void setMeterScale(int32_t scale);
    int32_t getMeterScale() const { return meterScale.load(std::memory_order_relaxed); }
    int32_t currentFrame() const;

    /// Height of each button's click zone at the top and bottom of the view.
    static constexpr CCoord kZone = 19;

    CLASS_METHODS(CModeButton, CControl)

  private:
    std::atomic<bool> highlight{false};
    std::atomic<int32_t> meterType{0};
    std::atomic<int32_t> meterScale{1};
};
