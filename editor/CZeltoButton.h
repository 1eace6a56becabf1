// The panel's two-state switches. Any value from 0.5 up shows as on, and a
// click writes the centre of the other half (0.25 or 0.75), as every stepped
// parameter expects. Preference buttons (the metering set-up) also save the
// metering defaults on a right click and show a third, highlighted frame
// while the editor flashes them as acknowledgement.
// Events on the user-interface thread; setValue and setHighlight from any
// thread (they only store and mark the button dirty).
#pragma once

#include <atomic>

#include "toolkit/vstgui.h"

class CZeltoButton : public COnOffButton {
  public:
    CZeltoButton(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                 bool isPreference = false);
    CZeltoButton(const CZeltoButton& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    void setHighlight(bool on);
    bool getHighlight() const { return highlight.load(std::memory_order_relaxed); }
    bool isPreferenceButton() const { return isPreference; }
    /// The strip frame draw() shows for the current state.
    int32_t currentFrame() const;

  private:
    bool isPreference;
    std::atomic<bool> highlight{false};
};
