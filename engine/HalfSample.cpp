// Half-sample interpolation kernels and their selection by processor features.
// Runs on the audio thread: no allocation, no locks.
#include "engine/HalfSample.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZELTO_HAVE_AVX2_KERNEL 1
#endif

namespace zelto {

Pair halfSamplePlain(const double* oldest, const double* tapsPair) {
    // Four partial sums keep the adds from forming one long dependency chain. They
    // are named, not an array, so that they stay in registers at every optimisation
    // level (-O2 does not unroll the lanes of an array and spills it to memory).
    auto term = [oldest, tapsPair](int t) {
        const Pair sum = Pair::load(oldest + 2 * (63 - t)) + Pair::load(oldest + 2 * t);
        return sum * Pair::load(tapsPair + 2 * t);
    };
    Pair acc0 = Pair::zero(), acc1 = Pair::zero(), acc2 = Pair::zero(), acc3 = Pair::zero();
    for (int k = 0; k < 32; k += 4) {
        acc0 = acc0 + term(k);
        acc1 = acc1 + term(k + 1);
        acc2 = acc2 + term(k + 2);
        acc3 = acc3 + term(k + 3);
    }
    return (acc0 + acc1) + (acc2 + acc3);
}

#if defined(ZELTO_HAVE_AVX2_KERNEL)
// Two taps of both channels per 256-bit operation: frames k, k+1 load as one vector;
// the mirrored frames 62 − k, 63 − k load as one and swap halves to line up.
__attribute__((target("avx2"))) static inline __m256d halfSampleTermAvx2(const double* oldest,
                                                                         const double* tapsPair,
                                                                         int t) {
    const __m256d near = _mm256_loadu_pd(oldest + 2 * t);
    const __m256d swapped = _mm256_loadu_pd(oldest + 2 * (62 - t));
    const __m256d far = _mm256_permute2f128_pd(swapped, swapped, 1);
    return _mm256_mul_pd(_mm256_add_pd(far, near), _mm256_load_pd(tapsPair + 2 * t));
}

// The partial sums are named variables (not an array reached through pointers), so
// they stay in registers whether or not the compiler unrolls the loop (-O2 does not).
__attribute__((target("avx2"))) static Pair halfSampleAvx2(const double* oldest,
                                                           const double* tapsPair) {
    // Taps 0 and 1: the newest frame was stored a moment ago as 16 bytes; a 32-byte
    // load across it would wait for the store, so it is read on its own.
    const __m256d far0 = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(oldest + 2 * 63)),
                                              _mm_load_pd(oldest + 2 * 62), 1);
    __m256d acc0 =
        _mm256_mul_pd(_mm256_add_pd(far0, _mm256_loadu_pd(oldest)), _mm256_load_pd(tapsPair));
    __m256d acc1 = halfSampleTermAvx2(oldest, tapsPair, 2);
    __m256d acc2 = halfSampleTermAvx2(oldest, tapsPair, 4);
    __m256d acc3 = halfSampleTermAvx2(oldest, tapsPair, 6);
    for (int k = 8; k < 32; k += 8) {
        acc0 = _mm256_add_pd(acc0, halfSampleTermAvx2(oldest, tapsPair, k));
        acc1 = _mm256_add_pd(acc1, halfSampleTermAvx2(oldest, tapsPair, k + 2));
        acc2 = _mm256_add_pd(acc2, halfSampleTermAvx2(oldest, tapsPair, k + 4));
        acc3 = _mm256_add_pd(acc3, halfSampleTermAvx2(oldest, tapsPair, k + 6));
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
