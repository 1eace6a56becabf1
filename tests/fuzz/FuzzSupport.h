// One effect per fuzzing process, with its settings in a private folder, and
// the invariants every input must leave intact. The effect is the core's, so
// the loaders are fuzzed without any window or drawing library linked in.
#pragma once

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/Effect.h"

namespace zelto::fuzz {

inline Effect& instance() {
    static std::unique_ptr<Effect> effect = [] {
        char folder[] = "/tmp/zelto-fuzz-XXXXXX";
        if (mkdtemp(folder) != nullptr) setenv("ZELTO_CONFIG_HOME", folder, 1);
        auto made = std::make_unique<Effect>();
        made->start();
        return made;
    }();
    return *effect;
}

/// Every stored value stays a number in 0..1 and every name ends in its field.
inline void checkBank(Effect& plugin) {
    for (int32_t p = 0; p < kNumPresets; ++p) {
        const PresetRecord r = plugin.presetRecord(p);
        if (r.name[kPresetNameSize - 1] != 0) abort();
        for (float v : r.values) {
            if (!(v >= 0.0f && v <= 1.0f)) abort();
        }
    }
    for (int32_t i = 0; i < kNumParams; ++i) {
        if (!std::isfinite(plugin.getParameter(i))) abort();
    }
}

}  // namespace zelto::fuzz
