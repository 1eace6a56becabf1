// Loading a CBitmap by resource id from the images embedded in the plug-in.
// The only place the toolkit touches the image library. An editor asks for
// the same image many times (the window background behind every text
// field), so images alive at the same time are decoded once and shared;
// the last bitmap of an id to go frees the decoded image.
#include <cairo.h>

#include <map>
#include <mutex>
#include <new>

#include "resources/Resources.h"
#include "toolkit/CBitmap.h"

namespace {

struct SharedImage {
    cairo_surface_t* surface;
    int32_t users;
};

struct SharedImages {
    std::mutex mutex;
    std::map<int32_t, SharedImage> byId;
};

// Never destroyed: a bitmap may outlive the static destructors. Kept in the
// library's static storage rather than on the heap, so that a host unloading
// the plug-in is left with nothing allocated (the map is empty by then).
SharedImages& shared() {
    alignas(SharedImages) static unsigned char storage[sizeof(SharedImages)];
    static SharedImages* images = new (storage) SharedImages();
    return *images;
}

void releaseSharedImage(int32_t id) {
    SharedImages& images = shared();
    std::lock_guard<std::mutex> lock(images.mutex);
    const auto it = images.byId.find(id);
    if (it == images.byId.end()) return;
    if (--it->second.users == 0) {
        cairo_surface_destroy(it->second.surface);
        images.byId.erase(it);
    }
}

}  // namespace

CBitmap::CBitmap(const CResourceDescription& description) : resourceId(description.id) {
    SharedImages& images = shared();
    std::lock_guard<std::mutex> lock(images.mutex);
    auto it = images.byId.find(description.id);
    if (it == images.byId.end()) {
        const zelto::EmbeddedImage* image = zelto::findEmbeddedImage(description.id);
        if (image == nullptr) return;
        cairo_surface_t* decoded = decodePng(image->png, image->pngSize);
        if (decoded == nullptr) return;
        if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(decoded);
            return;
        }
        it = images.byId.emplace(description.id, SharedImage{decoded, 0}).first;
    }
    ++it->second.users;
    releaseShared = releaseSharedImage;
    adopt(cairo_surface_reference(it->second.surface));
}
