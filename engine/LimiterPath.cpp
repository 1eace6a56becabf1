// Limiter signal path (provisional: writes silence until the path lands).
#include <algorithm>

#include "engine/EngineState.h"

namespace zelto {

template <typename T>
void EngineState::process(const T* const* inputs, T* const* outputs, int32_t frames,
                          bool input1Connected, bool output1Connected) {
    if (s_.calibrateMode.load(kRelaxed) != 0) {
        processCalibration(outputs, frames, output1Connected);
    } else {
        processLimiter(inputs, outputs, frames, input1Connected, output1Connected);
    }
}

template <typename T>
void EngineState::processLimiter(const T* const*, T* const* outputs, int32_t frames, bool,
                                 bool output1Connected) {
    if (outputs == nullptr || outputs[0] == nullptr || frames <= 0) return;
    std::fill_n(outputs[0], frames, T(0));
    if (output1Connected && outputs[1] != nullptr) std::fill_n(outputs[1], frames, T(0));
}

template <typename T>
void EngineState::processCalibration(T* const* outputs, int32_t frames, bool output1Connected) {
    processLimiter<T>(nullptr, outputs, frames, false, output1Connected);
}

template void EngineState::process<float>(const float* const*, float* const*, int32_t, bool, bool);
template void EngineState::process<double>(const double* const*, double* const*, int32_t, bool,
                                           bool);
template void EngineState::processLimiter<float>(const float* const*, float* const*, int32_t, bool,
                                                 bool);
template void EngineState::processLimiter<double>(const double* const*, double* const*, int32_t,
                                                  bool, bool);
template void EngineState::processCalibration<float>(float* const*, int32_t, bool);
template void EngineState::processCalibration<double>(double* const*, int32_t, bool);

}  // namespace zelto
