// Work spread over threads, for batches: each index runs once, the indices
// are taken in order, and once one has failed no new one starts (those
// already running finish).
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <vector>

namespace zelto {

/// The number of cores, at least 1.
int defaultWorkers();

/// Runs fn(0) ... fn(n - 1) on up to `workers` threads; returns what each
/// threw (null where it succeeded or never started).
std::vector<std::exception_ptr> forEachIndex(size_t n, int workers,
                                             const std::function<void(size_t)>& fn);

}  // namespace zelto
