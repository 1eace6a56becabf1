// Batches over threads; see Parallel.h.
#include "tools/common/Parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace zelto {

int defaultWorkers() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::vector<std::exception_ptr> forEachIndex(size_t n, int workers,
                                             const std::function<void(size_t)>& fn) {
    std::vector<std::exception_ptr> errors(n);
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    auto loop = [&] {
        for (;;) {
            if (failed.load()) return;
            const size_t i = next.fetch_add(1);
            if (i >= n) return;
            try {
                fn(i);
            } catch (...) {
                errors[i] = std::current_exception();
                failed.store(true);
            }
        }
    };
    const size_t threads = std::min(n, static_cast<size_t>(std::max(workers, 1)));
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t) pool.emplace_back(loop);
    loop();
    for (auto& t : pool) t.join();
    return errors;
}

}  // namespace zelto
