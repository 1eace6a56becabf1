// The 24 factory programs, as shipped.
#pragma once

#include "presets/PresetRecord.h"

namespace zelto {

struct FactoryPreset {
    const char* name;
    float values[kPresetValues];
};

extern const FactoryPreset kFactoryPresets[kNumPresets];

}  // namespace zelto
