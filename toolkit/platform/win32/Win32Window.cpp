// Win32Window: class registration, creation inside the host's window, the
// window procedure's translation into queued frame events, painting, timer.
#include "toolkit/platform/win32/Win32Window.h"

#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "platform/win32/ModuleHandle.h"
#include "toolkit/platform/win32/DibSurface.h"
#include "toolkit/platform/win32/Win32Keys.h"

namespace zelto::toolkit {

std::unique_ptr<PlatformWindow> PlatformWindow::create() {
    return std::make_unique<win32::Win32Window>();
}

namespace win32 {
namespace {

constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleIntervalMs = 30;

// Windows of ours alive in this module; the class goes with the last one, so
// a host that unloads the plug-in finds no class pointing into freed code.
int windowCount = 0;

bool held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

int32_t modifiers() {
    int32_t m = 0;
    if (held(VK_SHIFT)) m |= kShift;
    if (held(VK_CONTROL)) m |= kControl;
    if (held(VK_MENU)) m |= kAlt;
    return m;
}

int32_t heldButtons(WPARAM keys) {
    int32_t b = 0;
    if (keys & MK_LBUTTON) b |= kLButton;
    if (keys & MK_MBUTTON) b |= kMButton;
    if (keys & MK_RBUTTON) b |= kRButton;
    if (keys & MK_XBUTTON1) b |= kButton4;
    if (keys & MK_XBUTTON2) b |= kButton5;
    return b;
}

bool anyButton(WPARAM keys) {
    return (keys & (MK_LBUTTON | MK_MBUTTON | MK_RBUTTON | MK_XBUTTON1 | MK_XBUTTON2)) != 0;
}

unsigned char keyModifiers() {
    return vstModifiers(held(VK_SHIFT), held(VK_CONTROL), held(VK_MENU));
}

HWND toHwnd(void* pointer) {
    return static_cast<HWND>(pointer);
}

}  // namespace

const wchar_t* Win32Window::className() {
    // One class per module: another copy of the plug-in (or another build
    // with the same toolkit) in the same host registers its own.
    static wchar_t name[64] = {};
    if (name[0] == 0) {
        std::swprintf(name, sizeof name / sizeof name[0], L"KRWZeltoFrame%llx",
                      static_cast<unsigned long long>(
                          reinterpret_cast<uintptr_t>(zelto::win32::moduleHandle())));
    }
    return name;
}

int Win32Window::liveWindows() {
    return windowCount;
}

Win32Window::~Win32Window() {
    *alive = false;
    close();
}

bool Win32Window::open(void* parent, int w, int h) {
    close();
    if (parent == nullptr || w < 1 || h < 1 || !IsWindow(toHwnd(parent))) return false;
    HINSTANCE module = zelto::win32::moduleHandle();
    if (windowCount == 0) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = className();
        // A class left behind by a copy of the module that was never
        // unloaded cleanly is ours too; registering again would fail.
        if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
    }
    ++windowCount;
    counted = true;
    parentWindow = toHwnd(parent);
    width = w;
    height = h;
    hwnd = CreateWindowExW(0, className(), L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, w, h,
                           parentWindow, nullptr, module, this);
    if (hwnd == nullptr) {
        close();
        return false;
    }
    SetTimer(hwnd, kIdleTimer, kIdleIntervalMs, nullptr);
    return true;
}

void Win32Window::close() {
    events.clear();
    releaseSurface(image);
    image = nullptr;
    if (hwnd != nullptr) {
        HWND window = hwnd;
        hwnd = nullptr;
        // The messages DestroyWindow sends must not reach this object any more.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (IsWindow(window)) {
            KillTimer(window, kIdleTimer);
            if (GetCapture() == window) ReleaseCapture();
            DestroyWindow(window);
        }
    }
    tracking = false;
    parentWindow = nullptr;
    // The window is gone by now (here or with the host's), so the class of
    // the last one can go too.
    if (counted) {
        counted = false;
        if (--windowCount == 0) UnregisterClassW(className(), zelto::win32::moduleHandle());
    }
}

unsigned long Win32Window::windowId() const {
    return HandleToULong(hwnd);
}

unsigned long Win32Window::topLevelId() {
    if (hwnd == nullptr) return 0;
    return HandleToULong(GetAncestor(hwnd, GA_ROOT));
}

void Win32Window::takeFocus() {
    if (hwnd != nullptr && GetFocus() != hwnd) SetFocus(hwnd);
}

void Win32Window::setIdleHandler(std::function<void()> handler) {
    idleHandler = std::move(handler);
}

void Win32Window::queue(const Event& event) {
    // Only the latest position of a run of moves matters.
    if (event.kind == Kind::Move && !events.empty() && events.back().kind == Kind::Move) {
        events.back() = event;
        return;
    }
    events.push_back(event);
}

void Win32Window::processEvents(FrameEvents& sink) {
    while (hwnd != nullptr && !events.empty()) {
        const Event e = events.front();
        events.pop_front();
        switch (e.kind) {
            case Kind::Down:
                sink.windowMouseDown(e.where, e.buttons, e.time);
                break;
            case Kind::Up:
                sink.windowMouseUp(e.where, e.buttons);
                break;
            case Kind::Move:
                sink.windowMouseMoved(e.where, e.buttons);
                break;
            case Kind::Exit:
                sink.windowMouseExited();
                break;
            case Kind::Wheel:
                sink.windowWheel(e.where, e.distance, e.buttons);
                break;
            case Kind::KeyDown:
            case Kind::KeyUp: {
                const bool used =
                    e.kind == Kind::KeyDown ? sink.windowKeyDown(e.key) : sink.windowKeyUp(e.key);
                // Keys we do not use belong to the host (transport shortcuts).
                if (!used && e.message != 0 && parentWindow != nullptr && hwnd != nullptr) {
                    PostMessageW(parentWindow, e.message, e.wParam, e.lParam);
                }
                break;
            }
            case Kind::FocusLost:
                sink.windowFocusLost();
                break;
        }
        // A handler may have closed the window; `hwnd` tells.
    }
}

void Win32Window::present(NativeSurface* newImage, const std::vector<CRect>& rects) {
    if (newImage != image) {
        releaseSurface(image);
        image = referenceSurface(newImage);
    }
    if (hwnd == nullptr || image == nullptr || rects.empty()) return;
    HDC dc = GetDC(hwnd);
    if (dc == nullptr) return;
    for (const CRect& r : rects) {
        const int x0 = std::max(0, static_cast<int>(r.left));
        const int y0 = std::max(0, static_cast<int>(r.top));
        const int x1 = std::min({width, image->width, static_cast<int>(r.right)});
        const int y1 = std::min({height, image->height, static_cast<int>(r.bottom)});
        if (x1 > x0 && y1 > y0) BitBlt(dc, x0, y0, x1 - x0, y1 - y0, image->dc, x0, y0, SRCCOPY);
    }
    ReleaseDC(hwnd, dc);
}

void Win32Window::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc == nullptr) return;
    const RECT& r = ps.rcPaint;
    if (image != nullptr) {
        GdiFlush();
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, image->dc, r.left, r.top,
               SRCCOPY);
    } else {
        // Nothing painted yet: black, as the frame's background starts.
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    EndPaint(hwnd, &ps);
}

void Win32Window::onTimer() {
    // A timer that fires while the last one is still running (a modal
    // dialog opened from a handler pumps messages) is skipped.
    if (!idleHandler || inIdle) return;
    inIdle = true;
    const std::shared_ptr<bool> stillAlive = alive;
    const std::function<void()> handler = idleHandler;
    handler();
    if (*stillAlive) inIdle = false;
}

LRESULT CALLBACK Win32Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<Win32Window*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd = window;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->hwnd != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handle(message, wParam, lParam);
}

LRESULT Win32Window::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = hwnd;
    const CPoint where(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the image covers everything
        case WM_GETDLGCODE:
            return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB;
        case WM_TIMER:
            if (wParam == kIdleTimer) {
                onTimer();  // may destroy this object: nothing after it
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_XBUTTONDOWN:
        case WM_XBUTTONDBLCLK: {
            int32_t button = kLButton;
            if (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK) button = kRButton;
            if (message == WM_MBUTTONDOWN || message == WM_MBUTTONDBLCLK) button = kMButton;
            if (message == WM_XBUTTONDOWN || message == WM_XBUTTONDBLCLK) {
                button = GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? kButton4 : kButton5;
            }
            // Double clicks are the frame's to find, from the press times.
            SetCapture(hwnd);
            pressedButtons |= button;
            lastPointer = where;
            Event e{Kind::Down, where, button | heldButtons(wParam) | modifiers()};
            e.time = static_cast<uint32_t>(GetMessageTime());
            queue(e);
            return message >= WM_XBUTTONDOWN ? TRUE : 0;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_XBUTTONUP: {
            int32_t button = kLButton;
            if (message == WM_RBUTTONUP) button = kRButton;
            if (message == WM_MBUTTONUP) button = kMButton;
            if (message == WM_XBUTTONUP) {
                button = GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? kButton4 : kButton5;
            }
            // Queued before the capture goes, which would report a loss.
            pressedButtons &= ~button;
            queue(Event{Kind::Up, where, button | modifiers()});
            if (!anyButton(wParam) && GetCapture() == hwnd) ReleaseCapture();
            return message == WM_XBUTTONUP ? TRUE : 0;
        }
        case WM_MOUSEMOVE: {
            if (!tracking) {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd, 0};
                tracking = TrackMouseEvent(&track) != 0;
            }
            lastPointer = where;
            queue(Event{Kind::Move, where, heldButtons(wParam) | modifiers()});
            return 0;
        }
        case WM_MOUSELEAVE:
            tracking = false;
            queue(Event{Kind::Exit, CPoint(), 0});
            return 0;
        case WM_MOUSEWHEEL: {
            // The wheel's position is on the screen; the frame wants its own.
            POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd, &p);
            Event e{Kind::Wheel, CPoint(p.x, p.y),
                    heldButtons(GET_KEYSTATE_WPARAM(wParam)) | modifiers()};
            e.distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            queue(e);
            return 0;
        }
        case WM_CAPTURECHANGED:
            // Someone else took the mouse while a button was down (a dialog
            // opened from a press, the host): the drag ends here, or the
            // frame would wait for a release it never gets.
            if (reinterpret_cast<HWND>(lParam) != hwnd && pressedButtons != 0) {
                queue(Event{Kind::Up, lastPointer, pressedButtons});
                pressedButtons = 0;
            }
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP: {
            bool typesCharacter = false;
            const unsigned char virt =
                vstVirtualKey(static_cast<unsigned int>(wParam), &typesCharacter);
            const Kind kind = message == WM_KEYDOWN ? Kind::KeyDown : Kind::KeyUp;
            if (message == WM_KEYDOWN) {
                lastKeyDown = static_cast<unsigned int>(wParam);
                // Character keys are delivered with their WM_CHAR, which
                // knows the layout and the shift state.
                if (typesCharacter) {
                    pendingVirt = virt;
                    return 0;
                }
            }
            Event e{kind, CPoint(), 0};
            e.key = VstKeyCode{0, virt, keyModifiers()};
            if (typesCharacter) {
                // A key up of a character key: its unshifted character.
                const UINT c = MapVirtualKeyW(static_cast<UINT>(wParam), MAPVK_VK_TO_CHAR) & 0x7fff;
                e.key =
                    vstKeyFromCharacter(c, virt, static_cast<unsigned int>(wParam), keyModifiers());
                if (c >= 'A' && c <= 'Z' && !held(VK_SHIFT)) e.key.character = c + 32;
            }
            if (e.key.character == 0 && e.key.virt == 0) return 0;
            e.message = message;
            e.wParam = wParam;
            e.lParam = lParam;
            queue(e);
            return 0;
        }
        case WM_CHAR: {
            Event e{Kind::KeyDown, CPoint(), 0};
            e.key = vstKeyFromCharacter(static_cast<unsigned int>(wParam), pendingVirt, lastKeyDown,
                                        keyModifiers());
            pendingVirt = 0;
            if (e.key.character == 0 && e.key.virt == 0) return 0;
            e.message = message;
            e.wParam = wParam;
            e.lParam = lParam;
            queue(e);
            return 0;
        }
        case WM_KILLFOCUS:
            queue(Event{Kind::FocusLost, CPoint(), 0});
            return 0;
        case WM_NCDESTROY:
            // Destroyed with the host's window, before our own close().
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            hwnd = nullptr;
            events.clear();
            parentWindow = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace win32
}  // namespace zelto::toolkit
