// X error trap: a process-wide handler swapped in for the scope.
#include "toolkit/platform/x11/X11ErrorTrap.h"

#include <atomic>

namespace zelto::toolkit {
namespace {

std::mutex trapMutex;
std::atomic<Display*> trapDisplay{nullptr};
std::atomic<int> trapErrorCode{0};
std::atomic<XErrorHandler> chainedHandler{nullptr};

int trapHandler(Display* display, XErrorEvent* error) {
    if (display == trapDisplay.load()) {
        trapErrorCode.store(error->error_code);
        return 0;
    }
    const XErrorHandler chained = chainedHandler.load();
    return chained != nullptr ? chained(display, error) : 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display) : lock(trapMutex), display(display) {
    if (display != nullptr) XSync(display, False);
    trapErrorCode.store(0);
    trapDisplay.store(display);
    previous = XSetErrorHandler(trapHandler);
    chainedHandler.store(previous);
}

X11ErrorTrap::~X11ErrorTrap() {
    if (display != nullptr) XSync(display, False);
    XSetErrorHandler(previous);
    trapDisplay.store(nullptr);
    chainedHandler.store(nullptr);
}

bool X11ErrorTrap::failed() {
    if (display != nullptr) XSync(display, False);
    return trapErrorCode.load() != 0;
}

}  // namespace zelto::toolkit
