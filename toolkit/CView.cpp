// CView: defaults for every view. Handlers answer "not implemented", so the
// frame passes the event on to the view below.
#include "toolkit/CView.h"

#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFrame.h"

CView::CView(const CRect& size) : size(size) {}

CView::CView(const CView& other)
    : CBaseObject(),
      size(other.size),
      mouseEnabled(other.mouseEnabled),
      visible(other.visible),
      wantsFocusFlag(other.wantsFocusFlag) {
    setBackground(other.background);
}

CView::~CView() {
    setBackground(nullptr);
}

void CView::draw(CDrawContext* context) {
    if (background != nullptr) background->draw(context, size);
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/) {
    draw(context);
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
bool CView::onWheel(const CPoint&, const float&, const CButtonState&) {
    return false;
}
int32_t CView::onKeyDown(VstKeyCode&) {
    return -1;
}
int32_t CView::onKeyUp(VstKeyCode&) {
    return -1;
}

void CView::setDirty(bool state) {
    dirty.store(state, std::memory_order_relaxed);
}

bool CView::isDirty() const {
    return dirty.load(std::memory_order_relaxed);
}

void CView::setViewSize(const CRect& rect, bool invalidate) {
    if (rect == size) return;
    if (invalidate && frame != nullptr) frame->invalidRect(size);
    size = rect;
    if (invalidate) invalid();
}

bool CView::hitTest(const CPoint& where, const CButtonState&) {
    return size.pointInside(where);
}

void CView::setVisible(bool state) {
    if (state == visible) return;
    visible = state;
    if (frame != nullptr) frame->invalidRect(size);
    invalid();
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap == background) return;
    if (bitmap != nullptr) bitmap->remember();
    if (background != nullptr) background->forget();
    background = bitmap;
    invalid();
}

bool CView::attached(CView* parent) {
    if (parent == nullptr) return false;
    parentView = parent;
    frame = parent->getFrame();
    invalid();
    return true;
}

bool CView::removed(CView* /*parent*/) {
    parentView = nullptr;
    frame = nullptr;
    return true;
}
