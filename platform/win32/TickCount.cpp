// Tick count on Windows: the system's own millisecond count, which wraps
// after 49.7 days exactly as the interface expects.
#include "platform/TickCount.h"

#include <windows.h>

namespace zelto {

uint32_t tickCount() {
    return GetTickCount();
}

}  // namespace zelto
