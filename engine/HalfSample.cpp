// Half-sample interpolation kernels and their selection by processor features.
// Runs on the audio thread: no allocation, no locks.
#include "engine/HalfSample.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZELTO_HAVE_AVX2_KERNEL 1
#endif

namespace zelto {

Pair halfSamplePlain(const double* oldest, const double* tapsPair) {
    // Four partial sums keep the adds from forming one long dependency chain.
    Pair acc[4] = {Pair::zero(), Pair::zero(), Pair::zero(), Pair::zero()};
    for (int k = 0; k < 32; k += 4) {
        for (int u = 0; u < 4; ++u) {
            const int t = k + u;
            const Pair sum = Pair::load(oldest + 2 * (63 - t)) + Pair::load(oldest + 2 * t);
            acc[u] = acc[u] + sum * Pair::load(tapsPair + 2 * t);
        }
    }
    return (acc[0] + acc[1]) + (acc[2] + acc[3]);
}

#if defined(ZELTO_HAVE_AVX2_KERNEL)
// Two taps of both channels per 256-bit operation: frames k, k+1 load as one vector;
// the mirrored frames 62 − k, 63 − k load as one and swap halves to line up.
__attribute__((target("avx2"))) static Pair halfSampleAvx2(const double* oldest,
                                                           const double* tapsPair) {
    __m256d acc0 = _mm256_setzero_pd(), acc1 = _mm256_setzero_pd();
    __m256d acc2 = _mm256_setzero_pd(), acc3 = _mm256_setzero_pd();
    for (int k = 0; k < 32; k += 8) {
        __m256d* accs[4] = {&acc0, &acc1, &acc2, &acc3};
        for (int u = 0; u < 4; ++u) {
            const int t = k + 2 * u;
            const __m256d near = _mm256_loadu_pd(oldest + 2 * t);
            __m256d far;
            if (t == 0) {
                // The newest frame was stored a moment ago as 16 bytes; a 32-byte load
                // across it would wait for the store, so it is read on its own.
                far = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(oldest + 2 * 63)),
                                           _mm_load_pd(oldest + 2 * 62), 1);
            } else {
                const __m256d swapped = _mm256_loadu_pd(oldest + 2 * (62 - t));
                far = _mm256_permute2f128_pd(swapped, swapped, 1);
            }
            const __m256d taps = _mm256_load_pd(tapsPair + 2 * t);
            *accs[u] = _mm256_add_pd(*accs[u], _mm256_mul_pd(_mm256_add_pd(far, near), taps));
        }
    }
    const __m256d sum = _mm256_add_pd(_mm256_add_pd(acc0, acc1), _mm256_add_pd(acc2, acc3));
    const __m128d lo = _mm256_castpd256_pd128(sum);
    const __m128d hi = _mm256_extractf128_pd(sum, 1);
    return Pair{_mm_add_pd(lo, hi)};
}
#endif

bool processorHasAvx2() {
#if defined(ZELTO_HAVE_AVX2_KERNEL)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

HalfSampleFn selectHalfSample() {
#if defined(ZELTO_HAVE_AVX2_KERNEL)
    if (processorHasAvx2()) return halfSampleAvx2;
#endif
    return halfSamplePlain;
}

}  // namespace zelto
