// Word access and the tagged header.
#include "presets/PresetFormats.h"

#include "presets/PresetRecord.h"

#include <cstring>

namespace zelto {

uint32_t readWord(const uint8_t* p, bool swap) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return swap ? byteSwap32(v) : v;
}

int32_t readInt(const uint8_t* p, bool swap) {
    return static_cast<int32_t>(readWord(p, swap));
}

float readFloat(const uint8_t* p, bool swap) {
    const uint32_t bits = readWord(p, swap);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

SignatureOrder signatureOrder(uint32_t word, int32_t signature) {
    const auto sig = static_cast<uint32_t>(signature);
    if (word == sig) return SignatureOrder::Native;
    if (word == byteSwap32(sig)) return SignatureOrder::Reversed;
    return SignatureOrder::Foreign;
}

TaggedHeader readTaggedHeader(const uint8_t* blob, bool swap) {
    TaggedHeader h;
    h.formatNumber = readInt(blob + 5, swap);
    h.paramSlots = readInt(blob + 9, swap);
    h.recordCount = readInt(blob + 13, swap);
    h.currentProgram = readInt(blob + 17, swap);
    h.payloadSize = readInt(blob + 21, swap);
    return h;
}

void BlobWriter::word(uint32_t v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    out_.insert(out_.end(), p, p + sizeof v);
}

void BlobWriter::real(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    word(bits);
}

void BlobWriter::bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
}

}  // namespace zelto

void zelto::setPresetName(PresetRecord& record, const char* name) {
    std::memset(record.name, 0, sizeof record.name);
    if (name == nullptr) return;
    for (int32_t i = 0; i < kPresetNameMaxChars && name[i] != 0; ++i) record.name[i] = name[i];
}
