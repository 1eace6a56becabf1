// The native window under a frame: created inside the host's window, fed
// from the frame's offscreen image, and drained of its input events on
// idle. Internal to the toolkit. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "toolkit/CButtonState.h"
#include "toolkit/CRect.h"
#include "toolkit/VstKeys.h"
#include "toolkit/platform/NativeSurface.h"

namespace zelto::toolkit {

/// Where a window delivers its input, in frame coordinates.
class FrameEvents {
  public:
    virtual ~FrameEvents() = default;
    /// time: the window system's millisecond time stamp of the press.
    virtual void windowMouseDown(const CPoint& where, CButtonState buttons, uint32_t time) = 0;
    virtual void windowMouseUp(const CPoint& where, CButtonState buttons) = 0;
    virtual void windowMouseMoved(const CPoint& where, CButtonState buttons) = 0;
    virtual void windowMouseExited() = 0;
    virtual void windowWheel(const CPoint& where, float distance, CButtonState buttons) = 0;
    /// Answers whether the frame used the key.
    virtual bool windowKeyDown(VstKeyCode key) = 0;
    virtual bool windowKeyUp(VstKeyCode key) = 0;
    /// The window lost the keyboard focus to another window.
    virtual void windowFocusLost() = 0;
};

class PlatformWindow {
  public:
    /// The window system's implementation (X11 on Linux, Win32 on Windows).
    static std::unique_ptr<PlatformWindow> create();
    virtual ~PlatformWindow() = default;

    /// A child window of width x height inside parent. False when there is
    /// no display, no parent or the parent is not a window.
    virtual bool open(void* parent, int width, int height) = 0;
    /// Destroys the window and releases every resource of the display.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual unsigned long windowId() const = 0;

    /// Handles every queued event, delivering input to `events`.
    virtual void processEvents(FrameEvents& events) = 0;
    /// Copies these parts of image (opaque, window-sized) onto the window,
    /// plus whatever the window system asked to have repainted.
    virtual void present(NativeSurface* image, const std::vector<CRect>& rects) = 0;
    /// Gives the keyboard focus to the window (harmless when refused).
    virtual void takeFocus() = 0;
    /// The host's top-level window that holds this one (0 when unknown):
    /// what dialogs stay above.
    virtual unsigned long topLevelId() = 0;
    /// What a window that drives the frame on its own (Windows: a 30 ms
    /// timer) calls; windows that rely on the host's idle calls ignore it.
    virtual void setIdleHandler(std::function<void()> handler) { (void)handler; }
    /// A descriptor that turns readable when input for the window arrives,
    /// for hosts that watch it and idle the frame then; -1 where there is none.
    virtual int eventDescriptor() const { return -1; }
};

}  // namespace zelto::toolkit
