// One plug-in instance per fuzzing process, with its settings in a private
// folder, and the invariants every input must leave intact.
#pragma once

#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "host/Plugin.h"
#include "presets/CPresetSystemEditor.h"

namespace zelto::fuzz {

inline Plugin& instance() {
    static std::unique_ptr<Plugin> plugin = [] {
        char folder[] = "/tmp/zelto-fuzz-XXXXXX";
        if (mkdtemp(folder) != nullptr) setenv("ZELTO_CONFIG_HOME", folder, 1);
        return std::make_unique<Plugin>(
            [](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
                return opcode == audioMasterVersion ? 2400 : 0;
            });
    }();
    return *plugin;
}

/// Every stored value stays a number in 0..1 and every name ends in its field.
inline void checkBank(Plugin& plugin) {
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
