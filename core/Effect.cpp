// Effect: construction order, parameter mapping, programs, state bytes,
// latency and guarded processing.
#include "core/Effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/MeterPrefs.h"
#include "platform/SettingsStore.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFormats.h"

namespace zelto {

Effect::Effect(EffectHost* host) : host_(host), presets_(this) {
    // Held until the end of construction: the engine is not ready before then.
    engineLock_.acquire(0);
    bank_ = new (std::nothrow) PresetBank;
    if (bank_ != nullptr) {
        std::memset(bank_, 0, sizeof *bank_);
        loadFactoryPresets();
        templateRecord_ = bank_->programs[0];
    }
    ready_ = engine_.allocate() && hasBank();
    if (ready_) {
        suspend();
        loadMeterPrefs();
    }
    engineLock_.release();
}

Effect::~Effect() {
    // Waits for a process call in progress; none may start after the host's close.
    engineLock_.acquire(0);
    engineLock_.release();
    delete bank_;
    bank_ = nullptr;
}

void Effect::start() {
    if (!ready_) return;
    EngineLockGuard guard(&engineLock_, 0);
    templateRecord_ = presetRecord(0);
    presets_.loadStoredDefaults();
    selectPreset(0);
}

void Effect::loadMeterPrefs() {
    const SettingsStore prefs(kMeterPrefsFolder);
    for (const MeterPref& pref : kMeterPrefs) {
        if (auto stored = prefs.readInt(pref.name)) {
            // A stored index outside the steps would put a value outside 0..1
            // into program 0, which later saves as a file nothing can load.
            int32_t step = *stored < 0 ? 0 : (*stored >= pref.steps ? pref.steps - 1 : *stored);
            setParameter(pref.param, valueFromStep(step, pref.steps));
        }
    }
}

// ---- lifecycle and audio ----

void Effect::suspend() {
    // Clears every delay line and follower: never while a block is running. The
    // lock is recursive, so callers that hold it already (rate, shape) are fine.
    EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
    engine_.suspendInit();
}

void Effect::setSampleRate(float rate) {
    EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
    sampleRate_.store(rate, std::memory_order_relaxed);
    suspend();
    if (engine_.setSampleRate(static_cast<double>(rate))) {
        if (host_ != nullptr) host_->latencyChanged(engine_.latencySamples());
    }
}

template <typename T>
void Effect::processGuarded(T** inputs, T** outputs, int32_t frames, bool input1, bool output1) {
    if (outputs == nullptr || frames <= 0) return;
    input1 = input1 && inputs != nullptr && inputs[1] != nullptr;
    output1 = output1 && outputs[1] != nullptr;
    EngineLockGuard guard(&engineLock_, kLockTimeoutMs);
    engine_.process<T>(inputs, outputs, frames, input1, output1);
}

void Effect::process(float** inputs, float** outputs, int32_t frames, bool input1, bool output1) {
    processGuarded(inputs, outputs, frames, input1, output1);
}

void Effect::process(double** inputs, double** outputs, int32_t frames, bool input1, bool output1) {
    processGuarded(inputs, outputs, frames, input1, output1);
}

MeterSnapshot Effect::getMeterValues() {
    return engine_.getMeterValues();
}

// ---- parameters ----

int32_t Effect::stepOf(int32_t index) const {
    if (index < 0 || index >= kNumLiveParams) return 0;
    return steps_[index].load(std::memory_order_relaxed);
}

void Effect::setStep(int32_t index, float value, int32_t steps) {
    values_[index].store(value, std::memory_order_relaxed);
    steps_[index].store(stepFromValue(value, steps), std::memory_order_relaxed);
}

void Effect::applyLiveParameter(int32_t index, float v) {
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

void Effect::setParameter(int32_t index, float value) {
    // A NaN or infinite value (a damaged file, a broken host) would poison the
    // engine's gains; it changes nothing and is not stored.
    if (!std::isfinite(value)) return;
    if (index >= 0 && index < kNumLiveParams) {
        applyLiveParameter(index, value);
    } else if (index == kParamVersionMarker && stepFromValue(value, 100) == 0) {
        convertLegacyProgram();
    }
    if (!isPresetLoading()) storeValue(index, value);
    if (host_ != nullptr) host_->parameterChanged(index, value);
}

// Programs written before the version marker existed carry 0 at index 25 and
// four-step "Bits" (off, 8, 16, 24) and "Scale" (peak, K-12, K-14, K-20).
void Effect::convertLegacyProgram() {
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

float Effect::getParameter(int32_t index) {
    if (index >= 0 && index < kNumLiveParams) return values_[index].load(std::memory_order_relaxed);
    if (index >= kParamDummy1 && index <= kParamDummy3) return storedValue(index);
    if (index == kParamVersionMarker) return kVersionMarker;
    return -1.0f;
}

void Effect::getParameterDisplay(int32_t index, char* text) {
    if (index < 0 || index >= kNumLiveParams || text == nullptr) return;
    formatParameterDisplay(index, getParameter(index), stepOf(index), text);
}

void Effect::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    if (host_ != nullptr) host_->parameterAutomated(index, value);
}

void Effect::beginEdit(int32_t index) {
    if (index >= 0 && index < kNumParams && host_ != nullptr) host_->editBegun(index);
}

void Effect::endEdit(int32_t index) {
    if (index >= 0 && index < kNumParams && host_ != nullptr) host_->editEnded(index);
}

// ---- programs ----

bool Effect::isPresetLoading() const {
    return applyingThread_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

float Effect::storedValue(int32_t index) const {
    if (bank_ == nullptr || index < 0 || index >= kPresetValues) return 0.0f;
    const int32_t preset = currentPreset_.load(std::memory_order_relaxed);
    return std::atomic_ref<float>(bank_->programs[preset].values[index])
        .load(std::memory_order_relaxed);
}

void Effect::storeValue(int32_t index, float value) {
    if (bank_ == nullptr || index < 0 || index >= kPresetValues) return;
    const int32_t preset = currentPreset_.load(std::memory_order_relaxed);
    std::atomic_ref<float>(bank_->programs[preset].values[index])
        .store(value, std::memory_order_relaxed);
}

void Effect::setProgramName(const char* name) {
    if (bank_ == nullptr || name == nullptr) return;
    char buffer[kPresetNameSize + 1] = {};
    std::strncpy(buffer, name, kPresetNameSize);
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        setPresetName(bank_->programs[getCurrentPreset()], buffer);
    }
    if (host_ != nullptr) host_->programNameShown(buffer);
}

void Effect::getProgramName(char* name) const {
    if (name == nullptr) return;
    if (bank_ == nullptr) {
        name[0] = 0;
        return;
    }
    const std::lock_guard<std::mutex> names(namesMutex_);
    std::memcpy(name, bank_->programs[getCurrentPreset()].name, kPresetNameSize);
    name[kPresetNameSize] = 0;
}

bool Effect::getProgramNameIndexed(int32_t index, char* text) const {
    if (bank_ == nullptr || text == nullptr || index < 0 || index >= kNumPresets) return false;
    const std::lock_guard<std::mutex> names(namesMutex_);
    std::memcpy(text, bank_->programs[index].name, kPresetNameSize);
    text[kPresetNameSize] = 0;
    return true;
}

void Effect::selectPreset(int32_t index) {
    if (bank_ == nullptr || index < 0 || index >= kNumPresets) return;
    // Kept per effect rather than in thread-local storage, which a library
    // loaded and unloaded by the host would have to set up on every thread.
    const std::thread::id outer =
        applyingThread_.exchange(std::this_thread::get_id(), std::memory_order_acq_rel);
    currentPreset_.store(index, std::memory_order_relaxed);
    for (int32_t p = 0; p < kPresetValues; ++p) {
        setParameter(p, std::atomic_ref<float>(bank_->programs[index].values[p])
                            .load(std::memory_order_relaxed));
    }
    if (host_ != nullptr) host_->programApplied();
    applyingThread_.store(outer, std::memory_order_release);
}

void Effect::renameCurrentPreset(const char* name) {
    if (bank_ != nullptr && name != nullptr) {
        const std::lock_guard<std::mutex> names(namesMutex_);
        setPresetName(bank_->programs[getCurrentPreset()], name);
    }
    if (host_ != nullptr) host_->programRenamed();
}

void Effect::showPresetName(const char* name) {
    if (host_ != nullptr) host_->programNameShown(name);
}

void Effect::resetPresetToTemplate(int32_t index) {
    if (bank_ == nullptr || index < 0 || index >= kNumPresets) return;
    setPresetRecord(index, templateRecord_);
}

void Effect::loadFactoryPresets() {
    if (bank_ == nullptr) return;
    for (int32_t p = 0; p < kNumPresets; ++p) {
        {
            const std::lock_guard<std::mutex> names(namesMutex_);
            setPresetName(bank_->programs[p], kFactoryPresets[p].name);
        }
        std::memcpy(bank_->programs[p].values, kFactoryPresets[p].values,
                    sizeof bank_->programs[p].values);
    }
}

PresetRecord Effect::presetRecord(int32_t index) const {
    PresetRecord copy{};
    if (bank_ == nullptr || index < 0 || index >= kNumPresets) return copy;
    PresetRecord& source = bank_->programs[index];
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        std::memcpy(copy.name, source.name, sizeof copy.name);
    }
    for (int32_t p = 0; p < kPresetValues; ++p) {
        copy.values[p] = std::atomic_ref<float>(source.values[p]).load(std::memory_order_relaxed);
    }
    return copy;
}

void Effect::setPresetRecord(int32_t index, const PresetRecord& record) {
    if (bank_ == nullptr || index < 0 || index >= kNumPresets) return;
    PresetRecord& target = bank_->programs[index];
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        std::memcpy(target.name, record.name, sizeof target.name);
        target.name[kPresetNameSize - 1] = 0;
    }
    for (int32_t p = 0; p < kPresetValues; ++p) setPresetValue(index, p, record.values[p]);
}

void Effect::setPresetValue(int32_t program, int32_t param, float value) {
    if (bank_ == nullptr || program < 0 || program >= kNumPresets || param < 0 ||
        param >= kPresetValues) {
        return;
    }
    std::atomic_ref<float>(bank_->programs[program].values[param])
        .store(value, std::memory_order_relaxed);
}

// ---- state ----

std::vector<uint8_t> Effect::saveState() {
    std::vector<uint8_t> state;
    const std::vector<uint8_t> blob = presets_.buildTaggedBank();
    if (blob.empty()) return state;
    state.resize(kChunkPrefixSize + blob.size());
    const int32_t marker = kChunkMarkerTaggedBank;
    const int32_t signature = getSignature();
    std::memcpy(state.data(), &marker, 4);
    std::memcpy(state.data() + 4, &signature, 4);
    std::memcpy(state.data() + kChunkPrefixSize, blob.data(), blob.size());
    return state;
}

bool Effect::loadState(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < 8) return false;
    uint32_t marker = readWord(bytes, false);
    bool swap = false;
    switch (signatureOrder(readWord(bytes + 4, false), getSignature())) {
        case SignatureOrder::Native:
            break;
        case SignatureOrder::Reversed:
            swap = true;
            marker = byteSwap32(marker);
            break;
        case SignatureOrder::Foreign:
            return false;
    }
    if (marker == static_cast<uint32_t>(kChunkMarkerFlatBank)) {
        return loadFlatBankState(bytes, size, swap);
    }
    if (marker != static_cast<uint32_t>(kChunkMarkerTaggedBank)) return false;
    if (size < kChunkPrefixSize + kTaggedHeaderSize) return false;
    // The blob's own signature and tag play no part here.
    const TaggedHeader header = readTaggedHeader(bytes + kChunkPrefixSize, swap);
    const size_t recordsAt = kChunkPrefixSize + kTaggedHeaderSize;
    return presets_.loadTaggedBank(bytes + recordsAt, size - recordsAt, header, swap) ==
           PresetLoadResult::Loaded;
}

// Flat bank state: marker, signature, program count N, current program, four
// reserved words, then N images of (size - 32) / N bytes. Only the first 3104
// bytes are ever looked at.
bool Effect::loadFlatBankState(const uint8_t* data, size_t size, bool swap) {
    if (size < kFlatChunkHeaderSize) return false;
    const int32_t count = readInt(data + 8, swap);
    const int32_t current = readInt(data + 12, swap);
    if (count <= 0) return false;
    const size_t imageSize = (size - kFlatChunkHeaderSize) / static_cast<size_t>(count);
    if (imageSize < static_cast<size_t>(kPresetNameSize)) return false;
    const auto floats = static_cast<int32_t>((imageSize - kPresetNameSize) / 4);
    const size_t limit = std::min(size, kFlatChunkImageSize);
    return presets_.loadFlatBank(data + kFlatChunkHeaderSize, limit - kFlatChunkHeaderSize, swap,
                                 count, floats, current) == PresetLoadResult::Loaded;
}

}  // namespace zelto
