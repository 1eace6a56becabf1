// Writes the seed corpora of the fuzz targets from our own builders: valid
// chunks, presets and banks in both byte orders, tagged and flat.
// Usage: fuzz_seeds OUTDIR (creates OUTDIR/chunk, OUTDIR/preset, OUTDIR/bank).
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/Effect.h"

using namespace zelto;

namespace {

using Bytes = std::vector<uint8_t>;

bool write(const std::string& path, const Bytes& data) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

// The fuzz input for the file targets: a flag byte, then the image.
Bytes withFlag(uint8_t flag, const Bytes& image) {
    Bytes out{flag};
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

void swapWord(Bytes& data, size_t at) {
    std::swap(data[at], data[at + 3]);
    std::swap(data[at + 1], data[at + 2]);
}

// The same tagged image in the other byte order.
Bytes reversed(Bytes data, size_t at) {
    int32_t records, payload;
    std::memcpy(&records, &data[at + 13], 4);
    std::memcpy(&payload, &data[at + 21], 4);
    swapWord(data, at);
    for (size_t off = 5; off < kTaggedHeaderSize; off += 4) swapWord(data, at + off);
    size_t pos = at + kTaggedHeaderSize;
    for (int32_t r = 0; r < records; ++r) {
        int32_t type, size;
        std::memcpy(&type, &data[pos], 4);
        std::memcpy(&size, &data[pos + 4], 4);
        for (size_t w = 0; w < 3; ++w) swapWord(data, pos + 4 * w);
        if (type == kRecordTypeValue) {
            for (size_t w = 0; w < 5; ++w) swapWord(data, pos + 12 + 4 * w);
        }
        pos += 12 + static_cast<size_t>(size);
    }
    return data;
}

Bytes flatImage(uint8_t tag, const Effect& plugin, int programs) {
    Bytes out(5);
    const int32_t signature = Effect::kUniqueId;
    std::memcpy(out.data(), &signature, 4);
    out[4] = tag;
    for (int p = 0; p < programs; ++p) {
        const PresetRecord r = plugin.presetRecord(p);
        const auto* bytes = reinterpret_cast<const uint8_t*>(&r);
        out.insert(out.end(), bytes, bytes + sizeof r);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    for (const char* sub : {"", "/chunk", "/preset", "/bank"}) mkdir((dir + sub).c_str(), 0755);
    Effect plugin;
    plugin.start();
    plugin.selectPreset(10);
    PresetSystem* editor = &plugin.presets();

    const Bytes chunk = plugin.saveState();
    Bytes swappedChunk = reversed(chunk, 8);
    swapWord(swappedChunk, 0);
    swapWord(swappedChunk, 4);
    Bytes flatChunk(32, 0);
    const int32_t marker = kChunkMarkerFlatBank, signature = Effect::kUniqueId, count = 24;
    std::memcpy(&flatChunk[0], &marker, 4);
    std::memcpy(&flatChunk[4], &signature, 4);
    std::memcpy(&flatChunk[8], &count, 4);
    const Bytes images = flatImage('7', plugin, 24);
    flatChunk.insert(flatChunk.end(), images.begin() + 5, images.end());

    const Bytes preset = editor->buildTaggedPreset();
    const Bytes bank = editor->buildTaggedBank();
    bool ok = write(dir + "/chunk/tagged", chunk) &&
              write(dir + "/chunk/tagged-swapped", swappedChunk) &&
              write(dir + "/chunk/flat", flatChunk) &&
              write(dir + "/preset/tagged", withFlag(0, preset)) &&
              write(dir + "/preset/tagged-swapped", withFlag(0, reversed(preset, 0))) &&
              write(dir + "/preset/tagged-reversed-load", withFlag(1, reversed(preset, 0))) &&
              write(dir + "/preset/flat", withFlag(0, flatImage('!', plugin, 1))) &&
              write(dir + "/bank/tagged", withFlag(0, bank)) &&
              write(dir + "/bank/tagged-swapped", withFlag(0, reversed(bank, 0))) &&
              write(dir + "/bank/flat", withFlag(0, images));
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
