// The Windows images: creation, sharing, pixels, copies, and the plug-in's
// BITMAP resources loaded from the module. There is no PNG codec here: the
// artwork arrives as bitmaps, and snapshots are a Linux feature.
#include "toolkit/platform/win32/DibSurface.h"

#include <algorithm>

#include "platform/win32/ModuleHandle.h"
#include "toolkit/CBitmap.h"
#include "toolkit/platform/NativeSurface.h"

namespace zelto::toolkit {
namespace win32 {
namespace {

std::atomic<int32_t> gdiObjects{0};

BITMAPINFO topDownInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace

int32_t liveGdiObjects() {
    return gdiObjects.load(std::memory_order_relaxed);
}

void countGdiObject(int32_t delta) {
    gdiObjects.fetch_add(delta, std::memory_order_relaxed);
}

DibSurface* createDibSurface(int width, int height) {
    if (width < 1 || height < 1 || width > 32767 || height > 32767) return nullptr;
    const BITMAPINFO info = topDownInfo(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) DeleteObject(bitmap);
        return nullptr;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        DeleteObject(bitmap);
        return nullptr;
    }
    countGdiObject(2);
    auto* surface = new DibSurface();
    surface->bitmap = bitmap;
    surface->dc = dc;
    surface->previousBitmap = SelectObject(dc, bitmap);
    surface->bits = static_cast<uint32_t*>(bits);
    surface->width = width;
    surface->height = height;
    std::fill(surface->bits, surface->bits + static_cast<size_t>(width) * height, 0u);
    return surface;
}

}  // namespace win32

using win32::DibSurface;

NativeSurface* createOpaqueSurface(int width, int height) {
    return win32::createDibSurface(width, height);
}

NativeSurface* referenceSurface(NativeSurface* surface) {
    if (surface != nullptr) surface->references.fetch_add(1, std::memory_order_relaxed);
    return surface;
}

void releaseSurface(NativeSurface* surface) {
    if (surface == nullptr || surface->references.fetch_sub(1, std::memory_order_acq_rel) != 1) {
        return;
    }
    SelectObject(surface->dc, surface->previousBitmap);
    DeleteDC(surface->dc);
    DeleteObject(surface->bitmap);
    win32::countGdiObject(-2);
    delete surface;
}

int surfaceWidth(NativeSurface* surface) {
    return surface != nullptr ? surface->width : 0;
}

int surfaceHeight(NativeSurface* surface) {
    return surface != nullptr ? surface->height : 0;
}

uint32_t surfacePixel(NativeSurface* surface, int x, int y) {
    if (surface == nullptr || x < 0 || y < 0 || x >= surface->width || y >= surface->height) {
        return 0;
    }
    GdiFlush();  // GDI may still be drawing into the bits
    return surface->bits[static_cast<size_t>(y) * surface->width + x] & 0xffffffu;
}

bool copySurface(NativeSurface* source, NativeSurface* target) {
    if (source == nullptr || target == nullptr) return false;
    const int w = std::min(source->width, target->width);
    const int h = std::min(source->height, target->height);
    return BitBlt(target->dc, 0, 0, w, h, source->dc, 0, 0, SRCCOPY) != 0;
}

bool encodeSurfacePng(NativeSurface*, std::vector<uint8_t>& png) {
    png.clear();
    return false;
}

bool writeSurfacePng(NativeSurface*, const char*) {
    return false;
}

NativeSurface* loadResourceSurface(int32_t id) {
    if (id < 1 || id > 0xffff) return nullptr;
    HANDLE loaded = LoadImageW(zelto::win32::moduleHandle(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0,
                               0, LR_CREATEDIBSECTION);
    if (loaded == nullptr) return nullptr;
    auto* bitmap = static_cast<HBITMAP>(loaded);
    BITMAP shape{};
    DibSurface* surface = nullptr;
    if (GetObjectW(bitmap, sizeof shape, &shape) == sizeof shape) {
        surface = win32::createDibSurface(shape.bmWidth, std::abs(shape.bmHeight));
    }
    if (surface != nullptr) {
        // Whatever the resource's own depth and row order, the copy is the
        // toolkit's 32-bit top-down layout.
        BITMAPINFO info = win32::topDownInfo(surface->width, surface->height);
        GdiFlush();
        const int rows = GetDIBits(surface->dc, bitmap, 0, static_cast<UINT>(surface->height),
                                   surface->bits, &info, DIB_RGB_COLORS);
        if (rows != surface->height) {
            releaseSurface(surface);
            surface = nullptr;
        }
    }
    DeleteObject(bitmap);
    return surface;
}

}  // namespace zelto::toolkit

// CBitmap's backend part: images made in code.

CBitmap::CBitmap(CCoord w, CCoord h) {
    if (w >= 1 && h >= 1 && w <= 32767 && h <= 32767) {
        zelto::toolkit::win32::DibSurface* s =
            zelto::toolkit::win32::createDibSurface(static_cast<int>(w), static_cast<int>(h));
        if (s != nullptr) s->hasAlpha = true;
        adopt(s);
    }
}

CBitmap::CBitmap(int32_t w, int32_t h, const uint32_t* argbPixels) {
    if (w < 1 || h < 1 || w > 32767 || h > 32767 || argbPixels == nullptr) return;
    zelto::toolkit::win32::DibSurface* s = zelto::toolkit::win32::createDibSurface(w, h);
    if (s == nullptr) return;
    const size_t count = static_cast<size_t>(w) * static_cast<size_t>(h);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = argbPixels[i];
        const uint32_t a = p >> 24;
        if (a == 255) {
            s->bits[i] = p;
        } else {
            auto premultiply = [a](uint32_t c) { return (c * a + 127) / 255; };
            s->bits[i] = (a << 24) | (premultiply((p >> 16) & 255) << 16) |
                         (premultiply((p >> 8) & 255) << 8) | premultiply(p & 255);
            s->hasAlpha = true;
        }
    }
    adopt(s);
}

NativeSurface* CBitmap::decodePng(const uint8_t*, size_t) {
    return nullptr;
}
