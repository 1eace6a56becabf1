// The word-length selector (8, 16, 24 bits). A click cycles the selection;
// the frames show it dim while "Quantize" is off and lit while it is on.
// Events on the user-interface thread; the setters from any thread.
#pragma once

#include <atomic>

#include "toolkit/vstgui.h"

class CBits : public CControl {
  public:
    CBits(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);
    CBits(const CBits& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    void setEnabled(int32_t on);
    int32_t getEnabled() const { return enabled.load(std::memory_order_relaxed); }
    void setSelection(int32_t index);
    int32_t getSelection() const { return selection.load(std::memory_order_relaxed); }
    int32_t currentFrame() const { return 3 * getEnabled() + getSelection(); }

    static constexpr int32_t kChoices = 3;

    CLASS_METHODS(CBits, CControl)

  private:
    std::atomic<int32_t> enabled{0};
    std::atomic<int32_t> selection{0};
};
