// CBitmap: ownership of the backend's image and drawing through a context.
// Making images from pixels or PNG is the backend's (toolkit/platform);
// loading by resource id is CBitmapResource.cpp's.
#include "toolkit/CBitmap.h"

#include "toolkit/CDrawContext.h"

CBitmap::CBitmap(NativeSurface* imageSurface) {
    adopt(zelto::toolkit::referenceSurface(imageSurface));
}

CBitmap* CBitmap::fromPng(const uint8_t* data, size_t size) {
    auto* bitmap = new CBitmap();
    bitmap->adopt(decodePng(data, size));
    return bitmap;
}

void CBitmap::adopt(NativeSurface* s) {
    if (s == nullptr) return;
    const int w = zelto::toolkit::surfaceWidth(s);
    const int h = zelto::toolkit::surfaceHeight(s);
    if (w < 1 || h < 1) {
        zelto::toolkit::releaseSurface(s);
        return;
    }
    surface = s;
    width = w;
    height = h;
}

CBitmap::~CBitmap() {
    zelto::toolkit::releaseSurface(surface);
    if (releaseShared != nullptr) releaseShared(resourceId);
}

void CBitmap::draw(CDrawContext* context, const CRect& destRect, const CPoint& sourceOffset,
                   float alpha) const {
    if (context != nullptr) context->drawBitmap(*this, destRect, sourceOffset, alpha);
}
