// An axis-aligned rectangle in frame pixels: left and top inside, right and
// bottom just outside, so a rectangle 10, 10, 20, 20 covers 10 x 10 pixels.
// Plain value type: safe to copy between threads.
#pragma once

#include <algorithm>
#include <cmath>

#include "toolkit/CPoint.h"

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
        : left(left), top(top), right(right), bottom(bottom) {}
    constexpr CRect(const CPoint& origin, const CPoint& size)
        : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

    constexpr CCoord getWidth() const { return right - left; }
    constexpr CCoord getHeight() const { return bottom - top; }
    CRect& setWidth(CCoord w) {
        right = left + w;
        return *this;
    }
    CRect& setHeight(CCoord h) {
        bottom = top + h;
        return *this;
    }
    constexpr CPoint getTopLeft() const { return {left, top}; }
    constexpr CPoint getTopRight() const { return {right, top}; }
    constexpr CPoint getBottomLeft() const { return {left, bottom}; }
    constexpr CPoint getBottomRight() const { return {right, bottom}; }
    constexpr CPoint getSize() const { return {getWidth(), getHeight()}; }
    constexpr CPoint getCenter() const { return {(left + right) / 2, (top + bottom) / 2}; }

    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& offset(const CPoint& d) { return offset(d.x, d.y); }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    CRect& moveTo(const CPoint& p) { return moveTo(p.x, p.y); }
    CRect& inset(CCoord dx, CCoord dy) {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
        return *this;
    }
    CRect& extend(CCoord dx, CCoord dy) { return inset(-dx, -dy); }
    /// Moves the rectangle to the origin, keeping its size.
    CRect& originize() { return moveTo(0, 0); }

    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    /// True when the two rectangles share at least one pixel.
    constexpr bool rectOverlap(const CRect& o) const {
        return o.right > left && o.left < right && o.bottom > top && o.top < bottom;
    }
    /// Shrinks this rectangle to its intersection with o (empty when apart).
    CRect& bound(const CRect& o) {
        left = std::max(left, o.left);
        top = std::max(top, o.top);
        right = std::min(right, o.right);
        bottom = std::min(bottom, o.bottom);
        if (right < left) right = left;
        if (bottom < top) bottom = top;
        return *this;
    }
    CRect intersect(const CRect& o) const { return CRect(*this).bound(o); }
    /// Grows this rectangle to hold o as well; an empty rectangle takes o.
    CRect& unite(const CRect& o) {
        if (o.isEmpty()) return *this;
        if (isEmpty()) return *this = o;
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
        return *this;
    }
    /// Rounds outward to whole pixels.
    CRect& makeIntegral() {
        left = std::floor(left);
        top = std::floor(top);
        right = std::ceil(right);
        bottom = std::ceil(bottom);
        return *this;
    }

    constexpr bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    constexpr bool operator!=(const CRect& o) const { return !(*this == o); }
};
