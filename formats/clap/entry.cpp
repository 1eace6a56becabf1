// The library's one export, clap_entry: the entry record, the plug-in
// factory with its single descriptor, and the preset-discovery factory. Nothing unwinds into the
// host.
#include <cstring>

#include "formats/clap/ClapPlugin.h"
#include "formats/clap/ClapPresetDiscovery.h"

namespace {

using zelto::clap::ClapPlugin;

bool entryInit(const char* /*path*/) {
    return true;
}

void entryDeinit() {}

uint32_t pluginCount(const clap_plugin_factory* /*factory*/) {
    return 1;
}

const clap_plugin_descriptor* pluginDescriptor(const clap_plugin_factory* /*factory*/,
                                               uint32_t index) {
    return index == 0 ? ClapPlugin::descriptor() : nullptr;
}

const clap_plugin* createPlugin(const clap_plugin_factory* /*factory*/, const clap_host* host,
                                const char* pluginId) {
    if (pluginId == nullptr || std::strcmp(pluginId, ClapPlugin::descriptor()->id) != 0)
        return nullptr;
    try {
        return ClapPlugin::create(host);
    } catch (...) {
        return nullptr;
    }
}

const clap_plugin_factory kFactory = {&pluginCount, &pluginDescriptor, &createPlugin};

const void* entryGetFactory(const char* factoryId) {
    if (factoryId == nullptr) return nullptr;
    if (std::strcmp(factoryId, CLAP_PLUGIN_FACTORY_ID) == 0) return &kFactory;
    if (std::strcmp(factoryId, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
        std::strcmp(factoryId, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
        return zelto::clap::presetDiscoveryFactory();
    return nullptr;
}

}  // namespace

extern "C" {
__attribute__((visibility("default"))) extern const clap_plugin_entry clap_entry;
const clap_plugin_entry clap_entry = {CLAP_VERSION_CURRENT, &entryInit, &entryDeinit,
                                      &entryGetFactory};
}
