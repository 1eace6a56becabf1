// An image: loaded from the plug-in's embedded images by integer id, or made
// from pixels in code. Bitmaps of the same id alive at the same time share
// one decoded image. An id that is not among the images, or data that do
// not decode, give an empty bitmap (0 x 0) that draws nothing. Reference
// counted: a view that keeps a bitmap remembers it and forgets it when done.
// Created and drawn on the user-interface thread; the pixels never change
// after construction.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/CBaseObject.h"
#include "toolkit/CRect.h"
#include "toolkit/platform/NativeSurface.h"

class CDrawContext;

/// An image by resource id (implicit, so `new CBitmap(128)` reads naturally).
struct CResourceDescription {
    constexpr CResourceDescription(int32_t id) : id(id) {}  // NOLINT: implicit by design
    int32_t id;
};

class CBitmap : public CBaseObject {
  public:
    /// The embedded image with this id; empty when there is none.
    explicit CBitmap(const CResourceDescription& description);
    /// A transparent image of this size.
    CBitmap(CCoord width, CCoord height);
    /// An image from 32-bit pixels, 0xAARRGGBB, row after row (stride =
    /// width). Fully opaque pixels stay exact; others are premultiplied.
    CBitmap(int32_t width, int32_t height, const uint32_t* argbPixels);
    /// Takes its own reference on an image of the backend.
    explicit CBitmap(NativeSurface* imageSurface);
    /// Decodes PNG bytes; empty when they do not decode (always on
    /// Windows, which has no PNG decoder here: its images are bitmaps).
    static CBitmap* fromPng(const uint8_t* data, size_t size);
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    bool isLoaded() const { return surface != nullptr; }
    int32_t getResourceId() const { return resourceId; }
    NativeSurface* getSurface() const { return surface; }

    /// Draws the part at sourceOffset into destRect; see CDrawContext.
    void draw(CDrawContext* context, const CRect& destRect,
              const CPoint& sourceOffset = CPoint(0, 0), float alpha = 1.0f) const;

  private:
    CBitmap() = default;
    /// Takes over the caller's reference; an unusable image is released.
    void adopt(NativeSurface* imageSurface);
    /// A new image from PNG bytes, or nullptr.
    static NativeSurface* decodePng(const uint8_t* data, size_t size);

    NativeSurface* surface = nullptr;
    // Set for images shared by id: gives the share back on destruction.
    void (*releaseShared)(int32_t id) = nullptr;
    CCoord width = 0;
    CCoord height = 0;
    int32_t resourceId = -1;
};
