// Double-click timing and distance.
#include "toolkit/DoubleClickDetector.h"

#include <cmath>

namespace zelto::toolkit {

bool DoubleClickDetector::press(const CPoint& where, int32_t button, uint32_t time, int clock) {
    const bool isDouble = armed && button == lastButton && clock == lastClock &&
                          static_cast<uint32_t>(time - lastTime) <= kMaxIntervalMs &&
                          std::fabs(where.x - lastWhere.x) <= kMaxDistance &&
                          std::fabs(where.y - lastWhere.y) <= kMaxDistance;
    if (isDouble) {
        armed = false;
        return true;
    }
    armed = true;
    lastWhere = where;
    lastButton = button;
    lastTime = time;
    lastClock = clock;
    return false;
}

}  // namespace zelto::toolkit
