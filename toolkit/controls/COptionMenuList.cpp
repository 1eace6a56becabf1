// COptionMenuList: layout, drawing and choosing in the open menu.
#include "toolkit/controls/COptionMenuList.h"

#include <algorithm>
#include <cmath>

#include "toolkit/CDrawContext.h"
#include "toolkit/CFrame.h"
#include "toolkit/platform/NativeSurface.h"

namespace {

constexpr CColor kListBack(248, 248, 246);
constexpr CColor kListBorder(80, 80, 80);
constexpr CColor kListRule(205, 205, 205);
constexpr CColor kListText(25, 25, 25);
constexpr CColor kListDim(140, 140, 140);
constexpr CColor kListHover(52, 101, 164);
constexpr CColor kListHoverText(255, 255, 255);
constexpr CCoord kPadding = 6;

CFontRef menuFont(const COptionMenu* menu) {
    return menu->getFont() != nullptr ? menu->getFont() : kNormalFontSmall;
}

}  // namespace

COptionMenuList::COptionMenuList(COptionMenu* menu, const CRect& frameBounds)
    : CView(CRect()), menu(menu), current(menu->getCurrentIndex()) {
    menu->remember();
    const int32_t count = menu->getNbEntries();
    for (int32_t i = 0; i < count; ++i) items.push_back(menu->getEntry(i));
    const auto n = static_cast<int32_t>(items.size());
    const int32_t wanted = menu->getNbItemsPerColumn();
    perColumn = std::max(1, wanted > 0 ? std::min(wanted, n) : n);
    const int32_t columns = (n + perColumn - 1) / perColumn;

    // Text widths need a draw context; a one-pixel image is enough.
    CCoord widest = 0;
    CCoord fontSize = menuFont(menu)->getSize() > 0 ? menuFont(menu)->getSize() : 12;
    NativeSurface* scratch = zelto::toolkit::createOpaqueSurface(1, 1);
    {
        CDrawContext measure(scratch);
        measure.setFont(menuFont(menu));
        for (const CMenuItem& item : items) {
            widest = std::max(widest, measure.getStringWidth(item.getTitle().c_str()));
        }
    }
    zelto::toolkit::releaseSurface(scratch);

    rowHeight = std::round(fontSize * 1.6);
    columnWidth = std::max<CCoord>(40, std::ceil(rowHeight + widest + 2 * kPadding));
    const CCoord width = columns * columnWidth + 2;
    const CCoord height = perColumn * rowHeight + 2;

    // Below the menu if it fits, else above, always inside the frame.
    const CRect& at = menu->getViewSize();
    CCoord left = at.left;
    CCoord top = at.bottom;
    if (top + height > frameBounds.bottom) top = at.top - height;
    if (top < frameBounds.top) top = std::max(frameBounds.top, frameBounds.bottom - height);
    if (left + width > frameBounds.right) left = frameBounds.right - width;
    if (left < frameBounds.left) left = frameBounds.left;
    size = CRect(std::round(left), std::round(top), std::round(left) + width,
                 std::round(top) + height);
    hover = (current >= 0 && current < n && items[static_cast<size_t>(current)].isSelectable())
                ? current
                : -1;
}

COptionMenuList::~COptionMenuList() {
    if (!closing) menu->popupClosed();
    menu->forget();
}

CRect COptionMenuList::entryRect(int32_t index) const {
    const int32_t column = index / perColumn;
    const int32_t row = index % perColumn;
    const CCoord left = size.left + 1 + column * columnWidth;
    const CCoord top = size.top + 1 + row * rowHeight;
    return CRect(left, top, left + columnWidth, top + rowHeight);
}

int32_t COptionMenuList::entryAt(const CPoint& where) const {
    if (!size.pointInside(where)) return -1;
    for (int32_t i = 0; i < static_cast<int32_t>(items.size()); ++i) {
        if (entryRect(i).pointInside(where)) return i;
    }
    return -1;
}

void COptionMenuList::draw(CDrawContext* context) {
    context->setFillColor(kListBack);
    context->setFrameColor(kListBorder);
    context->setLineWidth(1);
    context->drawRect(size, kDrawFilledAndStroked);
    context->setFont(menuFont(menu));
    const bool checkCurrent = (menu->getStyle() & kCheckStyle) != 0;
    for (int32_t i = 0; i < static_cast<int32_t>(items.size()); ++i) {
        const CMenuItem& item = items[static_cast<size_t>(i)];
        const CRect r = entryRect(i);
        if (i >= perColumn && i % perColumn == 0) {
            context->setFrameColor(kListRule);
            context->drawLine(CPoint(r.left - 1, size.top + 1),
                              CPoint(r.left - 1, size.bottom - 1));
        }
        if (item.isSeparator()) {
            context->setFrameColor(kListRule);
            const CCoord y = std::floor(r.top + r.getHeight() / 2);
            context->drawLine(CPoint(r.left + kPadding, y), CPoint(r.right - kPadding, y));
            continue;
        }
        const bool highlighted = i == hover && item.isSelectable();
        if (highlighted) {
            context->setFillColor(kListHover);
            context->drawRect(r, kDrawFilled);
        }
        const CColor ink = highlighted           ? kListHoverText
                           : item.isSelectable() ? kListText
                                                 : kListDim;
        if ((checkCurrent && i == current) || item.isChecked()) {
            const CCoord cx = r.left + rowHeight / 2;
            const CCoord cy = r.top + rowHeight / 2;
            const CCoord s = std::max<CCoord>(2, std::floor(rowHeight / 5));
            context->setFrameColor(ink);
            context->setDrawMode(kAntiAliasing);
            context->setLineWidth(2);
            context->drawLine(CPoint(cx - s, cy), CPoint(cx - s / 3, cy + s * 0.8));
            context->drawLine(CPoint(cx - s / 3, cy + s * 0.8), CPoint(cx + s, cy - s));
            context->setLineWidth(1);
            context->setDrawMode(kAliasing);
        }
        context->setFontColor(ink);
        CRect textBox(r.left + rowHeight, r.top, r.right - kPadding, r.bottom);
        context->drawString(item.getTitle().c_str(), textBox, kLeftText);
    }
    setDirty(false);
}

void COptionMenuList::close(int32_t chosen) {
    if (closing) return;
    closing = true;
    COptionMenu* owner = menu;
    owner->remember();
    if (CFrame* f = frame) f->clearModalView();
    owner->popupClosed();
    if (chosen >= 0) owner->selectEntry(chosen);
    owner->forget();
}

CMouseEventResult COptionMenuList::onMouseDown(CPoint& where, const CButtonState&) {
    if (!size.pointInside(where)) {
        close(-1);
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    const int32_t index = entryAt(where);
    if (index >= 0 && items[static_cast<size_t>(index)].isSelectable()) close(index);
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult COptionMenuList::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

CMouseEventResult COptionMenuList::onMouseMoved(CPoint& where, const CButtonState&) {
    int32_t index = entryAt(where);
    if (index >= 0 && !items[static_cast<size_t>(index)].isSelectable()) index = -1;
    if (index != hover) {
        hover = index;
        invalid();
    }
    return kMouseEventHandled;
}

bool COptionMenuList::onWheel(const CPoint&, const float& distance, const CButtonState&) {
    if (distance != 0.0f) moveHover(distance > 0 ? -1 : 1);
    return true;
}

void COptionMenuList::moveHover(int32_t step) {
    const auto n = static_cast<int32_t>(items.size());
    int32_t i = hover >= 0 ? hover : (current >= 0 ? current : (step > 0 ? -1 : n));
    for (int32_t tries = 0; tries < n; ++tries) {
        i += step;
        if (i < 0 || i >= n) return;  // no wrap-around
        if (items[static_cast<size_t>(i)].isSelectable()) {
            hover = i;
            invalid();
            return;
        }
        if (step > 1 || step < -1) return;
    }
}

int32_t COptionMenuList::onKeyDown(VstKeyCode& key) {
    switch (key.virt) {
        case VKEY_ESCAPE:
            close(-1);
            break;
        case VKEY_UP:
            moveHover(-1);
            break;
        case VKEY_DOWN:
            moveHover(1);
            break;
        case VKEY_LEFT:
            moveHover(-perColumn);
            break;
        case VKEY_RIGHT:
            moveHover(perColumn);
            break;
        case VKEY_RETURN:
        case VKEY_ENTER:
            if (hover >= 0) close(hover);
            break;
        default:
            break;
    }
    return 1;  // the list has the keyboard while it is open
}
