// SlidingMaxTree: maximum of the last W inserted values in O(log W) per insert.
// The tree is a plain array of 2·W doubles owned by the caller: element 0 is a
// sentinel (kSlidingMaxSentinel) that stops every climb at the root, element 1
// is the root, node i has children 2i and 2i+1, leaves are W … 2W − 1.
// Audio thread: inline, no allocation. Values must be finite and below the sentinel.
#pragma once

#include <cstdint>

namespace zelto {

inline constexpr double kSlidingMaxSentinel = 1e10;

// Stores v at leaf `leaves + pos` and returns the new root (the window maximum).
inline double slidingMaxInsert(double* tree, int32_t leaves, int32_t pos, double v) {
    int32_t j = leaves + pos;
    const double old = tree[j];
    tree[j] = v;
    if (v > old) {
        // The new value can only raise ancestors whose other side is smaller.
        while (tree[j ^ 1] < v) {
            j >>= 1;
            tree[j] = v;
        }
    } else {
        // Ancestors that held the old value must be recomputed.
        while (tree[j ^ 1] < old) {
            j >>= 1;
            const double a = tree[2 * j], b = tree[2 * j + 1];
            tree[j] = a < b ? b : a;
        }
    }
    return tree[1];
}

// Clears the tree to zeros and sets the sentinel.
inline void slidingMaxReset(double* tree, int32_t leaves) {
    for (int32_t i = 0; i < 2 * leaves; ++i) tree[i] = 0.0;
    tree[0] = kSlidingMaxSentinel;
}

}  // namespace zelto
