// One program as stored in the bank, in preset files and in state chunks: a
// 24-byte name field and 26 normalised values, one contiguous 128-byte image.
#pragma once

#include <cstdint>

namespace zelto {

constexpr int32_t kNumPresets = 24;
constexpr int32_t kPresetNameSize = 24;
constexpr int32_t kPresetNameMaxChars = kPresetNameSize - 1;
constexpr int32_t kPresetValues = 26;

struct PresetRecord {
    char name[kPresetNameSize];
    float values[kPresetValues];
};
static_assert(sizeof(PresetRecord) == 128, "the record is a fixed file image");

struct PresetBank {
    PresetRecord programs[kNumPresets];
};
static_assert(sizeof(PresetBank) == 3072, "the bank is a fixed image");

/// Stores at most 23 characters of name, zero-filling the rest of the field.
void setPresetName(PresetRecord& record, const char* name);

}  // namespace zelto
