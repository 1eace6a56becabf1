// Milliseconds from a monotonic clock, as a wrapping 32-bit count. Take
// differences in unsigned 32-bit arithmetic so the wrap after 49 days is
// harmless.
#pragma once

#include <cstdint>

namespace zelto {

uint32_t tickCount();

inline uint32_t ticksSince(uint32_t start, uint32_t now) {
    return now - start;
}

}  // namespace zelto
