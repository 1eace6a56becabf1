// The Linux image: cairo image surfaces (RGB24 for opaque images, ARGB32
// premultiplied for bitmaps with transparency), PNG through cairo.
#include <cairo.h>

#include <cstddef>
#include <cstring>

#include "toolkit/platform/NativeSurface.h"

namespace zelto::toolkit {
namespace {

bool isImage(cairo_surface_t* s) {
    return s != nullptr && cairo_surface_status(s) == CAIRO_STATUS_SUCCESS &&
           cairo_surface_get_type(s) == CAIRO_SURFACE_TYPE_IMAGE;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

NativeSurface* createOpaqueSurface(int width, int height) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    return s;
}

NativeSurface* referenceSurface(NativeSurface* surface) {
    return surface != nullptr ? cairo_surface_reference(surface) : nullptr;
}

void releaseSurface(NativeSurface* surface) {
    if (surface != nullptr) cairo_surface_destroy(surface);
}

int surfaceWidth(NativeSurface* surface) {
    return isImage(surface) ? cairo_image_surface_get_width(surface) : 0;
}

int surfaceHeight(NativeSurface* surface) {
    return isImage(surface) ? cairo_image_surface_get_height(surface) : 0;
}

uint32_t surfacePixel(NativeSurface* surface, int x, int y) {
    if (x < 0 || y < 0 || x >= surfaceWidth(surface) || y >= surfaceHeight(surface)) return 0;
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    uint32_t p = 0;
    std::memcpy(&p, data + static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(x) * 4, 4);
    return p & 0xffffffu;
}

bool copySurface(NativeSurface* source, NativeSurface* target) {
    if (source == nullptr || target == nullptr ||
        cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_t* cr = cairo_create(target);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_paint(cr);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(target);
    return ok;
}

bool encodeSurfacePng(NativeSurface* surface, std::vector<uint8_t>& png) {
    png.clear();
    return surface != nullptr &&
           cairo_surface_write_to_png_stream(surface, appendBytes, &png) == CAIRO_STATUS_SUCCESS;
}

bool writeSurfacePng(NativeSurface* surface, const char* path) {
    return surface != nullptr && path != nullptr &&
           cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

}  // namespace zelto::toolkit
