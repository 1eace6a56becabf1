// Helpers for the preset tests: a fresh plug-in with a private settings
// folder, byte-order reversal of tagged images, and program comparisons.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "editor/strip/CPresetSystemEditor.h"
#include "formats/vst2/Plugin.h"
#include "presets/PresetFormats.h"
#include "support/TestSupport.h"

namespace zelto::test {

class PresetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        plugin = std::make_unique<Plugin>(HostRecorder::callback);
        ASSERT_TRUE(plugin->isReady());
        editor = plugin->presetEditor();
        ASSERT_NE(editor, nullptr);
    }

    std::vector<PresetRecord> programs() const {
        std::vector<PresetRecord> all;
        for (int i = 0; i < kNumPresets; ++i) all.push_back(plugin->presetRecord(i));
        return all;
    }
    std::vector<uint8_t> chunk() {
        void* data = nullptr;
        const VstInt32 size = plugin->getChunk(&data, false);
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    std::string tempPath(const std::string& name) const { return home.path() + "/" + name; }

    ScopedConfigHome home;
    std::unique_ptr<Plugin> plugin;
    CPresetSystemEditor* editor = nullptr;
};

inline bool sameRecord(const PresetRecord& a, const PresetRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline bool samePrograms(const std::vector<PresetRecord>& a, const std::vector<PresetRecord>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(PresetRecord)) != 0) return false;
    }
    return true;
}

/// Overwrites the 4 bytes at offset with a native-order value.
template <typename T>
void poke(std::vector<uint8_t>& data, size_t offset, T value) {
    static_assert(sizeof(T) == 4);
    uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    for (size_t i = 0; i < 4; ++i) data.at(offset + i) = bytes[i];
}

inline void swapWordAt(std::vector<uint8_t>& data, size_t offset) {
    uint32_t v;
    std::memcpy(&v, data.data() + offset, 4);
    v = byteSwap32(v);
    std::memcpy(data.data() + offset, &v, 4);
}

/// The same tagged image as a writer of the other byte order would make it
/// (the lead starts at `at`).
inline std::vector<uint8_t> reverseTaggedImage(std::vector<uint8_t> data, size_t at = 0) {
    int32_t records = readInt(data.data() + at + 13, false);
    int32_t payload = readInt(data.data() + at + 21, false);
    swapWordAt(data, at);
    for (size_t off = 5; off < kTaggedHeaderSize; off += 4) swapWordAt(data, at + off);
    size_t pos = at + kTaggedHeaderSize;
    const size_t end = pos + static_cast<size_t>(payload);
    for (int32_t r = 0; r < records && pos < end; ++r) {
        const int32_t type = readInt(data.data() + pos, false);
        const int32_t size = readInt(data.data() + pos + 4, false);
        for (size_t w = 0; w < 3; ++w) swapWordAt(data, pos + 4 * w);
        if (type == kRecordTypeValue) {
            for (size_t w = 0; w < 5; ++w) swapWordAt(data, pos + kRecordHeaderSize + 4 * w);
        }
        pos += kRecordHeaderSize + static_cast<size_t>(size);
    }
    return data;
}

}  // namespace zelto::test
