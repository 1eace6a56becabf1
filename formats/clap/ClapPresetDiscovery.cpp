// Preset discovery over the factory programs; see ClapPresetDiscovery.h.
#include "formats/clap/ClapPresetDiscovery.h"

#include <cstring>
#include <new>
#include <string>

#include "formats/clap/ClapPlugin.h"
#include "presets/FactoryPresets.h"

namespace zelto::clap {
namespace {

const clap_preset_discovery_provider_descriptor kProvider = {
    CLAP_VERSION_CURRENT, "com.krw-soundlab.zelto.factory-programs", "KRW Zelto factory programs",
    "KRW-soundlab"};

struct Provider {
    clap_preset_discovery_provider record{};
    const clap_preset_discovery_indexer* indexer = nullptr;
};

const Provider* providerOf(const clap_preset_discovery_provider* provider) {
    return static_cast<const Provider*>(provider->provider_data);
}

bool providerInit(const clap_preset_discovery_provider* provider) {
    const clap_preset_discovery_indexer* indexer = providerOf(provider)->indexer;
    const clap_preset_discovery_location location = {
        CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "KRW Zelto factory programs",
        CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
    return indexer->declare_location(indexer, &location);
}

void providerDestroy(const clap_preset_discovery_provider* provider) {
    delete providerOf(provider);
}

bool providerMetadata(const clap_preset_discovery_provider* /*provider*/, uint32_t kind,
                      const char* /*location*/,
                      const clap_preset_discovery_metadata_receiver* receiver) {
    if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || receiver == nullptr) return false;
    const clap_universal_plugin_id plugin = {"clap", ClapPlugin::descriptor()->id};
    for (int32_t i = 0; i < kNumPresets; ++i) {
        const std::string key = std::to_string(i);
        if (!receiver->begin_preset(receiver, kFactoryPresets[i].name, key.c_str())) break;
        receiver->add_plugin_id(receiver, &plugin);
        receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        receiver->add_creator(receiver, ClapPlugin::descriptor()->vendor);
        receiver->add_feature(receiver, "mastering");
    }
    return true;
}

const void* providerExtension(const clap_preset_discovery_provider*, const char*) {
    return nullptr;
}

uint32_t factoryCount(const clap_preset_discovery_factory*) {
    return 1;
}

const clap_preset_discovery_provider_descriptor* factoryDescriptor(
    const clap_preset_discovery_factory*, uint32_t index) {
    return index == 0 ? &kProvider : nullptr;
}

const clap_preset_discovery_provider* factoryCreate(const clap_preset_discovery_factory*,
                                                    const clap_preset_discovery_indexer* indexer,
                                                    const char* id) {
    if (indexer == nullptr || id == nullptr || std::strcmp(id, kProvider.id) != 0) return nullptr;
    auto* provider = new (std::nothrow) Provider;
    if (provider == nullptr) return nullptr;
    provider->indexer = indexer;
    provider->record = {&kProvider,       provider,          &providerInit,
                        &providerDestroy, &providerMetadata, &providerExtension};
    return &provider->record;
}

const clap_preset_discovery_factory kFactory = {&factoryCount, &factoryDescriptor, &factoryCreate};

}  // namespace

const clap_preset_discovery_factory* presetDiscoveryFactory() {
    return &kFactory;
}

}  // namespace zelto::clap
