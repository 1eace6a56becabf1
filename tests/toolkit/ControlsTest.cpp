// The stock controls: values, edit brackets, default value, drag, wheel.
#include <limits>

#include "ToolkitTestSupport.h"

namespace zelto::test {
namespace {

struct ControlScene {
    RecordingEditor editor;
    TestFrame frame{CRect(0, 0, 300, 200), &editor};
    RecordingListener listener;

    template <typename T>
    T* add(T* control) {
        frame->addView(control);
        return control;
    }
    void click(CPoint where, CButtonState buttons = kLButton) {
        frame->injectMouseDown(where, buttons);
        frame->injectMouseUp(where, buttons);
        frame.now += 1000;  // never a double click by accident
    }
};

TEST(Controls, ControlClickRestoresTheDefaultInsideAnEditBracket) {
    ControlScene s;
    auto* knob = s.add(new CKnob(CRect(10, 10, 50, 50), &s.listener, 7, nullptr));
    knob->setDefaultValue(0.25f);
    knob->setValue(0.9f);
    s.click(CPoint(30, 30), kLButton | kControl);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
    ASSERT_EQ(s.listener.calls.size(), 1u);
    EXPECT_EQ(s.listener.calls[0].tag, 7);
    EXPECT_EQ(s.editor.gestures, (std::vector<std::string>{"begin 7", "end 7"}));
    // Already at the default: nothing to tell.
    s.click(CPoint(30, 30), kLButton | kControl);
    EXPECT_EQ(s.listener.calls.size(), 1u);
    // Control with Shift is not the default-value click.
    CControl plain(CRect(0, 0, 1, 1));
    EXPECT_FALSE(plain.checkDefaultValue(kLButton | kControl | kShift));
    EXPECT_FALSE(plain.checkDefaultValue(kRButton | kControl));
    EXPECT_TRUE(plain.checkDefaultValue(kLButton | kControl | kDoubleClick));
}

TEST(Controls, LinearKnobDragFollowsUpAndRightWithFineShift) {
    ControlScene s;
    auto* knob = s.add(new CKnob(CRect(10, 10, 50, 50), &s.listener, 3, nullptr));
    knob->setValue(0.5f);
    s.frame->injectMouseDown(CPoint(30, 30), kLButton);
    s.frame->injectMouseMoved(CPoint(30, 10), kLButton);  // 20 px up
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-6);
    s.frame->injectMouseMoved(CPoint(50, 10), kLButton);  // and 20 px right
    EXPECT_NEAR(knob->getValue(), 0.7f, 1e-6);
    // Shift pressed mid-drag: the move on which it is noticed still follows
    // the old scale (no jump), the next ones are 1.5 times finer.
    s.frame->injectMouseMoved(CPoint(50, -20), kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.85f, 1e-5);
    s.frame->injectMouseMoved(CPoint(50, -50), kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.85f + 30.0f / 300.0f, 1e-5);
    s.frame->injectMouseMoved(CPoint(50, -500), kLButton | kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f) << "limited to the range";
    s.frame->injectMouseUp(CPoint(50, -500), kLButton);
    EXPECT_EQ(s.editor.gestures, (std::vector<std::string>{"begin 3", "end 3"}));
    EXPECT_GE(s.listener.calls.size(), 3u);
}

TEST(Controls, CircularKnobFollowsTheAngle) {
    ControlScene s;
    s.editor.knobMode = kCircularMode;
    auto* knob = s.add(new CKnob(CRect(0, 0, 100, 100), &s.listener, 1, nullptr));
    EXPECT_NEAR(knob->valueFromPoint(CPoint(50, 0)), 0.5f, 1e-4);   // top
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 100)), 0.0f, 1e-4);  // lower left
    EXPECT_NEAR(knob->valueFromPoint(CPoint(100, 100)), 1.0f, 1e-4);
    knob->setValue(0.5f);
    s.frame->injectMouseDown(CPoint(50, 5), kLButton);
    s.frame->injectMouseMoved(CPoint(95, 50), kLButton);  // 225 of 270 degrees round
    EXPECT_NEAR(knob->getValue(), 5.0f / 6.0f, 0.01);
    s.frame->injectMouseUp(CPoint(95, 50), kLButton);
}

TEST(Controls, KnobWheelAndArrowsStepByTheWheelIncrement) {
    ControlScene s;
    auto* knob = s.add(new CKnob(CRect(10, 10, 50, 50), &s.listener, 2, nullptr));
    knob->setWheelInc(0.05f);
    knob->setValue(0.5f);
    s.frame->injectMouseWheel(CPoint(20, 20), 1.0f, 0);
    EXPECT_NEAR(knob->getValue(), 0.55f, 1e-6);
    s.frame->injectMouseWheel(CPoint(20, 20), -1.0f, kShift);
    EXPECT_NEAR(knob->getValue(), 0.545f, 1e-6);
    EXPECT_EQ(s.editor.gestures.size(), 4u);
    knob->setValue(1.0f);
    const size_t calls = s.listener.calls.size();
    s.frame->injectMouseWheel(CPoint(20, 20), 1.0f, 0);
    EXPECT_EQ(s.listener.calls.size(), calls) << "a notch past the end changes nothing";
    s.click(CPoint(20, 20));  // focus for the keys
    VstKeyCode down = makeVirtualKey(VKEY_DOWN);
    EXPECT_EQ(s.frame->injectKeyDown(down), 1);
    EXPECT_NEAR(knob->getValue(), 0.95f, 1e-6);
}

TEST(Controls, AnimatedKnobShowsTheFrameOfItsValue) {
    ControlScene s;
    // Five frames of 10 rows; frame i is filled with colour i * 40.
    std::vector<uint32_t> pixels(10 * 50);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 10; ++x) pixels[y * 10 + x] = 0xff000000u | ((y / 10) * 40u << 16);
    }
    CBitmap* strip = new CBitmap(10, 50, pixels.data());
    auto* knob = s.add(new CAnimKnob(CRect(0, 0, 10, 10), &s.listener, 0, 5, 10, strip));
    strip->forget();
    auto shown = [&]() {
        s.frame->idle();
        return s.frame->getPixel(5, 5).red / 40;
    };
    knob->setValue(0.0f);
    EXPECT_EQ(shown(), 0);
    knob->setValue(0.26f);
    EXPECT_EQ(shown(), 1);
    knob->setValue(0.74f);
    EXPECT_EQ(shown(), 2) << "truncates, never rounds up";
    knob->setValue(1.0f);
    EXPECT_EQ(shown(), 4);
    knob->setInverseBitmap(true);
    knob->invalid();
    EXPECT_EQ(shown(), 0);
}

TEST(Controls, OnOffButtonFlipsBetweenMinimumAndMaximum) {
    ControlScene s;
    CBitmap* strip = makeCoordinateBitmap(10, 20);
    auto* button = s.add(new COnOffButton(CRect(0, 0, 10, 10), &s.listener, 4, strip));
    strip->forget();
    s.click(CPoint(5, 5));
    EXPECT_EQ(button->getValue(), 1.0f);
    s.frame->idle();
    EXPECT_EQ(s.frame->getPixel(0, 0).green, 10) << "the on image is the lower half";
    s.click(CPoint(5, 5));
    EXPECT_EQ(button->getValue(), 0.0f);
    s.click(CPoint(5, 5), kRButton);
    EXPECT_EQ(button->getValue(), 0.0f) << "right button does nothing";
    EXPECT_EQ(s.listener.calls.size(), 2u);
    button->setValue(0.6f);  // between: shows off
    s.frame->idle();
    EXPECT_EQ(s.frame->getPixel(0, 0).green, 0);
}

TEST(Controls, KickButtonFiresOnlyWhenReleasedOverIt) {
    ControlScene s;
    auto* kick = s.add(new CKickButton(CRect(10, 10, 30, 30), &s.listener, 5, nullptr));
    s.frame->injectMouseDown(CPoint(20, 20), kLButton);
    EXPECT_EQ(kick->getValue(), 1.0f);
    s.frame->injectMouseMoved(CPoint(100, 100), kLButton);
    EXPECT_EQ(kick->getValue(), 0.0f);
    s.frame->injectMouseUp(CPoint(100, 100), kLButton);
    ASSERT_EQ(s.listener.calls.size(), 1u);
    EXPECT_EQ(s.listener.calls[0].value, 0.0f);

    s.listener.calls.clear();
    s.click(CPoint(20, 20));
    ASSERT_EQ(s.listener.calls.size(), 2u);
    EXPECT_EQ(s.listener.calls[0].value, 1.0f);
    EXPECT_EQ(s.listener.calls[1].value, 0.0f);

    s.listener.calls.clear();
    VstKeyCode enter = makeVirtualKey(VKEY_RETURN);
    EXPECT_EQ(kick->onKeyDown(enter), 1);
    EXPECT_EQ(s.listener.calls.size(), 2u);
    EXPECT_EQ(kick->getValue(), 0.0f) << "never left pressed without a key-up";
}

TEST(Controls, RockerTellsTheHalfAndReturnsToRest) {
    ControlScene s;
    auto* rocker = s.add(new CRockerSwitch(CRect(0, 0, 30, 13), &s.listener, 1001, nullptr));
    s.click(CPoint(5, 5));
    s.click(CPoint(25, 5));
    std::vector<float> values;
    for (const ListenerCall& c : s.listener.calls) values.push_back(c.value);
    EXPECT_EQ(values, (std::vector<float>{-1.0f, 0.0f, 1.0f, 0.0f}));
    EXPECT_EQ(rocker->getValue(), 0.0f);
    // Not a parameter of anything here, but the gesture still goes out.
    EXPECT_EQ(s.editor.gestures.front(), "begin 1001");
}

TEST(Controls, ValueNormalisationIsSafeForOddRanges) {
    CControl c(CRect(0, 0, 1, 1));
    c.setMin(-1.0f);
    c.setMax(1.0f);
    c.setValueNormalized(0.75f);
    EXPECT_FLOAT_EQ(c.getValue(), 0.5f);
    c.setValueNormalized(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(c.getValue(), -1.0f);
    c.setMax(-1.0f);
    EXPECT_EQ(c.getValueNormalized(), 0.0f) << "an empty range divides by nothing";
    c.setMax(1.0f);
    c.setValue(std::numeric_limits<float>::quiet_NaN());
    c.bounceValue();
    EXPECT_FLOAT_EQ(c.getValue(), -1.0f);
}

TEST(Controls, ChangedValueMakesTheControlDirtyUntilDrawn) {
    ControlScene s;
    auto* kick = s.add(new CKickButton(CRect(0, 0, 10, 10), nullptr, 0, nullptr));
    s.frame->idle();
    EXPECT_FALSE(kick->isDirty());
    kick->setValue(1.0f);
    EXPECT_TRUE(kick->isDirty());
    s.frame->idle();
    EXPECT_FALSE(kick->isDirty());
}

TEST(Controls, CopiesKeepTheirSetUpButNoFrame) {
    ControlScene s;
    auto* knob = s.add(new CAnimKnob(CRect(1, 2, 3, 4), &s.listener, 9, 101, 48, nullptr));
    knob->setValue(0.3f);
    knob->setDefaultValue(0.7f);
    CView* copy = knob->newCopy();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->isTypeOf("CAnimKnob"));
    EXPECT_TRUE(copy->isTypeOf("CControl"));
    EXPECT_STREQ(copy->getClassName(), "CAnimKnob");
    auto* knobCopy = static_cast<CAnimKnob*>(copy);
    EXPECT_EQ(knobCopy->getTag(), 9);
    EXPECT_FLOAT_EQ(knobCopy->getValue(), 0.3f);
    EXPECT_FLOAT_EQ(knobCopy->getDefaultValue(), 0.7f);
    EXPECT_EQ(knobCopy->getNumSubPixmaps(), 101);
    EXPECT_EQ(copy->getFrame(), nullptr);
    copy->forget();
}

}  // namespace
}  // namespace zelto::test
