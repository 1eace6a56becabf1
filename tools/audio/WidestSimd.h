// ZELTO_WIDEST_SIMD before a function compiles it twice, for the baseline
// processor and for one with wider vector registers and fused multiply-adds,
// and picks one when the program loads. Not under ThreadSanitizer: the
// load-time choice runs while the program is being relocated, before that
// runtime is up, and crashes it.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(_WIN32) && \
    !defined(__SANITIZE_THREAD__)
#define ZELTO_WIDEST_SIMD __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define ZELTO_WIDEST_SIMD
#endif
