// Plugin: construction order, parameter mapping, latency, guarded processing.
#include "formats/vst2/Plugin.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/VendorApi.h"
#include "editor/Editor.h"

using namespace zelto;

namespace {

constexpr float kParameterStep = 0.0001f;

}  // namespace

Plugin::Plugin(audioMasterCallback audioMaster) : CPresetSystemEffect(audioMaster, 1, kNumParams) {
    // Held until the end of construction: the engine is not ready before then.
    EngineLock& lock = effect_.engineLock();
    lock.acquire(0);

    setNumInputs(Effect::kNumInputs);
    setNumOutputs(Effect::kNumOutputs);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);
    canDoubleReplacing(true);

    ready_ = effect_.isReady();
    setInitialDelay(effect_.latencySamples());
    if (ready_) {
        // The editor attaches itself; the effect base deletes it at the end.
        Editor* window = new (std::nothrow) Editor(this, &effect_);
        if (window != nullptr) window->setLatency(effect_.latencySamples());
        attachPresetEditor(window);
        initPresetSystem();
    }
    lock.release();
}

Plugin::~Plugin() {
    // The editor reads the program bank and reports to this object: it goes
    // first, and the effect reports to nobody from then on.
    delete editor;
    editor = nullptr;
    attachPresetEditor(nullptr);
    effect_.setHost(nullptr);
}

void Plugin::suspend() {
    effect_.suspend();
}

void Plugin::setSampleRate(float rate) {
    EngineLockGuard guard(&effect_.engineLock(), kLockTimeoutMs);
    AudioEffect::setSampleRate(rate);
    effect_.setSampleRate(getSampleRate());
}

void Plugin::latencyChanged(int32_t samples) {
    setInitialDelay(samples);
    if (auto* window = static_cast<Editor*>(editor)) window->setLatency(samples);
}

template <typename T>
void Plugin::processGuarded(T** inputs, T** outputs, VstInt32 sampleFrames) {
    if (outputs == nullptr || sampleFrames <= 0) return;
    // Ask the host before the effect takes the lock: no lock is ever held
    // across a host call.
    const bool input1 = inputs != nullptr && inputs[1] != nullptr && isInputConnected(1);
    const bool output1 = outputs[1] != nullptr && isOutputConnected(1);
    effect_.process(inputs, outputs, sampleFrames, input1, output1);
}

void Plugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processGuarded(inputs, outputs, sampleFrames);
}

void Plugin::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    processGuarded(inputs, outputs, sampleFrames);
}

void Plugin::setParameter(VstInt32 index, float value) {
    effect_.setParameter(index, value);
}

float Plugin::getParameter(VstInt32 index) {
    return effect_.getParameter(index);
}

void Plugin::getParameterName(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumParams || text == nullptr) return;
    // Written whole: some names are longer than the 8 characters hosts assume.
    std::strcpy(text, kParamInfo[static_cast<size_t>(index)].name);
}

void Plugin::getParameterLabel(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumParams || text == nullptr) return;
    if (const char* label = kParamInfo[static_cast<size_t>(index)].label) std::strcpy(text, label);
}

void Plugin::getParameterDisplay(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumLiveParams || text == nullptr) return;
    effect_.getParameterDisplay(index, text);
}

bool Plugin::getParameterProperties(VstInt32 /*index*/, VstParameterProperties* properties) {
    if (properties == nullptr) return false;
    properties->stepFloat = kParameterStep;
    properties->flags = kVstParameterUsesFloatStep;
    return true;
}

bool Plugin::getEffectName(char* name) {
    std::strcpy(name, Effect::kEffectName);
    return true;
}

bool Plugin::getVendorString(char* text) {
    std::strcpy(text, Effect::kVendorName);
    return true;
}

bool Plugin::getProductString(char* text) {
    std::strcpy(text, Effect::kProductName);
    return true;
}

MeterSnapshot Plugin::getMeterValues() {
    return effect_.getMeterValues();
}

namespace {

VstIntPtr vendorLoadAnswer(PresetLoadResult result) {
    switch (result) {
        case PresetLoadResult::Loaded:
            return kVendorLoaded;
        case PresetLoadResult::NoBank:
            return kVendorNoBank;
        case PresetLoadResult::Unreadable:
            return kVendorUnreadable;
        case PresetLoadResult::TooShort:
            return kVendorTooShort;
        case PresetLoadResult::ForeignSignature:
            return kVendorForeignSignature;
        case PresetLoadResult::UnknownTag:
            return kVendorUnknownTag;
        case PresetLoadResult::Damaged:
            return kVendorDamaged;
        case PresetLoadResult::ValueOutOfRange:
            return kVendorValueOutOfRange;
    }
    return kVendorUnreadable;
}

}  // namespace

VstIntPtr Plugin::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float /*opt*/) {
    if (index != kVendorApiMagic) return 0;
    PresetSystem* presets = &effect_.presets();
    const char* path = static_cast<const char*>(ptr);
    switch (value) {
        case kVendorSelectPreset: {
            if (ptr == nullptr) return 0;
            const int32_t program = *static_cast<const int32_t*>(ptr);
            if (program < 0 || program >= kNumPresets) return 0;
            selectPreset(program);
            return 1;
        }
        case kVendorCurrentPreset:
            return getCurrentPreset() + 1;
        case kVendorLoadPresetFile:
            if (presets == nullptr || path == nullptr) return kVendorUnreadable;
            return vendorLoadAnswer(presets->loadPresetFile(path, false));
        case kVendorLoadBankFile:
            if (presets == nullptr || path == nullptr) return kVendorUnreadable;
            return vendorLoadAnswer(presets->loadBankFile(path, false));
        case kVendorSavePresetFile:
            return presets != nullptr && path != nullptr && presets->savePresetFile(path) ? 1 : 0;
        case kVendorSaveBankFile:
            return presets != nullptr && path != nullptr && presets->saveBankFile(path) ? 1 : 0;
        case kVendorSnapshotPng: {
            auto* window = static_cast<Editor*>(editor);
            return window != nullptr && path != nullptr && window->snapshotPng(path) ? 1 : 0;
        }
        case kVendorEditorClock: {
            auto* window = static_cast<Editor*>(editor);
            if (window == nullptr || ptr == nullptr) return 0;
            window->setHostClock(*static_cast<const uint32_t*>(ptr));
            return 1;
        }
        case kVendorMeterValues: {
            if (ptr == nullptr) return 0;
            const MeterSnapshot snapshot = getMeterValues();
            std::memcpy(ptr, snapshot.values, sizeof snapshot.values);
            return 1;
        }
        default:
            return 0;
    }
}
