// The frame's window on X11: its own display connection, a child window of
// the host's window, the frame's image copied onto it, input events turned
// into frame events. User-interface thread only.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "toolkit/platform/PlatformWindow.h"

namespace zelto::toolkit {

class X11Window final : public PlatformWindow {
  public:
    X11Window() = default;
    ~X11Window() override;

    bool open(void* parent, int width, int height) override;
    void close() override;
    bool isOpen() const override { return display != nullptr && window != 0; }
    unsigned long windowId() const override { return window; }
    void processEvents(FrameEvents& events) override;
    void present(cairo_surface_t* image, const std::vector<CRect>& rects) override;
    void takeFocus() override;
    unsigned long topLevelId() override;
    /// The display connection's socket.
    int eventDescriptor() const override {
        return display != nullptr ? ConnectionNumber(display) : -1;
    }

  private:
    void handle(XEvent& event, FrameEvents& events);
    void putRect(cairo_surface_t* image, const CRect& rect);
    void forwardKeyToParent(XEvent& event);

    Display* display = nullptr;
    Window parentWindow = 0;
    Window window = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
    bool windowGone = false;  // destroyed by the server with the host's window
    std::vector<CRect> exposed;
};

}  // namespace zelto::toolkit
