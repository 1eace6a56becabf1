// The LV2 plug-in: the core's Effect behind the LV2 C interface. Control
// ports carry plain values (dB, ms, %, step indices); a port is applied when
// the host changes it, so a host that leaves a port at its default keeps the
// program's exact value. The state is the program bank, the same bytes as
// the VST2 chunk. Exports lv2_descriptor only.
// Threads: run on the audio thread; instantiate, activate, state and cleanup
// on the host's other threads, as the LV2 threading classes say.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "core/Effect.h"
#include "core/PlainUnits.h"
#include "formats/lv2/Lv2Ports.h"

namespace {

using namespace zelto;
using namespace zelto::lv2;

// Inputs are copied before processing, so hosts may hand the same buffer
// for input and output; this many frames at a time.
constexpr uint32_t kScratchFrames = 1024;

struct Instance {
    std::unique_ptr<Effect> effect;
    LV2_URID bankKey = 0;
    LV2_URID chunkType = 0;
    float* ports[kNumPorts] = {};
    // The plain value each control input had when last looked at.
    float seen[kNumLiveParams] = {};
    float scratchL[kScratchFrames] = {};
    float scratchR[kScratchFrames] = {};

    /// From now on a port counts as changed only when the host moves it
    /// away from what the effect holds now.
    void takePortsAsSeen() {
        for (int32_t p = 0; p < kNumLiveParams; ++p) {
            seen[p] = plainFromValue(p, effect->getParameter(p));
        }
    }
};

const LV2_Feature* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (std::strcmp(features[i]->URI, uri) == 0) return features[i];
    }
    return nullptr;
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    // urid:map is needed for the state only: simple hosts (lv2apply) offer
    // no features at all and still get a working effect.
    const LV2_Feature* mapFeature = findFeature(features, LV2_URID__map);
    const auto* map =
        mapFeature != nullptr ? static_cast<const LV2_URID_Map*>(mapFeature->data) : nullptr;
    // Nothing may unwind into the host, which is C.
    try {
        auto instance = std::make_unique<Instance>();
        instance->effect = std::make_unique<Effect>();
        if (!instance->effect->isReady()) return nullptr;
        instance->effect->start();
        instance->effect->setSampleRate(static_cast<float>(rate));
        if (map != nullptr) {
            instance->bankKey = map->map(map->handle, kBankStateUri);
            instance->chunkType = map->map(map->handle, LV2_ATOM__Chunk);
        }
        instance->takePortsAsSeen();
        return instance.release();
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    auto* instance = static_cast<Instance*>(handle);
    if (port < kNumPorts) instance->ports[port] = static_cast<float*>(data);
}

void activate(LV2_Handle handle) {
    static_cast<Instance*>(handle)->effect->suspend();
}

void applyControlPorts(Instance& instance) {
    for (int32_t p = 0; p < kNumLiveParams; ++p) {
        const float* port = instance.ports[kPortFirstParameter + p];
        if (port == nullptr || *port == instance.seen[p]) continue;
        instance.seen[p] = *port;
        instance.effect->setParameter(p, valueFromPlain(p, *port));
    }
}

void run(LV2_Handle handle, uint32_t frames) {
    auto& instance = *static_cast<Instance*>(handle);
    applyControlPorts(instance);
    float* outL = instance.ports[kPortOutL];
    float* outR = instance.ports[kPortOutR];
    const float* inL = instance.ports[kPortInL];
    const float* inR = instance.ports[kPortInR];
    if (outL != nullptr && outR != nullptr && inL != nullptr && inR != nullptr) {
        for (uint32_t done = 0; done < frames;) {
            const uint32_t n = std::min(kScratchFrames, frames - done);
            std::copy(inL + done, inL + done + n, instance.scratchL);
            std::copy(inR + done, inR + done + n, instance.scratchR);
            float* inputs[2] = {instance.scratchL, instance.scratchR};
            float* outputs[2] = {outL + done, outR + done};
            instance.effect->process(inputs, outputs, static_cast<int32_t>(n));
            done += n;
        }
    }
    if (float* latency = instance.ports[kPortLatency]) {
        *latency = static_cast<float>(instance.effect->latencySamples());
    }
    bool wanted = false;
    for (uint32_t m = 0; m < 10; ++m) wanted = wanted || instance.ports[kPortFirstMeter + m];
    if (wanted) {
        const MeterSnapshot meters = instance.effect->getMeterValues();
        for (uint32_t m = 0; m < 10; ++m) {
            if (float* port = instance.ports[kPortFirstMeter + m]) *port = meters.values[m];
        }
    }
}

void cleanup(LV2_Handle handle) {
    delete static_cast<Instance*>(handle);
}

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store,
                           LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
    auto& instance = *static_cast<Instance*>(handle);
    if (instance.bankKey == 0) return LV2_STATE_ERR_NO_FEATURE;
    const std::vector<uint8_t> bytes = instance.effect->saveState();
    if (bytes.empty()) return LV2_STATE_ERR_UNKNOWN;
    return store(state, instance.bankKey, bytes.data(), bytes.size(), instance.chunkType,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                              LV2_State_Handle state, uint32_t, const LV2_Feature* const*) {
    auto& instance = *static_cast<Instance*>(handle);
    if (instance.bankKey == 0) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* data = retrieve(state, instance.bankKey, &size, &type, &flags);
    if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != instance.chunkType) return LV2_STATE_ERR_BAD_TYPE;
    if (!instance.effect->loadState(static_cast<const uint8_t*>(data), size)) {
        return LV2_STATE_ERR_UNKNOWN;
    }
    // The ports still hold the old values: only a host's later change counts.
    for (int32_t p = 0; p < kNumLiveParams; ++p) {
        const float* port = instance.ports[kPortFirstParameter + p];
        instance.seen[p] = port != nullptr ? *port : plainFromValue(p, 0.0f);
    }
    return LV2_STATE_SUCCESS;
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state = {saveState, restoreState};
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                    run,        nullptr,     cleanup,     extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
