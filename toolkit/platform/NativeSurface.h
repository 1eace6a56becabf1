// The image type the toolkit draws into (and the drawing state on it), chosen per platform: a cairo
// image surface on Linux, a device-independent bitmap section on Windows. Frames, bitmaps and draw
// contexts pass it around as an opaque pointer; only the backend in toolkit/platform/<backend>
// looks inside.
#pragma once

#include <cstdint>
#include <vector>

#if defined(_WIN32)
namespace zelto::toolkit::win32 {
struct DibSurface;
struct GdiContext;
}  // namespace zelto::toolkit::win32
using NativeSurface = zelto::toolkit::win32::DibSurface;
using NativeContext = zelto::toolkit::win32::GdiContext;
#else
typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
using NativeSurface = cairo_surface_t;
using NativeContext = cairo_t;
#endif

namespace zelto::toolkit {

/// An opaque image of this size (black), or nullptr when it cannot be made.
NativeSurface* createOpaqueSurface(int width, int height);
/// Another owner for surface (answers it); null stays null.
NativeSurface* referenceSurface(NativeSurface* surface);
/// Gives up one owner; the last frees the image. Null is harmless.
void releaseSurface(NativeSurface* surface);
int surfaceWidth(NativeSurface* surface);
int surfaceHeight(NativeSurface* surface);
/// One pixel as 0xRRGGBB (colour channels only); 0 outside the image.
uint32_t surfacePixel(NativeSurface* surface, int x, int y);
/// Copies source onto target at 0, 0, replacing what was there.
bool copySurface(NativeSurface* source, NativeSurface* target);
/// The plug-in's own image with this resource id (a new reference), or
/// nullptr when there is none.
NativeSurface* loadResourceSurface(int32_t id);
/// The image as PNG bytes; false where no encoder is available.
bool encodeSurfacePng(NativeSurface* surface, std::vector<uint8_t>& png);
/// The image as a PNG file; false on any failure or without an encoder.
bool writeSurfacePng(NativeSurface* surface, const char* path);

}  // namespace zelto::toolkit
