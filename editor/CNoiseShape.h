// The noise-shaping selector (off, type A, B, C). A click cycles the
// selection; "off" has one frame, the three types are shown dim while
// "Quantize" is off and lit while it is on.
// Events on the user-interface thread; the setters from any thread.
#pragma once

#include <atomic>

#include "toolkit/vstgui.h"

class CNoiseShape : public CControl {
  public:
    CNoiseShape(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);
    CNoiseShape(const CNoiseShape& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    void setEnabled(int32_t on);
    int32_t getEnabled() const { return enabled.load(std::memory_order_relaxed); }
    void setSelection(int32_t index);
    int32_t getSelection() const { return selection.load(std::memory_order_relaxed); }
    int32_t currentFrame() const;

    static constexpr int32_t kChoices = 4;

    CLASS_METHODS(CNoiseShape, CControl)

  private:
    std::atomic<int32_t> enabled{0};
    std::atomic<int32_t> selection{0};
};
