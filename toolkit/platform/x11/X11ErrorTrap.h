// Catches the X protocol errors of one display for the length of a scope,
// so a request that fails (a window the host already destroyed, a focus
// change the server refuses) is reported instead of ending the host process
// through Xlib's default error handler. Errors of other displays go on to
// the handler that was installed before. User-interface thread; traps on
// several threads wait for each other.
#pragma once

#include <X11/Xlib.h>

#include <mutex>

namespace zelto::toolkit {

class X11ErrorTrap {
  public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    /// Waits for the server to answer everything sent so far; true when any
    /// request since the trap was set failed.
    bool failed();

  private:
    std::unique_lock<std::mutex> lock;
    Display* display;
    XErrorHandler previous;
};

}  // namespace zelto::toolkit
