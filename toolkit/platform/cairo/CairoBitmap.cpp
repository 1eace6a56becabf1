// CBitmap on cairo: images made in code and decoded from PNG. Shared parts
// (ownership, drawing) are in toolkit/CBitmap.cpp.
#include "toolkit/CBitmap.h"

#include <cairo.h>

#include <cstring>

namespace {

struct PngReader {
    const uint8_t* data;
    size_t size;
    size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->position) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

CBitmap::CBitmap(CCoord w, CCoord h) {
    if (w >= 1 && h >= 1 && w <= 32767 && h <= 32767) {
        adopt(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(w),
                                         static_cast<int>(h)));
    }
}

CBitmap::CBitmap(int32_t w, int32_t h, const uint32_t* argbPixels) {
    if (w < 1 || h < 1 || w > 32767 || h > 32767 || argbPixels == nullptr) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    cairo_surface_flush(s);
    unsigned char* base = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int32_t y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(base + static_cast<ptrdiff_t>(y) * stride);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t p = argbPixels[static_cast<size_t>(y) * static_cast<size_t>(w) +
                                          static_cast<size_t>(x)];
            const uint32_t a = p >> 24;
            if (a == 255) {
                row[x] = p;
            } else {
                auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
                row[x] = (a << 24) | (premultiply((p >> 16) & 255) << 16) |
                         (premultiply((p >> 8) & 255) << 8) | premultiply(p & 255);
            }
        }
    }
    cairo_surface_mark_dirty(s);
    adopt(s);
}

NativeSurface* CBitmap::decodePng(const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0) return nullptr;
    PngReader reader{data, size, 0};
    return cairo_image_surface_create_from_png_stream(readPng, &reader);
}
