// Program bank, factory programs and program selection.
#include "presets/CPresetSystemEffect.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "presets/CPresetSystemEditor.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFormats.h"

using namespace zelto;

void zelto::setPresetName(PresetRecord& record, const char* name) {
    std::memset(record.name, 0, sizeof record.name);
    if (name == nullptr) return;
    for (int32_t i = 0; i < kPresetNameMaxChars && name[i] != 0; ++i) record.name[i] = name[i];
}

CPresetSystemEffect::CPresetSystemEffect(audioMasterCallback audioMaster, VstInt32 numPrograms,
                                         VstInt32 numParams)
    : AudioEffectX(audioMaster, numPrograms, numParams) {
    programsAreChunks(true);
    for (auto& buffer : chunkBuffers_) buffer.reset(new (std::nothrow) uint8_t[kChunkBufferSize]);
    bank = new (std::nothrow) PresetBank;
    if (bank != nullptr) {
        std::memset(bank, 0, sizeof *bank);
        loadFactoryPresets();
        templateRecord = bank->programs[0];
    }
    curProgram = 0;
}

CPresetSystemEffect::~CPresetSystemEffect() {
    delete bank;
}

bool CPresetSystemEffect::isPresetLoading() const {
    return applyingThread_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

float CPresetSystemEffect::storedValue(VstInt32 index) const {
    if (bank == nullptr || index < 0 || index >= kPresetValues) return 0.0f;
    const VstInt32 preset = currentPreset.load(std::memory_order_relaxed);
    return std::atomic_ref<float>(bank->programs[preset].values[index])
        .load(std::memory_order_relaxed);
}

void CPresetSystemEffect::setParameter(VstInt32 index, float value) {
    if (bank == nullptr || index < 0 || index >= kPresetValues) return;
    const VstInt32 preset = currentPreset.load(std::memory_order_relaxed);
    std::atomic_ref<float>(bank->programs[preset].values[index])
        .store(value, std::memory_order_relaxed);
}

float CPresetSystemEffect::getParameter(VstInt32 index) {
    return storedValue(index);
}

void CPresetSystemEffect::setProgramName(char* name) {
    curProgram = 0;
    if (bank == nullptr || name == nullptr) return;
    char buffer[kPresetNameSize + 1] = {};
    std::strncpy(buffer, name, kPresetNameSize);
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        setPresetName(bank->programs[getCurrentPreset()], buffer);
    }
    if (presetEditor_ != nullptr) presetEditor_->showPresetName(buffer);
}

void CPresetSystemEffect::getProgramName(char* name) {
    if (name == nullptr) return;
    if (bank == nullptr) {
        name[0] = 0;
        return;
    }
    const std::lock_guard<std::mutex> names(namesMutex_);
    std::memcpy(name, bank->programs[getCurrentPreset()].name, kPresetNameSize);
    name[kPresetNameSize] = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
    if (bank == nullptr || text == nullptr || index < 0 || index >= kNumPresets) return false;
    const std::lock_guard<std::mutex> names(namesMutex_);
    std::memcpy(text, bank->programs[index].name, kPresetNameSize);
    text[kPresetNameSize] = 0;
    return true;
}

void CPresetSystemEffect::selectPreset(VstInt32 index) {
    if (bank == nullptr || index < 0 || index >= kNumPresets) return;
    // Kept per effect rather than in thread-local storage, which a library
    // loaded and unloaded by the host would have to set up on every thread.
    const std::thread::id outer =
        applyingThread_.exchange(std::this_thread::get_id(), std::memory_order_acq_rel);
    curProgram = 0;
    currentPreset.store(index, std::memory_order_relaxed);
    for (VstInt32 p = 0; p < kPresetValues; ++p) {
        setParameter(p, std::atomic_ref<float>(bank->programs[index].values[p])
                            .load(std::memory_order_relaxed));
    }
    updateDisplay();
    beginEdit(0);
    endEdit(0);
    applyingThread_.store(outer, std::memory_order_release);
}

void CPresetSystemEffect::renameCurrentPreset(const char* name) {
    curProgram = 0;
    if (bank != nullptr && name != nullptr) {
        const std::lock_guard<std::mutex> names(namesMutex_);
        setPresetName(bank->programs[getCurrentPreset()], name);
    }
    updateDisplay();
}

void CPresetSystemEffect::resetPresetToTemplate(VstInt32 index) {
    if (bank == nullptr || index < 0 || index >= kNumPresets) return;
    setPresetRecord(index, templateRecord);
}

void CPresetSystemEffect::initPresetSystem() {
    if (bank != nullptr) templateRecord = presetRecord(0);
    if (presetEditor_ != nullptr) presetEditor_->loadStoredDefaults();
}

void CPresetSystemEffect::loadFactoryPresets() {
    if (bank == nullptr) return;
    for (int32_t p = 0; p < kNumPresets; ++p) {
        {
            const std::lock_guard<std::mutex> names(namesMutex_);
            setPresetName(bank->programs[p], kFactoryPresets[p].name);
        }
        std::memcpy(bank->programs[p].values, kFactoryPresets[p].values,
                    sizeof bank->programs[p].values);
    }
}

PresetRecord CPresetSystemEffect::presetRecord(VstInt32 index) const {
    PresetRecord copy{};
    if (bank == nullptr || index < 0 || index >= kNumPresets) return copy;
    PresetRecord& source = bank->programs[index];
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        std::memcpy(copy.name, source.name, sizeof copy.name);
    }
    for (int32_t p = 0; p < kPresetValues; ++p) {
        copy.values[p] = std::atomic_ref<float>(source.values[p]).load(std::memory_order_relaxed);
    }
    return copy;
}

void CPresetSystemEffect::setPresetRecord(VstInt32 index, const PresetRecord& record) {
    if (bank == nullptr || index < 0 || index >= kNumPresets) return;
    PresetRecord& target = bank->programs[index];
    {
        const std::lock_guard<std::mutex> names(namesMutex_);
        std::memcpy(target.name, record.name, sizeof target.name);
        target.name[kPresetNameSize - 1] = 0;
    }
    for (int32_t p = 0; p < kPresetValues; ++p) setPresetValue(index, p, record.values[p]);
}

void CPresetSystemEffect::setPresetValue(VstInt32 program, VstInt32 param, float value) {
    if (bank == nullptr || program < 0 || program >= kNumPresets || param < 0 ||
        param >= kPresetValues) {
        return;
    }
    std::atomic_ref<float>(bank->programs[program].values[param])
        .store(value, std::memory_order_relaxed);
}

VstInt32 CPresetSystemEffect::getChunk(void** data, bool /*isPreset*/) {
    // The host always gets the whole bank, whatever it asks for.
    if (data == nullptr || presetEditor_ == nullptr) return 0;
    const std::vector<uint8_t> blob = presetEditor_->buildTaggedBank();
    if (blob.empty() || blob.size() + kChunkPrefixSize > kChunkBufferSize) return 0;
    const std::lock_guard<std::mutex> chunks(chunkMutex_);
    const std::thread::id caller = std::this_thread::get_id();
    int slot = -1;
    for (int i = 0; i < kChunkBuffers && slot < 0; ++i) {
        if (chunkOwners_[i] == caller) slot = i;
    }
    if (slot < 0) {
        slot = 0;
        for (int i = 1; i < kChunkBuffers; ++i) {
            if (chunkUsed_[i] < chunkUsed_[slot]) slot = i;
        }
        chunkOwners_[slot] = caller;
    }
    chunkUsed_[slot] = ++chunkCalls_;
    uint8_t* buffer = chunkBuffers_[slot].get();
    if (buffer == nullptr) return 0;
    std::memset(buffer, 0, kChunkBufferSize);
    const int32_t marker = kChunkMarkerTaggedBank;
    const int32_t signature = getSignature();
    std::memcpy(buffer, &marker, 4);
    std::memcpy(buffer + 4, &signature, 4);
    std::memcpy(buffer + kChunkPrefixSize, blob.data(), blob.size());
    *data = buffer;
    return static_cast<VstInt32>(blob.size() + kChunkPrefixSize);
}

VstInt32 CPresetSystemEffect::setChunk(void* data, VstInt32 byteSize, bool /*isPreset*/) {
    if (data == nullptr || presetEditor_ == nullptr || byteSize < 8) {
        return -1;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
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
            return -1;
    }
    if (marker == static_cast<uint32_t>(kChunkMarkerFlatBank)) {
        return loadFlatBankChunk(bytes, byteSize, swap);
    }
    if (marker != static_cast<uint32_t>(kChunkMarkerTaggedBank)) return -1;
    const auto size = static_cast<size_t>(byteSize);
    if (size < kChunkPrefixSize + kTaggedHeaderSize) return -1;
    // The blob's own signature and tag play no part here.
    const TaggedHeader header = readTaggedHeader(bytes + kChunkPrefixSize, swap);
    const size_t recordsAt = kChunkPrefixSize + kTaggedHeaderSize;
    const PresetLoadResult result =
        presetEditor_->loadTaggedBank(bytes + recordsAt, size - recordsAt, header, swap);
    return result == PresetLoadResult::Loaded ? 0 : -1;
}

// Flat bank chunk: marker, signature, program count N, current program, four
// reserved words, then N images of (size - 32) / N bytes. Only the first 3104
// bytes are ever looked at.
VstInt32 CPresetSystemEffect::loadFlatBankChunk(const uint8_t* data, VstInt32 byteSize, bool swap) {
    const auto size = static_cast<size_t>(byteSize);
    if (size < kFlatChunkHeaderSize) return -1;
    const int32_t count = readInt(data + 8, swap);
    const int32_t current = readInt(data + 12, swap);
    if (count <= 0) return -1;
    const size_t imageSize = (size - kFlatChunkHeaderSize) / static_cast<size_t>(count);
    if (imageSize < static_cast<size_t>(kPresetNameSize)) return -1;
    const auto floats = static_cast<int32_t>((imageSize - kPresetNameSize) / 4);
    const size_t limit = std::min(size, kFlatChunkImageSize);
    const PresetLoadResult result = presetEditor_->loadFlatBank(
        data + kFlatChunkHeaderSize, limit - kFlatChunkHeaderSize, swap, count, floats, current);
    return result == PresetLoadResult::Loaded ? 0 : -1;
}
