// The top view: holds the child views (in insertion order, later ones on
// top), dispatches mouse and key events, repaints what is dirty, and is the
// only thing that knows about windows.
//
// Two ways to run:
//  - offscreen: the frame paints into its own image surface; events come in
//    through the inject... calls. Tests and snapshots use this.
//  - in a window: open(parent) embeds a child window of exactly the frame's
//    size into the host's window; idle() then drains that window's events
//    and copies what was repainted onto it. On Windows the window also runs
//    a 30 ms timer that calls the editor's idle (the frame's own without
//    an editor), since hosts there may not idle the editor often enough.
//    Painting still goes to the image surface first, so the window always
//    shows the same pixels.
//
// Threads: everything here is for the user-interface thread, except
// setDirty / invalid / isDirty (atomic), which any thread may call.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "toolkit/CColor.h"
#include "toolkit/CView.h"
#include "toolkit/DoubleClickDetector.h"
#include "toolkit/VSTGUIEditorInterface.h"
#include "toolkit/platform/NativeSurface.h"

namespace zelto::toolkit {
class PlatformWindow;
class FrameEventSink;
}  // namespace zelto::toolkit

class CFrame : public CView {
  public:
    /// An offscreen frame; call open() to show it in a window.
    CFrame(const CRect& size, VSTGUIEditorInterface* editor);
    /// A frame shown at once in parentWindow (an X window id in the
    /// pointer, or an HWND on Windows); with a null parent, or when the
    /// window cannot be made, it stays offscreen.
    CFrame(const CRect& size, void* parentWindow, VSTGUIEditorInterface* editor);
    ~CFrame() override;

    // Window.
    /// Embeds the frame in parentWindow (X window id in the pointer, or an
    /// HWND on Windows), first leaving any window it was already in.
    /// Answers false, and stays offscreen, without a parent, a display or a
    /// valid parent window.
    bool open(void* parentWindow);
    /// Ends the frame: takes the focus away (a text edit in progress
    /// commits, while every view still exists), removes and releases all
    /// views, destroys the window and releases the caller's reference on the
    /// frame. Do not use the pointer afterwards.
    void close();
    /// Leaves the window only; the frame goes on offscreen.
    void closeWindow();
    bool isWindowOpen() const;
    /// The frame's own child window id (0 offscreen).
    unsigned long getWindowId() const;
    /// The top-level window of the host that holds the frame (0 offscreen).
    unsigned long getTopLevelWindowId() const;
    /// Readable when window input waits for idle() (-1 offscreen or where
    /// the platform has no such descriptor).
    int getEventDescriptor() const;

    /// Drains window events, then repaints the dirty views and shows them.
    void idle();
    /// Drains window events only: input is handled as it arrives, while the
    /// repaint may run less often.
    void processWindowEvents();
    /// Repaints what is dirty into the offscreen image without touching
    /// events; answers the repainted rectangles.
    std::vector<CRect> updateOffscreen();

    // Views.
    /// Adds on top of the others; the frame takes over the caller's reference.
    bool addView(CView* view);
    bool removeView(CView* view, bool withForget = true);
    bool removeAll(bool withForget = true);
    bool isChild(const CView* view) const;
    int32_t getNbViews() const { return static_cast<int32_t>(children.size()); }
    CView* getView(int32_t index) const;
    /// The top-most visible, mouse-enabled view under the point, or nullptr.
    CView* getViewAt(const CPoint& where) const;

    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    /// While a modal view is set every mouse event goes to it, it is drawn
    /// last over everything (unclipped, it may draw anywhere in the frame)
    /// and the frame repaints fully on every idle. A view that is not a
    /// child is attached for the time it is modal. Answers false while
    /// another view is modal.
    bool setModalView(CView* view);
    CView* getModalView() const { return modalView; }
    void clearModalView();
    /// The view that receives moves until the button is released.
    CView* getMouseDownView() const { return mouseDownView; }
    /// The view the pointer is over, as told by enter/exit.
    CView* getMouseOverView() const { return mouseOverView; }

    /// Repaints this part of the frame at the next idle.
    void invalidRect(const CRect& rect);
    void setBackgroundColor(const CColor& color);
    const CColor& getBackgroundColor() const { return backgroundColor; }

    VSTGUIEditorInterface* getEditor() const { return editor; }
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    int32_t getKnobMode() const;

    // Events, as the window delivers them; tests call these directly.
    // A press may gain kDoubleClick from its timing (tick count, see
    // setTickSource) and place.
    CMouseEventResult injectMouseDown(const CPoint& where, CButtonState buttons);
    CMouseEventResult injectMouseUp(const CPoint& where, CButtonState buttons);
    CMouseEventResult injectMouseMoved(const CPoint& where, CButtonState buttons);
    /// The pointer left the frame.
    void injectMouseExited();
    bool injectMouseWheel(const CPoint& where, float distance, CButtonState buttons);
    int32_t injectKeyDown(VstKeyCode key);
    int32_t injectKeyUp(VstKeyCode key);
    /// The clock for double clicks of injected presses (the tick count
    /// unless replaced; an empty function restores it).
    void setTickSource(std::function<uint32_t()> source);

    // The same events through the view interface.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;

    // Pixels.
    /// The offscreen image (opaque RGB, frame size); the frame owns it.
    NativeSurface* getSurface() const { return surface; }
    /// Brings the offscreen image up to date and copies it onto target at 0, 0.
    bool renderTo(NativeSurface* target);
    /// Brings the offscreen image up to date and writes it as a PNG file
    /// (false where the backend has no PNG encoder: Windows).
    bool snapshotPng(const char* path);
    /// One pixel of the offscreen image as last painted (opaque).
    CColor getPixel(int32_t x, int32_t y) const;

    /// Paints everything into context (background, views, modal view).
    void draw(CDrawContext* context) override;
    void setViewSize(const CRect& rect, bool invalid = true) override;

    CLASS_METHODS_NOCOPY(CFrame, CView)

  private:
    friend class zelto::toolkit::FrameEventSink;

    void createSurface();
    void paintRegion(CDrawContext& context, const CRect& region);
    CMouseEventResult dispatchMouseDown(const CPoint& where, CButtonState buttons);
    void updateMouseOver(const CPoint& where, CButtonState buttons);
    /// Keys go to the modal view first, then to the focused view.
    int32_t dispatchKey(VstKeyCode key, int32_t (CView::*handler)(VstKeyCode&));
    CMouseEventResult pressFromWindow(const CPoint& where, CButtonState buttons, uint32_t time);
    uint32_t now() const;
    /// The window's own clock (where it has one) asks for an idle pass.
    void idleFromWindow();

    VSTGUIEditorInterface* editor;
    std::vector<CView*> children;
    CView* focusView = nullptr;
    CView* modalView = nullptr;
    CView* mouseDownView = nullptr;
    CView* mouseOverView = nullptr;
    std::vector<CRect> pendingRects;
    CColor backgroundColor{kBlackCColor};
    NativeSurface* surface = nullptr;
    std::unique_ptr<zelto::toolkit::PlatformWindow> window;
    // A window closed from inside its own event loop is kept until the loop
    // has returned.
    std::vector<std::unique_ptr<zelto::toolkit::PlatformWindow>> retiredWindows;
    bool inWindowEvents = false;
    std::unique_ptr<zelto::toolkit::FrameEventSink> eventSink;
    zelto::toolkit::DoubleClickDetector clicks;
    std::function<uint32_t()> tickSource;
    CPoint lastMousePosition{-1, -1};
};
