// The information panel behind the product logo: a click on the logo opens
// it over the lower part of the window (title, version, the current latency),
// the next click anywhere closes it without reaching the control beneath.
// While open it is the frame's modal view: the frame draws it last and
// repaints it on every idle, so the meters keep moving underneath.
// Threads: setLatency on any thread (an atomic); the rest on the UI thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "editor/CTextPrinter.h"

class CInfo : public CControl, public CTextPrinter {
  public:
    /// The logo hot spot in the window.
    static CRect defaultSize() { return CRect(224, 370, 301, 401); }
    static constexpr const char* kVersion = "1.3.1";

    CInfo(const CRect& size, CBitmap* font);
    CInfo(const CInfo& other);

    void setLatency(int32_t samples);
    int32_t getLatency() const { return latencySamples_.load(std::memory_order_relaxed); }
    bool isOpen() const { return isOpen_; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    CLASS_METHODS(CInfo, CControl)

  private:
    bool isOpen_ = false;
    std::atomic<int32_t> latencySamples_{0};
    CRect homeRect_;
};
