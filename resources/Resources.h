// The images of the plug-in window, embedded in the library and found by
// their integer id. The pixels are drawn at build time by the artwork
// generator; nothing binary is kept in the source tree. On Windows the
// pixels are BITMAP resources of the module instead, and this table holds
// the ids and sizes only.
// Read-only data: safe on any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelto {

struct EmbeddedImage {
    int32_t id;
    int32_t width;
    int32_t height;
    const uint8_t* png;  // the image as PNG bytes (null on Windows: see below)
    size_t pngSize;
};

/// The image with this id, or nullptr when there is none.
const EmbeddedImage* findEmbeddedImage(int32_t id);

/// All embedded images, in ascending id order.
const EmbeddedImage* embeddedImages(size_t* count);

}  // namespace zelto
