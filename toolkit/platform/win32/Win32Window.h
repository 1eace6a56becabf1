// The frame's window on Windows: a child window of the host's window with a
// window class of this module's own, painted from the frame's offscreen
// image. The window procedure only queues input; processEvents() delivers
// it, so every handler runs where the frame expects it (inside idle) and
// never inside a message the host or a modal dialog happens to dispatch.
// A 30 ms timer drives the editor's idle, since Windows hosts may not call
// it often enough. User-interface thread only.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <memory>

#include "toolkit/platform/PlatformWindow.h"

namespace zelto::toolkit::win32 {

class Win32Window final : public PlatformWindow {
  public:
    Win32Window() = default;
    ~Win32Window() override;

    bool open(void* parent, int width, int height) override;
    void close() override;
    bool isOpen() const override { return hwnd != nullptr; }
    unsigned long windowId() const override;
    void processEvents(FrameEvents& events) override;
    void present(NativeSurface* image, const std::vector<CRect>& rects) override;
    void takeFocus() override;
    unsigned long topLevelId() override;
    void setIdleHandler(std::function<void()> handler) override;

    /// The name of the window class of this module (for tests).
    static const wchar_t* className();
    /// How many of our windows exist in this module now.
    static int liveWindows();

  private:
    enum class Kind { Down, Up, Move, Exit, Wheel, KeyDown, KeyUp, FocusLost };
    struct Event {
        Kind kind;
        CPoint where;
        CButtonState buttons;
        uint32_t time = 0;
        float distance = 0;
        VstKeyCode key{0, 0, 0};
        UINT message = 0;  // a key's own message, passed on to the host when unused
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void queue(const Event& event);
    void paint();
    void onTimer();

    HWND hwnd = nullptr;
    HWND parentWindow = nullptr;
    int width = 0;
    int height = 0;
    NativeSurface* image = nullptr;  // the last image presented, for WM_PAINT
    bool tracking = false;           // asked to be told when the pointer leaves
    bool inIdle = false;
    bool counted = false;           // counted in the module's windows (the class's users)
    unsigned char pendingVirt = 0;  // a key that types a character: WM_CHAR follows
    unsigned int lastKeyDown = 0;
    int32_t pressedButtons = 0;  // pressed in this window and not yet released
    CPoint lastPointer;
    std::deque<Event> events;
    std::function<void()> idleHandler;
    // Cleared when the object goes, so a timer call that closed the window
    // knows not to touch it any more.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

}  // namespace zelto::toolkit::win32
