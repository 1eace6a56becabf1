// Pair: the left and right channel values of one quantity, processed together.
// The engine stores stereo state interleaved (L, R adjacent, 16-byte aligned), so
// one Pair operation does the same IEEE operation on both channels; results are
// bit-identical to doing it twice in scalar code. SSE2 on x86-64, plain doubles
// elsewhere. Header-only; no allocation.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zelto {

#if defined(__SSE2__)

struct Pair {
    __m128d v;

    static Pair load(const double* p) { return {_mm_load_pd(p)}; }  // p 16-byte aligned
    static Pair set(double l, double r) { return {_mm_set_pd(r, l)}; }
    static Pair splat(double x) { return {_mm_set1_pd(x)}; }
    static Pair zero() { return {_mm_setzero_pd()}; }
    void store(double* p) const { _mm_store_pd(p, v); }
    double l() const { return _mm_cvtsd_f64(v); }
    double r() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
};

inline Pair operator+(Pair a, Pair b) {
    return {_mm_add_pd(a.v, b.v)};
}
inline Pair operator-(Pair a, Pair b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline Pair operator*(Pair a, Pair b) {
    return {_mm_mul_pd(a.v, b.v)};
}
inline Pair operator/(Pair a, Pair b) {
    return {_mm_div_pd(a.v, b.v)};
}
inline Pair operator*(Pair a, double s) {
    return {_mm_mul_pd(a.v, _mm_set1_pd(s))};
}
inline Pair neg(Pair a) {
    return {_mm_xor_pd(a.v, _mm_set1_pd(-0.0))};
}
// Same operand choice as std::max(a, b) / std::min(a, b): (a < b) ? b : a.
inline Pair max(Pair a, Pair b) {
    return {_mm_max_pd(b.v, a.v)};
}
inline Pair min(Pair a, Pair b) {
    return {_mm_min_pd(b.v, a.v)};
}
inline Pair abs(Pair a) {
    return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)};
}
// Lane-wise a < b ? x : y, and a <= b ? x : y.
inline Pair selectLess(Pair a, Pair b, Pair x, Pair y) {
    const __m128d m = _mm_cmplt_pd(a.v, b.v);
    return {_mm_or_pd(_mm_and_pd(m, x.v), _mm_andnot_pd(m, y.v))};
}
inline Pair selectLessEqual(Pair a, Pair b, Pair x, Pair y) {
    const __m128d m = _mm_cmple_pd(a.v, b.v);
    return {_mm_or_pd(_mm_and_pd(m, x.v), _mm_andnot_pd(m, y.v))};
}
// True when both lanes satisfy a <= b (false for NaN).
inline bool allLessEqual(Pair a, Pair b) {
    return _mm_movemask_pd(_mm_cmple_pd(a.v, b.v)) == 3;
}
// Lane-wise a < b ? x : y given xy = x XOR y (bitwise): y ^ (xy & mask), one op fewer.
inline Pair selectLessXor(Pair a, Pair b, Pair xy, Pair y) {
    const __m128d m = _mm_cmplt_pd(a.v, b.v);
    return {_mm_xor_pd(y.v, _mm_and_pd(xy.v, m))};
}
inline Pair bitXor(Pair a, Pair b) {
    return {_mm_xor_pd(a.v, b.v)};
}
// Rounds both lanes to single precision and back.
inline Pair roundToFloat(Pair a) {
    return {_mm_cvtps_pd(_mm_cvtpd_ps(a.v))};
}
// Truncation toward zero of values already inside the 32-bit integer range.
inline Pair truncInt32(Pair a) {
    return {_mm_cvtepi32_pd(_mm_cvttpd_epi32(a.v))};
}

#else

struct Pair {
    double lv, rv;

    static Pair load(const double* p) { return {p[0], p[1]}; }
    static Pair set(double l, double r) { return {l, r}; }
    static Pair splat(double x) { return {x, x}; }
    static Pair zero() { return {0.0, 0.0}; }
    void store(double* p) const {
        p[0] = lv;
        p[1] = rv;
    }
    double l() const { return lv; }
    double r() const { return rv; }
};

inline Pair operator+(Pair a, Pair b) {
    return {a.lv + b.lv, a.rv + b.rv};
}
inline Pair operator-(Pair a, Pair b) {
    return {a.lv - b.lv, a.rv - b.rv};
}
inline Pair operator*(Pair a, Pair b) {
    return {a.lv * b.lv, a.rv * b.rv};
}
inline Pair operator/(Pair a, Pair b) {
    return {a.lv / b.lv, a.rv / b.rv};
}
inline Pair operator*(Pair a, double s) {
    return {a.lv * s, a.rv * s};
}
inline Pair neg(Pair a) {
    return {-a.lv, -a.rv};
}
inline Pair max(Pair a, Pair b) {
    return {a.lv < b.lv ? b.lv : a.lv, a.rv < b.rv ? b.rv : a.rv};
}
inline Pair min(Pair a, Pair b) {
    return {b.lv < a.lv ? b.lv : a.lv, b.rv < a.rv ? b.rv : a.rv};
}
inline Pair abs(Pair a) {
    return {a.lv < 0 ? -a.lv : a.lv, a.rv < 0 ? -a.rv : a.rv};
}
inline Pair selectLess(Pair a, Pair b, Pair x, Pair y) {
    return {a.lv < b.lv ? x.lv : y.lv, a.rv < b.rv ? x.rv : y.rv};
}
inline Pair selectLessEqual(Pair a, Pair b, Pair x, Pair y) {
    return {a.lv <= b.lv ? x.lv : y.lv, a.rv <= b.rv ? x.rv : y.rv};
}
inline bool allLessEqual(Pair a, Pair b) {
    return a.lv <= b.lv && a.rv <= b.rv;
}
// Without SIMD the XOR form carries x itself and selects plainly.
inline Pair bitXor(Pair a, Pair) {
    return a;
}
inline Pair selectLessXor(Pair a, Pair b, Pair x, Pair y) {
    return selectLess(a, b, x, y);
}
inline Pair roundToFloat(Pair a) {
    return {static_cast<double>(static_cast<float>(a.lv)),
            static_cast<double>(static_cast<float>(a.rv))};
}
inline Pair truncInt32(Pair a) {
    return {static_cast<double>(static_cast<int32_t>(a.lv)),
            static_cast<double>(static_cast<int32_t>(a.rv))};
}

#endif

// Quad: four doubles in one value (two frames of both channels, or two quantities of
// both channels), in the compiler's generic vector form. The same source compiles to
// 256-bit operations inside functions built for AVX2 and to pairs of SSE2 operations
// elsewhere; every lane is the IEEE operation of scalar code either way, so both
// builds give identical results. Its operations are always inlined: a Quad never
// crosses a call, whose passing convention would differ between the two builds.
#define ZELTO_QUAD_INLINE __attribute__((always_inline)) inline
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double QuadV __attribute__((vector_size(32)));
typedef uint64_t QuadBits __attribute__((vector_size(32)));
typedef float QuadFloats __attribute__((vector_size(16)));

struct Quad {
    QuadV v;

    static ZELTO_QUAD_INLINE Quad load(const double* p) {  // any alignment
        Quad q;
        std::memcpy(&q.v, p, sizeof q.v);
        return q;
    }
    static ZELTO_QUAD_INLINE Quad set(double a, double b, double c, double d) {
        return {QuadV{a, b, c, d}};
    }
    static ZELTO_QUAD_INLINE Quad splat(double x) { return {QuadV{x, x, x, x}}; }
    // Lanes (lo.l, lo.r, hi.l, hi.r).
    static ZELTO_QUAD_INLINE Quad join(Pair lo, Pair hi) {
#if defined(__SSE2__)
        return {__builtin_shufflevector(lo.v, hi.v, 0, 1, 2, 3)};
#else
        return {QuadV{lo.l(), lo.r(), hi.l(), hi.r()}};
#endif
    }
    ZELTO_QUAD_INLINE void store(double* p) const {
        std::memcpy(p, &v, sizeof v);
    }
    ZELTO_QUAD_INLINE double operator[](int i) const {
        return v[i];
    }
#if defined(__SSE2__)
    ZELTO_QUAD_INLINE Pair lo() const {
        return {__builtin_shufflevector(v, v, 0, 1)};
    }
    ZELTO_QUAD_INLINE Pair hi() const {
        return {__builtin_shufflevector(v, v, 2, 3)};
    }
#else
    ZELTO_QUAD_INLINE Pair lo() const {
        return Pair::set(v[0], v[1]);
    }
    ZELTO_QUAD_INLINE Pair hi() const {
        return Pair::set(v[2], v[3]);
    }
#endif
};

ZELTO_QUAD_INLINE Quad operator+(Quad a, Quad b) {
    return {a.v + b.v};
}
ZELTO_QUAD_INLINE Quad operator-(Quad a, Quad b) {
    return {a.v - b.v};
}
ZELTO_QUAD_INLINE Quad operator*(Quad a, Quad b) {
    return {a.v * b.v};
}
ZELTO_QUAD_INLINE Quad operator/(Quad a, Quad b) {
    return {a.v / b.v};
}
ZELTO_QUAD_INLINE Quad operator*(Quad a, double s) {
    return {a.v * s};
}
// Same operand choice as Pair's: (a < b) ? b : a, and (b < a) ? b : a.
ZELTO_QUAD_INLINE Quad max(Quad a, Quad b) {
    return {a.v < b.v ? b.v : a.v};
}
ZELTO_QUAD_INLINE Quad min(Quad a, Quad b) {
    return {b.v < a.v ? b.v : a.v};
}
ZELTO_QUAD_INLINE Quad abs(Quad a) {
    constexpr uint64_t m = ~0ull >> 1;
    return {(QuadV)((QuadBits)a.v & QuadBits{m, m, m, m})};
}
ZELTO_QUAD_INLINE Quad selectLess(Quad a, Quad b, Quad x, Quad y) {
    return {a.v < b.v ? x.v : y.v};
}
ZELTO_QUAD_INLINE Quad selectLessEqual(Quad a, Quad b, Quad x, Quad y) {
    return {a.v <= b.v ? x.v : y.v};
}
ZELTO_QUAD_INLINE Quad roundToFloat(Quad a) {
    return {__builtin_convertvector(__builtin_convertvector(a.v, QuadFloats), QuadV)};
}
// The larger of the two halves, lane by lane: the maximum over both frames.
ZELTO_QUAD_INLINE Pair maxOfHalves(Quad a) {
    return max(a.lo(), a.hi());
}
ZELTO_QUAD_INLINE Pair minOfHalves(Quad a) {
    return min(a.lo(), a.hi());
}
#pragma GCC diagnostic pop

inline double neg(double a) {
    return -a;
}

}  // namespace zelto
