// The editor object's preset calls, passed on to the effect's preset system
// (presets/PresetSystem), where the formats, files and stored values live.
#include "editor/strip/CPresetSystemEditor.h"

#include "platform/DocumentLauncher.h"

using namespace zelto;

CPresetSystemEditor::CPresetSystemEditor(AudioEffectX* effect, EffectView* view)
    : AEffGUIEditor(effect), presetEffect(view) {}

CPresetSystemEditor::~CPresetSystemEditor() = default;

void CPresetSystemEditor::beginEdit(int32_t index) {
    if (presetEffect != nullptr) presetEffect->beginEdit(index);
}

void CPresetSystemEditor::endEdit(int32_t index) {
    if (presetEffect != nullptr) presetEffect->endEdit(index);
}

PresetSystem* CPresetSystemEditor::presetSystem() const {
    return presetEffect != nullptr ? &presetEffect->presets() : nullptr;
}

std::vector<uint8_t> CPresetSystemEditor::buildTaggedBank() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->buildTaggedBank() : std::vector<uint8_t>();
}

std::vector<uint8_t> CPresetSystemEditor::buildTaggedPreset() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->buildTaggedPreset() : std::vector<uint8_t>();
}

PresetLoadResult CPresetSystemEditor::loadTaggedBank(const uint8_t* records, size_t size,
                                                     const TaggedHeader& header, bool swap) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadTaggedBank(records, size, header, swap)
                             : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadTaggedPreset(const uint8_t* records, size_t size,
                                                       const TaggedHeader& header, bool swap) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadTaggedPreset(records, size, header, swap)
                             : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadFlatPreset(const uint8_t* data, size_t size, bool swap,
                                                     int32_t paramCount) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadFlatPreset(data, size, swap, paramCount)
                             : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadFlatBank(const uint8_t* data, size_t size, bool swap,
                                                   int32_t programCount, int32_t paramCount,
                                                   int32_t selectAfter) {
    PresetSystem* system = presetSystem();
    return system != nullptr
               ? system->loadFlatBank(data, size, swap, programCount, paramCount, selectAfter)
               : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadPresetBlob(const uint8_t* data, size_t size,
                                                     bool reversed) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadPresetBlob(data, size, reversed)
                             : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadBankBlob(const uint8_t* data, size_t size,
                                                   bool reversed) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadBankBlob(data, size, reversed)
                             : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadPresetFile(const std::string& path, bool reversed) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadPresetFile(path, reversed) : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::loadBankFile(const std::string& path, bool reversed) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->loadBankFile(path, reversed) : PresetLoadResult::NoBank;
}

bool CPresetSystemEditor::savePresetFile(const std::string& path) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->savePresetFile(path) : false;
}

bool CPresetSystemEditor::saveBankFile(const std::string& path) {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->saveBankFile(path) : false;
}

bool CPresetSystemEditor::storeDefaultBank() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->storeDefaultBank() : false;
}

bool CPresetSystemEditor::clearDefaultBank() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->clearDefaultBank() : false;
}

PresetLoadResult CPresetSystemEditor::recallDefaultBank() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->recallDefaultBank() : PresetLoadResult::NoBank;
}

bool CPresetSystemEditor::storeDefaultPreset() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->storeDefaultPreset() : false;
}

bool CPresetSystemEditor::clearDefaultPreset() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->clearDefaultPreset() : false;
}

PresetLoadResult CPresetSystemEditor::recallDefaultPreset() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->recallDefaultPreset() : PresetLoadResult::NoBank;
}

bool CPresetSystemEditor::storeMemoA() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->storeMemoA() : false;
}

bool CPresetSystemEditor::storeMemoB() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->storeMemoB() : false;
}

PresetLoadResult CPresetSystemEditor::recallMemoA() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->recallMemoA() : PresetLoadResult::NoBank;
}

PresetLoadResult CPresetSystemEditor::recallMemoB() {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->recallMemoB() : PresetLoadResult::NoBank;
}

void CPresetSystemEditor::loadStoredDefaults() {
    if (PresetSystem* system = presetSystem()) system->loadStoredDefaults();
}

void CPresetSystemEditor::saveFileLocations() {
    if (PresetSystem* system = presetSystem()) system->saveFileLocations();
}

void CPresetSystemEditor::loadFileLocations() {
    if (PresetSystem* system = presetSystem()) system->loadFileLocations();
}

namespace {
const std::string kNoText;
}

const std::string& CPresetSystemEditor::currentFolder() const {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->currentFolder() : kNoText;
}

const std::string& CPresetSystemEditor::bankFileName() const {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->bankFileName() : kNoText;
}

const std::string& CPresetSystemEditor::presetFileName() const {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->presetFileName() : kNoText;
}

std::string CPresetSystemEditor::manualPath() const {
    PresetSystem* system = presetSystem();
    return system != nullptr ? system->manualPath() : std::string();
}
