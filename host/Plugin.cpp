// Plugin: construction order, parameter mapping, latency, guarded processing.
#include "host/Plugin.h"

#include <cmath>
#include <cstring>
#include <new>

#include "editor/Editor.h"
#include "host/VendorApi.h"
#include "platform/SettingsStore.h"

using namespace zelto;

namespace {

constexpr const char* kEffectName = "KRW Zelto";
constexpr const char* kVendorName = "krw-soundlab.com";
constexpr const char* kProductName = "Full band precision limiter";
constexpr float kParameterStep = 0.0001f;

// The metering preferences the editor stores as defaults: value name,
// parameter, steps. Read once, at construction.
struct MeterPref {
    const char* name;
    VstInt32 param;
    int32_t steps;
};
constexpr MeterPref kMeterPrefs[] = {
    {"Metering_Scale", kParamScale, 3},    {"Metering_Type", kParamMeterType, 2},
    {"Metering_Zoom", kParamAttZoom, 2},   {"Metering_AttShow", kParamAttShow, 8},
    {"Metering_Recon", kParamMeterOvs, 2}, {"Metering_Post", kParamPostMeter, 2},
};

}  // namespace

Plugin::Plugin(audioMasterCallback audioMaster) : CPresetSystemEffect(audioMaster, 1, kNumParams) {
    // Held until the end of construction: the engine is not ready before then.
    engineLock_.acquire(0);

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);
    canDoubleReplacing(true);

    ready_ = engine_.allocate() && hasBank();
    setInitialDelay(engine_.latencySamples());
    if (ready_) {
        suspend();
        // The program layer filled the bank with the factory programs already.
        loadMeterPrefs();
        // The editor attaches itself; the effect base deletes it at the end.
        Editor* window = new (std::nothrow) Editor(this);
        if (window != nullptr) window->setLatency(engine_.latencySamples());
        attachPresetEditor(window);
        initPresetSystem();
        selectPreset(0);
    }
    engineLock_.release();
}

Plugin::~Plugin() {
    // The editor reads the program bank, which the program layer's destructor
    // frees before the effect base would delete the editor: it goes first.
    delete editor;
    editor = nullptr;
    attachPresetEditor(nullptr);
    // Waits for a process call in progress; none may start after the host's close.
    engineLock_.acquire(0);
    engineLock_.release();
}

void Plugin::loadMeterPrefs() {
    const SettingsStore prefs("PREFS");
    for (const MeterPref& pref : kMeterPrefs) {
        if (auto stored = prefs.readInt(pref.name)) {
            // A stored index outside the steps would put a value outside 0..1
            // into program 0, which later saves as a file nothing can load.
            int32_t step = *stored < 0 ? 0 : (*stored >= pref.steps ? pref.steps - 1 : *stored);
            setParameter(pref.param, valueFromStep(step, pref.steps));
        }
    }
}

void Plugin::suspend() {
    // Clears every delay line and follower: never while a block is running. The
    // lock is recursive, so callers that hold it already (rate, shape) are fine.
    EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
    engine_.suspendInit();
}

void Plugin::setSampleRate(float rate) {
    EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
    AudioEffect::setSampleRate(rate);
    suspend();
    if (engine_.setSampleRate(static_cast<double>(getSampleRate()))) {
        setInitialDelay(engine_.latencySamples());
        if (auto* window = static_cast<Editor*>(editor))
            window->setLatency(engine_.latencySamples());
    }
}

template <typename T>
void Plugin::processGuarded(T** inputs, T** outputs, VstInt32 sampleFrames) {
    if (outputs == nullptr || sampleFrames <= 0) return;
    // Ask the host before taking the lock: no lock is ever held across a
    // host call.
    const bool input1 = inputs != nullptr && inputs[1] != nullptr && isInputConnected(1);
    const bool output1 = outputs[1] != nullptr && isOutputConnected(1);
    EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
    engine_.process<T>(inputs, outputs, sampleFrames, input1, output1);
}

void Plugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processGuarded(inputs, outputs, sampleFrames);
}

void Plugin::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    processGuarded(inputs, outputs, sampleFrames);
}

VstInt32 Plugin::stepOf(VstInt32 index) const {
    if (index < 0 || index >= kNumLiveParams) return 0;
    return steps_[index].load(std::memory_order_relaxed);
}

void Plugin::setStep(VstInt32 index, float value, int32_t steps) {
    values_[index].store(value, std::memory_order_relaxed);
    steps_[index].store(stepFromValue(value, steps), std::memory_order_relaxed);
}

void Plugin::applyLiveParameter(VstInt32 index, float v) {
    const int32_t steps = kParamInfo[static_cast<size_t>(index)].steps;
    if (index == kParamTransShape) {
        // The only parameter that changes the engine's geometry: it rebuilds
        // the smoothing kernel and restarts the delay lines.
        EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
        setStep(index, v, steps);
        if (engine_.setTransShape(stepOf(index))) suspend();
        return;
    }
    setStep(index, v, steps);
    const int32_t step = stepOf(index);
    switch (index) {
        case kParamOutput:
            engine_.setOutputTarget(outputGainFromValue(v));
            break;
        case kParamDrive:
            engine_.setDriveTarget(driveGainFromValue(v));
            break;
        case kParamTransient:
            engine_.setTransientMix(transientMixFromValue(v));
            break;
        case kParamRelease:
            engine_.setReleaseMs(releaseMsFromValue(v));
            break;
        case kParamLink:
            engine_.setLinkAmount(v);
            break;
        case kParamOversample:
            engine_.setDetectorOversample(step);
            break;
        case kParamDetectorOrder:
            engine_.setDetectorOrder(step);
            break;
        case kParamPower:
            engine_.setPowerOn(step != 0 ? 1.0 : 0.0);
            break;
        case kParamScale:
            engine_.setScaleIndex(step);
            break;
        case kParamBits:
            engine_.setBitsIndex(step);
            break;
        case kParamNoiseShape:
            engine_.setNoiseShapeType(step);
            break;
        case kParamCalibrate:
            engine_.setCalibrateMode(step);
            break;
        case kParamLeveller:
            engine_.setLeveller(v, levellerThresholdFromValue(v));
            break;
        case kParamMeterOvs:
            engine_.setMeterOvs(step);
            break;
        case kParamAutoOut:
            engine_.setAutoOut(step);
            break;
        case kParamQuantize:
            engine_.setQuantizeOn(step);
            break;
        case kParamAutoblack:
            engine_.setAutoblackOn(step);
            break;
        case kParamMeterType:
            engine_.setMeterType(step);
            break;
        case kParamAttZoom:
            engine_.setAttZoom(step);
            break;
        case kParamAttShow:
            engine_.setAttShowMask(step);
            break;
        case kParamPostMeter:
            engine_.setPostMeter(step);
            break;
        default:
            break;
    }
}

void Plugin::setParameter(VstInt32 index, float value) {
    // A NaN or infinite value (a damaged file, a broken host) would poison the
    // engine's gains; it changes nothing and is not stored.
    if (!std::isfinite(value)) return;
    if (index >= 0 && index < kNumLiveParams) {
        applyLiveParameter(index, value);
    } else if (index == kParamVersionMarker && stepFromValue(value, 100) == 0) {
        convertLegacyProgram();
    }
    if (!isPresetLoading()) CPresetSystemEffect::setParameter(index, value);
    if (editor != nullptr) editor->setParameter(index, value);
}

// Programs written before the version marker existed carry 0 at index 25 and
// four-step "Bits" (off, 8, 16, 24) and "Scale" (peak, K-12, K-14, K-20).
void Plugin::convertLegacyProgram() {
    setParameter(kParamAutoblack, valueFromStep(0, 2));
    const int32_t bits = stepFromValue(getParameter(kParamBits), 4);
    if (bits != 0) {
        setParameter(kParamQuantize, valueFromStep(1, 2));
        setParameter(kParamBits, valueFromStep(bits - 1, 3));
    } else {
        setParameter(kParamQuantize, valueFromStep(0, 2));
        setParameter(kParamBits, valueFromStep(1, 3));
    }
    setParameter(kParamAttShow, valueFromStep(7, 8));
    setParameter(kParamAttZoom, valueFromStep(0, 2));
    setParameter(kParamPostMeter, valueFromStep(1, 2));
    const int32_t scale = stepFromValue(getParameter(kParamScale), 4);
    int32_t newScale = 1;
    if (scale != 0) {
        setParameter(kParamMeterType, valueFromStep(1, 2));
        newScale = scale - 1;
    } else {
        setParameter(kParamMeterType, valueFromStep(0, 2));
    }
    setParameter(kParamScale, valueFromStep(newScale, 3));
}

float Plugin::getParameter(VstInt32 index) {
    if (index >= 0 && index < kNumLiveParams) return values_[index].load(std::memory_order_relaxed);
    if (index >= kParamDummy1 && index <= kParamDummy3) return storedValue(index);
    if (index == kParamVersionMarker) return kVersionMarker;
    return -1.0f;
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
    formatParameterDisplay(index, getParameter(index), stepOf(index), text);
}

bool Plugin::getParameterProperties(VstInt32 /*index*/, VstParameterProperties* properties) {
    if (properties == nullptr) return false;
    properties->stepFloat = kParameterStep;
    properties->flags = kVstParameterUsesFloatStep;
    return true;
}

bool Plugin::getEffectName(char* name) {
    std::strcpy(name, kEffectName);
    return true;
}

bool Plugin::getVendorString(char* text) {
    std::strcpy(text, kVendorName);
    return true;
}

bool Plugin::getProductString(char* text) {
    std::strcpy(text, kProductName);
    return true;
}

MeterSnapshot Plugin::getMeterValues() {
    return engine_.getMeterValues();
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
    CPresetSystemEditor* presets = presetEditor();
    const char* path = static_cast<const char*>(ptr);
    switch (value) {
        case kVendorSelectPreset: {
            if (ptr == nullptr) return 0;
            const VstInt32 program = *static_cast<const VstInt32*>(ptr);
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
