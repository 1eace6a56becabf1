// Tells a double click from two single clicks by the time and distance
// between presses of the same button. Times are milliseconds of one clock
// (the tick count or the window system's event time); presses timed by
// different clocks never pair up. User-interface thread only.
#pragma once

#include <cstdint>

#include "toolkit/CPoint.h"

namespace zelto::toolkit {

class DoubleClickDetector {
  public:
    static constexpr uint32_t kMaxIntervalMs = 400;
    static constexpr CCoord kMaxDistance = 4;

    /// A press of `button` (one of the button flags) at `where` and `time`.
    /// True when it completes a double click; the press after a double click
    /// starts afresh, so three quick clicks are a double and a single.
    bool press(const CPoint& where, int32_t button, uint32_t time, int clock = 0);
    void reset() { armed = false; }

  private:
    bool armed = false;
    CPoint lastWhere;
    int32_t lastButton = 0;
    uint32_t lastTime = 0;
    int lastClock = 0;
};

}  // namespace zelto::toolkit
