// Loading a CBitmap by resource id from the images carried by the plug-in
// (the backend finds and decodes them). An editor asks for
// the same image many times (the window background behind every text
// field), so images alive at the same time are decoded once and shared;
// the last bitmap of an id to go frees the decoded image.
#include <map>
#include <mutex>
#include <new>

#include "toolkit/CBitmap.h"
#include "toolkit/platform/NativeSurface.h"

namespace {

struct SharedImage {
    NativeSurface* surface;
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
        zelto::toolkit::releaseSurface(it->second.surface);
        images.byId.erase(it);
    }
}

}  // namespace

CBitmap::CBitmap(const CResourceDescription& description) : resourceId(description.id) {
    SharedImages& images = shared();
    std::lock_guard<std::mutex> lock(images.mutex);
    auto it = images.byId.find(description.id);
    if (it == images.byId.end()) {
        NativeSurface* loaded = zelto::toolkit::loadResourceSurface(description.id);
        if (loaded == nullptr) return;
        if (zelto::toolkit::surfaceWidth(loaded) < 1 || zelto::toolkit::surfaceHeight(loaded) < 1) {
            zelto::toolkit::releaseSurface(loaded);
            return;
        }
        it = images.byId.emplace(description.id, SharedImage{loaded, 0}).first;
    }
    ++it->second.users;
    releaseShared = releaseSharedImage;
    adopt(zelto::toolkit::referenceSurface(it->second.surface));
}
