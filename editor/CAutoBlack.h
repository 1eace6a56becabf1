// The automatic fade to digital black: off, or on (lit while "Quantize" is
// on, dim while it is off). A click flips it.
// Events on the user-interface thread; the setters from any thread.
#pragma once

#include <atomic>

#include "toolkit/vstgui.h"

class CAutoBlack : public CControl {
  public:
    CAutoBlack(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);
    CAutoBlack(const CAutoBlack& other);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    void setEnabled(int32_t on);
    int32_t getEnabled() const { return enabled.load(std::memory_order_relaxed); }
    void setSelection(int32_t index);
    int32_t getSelection() const { return selection.load(std::memory_order_relaxed); }
    int32_t currentFrame() const;

    CLASS_METHODS(CAutoBlack, CControl)

  private:
    std::atomic<int32_t> enabled{0};
    std::atomic<int32_t> selection{0};
};
