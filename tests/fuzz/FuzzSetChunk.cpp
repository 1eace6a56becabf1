// Fuzzes the host state chunk: any bytes a host or a damaged project hands us.
#include "FuzzSupport.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Plugin& plugin = zelto::fuzz::instance();
    // A private copy: the host's buffer has exactly `size` bytes.
    std::vector<uint8_t> copy(data, data + size);
    const VstInt32 result = plugin.setChunk(copy.empty() ? nullptr : copy.data(),
                                            static_cast<VstInt32>(copy.size()), false);
    if (result != 0 && result != -1) abort();
    zelto::fuzz::checkBank(plugin);
    return 0;
}
