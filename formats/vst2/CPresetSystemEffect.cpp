// The VST2 program layer: SDK calls onto the core's programs and state.
#include "formats/vst2/CPresetSystemEffect.h"

#include <cstring>
#include <new>

#include "editor/strip/CPresetSystemEditor.h"
#include "presets/PresetFormats.h"

using namespace zelto;

CPresetSystemEffect::CPresetSystemEffect(audioMasterCallback audioMaster, VstInt32 numPrograms,
                                         VstInt32 numParams)
    : AudioEffectX(audioMaster, numPrograms, numParams), effect_(this) {
    programsAreChunks(true);
    for (auto& buffer : chunkBuffers_) buffer.reset(new (std::nothrow) uint8_t[kChunkBufferSize]);
    curProgram = 0;
}

CPresetSystemEffect::~CPresetSystemEffect() {
    effect_.setHost(nullptr);
}

void CPresetSystemEffect::setParameter(VstInt32 index, float value) {
    effect_.setParameter(index, value);
}

float CPresetSystemEffect::getParameter(VstInt32 index) {
    return effect_.getParameter(index);
}

void CPresetSystemEffect::setProgramName(char* name) {
    curProgram = 0;
    effect_.setProgramName(name);
}

void CPresetSystemEffect::getProgramName(char* name) {
    effect_.getProgramName(name);
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
    return effect_.getProgramNameIndexed(index, text);
}

void CPresetSystemEffect::selectPreset(VstInt32 index) {
    curProgram = 0;
    effect_.selectPreset(index);
}

void CPresetSystemEffect::renameCurrentPreset(const char* name) {
    curProgram = 0;
    effect_.renameCurrentPreset(name);
}

void CPresetSystemEffect::parameterChanged(int32_t index, float value) {
    if (editor != nullptr) editor->setParameter(index, value);
}

void CPresetSystemEffect::parameterAutomated(int32_t index, float value) {
    if (audioMaster != nullptr)
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
}

void CPresetSystemEffect::editBegun(int32_t index) {
    AudioEffectX::beginEdit(index);
}

void CPresetSystemEffect::editEnded(int32_t index) {
    AudioEffectX::endEdit(index);
}

void CPresetSystemEffect::programApplied() {
    updateDisplay();
    beginEdit(0);
    endEdit(0);
}

void CPresetSystemEffect::programRenamed() {
    updateDisplay();
}

void CPresetSystemEffect::programNameShown(const char* name) {
    if (presetEditor_ != nullptr) presetEditor_->showPresetName(name);
}

VstInt32 CPresetSystemEffect::getChunk(void** data, bool /*isPreset*/) {
    // The host always gets the whole bank, whatever it asks for.
    if (data == nullptr) return 0;
    const std::vector<uint8_t> state = effect_.saveState();
    if (state.empty() || state.size() > kChunkBufferSize) return 0;
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
    std::memcpy(buffer, state.data(), state.size());
    *data = buffer;
    return static_cast<VstInt32>(state.size());
}

VstInt32 CPresetSystemEffect::setChunk(void* data, VstInt32 byteSize, bool /*isPreset*/) {
    if (data == nullptr || byteSize < 8) return -1;
    return effect_.loadState(static_cast<const uint8_t*>(data), static_cast<size_t>(byteSize)) ? 0
                                                                                               : -1;
}
