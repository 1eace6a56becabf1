// SlidingMax: the maximum of the last W values of both channels at once, by the
// block prefix/suffix method: the window ending at position p of the current block
// is the current block's prefix 0 … p plus the previous block's suffix p+1 … W−1.
// A running prefix maximum and a table of the previous block's suffix maxima make
// every step three Pair operations, with one backward pass per W samples.
// Exactly the maximum a tree or a scan gives (max is exact), without a per-sample
// climb. All values must be positive (zero is the empty window's value).
// Audio thread: inline, no allocation; the caller owns the arrays.
#pragma once

#include <cstdint>

#include "engine/Pair.h"

namespace zelto {

// Arrays, in Pairs: block[W] (this block's values) and suffix[W + 1] (suffix maxima
// of the previous block, suffix[W] = 0); `prefix` is the running maximum of this
// block (0 at its start), kept by the caller.
inline Pair slidingMaxPush(double* block, double* suffix, Pair& prefix, int32_t w, int32_t pos,
                           Pair v) {
    v.store(block + 2 * pos);
    const Pair g = max(prefix, v);
    const Pair m = max(g, Pair::load(suffix + 2 * (pos + 1)));
    if (pos == w - 1) {
        // Block complete: it becomes the previous block.
        Pair acc = v;
        acc.store(suffix + 2 * (w - 1));
        for (int32_t j = w - 2; j >= 0; --j) {
            acc = max(acc, Pair::load(block + 2 * j));
            acc.store(suffix + 2 * j);
        }
        prefix = Pair::zero();
    } else {
        prefix = g;
    }
    return m;
}

}  // namespace zelto
