// The Windows image: a 32-bit top-down device-independent bitmap section
// (xRGB, like cairo's RGB24; premultiplied ARGB where the image has
// transparency), kept selected in a memory device context of its own so it
// can be drawn on and blitted from at any time. Reference counted because
// bitmaps of one resource id share one image. User-interface thread only
// (the count itself is atomic).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace zelto::toolkit::win32 {

struct DibSurface {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previousBitmap = nullptr;
    uint32_t* bits = nullptr;  // row after row, top first, `width` pixels each
    int width = 0;
    int height = 0;
    bool hasAlpha = false;  // some pixel is not opaque: draw with blending
    std::atomic<int32_t> references{1};
};

/// A new image of this size, every pixel 0 (transparent black), or nullptr.
DibSurface* createDibSurface(int width, int height);

/// How many GDI objects (device contexts, bitmaps, fonts, pens, brushes,
/// regions) the toolkit holds at this moment: every creation counts up,
/// every deletion down. For leak checks where the system does not count.
int32_t liveGdiObjects();
/// Book-keeping for liveGdiObjects around the toolkit's own creations.
void countGdiObject(int32_t delta);

}  // namespace zelto::toolkit::win32
