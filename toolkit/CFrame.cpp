// CFrame: view list, event dispatch, dirty-region repaint, window glue.
#include "toolkit/CFrame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/TickCount.h"
#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/platform/PlatformWindow.h"

namespace zelto::toolkit {

// Window input goes to the frame's public entry points; presses carry the
// window system's time stamp so double clicks do not depend on how often
// the host calls idle.
class FrameEventSink final : public FrameEvents {
  public:
    explicit FrameEventSink(CFrame& frame) : frame(frame) {}
    void windowMouseDown(const CPoint& where, CButtonState buttons, uint32_t time) override {
        frame.pressFromWindow(where, buttons, time);
    }
    void windowMouseUp(const CPoint& where, CButtonState buttons) override {
        frame.injectMouseUp(where, buttons);
    }
    void windowMouseMoved(const CPoint& where, CButtonState buttons) override {
        frame.injectMouseMoved(where, buttons);
    }
    void windowMouseExited() override { frame.injectMouseExited(); }
    void windowWheel(const CPoint& where, float distance, CButtonState buttons) override {
        frame.injectMouseWheel(where, distance, buttons);
    }
    bool windowKeyDown(VstKeyCode key) override { return frame.injectKeyDown(key) != -1; }
    bool windowKeyUp(VstKeyCode key) override { return frame.injectKeyUp(key) != -1; }
    void windowFocusLost() override { frame.setFocusView(nullptr); }

  private:
    CFrame& frame;
};

}  // namespace zelto::toolkit

namespace {

constexpr int kClockTicks = 0;
constexpr int kClockWindow = 1;

// Keeps a view alive across a call that may remove it.
class Hold {
  public:
    explicit Hold(CBaseObject* object) : object(object) {
        if (object != nullptr) object->remember();
    }
    ~Hold() {
        if (object != nullptr) object->forget();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

  private:
    CBaseObject* object;
};

bool handled(CMouseEventResult r) {
    return r != kMouseEventNotHandled && r != kMouseEventNotImplemented;
}

int32_t pressedButton(CButtonState buttons) {
    for (int32_t b : {kLButton, kRButton, kMButton, kButton4, kButton5}) {
        if (buttons & b) return b;
    }
    return 0;
}

}  // namespace

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor) : CView(size), editor(editor) {
    frame = this;
    parentView = nullptr;
    eventSink = std::make_unique<zelto::toolkit::FrameEventSink>(*this);
    createSurface();
}

CFrame::CFrame(const CRect& size, void* parentWindow, VSTGUIEditorInterface* editor)
    : CFrame(size, editor) {
    if (parentWindow != nullptr) open(parentWindow);
}

CFrame::~CFrame() {
    // No listener is told anything here: whoever owned the frame may be gone.
    focusView = nullptr;
    if (modalView != nullptr) {
        CView* modal = modalView;
        modalView = nullptr;
        if (!isChild(modal)) modal->removed(this);
        modal->forget();
    }
    mouseDownView = nullptr;
    mouseOverView = nullptr;
    std::vector<CView*> views;
    views.swap(children);
    for (CView* view : views) {
        view->removed(this);
        view->forget();
    }
    closeWindow();
    zelto::toolkit::releaseSurface(surface);
}

void CFrame::createSurface() {
    zelto::toolkit::releaseSurface(surface);
    const int w = static_cast<int>(std::lround(std::max<CCoord>(1, size.getWidth())));
    const int h = static_cast<int>(std::lround(std::max<CCoord>(1, size.getHeight())));
    surface = zelto::toolkit::createOpaqueSurface(w, h);
    setDirty(true);
}

void CFrame::setViewSize(const CRect& rect, bool invalidate) {
    if (rect == size) return;
    size = rect;
    createSurface();
    if (invalidate) invalid();
}

// ---------------------------------------------------------------- window

bool CFrame::open(void* parentWindow) {
    closeWindow();
    if (parentWindow == nullptr) return false;
    auto platform = zelto::toolkit::PlatformWindow::create();
    if (platform == nullptr) return false;
    const int w = static_cast<int>(std::lround(size.getWidth()));
    const int h = static_cast<int>(std::lround(size.getHeight()));
    platform->setIdleHandler([this] { idleFromWindow(); });
    if (!platform->open(parentWindow, w, h)) return false;
    window = std::move(platform);
    invalid();
    return true;
}

void CFrame::closeWindow() {
    if (window != nullptr) {
        window->close();
        if (inWindowEvents) {
            retiredWindows.push_back(std::move(window));
        } else {
            window.reset();
        }
    }
    clicks.reset();
}

bool CFrame::isWindowOpen() const {
    return window != nullptr && window->isOpen();
}

unsigned long CFrame::getWindowId() const {
    return window != nullptr ? window->windowId() : 0;
}

int CFrame::getEventDescriptor() const {
    return window != nullptr && window->isOpen() ? window->eventDescriptor() : -1;
}

unsigned long CFrame::getTopLevelWindowId() const {
    return window != nullptr ? window->topLevelId() : 0;
}

void CFrame::close() {
    remember();
    setFocusView(nullptr);
    clearModalView();
    removeAll(true);
    closeWindow();
    forget();  // the hold taken above
    forget();  // the caller's reference
}

void CFrame::processWindowEvents() {
    Hold hold(this);
    if (window != nullptr && !inWindowEvents) {
        inWindowEvents = true;
        window->processEvents(*eventSink);
        inWindowEvents = false;
        retiredWindows.clear();
    }
}

void CFrame::idleFromWindow() {
    Hold hold(this);
    // The editor's idle does its own work and then the frame's; a frame
    // without an editor of its own idles itself.
    if (editor != nullptr && editor->getFrame() == this) {
        editor->doIdleStuff();
    } else {
        idle();
    }
}

void CFrame::idle() {
    Hold hold(this);
    processWindowEvents();
    const std::vector<CRect> rects = updateOffscreen();
    if (window != nullptr) window->present(surface, rects);
}

// ----------------------------------------------------------------- views

bool CFrame::addView(CView* view) {
    if (view == nullptr || view == this || isChild(view) || view == modalView) return false;
    children.push_back(view);
    view->attached(this);
    view->invalid();
    return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
    const auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) return false;
    Hold hold(view);
    if (focusView == view) setFocusView(nullptr);
    if (modalView == view) clearModalView();
    if (mouseDownView == view) mouseDownView = nullptr;
    if (mouseOverView == view) mouseOverView = nullptr;
    // The focus change may have run a listener that changed the list.
    const auto at = std::find(children.begin(), children.end(), view);
    if (at == children.end()) return false;
    children.erase(at);
    invalidRect(view->getViewSize());
    view->removed(this);
    if (withForget) view->forget();
    return true;
}

bool CFrame::removeAll(bool withForget) {
    setFocusView(nullptr);
    clearModalView();
    mouseDownView = nullptr;
    mouseOverView = nullptr;
    std::vector<CView*> views;
    views.swap(children);
    for (CView* view : views) {
        view->removed(this);
        if (withForget) view->forget();
    }
    invalid();
    return true;
}

bool CFrame::isChild(const CView* view) const {
    return view != nullptr && std::find(children.begin(), children.end(), view) != children.end();
}

CView* CFrame::getView(int32_t index) const {
    if (index < 0 || index >= getNbViews()) return nullptr;
    return children[static_cast<size_t>(index)];
}

CView* CFrame::getViewAt(const CPoint& where) const {
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* view = *it;
        if (view->isVisible() && view->getMouseEnabled() && view->hitTest(where)) return view;
    }
    return nullptr;
}

void CFrame::setFocusView(CView* view) {
    if (view == focusView) return;
    if (view != nullptr && !isChild(view) && view != modalView) return;
    CView* old = focusView;
    focusView = view;
    if (old != nullptr) {
        Hold hold(old);
        old->looseFocus();
    }
    if (view != nullptr && focusView == view) view->takeFocus();
}

bool CFrame::setModalView(CView* view) {
    if (view == modalView) return true;
    if (view == nullptr) {
        clearModalView();
        return true;
    }
    if (modalView != nullptr || view == this) return false;
    // The views underneath lose the pointer while the modal view is up.
    if (mouseOverView != nullptr) {
        CView* over = mouseOverView;
        mouseOverView = nullptr;
        Hold hold(over);
        CPoint where = lastMousePosition;
        over->onMouseExited(where, 0);
    }
    mouseDownView = nullptr;
    view->remember();
    modalView = view;
    if (!isChild(view)) view->attached(this);
    invalid();
    return true;
}

void CFrame::clearModalView() {
    if (modalView == nullptr) return;
    CView* modal = modalView;
    modalView = nullptr;
    if (mouseDownView == modal) mouseDownView = nullptr;
    if (focusView == modal) setFocusView(nullptr);
    if (!isChild(modal)) modal->removed(this);
    modal->forget();
    invalid();
}

void CFrame::invalidRect(const CRect& rect) {
    CRect r = rect;
    r.bound(CRect(0, 0, size.getWidth(), size.getHeight()));
    if (!r.isEmpty()) pendingRects.push_back(r.makeIntegral());
}

void CFrame::setBackgroundColor(const CColor& color) {
    backgroundColor = color;
    invalid();
}

void CFrame::beginEdit(int32_t index) {
    if (editor != nullptr) editor->beginEdit(index);
}

void CFrame::endEdit(int32_t index) {
    if (editor != nullptr) editor->endEdit(index);
}

int32_t CFrame::getKnobMode() const {
    return editor != nullptr ? editor->getKnobMode() : -1;
}

// ---------------------------------------------------------------- events

void CFrame::setTickSource(std::function<uint32_t()> source) {
    tickSource = std::move(source);
}

uint32_t CFrame::now() const {
    return tickSource ? tickSource() : zelto::tickCount();
}

CMouseEventResult CFrame::pressFromWindow(const CPoint& where, CButtonState buttons,
                                          uint32_t time) {
    Hold hold(this);
    if (window != nullptr) window->takeFocus();
    if (clicks.press(where, pressedButton(buttons), time, kClockWindow)) buttons |= kDoubleClick;
    lastMousePosition = where;
    return dispatchMouseDown(where, buttons);
}

CMouseEventResult CFrame::injectMouseDown(const CPoint& where, CButtonState buttons) {
    Hold hold(this);
    if (window != nullptr) window->takeFocus();
    if (clicks.press(where, pressedButton(buttons), now(), kClockTicks)) buttons |= kDoubleClick;
    lastMousePosition = where;
    return dispatchMouseDown(where, buttons);
}

CMouseEventResult CFrame::dispatchMouseDown(const CPoint& where, CButtonState buttons) {
    // A second button during a drag belongs to the drag.
    if (mouseDownView != nullptr) {
        CView* view = mouseDownView;
        Hold hold(view);
        CPoint p = where;
        return view->onMouseDown(p, buttons);
    }
    if (modalView != nullptr) {
        CView* view = modalView;
        Hold hold(view);
        CPoint p = where;
        const CMouseEventResult result = view->onMouseDown(p, buttons);
        if (result == kMouseEventHandled && modalView == view) mouseDownView = view;
        return result;
    }
    CView* hit = getViewAt(where);
    // A press anywhere else takes the focus away: a text edit commits.
    if (focusView != nullptr && focusView != hit) setFocusView(nullptr);
    const std::vector<CView*> order(children.rbegin(), children.rend());
    for (CView* view : order) {
        if (!isChild(view)) continue;  // removed by an earlier handler
        if (!view->isVisible() || !view->getMouseEnabled() || !view->hitTest(where, buttons)) {
            continue;
        }
        Hold hold(view);
        CPoint p = where;
        const CMouseEventResult result = view->onMouseDown(p, buttons);
        if (!handled(result)) continue;
        if (isChild(view)) {
            if (result == kMouseEventHandled && modalView == nullptr) mouseDownView = view;
            if (view->wantsFocus() && focusView != view && modalView == nullptr) {
                setFocusView(view);
            }
        }
        return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CFrame::injectMouseUp(const CPoint& where, CButtonState buttons) {
    Hold hold(this);
    lastMousePosition = where;
    CMouseEventResult result = kMouseEventNotHandled;
    if (mouseDownView != nullptr) {
        CView* view = mouseDownView;
        mouseDownView = nullptr;
        Hold holdView(view);
        CPoint p = where;
        result = view->onMouseUp(p, buttons);
    } else if (modalView != nullptr) {
        CView* view = modalView;
        Hold holdView(view);
        CPoint p = where;
        result = view->onMouseUp(p, buttons);
    }
    updateMouseOver(where, 0);
    return result;
}

CMouseEventResult CFrame::injectMouseMoved(const CPoint& where, CButtonState buttons) {
    Hold hold(this);
    lastMousePosition = where;
    updateMouseOver(where, buttons);
    CView* target = mouseDownView != nullptr ? mouseDownView
                    : modalView != nullptr   ? modalView
                                             : mouseOverView;
    if (target == nullptr) return kMouseEventNotHandled;
    Hold holdView(target);
    CPoint p = where;
    const CMouseEventResult result = target->onMouseMoved(p, buttons);
    if (target == mouseDownView && result == kMouseMoveEventHandledButDontNeedMoreEvents) {
        mouseDownView = nullptr;
    }
    return result;
}

void CFrame::updateMouseOver(const CPoint& where, CButtonState buttons) {
    CView* target = nullptr;
    if (modalView == nullptr) {
        if (mouseDownView != nullptr) {
            // During a drag only the dragged view can be under the pointer.
            if (mouseDownView->hitTest(where)) target = mouseDownView;
        } else {
            target = getViewAt(where);
        }
    }
    if (target == mouseOverView) return;
    CPoint p = where;
    if (mouseOverView != nullptr) {
        CView* old = mouseOverView;
        mouseOverView = nullptr;
        Hold hold(old);
        old->onMouseExited(p, buttons);
    }
    if (target != nullptr && isChild(target)) {
        mouseOverView = target;
        Hold hold(target);
        p = where;
        target->onMouseEntered(p, buttons);
    }
}

void CFrame::injectMouseExited() {
    Hold hold(this);
    if (mouseOverView != nullptr) {
        CView* old = mouseOverView;
        mouseOverView = nullptr;
        Hold holdView(old);
        CPoint p = lastMousePosition;
        old->onMouseExited(p, 0);
    }
}

bool CFrame::injectMouseWheel(const CPoint& where, float distance, CButtonState buttons) {
    Hold hold(this);
    lastMousePosition = where;
    if (modalView != nullptr) {
        CView* view = modalView;
        Hold holdView(view);
        return view->onWheel(where, distance, buttons);
    }
    const std::vector<CView*> order(children.rbegin(), children.rend());
    for (CView* view : order) {
        if (!isChild(view) || !view->isVisible() || !view->hitTest(where, buttons)) continue;
        Hold holdView(view);
        if (view->onWheel(where, distance, buttons)) return true;
    }
    return false;
}

int32_t CFrame::dispatchKey(VstKeyCode key, int32_t (CView::*handler)(VstKeyCode&)) {
    Hold hold(this);
    if (modalView != nullptr) {
        CView* view = modalView;
        Hold holdView(view);
        const int32_t result = (view->*handler)(key);
        if (result != -1) return result;
    }
    if (focusView != nullptr) {
        CView* view = focusView;
        Hold holdView(view);
        return (view->*handler)(key);
    }
    return -1;
}

int32_t CFrame::injectKeyDown(VstKeyCode key) {
    return dispatchKey(key, &CView::onKeyDown);
}

int32_t CFrame::injectKeyUp(VstKeyCode key) {
    return dispatchKey(key, &CView::onKeyUp);
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    return injectMouseDown(where, buttons);
}
CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons) {
    return injectMouseUp(where, buttons);
}
CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    return injectMouseMoved(where, buttons);
}
bool CFrame::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    return injectMouseWheel(where, distance, buttons);
}
int32_t CFrame::onKeyDown(VstKeyCode& keyCode) {
    return injectKeyDown(keyCode);
}
int32_t CFrame::onKeyUp(VstKeyCode& keyCode) {
    return injectKeyUp(keyCode);
}

// --------------------------------------------------------------- drawing

namespace {

// Joins overlapping rectangles until none overlap, so no pixel is painted
// twice in one pass.
void mergeOverlapping(std::vector<CRect>& rects) {
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < rects.size() && !merged; ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                if (rects[i].rectOverlap(rects[j])) {
                    rects[i].unite(rects[j]);
                    rects.erase(rects.begin() + static_cast<ptrdiff_t>(j));
                    merged = true;
                    break;
                }
            }
        }
    }
}

}  // namespace

std::vector<CRect> CFrame::updateOffscreen() {
    std::vector<CRect> regions;
    if (surface == nullptr) return regions;
    const CRect bounds(0, 0, zelto::toolkit::surfaceWidth(surface),
                       zelto::toolkit::surfaceHeight(surface));
    // The modal view may draw anywhere and over anything, so it repaints all.
    if (modalView != nullptr) setDirty(true);
    if (CView::isDirty()) {
        CView::setDirty(false);
        regions.push_back(bounds);
    } else {
        regions = pendingRects;
        for (CView* view : children) {
            if (!view->isDirty()) continue;
            if (!view->isVisible()) {
                view->setDirty(false);
                continue;
            }
            CRect r = view->getViewSize();
            r.bound(bounds).makeIntegral();
            if (r.isEmpty()) {
                view->setDirty(false);
            } else {
                regions.push_back(r);
            }
        }
    }
    pendingRects.clear();
    mergeOverlapping(regions);
    if (regions.empty()) return regions;

    CDrawContext context(surface);
    if (!context.isValid()) return {};
    for (const CRect& region : regions) paintRegion(context, region);
    return regions;
}

void CFrame::paintRegion(CDrawContext& context, const CRect& region) {
    context.setClipLimit(region);
    context.resetState();
    context.setFillColor(backgroundColor);
    context.drawRect(region, kDrawFilled);
    if (background != nullptr) {
        background->draw(&context, CRect(0, 0, size.getWidth(), size.getHeight()));
    }
    for (size_t i = 0; i < children.size(); ++i) {
        CView* view = children[i];
        if (!view->isVisible()) continue;
        CRect clip = view->getViewSize();
        clip.bound(region);
        if (clip.isEmpty()) continue;
        view->setDirty(false);
        context.resetState();
        context.setClipRect(clip);
        view->drawRect(&context, region);
    }
    if (modalView != nullptr) {
        modalView->setDirty(false);
        context.resetState();
        modalView->drawRect(&context, region);
    }
}

void CFrame::draw(CDrawContext* context) {
    if (context == nullptr) return;
    const CRect all(0, 0, size.getWidth(), size.getHeight());
    context->setClipLimit(all);
    paintRegion(*context, all);
}

bool CFrame::renderTo(NativeSurface* target) {
    if (target == nullptr || surface == nullptr) return false;
    updateOffscreen();
    return zelto::toolkit::copySurface(surface, target);
}

bool CFrame::snapshotPng(const char* path) {
    if (path == nullptr || surface == nullptr) return false;
    updateOffscreen();
    return zelto::toolkit::writeSurfacePng(surface, path);
}

CColor CFrame::getPixel(int32_t x, int32_t y) const {
    if (surface == nullptr || x < 0 || y < 0 || x >= zelto::toolkit::surfaceWidth(surface) ||
        y >= zelto::toolkit::surfaceHeight(surface)) {
        return CColor(0, 0, 0, 0);
    }
    const uint32_t p = zelto::toolkit::surfacePixel(surface, x, y);
    return CColor(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                  static_cast<uint8_t>(p), 255);
}
