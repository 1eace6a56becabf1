// Byte-level pieces of the preset, bank and chunk formats: tags, sizes, the
// tagged header, word access in either byte order. Every reader here takes the
// size of what it reads from and never looks past it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelto {

constexpr uint8_t kTagFlatPreset = '!';
constexpr uint8_t kTagTaggedPreset = 0x22;
constexpr uint8_t kTagFlatBank = '7';
constexpr uint8_t kTagTaggedBank = '8';

constexpr size_t kLeadSize = 5;             // signature + tag byte
constexpr size_t kTaggedHeaderSize = 41;    // lead + 9 words
constexpr size_t kRecordHeaderSize = 12;    // type, payload size, program
constexpr size_t kNameRecordPayload = 156;  // 24-byte name + 132 zero bytes
constexpr size_t kValueRecordPayload = 20;  // index, 0, 0, value, 0
constexpr size_t kNameRecordSize = kRecordHeaderSize + kNameRecordPayload;    // 168
constexpr size_t kValueRecordSize = kRecordHeaderSize + kValueRecordPayload;  // 32
constexpr int32_t kFormatNumber = 1;
constexpr int32_t kRecordTypeName = 0;
constexpr int32_t kRecordTypeValue = 1;

/// The largest preset, bank or state we read: far above any real one, it
/// keeps a damaged length from making us allocate gigabytes.
constexpr size_t kMaxPresetDataSize = 16u << 20;

// Chunk markers (the words before the blob in the host state).
constexpr int32_t kChunkMarkerFlatBank = 0x01000000;
constexpr int32_t kChunkMarkerTaggedBank = 0x02000000;
constexpr size_t kChunkPrefixSize = 8;
constexpr size_t kFlatChunkHeaderSize = 32;
constexpr size_t kFlatChunkImageSize = 3104;  // header + 24 records of 128 bytes

struct TaggedHeader {
    int32_t formatNumber = kFormatNumber;
    int32_t paramSlots = 0;
    int32_t recordCount = 0;
    int32_t currentProgram = 0;
    int32_t payloadSize = 0;
};

inline uint32_t byteSwap32(uint32_t v) {
    return __builtin_bswap32(v);
}

/// The 32-bit word at p in the writer's order (reversed when swap).
uint32_t readWord(const uint8_t* p, bool swap);
int32_t readInt(const uint8_t* p, bool swap);
float readFloat(const uint8_t* p, bool swap);

enum class SignatureOrder { Native, Reversed, Foreign };
SignatureOrder signatureOrder(uint32_t word, int32_t signature);

/// Reads the nine header words of a tagged blob whose lead starts at blob
/// (at least kTaggedHeaderSize bytes), reversed when swap.
TaggedHeader readTaggedHeader(const uint8_t* blob, bool swap);

/// Appends native-order words, floats and raw bytes to a blob being built.
class BlobWriter {
  public:
    explicit BlobWriter(std::vector<uint8_t>& out) : out_(out) {}
    void word(uint32_t v);
    void integer(int32_t v) { word(static_cast<uint32_t>(v)); }
    void real(float v);
    void bytes(const void* data, size_t size);
    void zeros(size_t count) { out_.insert(out_.end(), count, 0); }

  private:
    std::vector<uint8_t>& out_;
};

}  // namespace zelto
