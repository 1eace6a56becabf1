// Fuzzes preset images as the preset file loader and the stored-default
// recall read them; the first byte picks the endian-reversed variant.
#include "FuzzSupport.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    zelto::Effect& plugin = zelto::fuzz::instance();
    const bool reversed = (data[0] & 1) != 0;
    std::vector<uint8_t> image(data + 1, data + size);
    plugin.presets().loadPresetBlob(image.empty() ? nullptr : image.data(), image.size(), reversed);
    zelto::fuzz::checkBank(plugin);
    return 0;
}
