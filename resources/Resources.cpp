// Finds the embedded images by id. The table and the PNG bytes are constant
// data linked into the library; nothing is decoded or allocated here.
#include "resources/Resources.h"

#include <algorithm>

#include "resources/ImageTable.h"

namespace zelto {

const EmbeddedImage* findEmbeddedImage(int32_t id) {
    const EmbeddedImage* begin = artwork::kImages;
    const EmbeddedImage* end = begin + artwork::kImageCount;
    const EmbeddedImage* it = std::lower_bound(
        begin, end, id, [](const EmbeddedImage& e, int32_t v) { return e.id < v; });
    return it != end && it->id == id ? it : nullptr;
}

const EmbeddedImage* embeddedImages(size_t* count) {
    if (count != nullptr) *count = artwork::kImageCount;
    return artwork::kImages;
}

}  // namespace zelto
