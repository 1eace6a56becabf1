// Fuzzes the state bytes (the VST2 chunk, the LV2 state): any bytes a host or a damaged project
// hands us.
#include "FuzzSupport.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zelto::Effect& effect = zelto::fuzz::instance();
    // A private copy: the host's buffer has exactly `size` bytes.
    std::vector<uint8_t> copy(data, data + size);
    effect.loadState(copy.empty() ? nullptr : copy.data(), copy.size());
    zelto::fuzz::checkBank(effect);
    return 0;
}
