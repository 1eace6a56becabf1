// Mouse buttons, modifier keys and the answers of the mouse handlers.
// Plain values: safe on any thread.
#pragma once

#include <cstdint>

enum CButton : int32_t {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7,
    kButton4 = 1 << 8,
    kButton5 = 1 << 9,
    kDoubleClick = 1 << 10,
};

/// The modifier that makes a left click restore a control's default value.
inline constexpr int32_t kDefaultValueModifier = kControl;
/// The modifier for fine adjustment (knob drags, wheel).
inline constexpr int32_t kZoomModifier = kShift;

class CButtonState {
  public:
    constexpr CButtonState(int32_t state = 0) : state(state) {}  // NOLINT: implicit by design

    constexpr int32_t getButtonState() const {
        return state & (kLButton | kMButton | kRButton | kButton4 | kButton5);
    }
    constexpr int32_t getModifierState() const {
        return state & (kShift | kControl | kAlt | kApple);
    }
    constexpr bool isLeftButton() const { return (state & kLButton) != 0; }
    constexpr bool isRightButton() const { return (state & kRButton) != 0; }
    constexpr bool isDoubleClick() const { return (state & kDoubleClick) != 0; }

    constexpr int32_t operator()() const { return state; }
    constexpr int32_t getState() const { return state; }
    constexpr int32_t operator&(int32_t mask) const { return state & mask; }
    constexpr int32_t operator|(int32_t mask) const { return state | mask; }
    CButtonState& operator|=(int32_t mask) {
        state |= mask;
        return *this;
    }
    constexpr bool operator==(const CButtonState& o) const { return state == o.state; }
    constexpr bool operator!=(const CButtonState& o) const { return state != o.state; }

  private:
    int32_t state;
};

enum CMouseEventResult : int32_t {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
    kMouseMoveEventHandledButDontNeedMoreEvents,
};
