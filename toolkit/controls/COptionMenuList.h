// The open list of a COptionMenu, shown as the frame's modal view while the
// user chooses. Internal to the toolkit. User-interface thread only.
#pragma once

#include <vector>

#include "toolkit/CView.h"
#include "toolkit/controls/COptionMenu.h"

class COptionMenuList : public CView {
  public:
    /// Lays the entries out in columns and places the list next to the menu,
    /// inside the frame.
    COptionMenuList(COptionMenu* menu, const CRect& frameBounds);
    ~COptionMenuList() override;
    COptionMenuList(const COptionMenuList&) = delete;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    /// The entry under a point, or -1.
    int32_t entryAt(const CPoint& where) const;
    /// Where an entry is drawn (frame pixels).
    CRect entryRect(int32_t index) const;
    int32_t getHoverIndex() const { return hover; }

    CLASS_METHODS_NOCOPY(COptionMenuList, CView)

  private:
    void close(int32_t chosen);
    void moveHover(int32_t step);

    COptionMenu* menu;
    std::vector<CMenuItem> items;
    int32_t current;
    int32_t perColumn;
    CCoord rowHeight;
    CCoord columnWidth;
    int32_t hover;
    bool closing = false;
};
