// The preset-discovery factory: one provider that lists the 24 factory
// programs as presets inside the plug-in (load keys "0" .. "23"), so a
// host's preset browser can offer them before any instance exists; the
// instance loads them through its preset-load extension.
// Any thread: the factory and its providers keep no shared state.
#pragma once

#include "formats/clap/clap_abi.h"

namespace zelto::clap {

const clap_preset_discovery_factory* presetDiscoveryFactory();

}  // namespace zelto::clap
