// X windows for the tests that embed the editor in a window of their own
// (zelto gui, the LV2 and CLAP hosts): their children, and their pixels
// against a PNG of what they should show.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zelto_test {

/// The child windows of w, in stacking order.
inline std::vector<Window> children(Display* display, Window w) {
    Window root = 0, parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, w, &root, &parent, &list, &count) != 0) {
        result.assign(list, list + count);
        if (list != nullptr) XFree(list);
    }
    return result;
}

/// How many of the window's 524 x 462 pixels differ from the PNG file, -1
/// if either cannot be read.
inline int pixelsDifferingFrom(Display* display, Window window, const std::string& png) {
    cairo_surface_t* expected = cairo_image_surface_create_from_png(png.c_str());
    if (cairo_surface_status(expected) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(expected);
        return -1;
    }
    XImage* image = XGetImage(display, window, 0, 0, 524, 462, AllPlanes, ZPixmap);
    if (image == nullptr) {
        cairo_surface_destroy(expected);
        return -1;
    }
    const int stride = cairo_image_surface_get_stride(expected);
    const unsigned char* pixels = cairo_image_surface_get_data(expected);
    int differing = 0;
    for (int y = 0; y < 462; ++y) {
        for (int x = 0; x < 524; ++x) {
            uint32_t want;
            std::memcpy(&want, pixels + y * stride + 4 * x, 4);
            const unsigned long got = XGetPixel(image, x, y);
            if ((want & 0xFFFFFF) != (got & 0xFFFFFF)) ++differing;
        }
    }
    XDestroyImage(image);
    cairo_surface_destroy(expected);
    return differing;
}

}  // namespace zelto_test
