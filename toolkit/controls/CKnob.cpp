// CKnob: linear and circular dragging, wheel and arrow steps, handle drawing.
#include "toolkit/controls/CKnob.h"

#include <cmath>

#include "toolkit/CBitmap.h"
#include "toolkit/CDrawContext.h"
#include "toolkit/CFrame.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kLinearRange = 200.0f;
}  // namespace

CKnob::CKnob(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
             CBitmap* handle, const CPoint& offset)
    : CControl(size, listener, tag, background), offset(offset) {
    setHandleBitmap(handle);
}

CKnob::CKnob(const CKnob& other)
    : CControl(other),
      offset(other.offset),
      colorHandle(other.colorHandle),
      insetValue(other.insetValue),
      startAngle(other.startAngle),
      rangeAngle(other.rangeAngle),
      zoomFactor(other.zoomFactor) {
    setHandleBitmap(other.handleBitmap);
}

CKnob::~CKnob() {
    setHandleBitmap(nullptr);
}

void CKnob::setHandleBitmap(CBitmap* bitmap) {
    if (bitmap == handleBitmap) return;
    if (bitmap != nullptr) bitmap->remember();
    if (handleBitmap != nullptr) handleBitmap->forget();
    handleBitmap = bitmap;
    invalid();
}

void CKnob::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getDrawBackground()) bitmap->draw(context, getViewSize(), offset);
    drawHandle(context);
    setDirty(false);
}

CPoint CKnob::valueToPoint() const {
    const float alpha = startAngle - getValueNormalized() * rangeAngle;
    const CCoord cx = getWidth() / 2;
    const CCoord cy = getHeight() / 2;
    const CCoord radius = std::min(cx, cy) - insetValue;
    return CPoint(cx + std::cos(alpha) * radius, cy - std::sin(alpha) * radius);
}

float CKnob::valueFromPoint(const CPoint& point) const {
    const CCoord cx = getWidth() / 2;
    const CCoord cy = getHeight() / 2;
    float alpha = static_cast<float>(std::atan2(cy - point.y, point.x - cx));
    // Angle travelled clockwise from the start, in 0 .. 2 pi.
    float travelled = startAngle - alpha;
    while (travelled < 0) travelled += 2 * kPi;
    while (travelled >= 2 * kPi) travelled -= 2 * kPi;
    float normalized;
    if (travelled <= rangeAngle) {
        normalized = rangeAngle > 0 ? travelled / rangeAngle : 0;
    } else {
        // In the dead zone: the nearer end.
        normalized = (travelled - rangeAngle) < (2 * kPi - travelled) ? 1.0f : 0.0f;
    }
    return getMin() + normalized * getRange();
}

void CKnob::drawHandle(CDrawContext* context) {
    const CPoint tip = valueToPoint();
    const CRect& r = getViewSize();
    if (handleBitmap != nullptr) {
        const CCoord w = handleBitmap->getWidth();
        const CCoord h = handleBitmap->getHeight();
        CRect place(r.left + tip.x - w / 2, r.top + tip.y - h / 2, 0, 0);
        place.setWidth(w).setHeight(h);
        handleBitmap->draw(context, place);
        return;
    }
    context->setDrawMode(kAntiAliasing);
    context->setLineWidth(1);
    context->setFrameColor(colorHandle);
    context->drawLine(CPoint(r.left + r.getWidth() / 2 - 0.5, r.top + r.getHeight() / 2 - 0.5),
                      CPoint(r.left + tip.x - 0.5, r.top + tip.y - 0.5));
}

CMouseEventResult CKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    beginEdit();
    firstPoint = where;
    lastPoint = CPoint(-1, -1);
    entryState = getValue();
    range = kLinearRange;
    coef = getRange() / range;
    oldButton = buttons();

    int32_t mode = kCircularMode;
    const int32_t hostMode = frame != nullptr ? frame->getKnobMode() : -1;
    if (hostMode == kLinearMode) {
        if (!(buttons & kAlt)) mode = kLinearMode;
    } else if (buttons & kAlt) {
        mode = kLinearMode;
    }
    modeLinear = mode == kLinearMode;
    if (modeLinear) {
        if (buttons & kZoomModifier) range *= zoomFactor;
        coef = getRange() / range;
        lastPoint = where;
    } else {
        CPoint local = where;
        local.offset(-getViewSize().left, -getViewSize().top);
        startValue = valueFromPoint(local);
    }
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !isEditing() || where == lastPoint) return kMouseEventHandled;
    lastPoint = where;
    const float before = getValue();
    if (modeLinear) {
        const float diff = static_cast<float>((firstPoint.y - where.y) + (where.x - firstPoint.x));
        if (buttons() != oldButton) {
            // Shift pressed or released mid-drag: rescale without a jump.
            range = kLinearRange;
            if (buttons & kZoomModifier) range *= zoomFactor;
            const float coef2 = getRange() / range;
            entryState += diff * (coef - coef2);
            coef = coef2;
            oldButton = buttons();
        }
        value.store(entryState + diff * coef);
        bounceValue();
    } else {
        CPoint local = where;
        local.offset(-getViewSize().left, -getViewSize().top);
        float v = valueFromPoint(local);
        // No jumping across the dead zone from one end to the other.
        const float middle = getRange() * 0.5f;
        if (v - startValue > middle) {
            v = getMin();
        } else if (startValue - v > middle) {
            v = getMax();
        } else {
            startValue = v;
        }
        value.store(v);
    }
    if (getValue() != before) {
        valueChanged();
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (isEditing()) endEdit();
    return kMouseEventHandled;
}

bool CKnob::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    if (!getMouseEnabled()) return false;
    const float before = getValue();
    float v = getValueNormalized();
    v += (buttons & kZoomModifier) ? 0.1f * distance * wheelInc : distance * wheelInc;
    setValueNormalized(v);
    if (getValue() != before) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}

int32_t CKnob::onKeyDown(VstKeyCode& keyCode) {
    float step = 0;
    switch (keyCode.virt) {
        case VKEY_UP:
        case VKEY_RIGHT:
            step = wheelInc;
            break;
        case VKEY_DOWN:
        case VKEY_LEFT:
            step = -wheelInc;
            break;
        default:
            return -1;
    }
    if (keyCode.modifier & MODIFIER_SHIFT) step *= 0.1f;
    const float before = getValue();
    setValueNormalized(getValueNormalized() + step);
    if (getValue() != before) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return 1;
}
