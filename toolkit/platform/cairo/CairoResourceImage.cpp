// The plug-in's images on Linux: PNG bytes embedded in the library by the
// artwork generator, decoded on demand. The only place the toolkit touches
// the image table, so code that never loads by id does not need it.
#include "resources/Resources.h"
#include "toolkit/CBitmap.h"
#include "toolkit/platform/NativeSurface.h"

namespace zelto::toolkit {

NativeSurface* loadResourceSurface(int32_t id) {
    const EmbeddedImage* image = findEmbeddedImage(id);
    if (image == nullptr) return nullptr;
    CBitmap* decoded = CBitmap::fromPng(image->png, image->pngSize);
    NativeSurface* surface = referenceSurface(decoded->getSurface());
    decoded->forget();
    return surface;
}

}  // namespace zelto::toolkit
