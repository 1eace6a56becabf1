// What the preset formats need of the effect that keeps the program bank:
// reading and writing program records, selecting and renaming the current
// program, and showing a program's name wherever the effect shows it. The
// effect in core/ implements it; the formats below know nothing else of it.
#pragma once

#include <cstdint>

#include "presets/PresetRecord.h"

namespace zelto {

class ProgramStore {
  public:
    virtual ~ProgramStore() = default;

    virtual bool hasBank() const = 0;
    /// The signature heading every preset, bank and chunk ("KRzt").
    virtual int32_t getSignature() const = 0;
    virtual int32_t getCurrentPreset() const = 0;
    /// A copy of program i (a zero record for an index outside 0..23).
    virtual PresetRecord presetRecord(int32_t index) const = 0;
    virtual void setPresetRecord(int32_t index, const PresetRecord& record) = 0;
    virtual void setPresetValue(int32_t program, int32_t param, float value) = 0;
    virtual void resetPresetToTemplate(int32_t index) = 0;
    /// Makes program i current and applies its values.
    virtual void selectPreset(int32_t index) = 0;
    virtual void renameCurrentPreset(const char* name) = 0;
    virtual bool isExcludedFromSave(int32_t param) const = 0;
    virtual bool isExcludedFromLoad(int32_t param) const = 0;
    /// A load is about to show this name as the current program's (any thread).
    virtual void showPresetName(const char* name) = 0;
};

}  // namespace zelto
