// X11Window: creation inside the host window, event translation, and the
// copy of the frame's image onto the window.
#include "toolkit/platform/x11/X11Window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "toolkit/platform/x11/X11ErrorTrap.h"
#include "toolkit/platform/x11/X11Keys.h"

namespace zelto::toolkit {

std::unique_ptr<PlatformWindow> PlatformWindow::create() {
    return std::make_unique<X11Window>();
}

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            FocusChangeMask | StructureNotifyMask;

int32_t modifiersOf(unsigned int state) {
    int32_t buttons = 0;
    if (state & ShiftMask) buttons |= kShift;
    if (state & ControlMask) buttons |= kControl;
    if (state & Mod1Mask) buttons |= kAlt;
    return buttons;
}

int32_t heldButtonsOf(unsigned int state) {
    int32_t buttons = 0;
    if (state & Button1Mask) buttons |= kLButton;
    if (state & Button2Mask) buttons |= kMButton;
    if (state & Button3Mask) buttons |= kRButton;
    return buttons;
}

int32_t buttonFlag(unsigned int button) {
    switch (button) {
        case Button1:
            return kLButton;
        case Button2:
            return kMButton;
        case Button3:
            return kRButton;
        case 8:
            return kButton4;
        case 9:
            return kButton5;
        default:
            return 0;
    }
}

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

unsigned long scaleToMask(uint32_t channel, unsigned long mask) {
    if (mask == 0) return 0;
    const int shift = shiftOf(mask);
    const unsigned long max = mask >> shift;
    return ((static_cast<unsigned long>(channel) * max + 127) / 255) << shift;
}

}  // namespace

X11Window::~X11Window() {
    close();
}

bool X11Window::open(void* parent, int w, int h) {
    close();
    if (parent == nullptr || w < 1 || h < 1) return false;
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    parentWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
    width = w;
    height = h;
    const int screen = DefaultScreen(display);
    bool ok = false;
    {
        X11ErrorTrap trap(display);
        XWindowAttributes parentAttributes;
        if (XGetWindowAttributes(display, parentWindow, &parentAttributes) != 0 && !trap.failed()) {
            visual = DefaultVisual(display, screen);
            depth = DefaultDepth(display, screen);
            XSetWindowAttributes attributes{};
            attributes.colormap = DefaultColormap(display, screen);
            attributes.border_pixel = 0;
            attributes.background_pixmap = None;
            attributes.event_mask = kEventMask;
            attributes.bit_gravity = NorthWestGravity;
            window = XCreateWindow(
                display, parentWindow, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                depth, InputOutput, visual,
                CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask | CWBitGravity,
                &attributes);
            // Embedding protocol version 0, mapped; and a fixed size.
            const Atom xembedInfo = XInternAtom(display, "_XEMBED_INFO", False);
            const long info[2] = {0, 1};
            XChangeProperty(display, window, xembedInfo, xembedInfo, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(info), 2);
            XSizeHints* hints = XAllocSizeHints();
            if (hints != nullptr) {
                hints->flags = PMinSize | PMaxSize | PBaseSize;
                hints->min_width = hints->max_width = hints->base_width = w;
                hints->min_height = hints->max_height = hints->base_height = h;
                XSetWMNormalHints(display, window, hints);
                XFree(hints);
            }
            gc = XCreateGC(display, window, 0, nullptr);
            XMapWindow(display, window);
            ok = !trap.failed();
        }
    }
    if (!ok) {
        close();
        return false;
    }
    return true;
}

void X11Window::close() {
    if (display == nullptr) return;
    {
        X11ErrorTrap trap(display);
        if (gc != nullptr) XFreeGC(display, gc);
        if (window != 0 && !windowGone) XDestroyWindow(display, window);
    }
    XCloseDisplay(display);
    display = nullptr;
    gc = nullptr;
    window = 0;
    windowGone = false;
    exposed.clear();
}

void X11Window::processEvents(FrameEvents& events) {
    while (display != nullptr && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.xany.window != window) continue;
        // Only the latest position of a run of moves matters; a move after a
        // release stays after it.
        while (event.type == MotionNotify && XPending(display) > 0) {
            XEvent next;
            XPeekEvent(display, &next);
            if (next.type != MotionNotify || next.xany.window != window) break;
            XNextEvent(display, &event);
        }
        handle(event, events);
        // A handler may have closed the window; `display` tells.
    }
}

void X11Window::handle(XEvent& event, FrameEvents& events) {
    switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            exposed.emplace_back(e.x, e.y, e.x + e.width, e.y + e.height);
            break;
        }
        case ButtonPress: {
            const XButtonEvent& e = event.xbutton;
            const CPoint where(e.x, e.y);
            const int32_t mods = modifiersOf(e.state);
            if (e.button == Button4 || e.button == Button5) {
                events.windowWheel(where, e.button == Button4 ? 1.0f : -1.0f,
                                   mods | heldButtonsOf(e.state));
            } else if (const int32_t flag = buttonFlag(e.button); flag != 0) {
                events.windowMouseDown(where, flag | heldButtonsOf(e.state) | mods,
                                       static_cast<uint32_t>(e.time));
            }
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& e = event.xbutton;
            if (const int32_t flag = buttonFlag(e.button); flag != 0) {
                events.windowMouseUp(CPoint(e.x, e.y), flag | modifiersOf(e.state));
            }
            break;
        }
        case MotionNotify: {
            const XMotionEvent& e = event.xmotion;
            events.windowMouseMoved(CPoint(e.x, e.y),
                                    heldButtonsOf(e.state) | modifiersOf(e.state));
            break;
        }
        case EnterNotify: {
            const XCrossingEvent& e = event.xcrossing;
            events.windowMouseMoved(CPoint(e.x, e.y),
                                    heldButtonsOf(e.state) | modifiersOf(e.state));
            break;
        }
        case LeaveNotify:
            if (event.xcrossing.mode == NotifyNormal) events.windowMouseExited();
            break;
        case KeyPress:
        case KeyRelease: {
            char text[8] = {};
            KeySym keysym = 0;
            const int length = XLookupString(&event.xkey, text, sizeof text - 1, &keysym, nullptr);
            const VstKeyCode key = vstKeyFromX(keysym, text, length, event.xkey.state);
            const bool used =
                event.type == KeyPress ? events.windowKeyDown(key) : events.windowKeyUp(key);
            if (!used && display != nullptr) forwardKeyToParent(event);
            break;
        }
        case FocusOut: {
            const XFocusChangeEvent& e = event.xfocus;
            if (e.mode == NotifyNormal && e.detail != NotifyInferior && e.detail != NotifyPointer) {
                events.windowFocusLost();
            }
            break;
        }
        case DestroyNotify:
            if (event.xdestroywindow.window == window) windowGone = true;
            break;
        default:
            break;
    }
}

void X11Window::forwardKeyToParent(XEvent& event) {
    // Keys we do not use belong to the host (transport shortcuts and so on).
    if (parentWindow == 0) return;
    X11ErrorTrap trap(display);
    XEvent copy = event;
    copy.xkey.window = parentWindow;
    copy.xkey.subwindow = None;
    XSendEvent(display, parentWindow, True, event.type == KeyPress ? KeyPressMask : KeyReleaseMask,
               &copy);
}

void X11Window::takeFocus() {
    if (display == nullptr || window == 0 || windowGone) return;
    // Refused (BadMatch) while the window is not viewable; that is harmless.
    X11ErrorTrap trap(display);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
}

unsigned long X11Window::topLevelId() {
    if (display == nullptr || window == 0 || windowGone) return 0;
    X11ErrorTrap trap(display);
    Window current = window;
    for (int depth = 0; depth < 64; ++depth) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, current, &root, &parent, &children, &count) == 0) return 0;
        if (children != nullptr) XFree(children);
        if (parent == 0 || parent == root) return current;
        current = parent;
    }
    return 0;
}

void X11Window::present(cairo_surface_t* image, const std::vector<CRect>& rects) {
    if (display == nullptr || window == 0 || windowGone || image == nullptr) {
        exposed.clear();
        return;
    }
    std::vector<CRect> all = rects;
    all.insert(all.end(), exposed.begin(), exposed.end());
    exposed.clear();
    if (all.empty()) return;
    cairo_surface_flush(image);
    X11ErrorTrap trap(display);
    for (const CRect& r : all) putRect(image, r);
    if (trap.failed()) windowGone = true;
}

void X11Window::putRect(cairo_surface_t* image, const CRect& rect) {
    const int imageWidth = std::min(width, cairo_image_surface_get_width(image));
    const int imageHeight = std::min(height, cairo_image_surface_get_height(image));
    const int x0 = std::max(0, static_cast<int>(rect.left));
    const int y0 = std::max(0, static_cast<int>(rect.top));
    const int x1 = std::min(imageWidth, static_cast<int>(rect.right));
    const int y1 = std::min(imageHeight, static_cast<int>(rect.bottom));
    if (x1 <= x0 || y1 <= y0) return;
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);

    // The common case: a 24-bit true-colour visual stores pixels exactly as
    // cairo's RGB24 does, so the image goes out as it is.
    const bool direct = depth == 24 && visual->c_class == TrueColor &&
                        visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
                        visual->blue_mask == 0xff;
    if (direct) {
        XImage* ximage =
            XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                         reinterpret_cast<char*>(data), static_cast<unsigned>(imageWidth),
                         static_cast<unsigned>(imageHeight), 32, stride);
        if (ximage != nullptr && ximage->bits_per_pixel == 32) {
            ximage->byte_order = LSBFirst;
            XPutImage(display, window, gc, ximage, x0, y0, x0, y0, static_cast<unsigned>(x1 - x0),
                      static_cast<unsigned>(y1 - y0));
            ximage->data = nullptr;  // cairo's memory, not ours to free
            XDestroyImage(ximage);
            return;
        }
        if (ximage != nullptr) {
            ximage->data = nullptr;
            XDestroyImage(ximage);
        }
    }

    // Any other visual: convert pixel by pixel into an image of its own.
    const int w = x1 - x0;
    const int h = y1 - y0;
    XImage* ximage =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (ximage == nullptr) return;
    ximage->data = static_cast<char*>(
        std::calloc(static_cast<size_t>(ximage->bytes_per_line), static_cast<size_t>(h)));
    if (ximage->data == nullptr) {
        XDestroyImage(ximage);
        return;
    }
    const unsigned long colourBits = visual->red_mask | visual->green_mask | visual->blue_mask;
    const unsigned long otherBits =
        depth >= 32 ? (0xffffffffUL & ~colourBits) : ((1UL << depth) - 1) & ~colourBits;
    for (int y = 0; y < h; ++y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y + y0) * stride);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x + x0];
            const unsigned long pixel = scaleToMask((p >> 16) & 255, visual->red_mask) |
                                        scaleToMask((p >> 8) & 255, visual->green_mask) |
                                        scaleToMask(p & 255, visual->blue_mask) | otherBits;
            XPutPixel(ximage, x, y, pixel);
        }
    }
    XPutImage(display, window, gc, ximage, 0, 0, x0, y0, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    XDestroyImage(ximage);  // frees the converted pixels too
}

}  // namespace zelto::toolkit
