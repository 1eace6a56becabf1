// The images as Windows bitmaps: 24-bit, bottom-up, rows padded to four
// bytes, as the plug-in's BITMAP resources carry them (a resource compiler
// drops the file header), and the resource script that lists them.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zelto::art {

/// A whole .bmp file (file header, BITMAPINFOHEADER, pixels) of an opaque
/// image: every pixel's colour as it is, the alpha channel dropped.
std::string encodeBmp(cairo_surface_t* image);

/// A resource script: `<id> BITMAP "<path>"` per image, each preceded by a
/// comment with a checksum of the file, so the script changes (and the
/// resource compiler runs again) whenever an image does.
std::string resourceScript(const std::vector<std::pair<int32_t, std::string>>& paths,
                           const std::vector<std::string>& contents);

/// A path quoted for a resource script.
std::string quotedForResourceScript(const std::string& path);

}  // namespace zelto::art
