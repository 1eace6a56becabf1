// CMessageView: layout, drawing, and closing on a click or key.
#include "toolkit/controls/CMessageView.h"

#include "toolkit/CDrawContext.h"
#include "toolkit/CFontDesc.h"
#include "toolkit/CFrame.h"

namespace {

constexpr CCoord kWidth = 300;
constexpr CCoord kHeight = 84;

CRect centredIn(const CRect& frame) {
    const CCoord left = frame.left + (frame.getWidth() - kWidth) / 2;
    const CCoord top = frame.top + (frame.getHeight() - kHeight) / 2;
    return CRect(left, top, left + kWidth, top + kHeight);
}

}  // namespace

CMessageView::CMessageView(const CRect& frameSize, std::string caption, std::string text)
    : CView(centredIn(frameSize)), caption(std::move(caption)), text(std::move(text)) {}

bool CMessageView::show(CFrame* frame, const std::string& caption, const std::string& text) {
    if (frame == nullptr || frame->getModalView() != nullptr) return false;
    auto* view = new CMessageView(frame->getViewSize(), caption, text);
    if (!frame->setModalView(view)) {
        view->forget();
        return false;
    }
    // The frame attached it and holds its own reference for as long as it is modal.
    view->forget();
    return true;
}

void CMessageView::dismiss() {
    if (closing || frame == nullptr) return;
    closing = true;
    frame->invalidRect(size);
    frame->clearModalView();
}

void CMessageView::draw(CDrawContext* context) {
    const CRect r = size;
    context->setFillColor(CColor(232, 236, 238, 255));
    context->setFrameColor(CColor(36, 36, 32, 255));
    context->setLineWidth(1);
    context->drawRect(r, kDrawFilledAndStroked);
    CCoord y = r.top + 8;
    context->setFontColor(CColor(36, 36, 32, 255));
    if (!caption.empty()) {
        context->setFont(kNormalFont, 0, kBoldFace);
        context->drawString(caption.c_str(), CRect(r.left + 8, y, r.right - 8, y + 16));
        y += 18;
    } else {
        y += 9;
    }
    context->setFont(kNormalFontSmall);
    context->drawString(text.c_str(), CRect(r.left + 8, y, r.right - 8, y + 16));
    const CRect ok(r.left + kWidth / 2 - 28, r.bottom - 26, r.left + kWidth / 2 + 28, r.bottom - 8);
    context->setFillColor(CColor(209, 227, 238, 255));
    context->drawRect(ok, kDrawFilledAndStroked);
    context->drawString("OK", ok);
    setDirty(false);
}

CMouseEventResult CMessageView::onMouseDown(CPoint&, const CButtonState&) {
    dismiss();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CMessageView::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

CMouseEventResult CMessageView::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

int32_t CMessageView::onKeyDown(VstKeyCode& keyCode) {
    if (keyCode.virt == VKEY_RETURN || keyCode.virt == VKEY_ENTER || keyCode.virt == VKEY_ESCAPE) {
        dismiss();
    }
    return 1;  // modal: no key reaches the views below
}
