// DitherRng: the three-word 32-bit shift-register generator that feeds both the
// requantizer's triangular dither and the pink calibration noise.
// Header-only and allocation-free; safe on the audio thread. Never seeds itself:
// the owner restarts it from kDitherSeed so renders repeat exactly.
#pragma once

#include <cstdint>

namespace zelto {

struct DitherRng {
    uint32_t s1 = 592;
    uint32_t s2 = 153768;
    uint32_t s3 = 1526;

    static constexpr uint32_t kSeed1 = 592;
    static constexpr uint32_t kSeed2 = 153768;
    static constexpr uint32_t kSeed3 = 1526;

    void seed() {
        s1 = kSeed1;
        s2 = kSeed2;
        s3 = kSeed3;
    }

    // One step of the three shift registers, returning their XOR (0 … 2^32 − 1).
    uint32_t nextWord() {
        s1 = (((((s1 >> 9) ^ s1) >> 6) & 0x1FFFu) ^ (s1 << 13));
        s2 = (((((s2 >> 2) ^ s2) >> 7) & 0xFFFFFu) ^ (s2 << 20));
        s3 = (((((s3 >> 6) ^ s3) >> 8) & 0x1FFFFu) ^ (s3 << 17));
        return s1 ^ s2 ^ s3;
    }

    // Uniform in [−1, 1).
    double next() { return static_cast<double>(nextWord()) * 2.3283064365e-10 * 2.0 - 1.0; }
};

}  // namespace zelto
