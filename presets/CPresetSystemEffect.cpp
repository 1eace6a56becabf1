// Program bank, factory programs and program selection.
#include "presets/CPresetSystemEffect.h"

#include <cstring>
#include <new>

#include "presets/FactoryPresets.h"

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
    bank = new (std::nothrow) PresetBank;
    if (bank != nullptr) {
        std::memset(bank, 0, sizeof *bank);
        loadFactoryPresets();
        templateRecord = bank->programs[0];
    }
    curProgram = 0;
}

CPresetSystemEffect::~CPresetSystemEffect() { delete bank; }

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

float CPresetSystemEffect::getParameter(VstInt32 index) { return storedValue(index); }

void CPresetSystemEffect::setProgramName(char* name) {
    curProgram = 0;
    if (bank == nullptr || name == nullptr) return;
    char buffer[kPresetNameSize + 1] = {};
    std::strncpy(buffer, name, kPresetNameSize);
    setPresetName(bank->programs[getCurrentPreset()], buffer);
}

void CPresetSystemEffect::getProgramName(char* name) {
    if (name == nullptr) return;
    if (bank == nullptr) {
        name[0] = 0;
        return;
    }
    std::memcpy(name, bank->programs[getCurrentPreset()].name, kPresetNameSize);
    name[kPresetNameSize] = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index,
                                                char* text) {
    if (bank == nullptr || text == nullptr || index < 0 || index >= kNumPresets) return false;
    std::memcpy(text, bank->programs[index].name, kPresetNameSize);
    text[kPresetNameSize] = 0;
    return true;
}

void CPresetSystemEffect::selectPreset(VstInt32 index) {
    if (bank == nullptr || index < 0 || index >= kNumPresets) return;
    presetLoading.store(true, std::memory_order_relaxed);
    curProgram = 0;
    currentPreset.store(index, std::memory_order_relaxed);
    for (VstInt32 p = 0; p < kPresetValues; ++p) {
        setParameter(p, std::atomic_ref<float>(bank->programs[index].values[p])
                            .load(std::memory_order_relaxed));
    }
    updateDisplay();
    beginEdit(0);
    endEdit(0);
    presetLoading.store(false, std::memory_order_relaxed);
}

void CPresetSystemEffect::renameCurrentPreset(const char* name) {
    curProgram = 0;
    if (bank != nullptr && name != nullptr) setPresetName(bank->programs[getCurrentPreset()], name);
    updateDisplay();
}

void CPresetSystemEffect::resetPresetToTemplate(VstInt32 index) {
    if (bank == nullptr || index < 0 || index >= kNumPresets) return;
    bank->programs[index] = templateRecord;
}

void CPresetSystemEffect::initPresetSystem() {
    if (bank != nullptr) templateRecord = bank->programs[0];
}

void CPresetSystemEffect::loadFactoryPresets() {
    if (bank == nullptr) return;
    for (int32_t p = 0; p < kNumPresets; ++p) {
        setPresetName(bank->programs[p], kFactoryPresets[p].name);
        std::memcpy(bank->programs[p].values, kFactoryPresets[p].values,
                    sizeof bank->programs[p].values);
    }
}

PresetRecord CPresetSystemEffect::presetRecord(VstInt32 index) const {
    PresetRecord copy{};
    if (bank != nullptr && index >= 0 && index < kNumPresets) copy = bank->programs[index];
    return copy;
}
