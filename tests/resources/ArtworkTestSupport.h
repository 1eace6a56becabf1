// Helpers for the artwork tests: decode an embedded image the way the toolkit
// does (cairo's PNG reader), read pixels, compare frames, and the catalogue
// and window positions the artwork is drawn for.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resources/Resources.h"

namespace zelto::test {

struct Colour {
    int r, g, b;
    bool operator==(const Colour& o) const { return r == o.r && g == o.g && b == o.b; }
    double luminance() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
};

inline std::ostream& operator<<(std::ostream& os, const Colour& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

/// An embedded image decoded to 24-bit pixels.
class Picture {
  public:
    explicit Picture(int32_t id) {
        const EmbeddedImage* image = findEmbeddedImage(id);
        if (image == nullptr) return;
        Reader reader{image->png, image->pngSize, 0};
        cairo_surface_t* s = cairo_image_surface_create_from_png_stream(&Reader::read, &reader);
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
            width_ = cairo_image_surface_get_width(s);
            height_ = cairo_image_surface_get_height(s);
            format_ = cairo_image_surface_get_format(s);
            const int stride = cairo_image_surface_get_stride(s);
            const unsigned char* data = cairo_image_surface_get_data(s);
            pixels_.resize(size_t(width_) * size_t(height_));
            for (int y = 0; y < height_; ++y) {
                std::memcpy(&pixels_[size_t(y) * size_t(width_)], data + size_t(y) * size_t(stride),
                            size_t(width_) * 4);
            }
        }
        cairo_surface_destroy(s);
    }

    bool valid() const { return !pixels_.empty(); }
    int width() const { return width_; }
    int height() const { return height_; }
    cairo_format_t format() const { return format_; }

    Colour at(int x, int y) const {
        const uint32_t p = pixels_[size_t(y) * size_t(width_) + size_t(x)];
        return {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    }
    uint32_t raw(int x, int y) const {
        return pixels_[size_t(y) * size_t(width_) + size_t(x)] & 0xFFFFFF;
    }
    double luminance(double x, double y) const { return bilinear(x, y); }

    /// The pixels of rows [top, top + h) as one value list, for comparing frames.
    std::vector<uint32_t> rows(int top, int h) const {
        std::vector<uint32_t> out;
        for (int y = top; y < top + h; ++y) {
            for (int x = 0; x < width_; ++x) out.push_back(raw(x, y));
        }
        return out;
    }

  private:
    struct Reader {
        const uint8_t* data;
        size_t size, pos;
        static cairo_status_t read(void* closure, unsigned char* out, unsigned int length) {
            auto* r = static_cast<Reader*>(closure);
            if (r->size - r->pos < length) return CAIRO_STATUS_READ_ERROR;
            std::memcpy(out, r->data + r->pos, length);
            r->pos += length;
            return CAIRO_STATUS_SUCCESS;
        }
    };

    // Luminance between pixel centres; (x, y) in image coordinates where the
    // pixel (i, j) covers [i, i + 1) × [j, j + 1).
    double bilinear(double x, double y) const {
        x -= 0.5, y -= 0.5;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const double fx = x - x0, fy = y - y0;
        auto lum = [&](int px, int py) {
            px = std::clamp(px, 0, width_ - 1), py = std::clamp(py, 0, height_ - 1);
            return at(px, py).luminance();
        };
        const double top = lum(x0, y0) * (1 - fx) + lum(x0 + 1, y0) * fx;
        const double bottom = lum(x0, y0 + 1) * (1 - fx) + lum(x0 + 1, y0 + 1) * fx;
        return top * (1 - fy) + bottom * fy;
    }

    int width_ = 0, height_ = 0;
    cairo_format_t format_ = CAIRO_FORMAT_INVALID;
    std::vector<uint32_t> pixels_;
};

/// Id, size and frame count of every image the window and the preset strip load.
struct CatalogueEntry {
    int32_t id, width, height, frames;
};

inline const std::vector<CatalogueEntry>& catalogue() {
    static const std::vector<CatalogueEntry> entries = {
        {128, 524, 462, 1},   {129, 15, 432, 1},    {130, 15, 432, 1},    {131, 27, 367, 1},
        {132, 27, 367, 1},    {133, 27, 367, 1},    {134, 27, 367, 1},    {135, 27, 367, 1},
        {136, 27, 367, 1},    {137, 5, 1536, 192},  {138, 5, 1536, 192},  {139, 33, 38, 2},
        {140, 33, 38, 2},     {141, 35, 392, 7},    {142, 33, 114, 6},    {143, 33, 133, 7},
        {144, 33, 57, 3},     {145, 33, 133, 7},    {146, 90, 75, 3},     {147, 48, 4747, 101},
        {148, 48, 4747, 101}, {149, 35, 70, 2},     {150, 56, 5555, 101}, {151, 58, 5656, 101},
        {152, 50, 4848, 101}, {153, 49, 4747, 101}, {154, 15, 432, 1},    {155, 15, 432, 1},
        {156, 15, 203, 1},    {160, 33, 57, 3},     {161, 18, 72, 3},     {162, 33, 38, 2},
        {163, 33, 57, 3},     {164, 33, 57, 3},     {165, 33, 57, 3},     {166, 33, 57, 3},
        {167, 58, 306, 2},    {989, 11, 27, 3},     {990, 17, 45, 3},     {991, 17, 45, 3},
        {992, 32, 39, 3},     {993, 44, 39, 3},     {994, 7, 7, 1},       {995, 30, 65, 5},
    };
    return entries;
}

/// A window rectangle: left and top inclusive, right and bottom exclusive.
struct WindowRect {
    int left, top, right, bottom;
};

}  // namespace zelto::test
