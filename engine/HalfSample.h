// Half-sample interpolation of both channels: the 64-tap windowed-sinc value half
// way between the frames 32 and 31 places back, used by the oversampled detector
// and the reconstruction meter.
// Audio thread: no allocation. The implementation is chosen once per process
// (plain SSE2, or AVX2 where the processor has it); both sum the same products,
// in a different order, so they agree to rounding.
#pragma once

#include "engine/Pair.h"

namespace zelto {

// `oldest` points at the oldest of 64 interleaved frames (L, R), newest last;
// `tapsPair` holds the 32 taps outermost first, each twice, 32-byte aligned.
// Tap k weighs the frames k and 63 − k.
using HalfSampleFn = Pair (*)(const double* oldest, const double* tapsPair);

HalfSampleFn selectHalfSample();

// True where the processor runs AVX2 and BMI2 code (the wide variants of the engine).
bool processorHasAvx2();

// The portable version, always available (also the reference for the others).
Pair halfSamplePlain(const double* oldest, const double* tapsPair);

}  // namespace zelto
