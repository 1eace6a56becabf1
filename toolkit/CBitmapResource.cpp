// Loading a CBitmap by resource id from the images embedded in the plug-in.
// The only place the toolkit touches the image library.
#include "resources/Resources.h"
#include "toolkit/CBitmap.h"

CBitmap::CBitmap(const CResourceDescription& description) : resourceId(description.id) {
    const zelto::EmbeddedImage* image = zelto::findEmbeddedImage(description.id);
    if (image == nullptr) return;
    adopt(decodePng(image->png, image->pngSize));
}
