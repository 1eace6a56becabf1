// The panel's own controls offscreen: which strip frame each shows for a
// value, what a click, drag or wheel notch sends to the listener, and which
// changes reach the host inside an edit bracket.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/CAutoBlack.h"
#include "editor/CBits.h"
#include "editor/CCalibButton.h"
#include "editor/CModeButton.h"
#include "editor/CMyKnob.h"
#include "editor/CNoiseShape.h"
#include "editor/COversamplingButton.h"
#include "editor/CSpeedSwitch.h"
#include "editor/CZeltoButton.h"
#include "editor/MeterModeListener.h"

namespace {

/// Records every call a control makes to the editor, in order.
class FakeEditor : public CControlListener, public MeterModeListener, public VSTGUIEditorInterface {
  public:
    void valueChanged(CControl* c) override {
        log.push_back("value " + std::to_string(c->getTag()) + " " + std::to_string(c->getValue()));
        values.push_back(c->getValue());
    }
    void saveMeterPrefs() override { log.push_back("save"); }
    void setMeterType(int32_t t) override { log.push_back("type " + std::to_string(t)); }
    void setMeterScale(int32_t s) override { log.push_back("scale " + std::to_string(s)); }
    void beginEdit(int32_t index) override { log.push_back("begin " + std::to_string(index)); }
    void endEdit(int32_t index) override { log.push_back("end " + std::to_string(index)); }
    int32_t getKnobMode() const override { return kCircularMode; }

    std::vector<std::string> log;
    std::vector<float> values;
};

/// A strip of `frames` frames of `height` pixels, frame i filled with grey i+1.
CBitmap* numberedStrip(int32_t width, int32_t height, int32_t frames) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width * height * frames));
    for (int32_t f = 0; f < frames; ++f) {
        const uint32_t grey = static_cast<uint32_t>(f + 1);
        for (int32_t i = 0; i < width * height; ++i) {
            pixels[static_cast<size_t>(f * width * height + i)] =
                0xFF000000u | (grey << 16) | (grey << 8) | grey;
        }
    }
    return new CBitmap(width, height * frames, pixels.data());
}

class ControlsTest : public ::testing::Test {
  protected:
    ControlsTest() : frame(new CFrame(CRect(0, 0, 524, 462), &editor)) {}
    ~ControlsTest() override { frame->close(); }

    /// Adds the control to the frame (which keeps it) and answers it.
    template <typename T>
    T* add(T* control) {
        frame->addView(control);
        return control;
    }
    /// The strip frame shown at the centre of a view, as drawn.
    int32_t shownFrame(CView* view) {
        frame->invalidRect(frame->getViewSize());
        frame->updateOffscreen();
        const CRect& r = view->getViewSize();
        return static_cast<int32_t>(
                   frame
                       ->getPixel(static_cast<int32_t>(r.left + 2), static_cast<int32_t>(r.top + 2))
                       .red) -
               1;
    }
    void click(CView* view, CButtonState buttons = kLButton) {
        const CRect& r = view->getViewSize();
        frame->injectMouseDown(CPoint(r.left + 2, r.top + 2), buttons);
        frame->injectMouseUp(CPoint(r.left + 2, r.top + 2), buttons);
    }

    FakeEditor editor;
    CFrame* frame;
};

}  // namespace

TEST_F(ControlsTest, ZeltoButtonShowsOnFromHalfAndClicksToTheOtherStepCentre) {
    CBitmap* strip = numberedStrip(33, 19, 3);
    auto* button = add(new CZeltoButton(CRect(44, 40, 77, 59), &editor, 7, strip, false));
    auto* pref = add(new CZeltoButton(CRect(269, 265, 302, 284), &editor, 19, strip, true));
    strip->forget();

    button->setValue(0.6f);
    EXPECT_EQ(shownFrame(button), 1);
    button->setValue(0.49f);
    EXPECT_EQ(shownFrame(button), 0);
    button->setValue(0.6f);
    click(button);
    EXPECT_FLOAT_EQ(button->getValue(), 0.25f);
    click(button);
    EXPECT_FLOAT_EQ(button->getValue(), 0.75f);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"value 7 0.250000", "value 7 0.750000"}))
        << "single changes, no edit bracket";

    // A right click on an ordinary button is not its business.
    editor.log.clear();
    click(button, kRButton);
    EXPECT_TRUE(editor.log.empty());
    EXPECT_FLOAT_EQ(button->getValue(), 0.75f);

    // On a preference button it saves the set-up and leaves the value alone.
    pref->setValue(0.25f);
    click(pref, kRButton);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"save"}));
    EXPECT_FLOAT_EQ(pref->getValue(), 0.25f);
    pref->setHighlight(true);
    EXPECT_EQ(shownFrame(pref), 2);
    pref->setHighlight(false);
    EXPECT_EQ(shownFrame(pref), 0);
}

TEST_F(ControlsTest, OversamplingButtonWritesExactZeroAndOne) {
    CBitmap* strip = numberedStrip(33, 19, 2);
    auto* button = add(new COversamplingButton(CRect(81, 40, 114, 59), &editor, 6, strip));
    strip->forget();
    button->setValue(0.75f);  // from a host
    EXPECT_EQ(shownFrame(button), 1);
    click(button);
    EXPECT_EQ(button->getValue(), 1.0f) << "trunc(0.75) is 0, so it stays on";
    click(button);
    EXPECT_EQ(button->getValue(), 0.0f);
    button->setValue(0.3f);
    EXPECT_EQ(shownFrame(button), 0);
    EXPECT_EQ(editor.values, (std::vector<float>{1.0f, 0.0f}));
}

TEST_F(ControlsTest, ModeButtonZonesSelectPeakOrStepTheKScale) {
    CBitmap* strip = numberedStrip(35, 56, 7);
    const CRect r(223, 305, 258, 361);
    auto* mode = add(new CModeButton(r, &editor, 9, strip));
    strip->forget();
    EXPECT_EQ(mode->getMeterScale(), 1) << "K-14 until the editor says otherwise";

    mode->setMeterType(1);
    mode->setMeterScale(2);
    EXPECT_EQ(shownFrame(mode), 5);
    frame->injectMouseDown(CPoint(240, r.top + 18), kLButton);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"type 0"}));
    editor.log.clear();
    for (CCoord y = r.top + 19; y <= r.bottom - 19; ++y)
        frame->injectMouseDown(CPoint(240, y), kLButton);
    EXPECT_TRUE(editor.log.empty()) << "the gap between the two buttons does nothing";

    frame->injectMouseDown(CPoint(240, r.bottom - 18), kLButton);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"scale 0", "type 1"}));
    editor.log.clear();
    mode->setMeterType(0);
    frame->injectMouseDown(CPoint(240, r.bottom - 18), kLButton);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"type 1"})) << "from peak: the scale stays";
    EXPECT_EQ(shownFrame(mode), 0);

    editor.log.clear();
    frame->injectMouseDown(CPoint(240, r.top + 30), kRButton);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"save"}));
    mode->setHighlight(true);
    EXPECT_EQ(shownFrame(mode), 6);

    // Without a listener that can set the meters, presses are not handled.
    auto* orphan = add(new CModeButton(CRect(0, 0, 35, 56), nullptr, 9, nullptr));
    CPoint p(10, 5);
    EXPECT_EQ(orphan->onMouseDown(p, kLButton), kMouseEventNotHandled);
}

TEST_F(ControlsTest, RequantizerSelectorsCycleAndDimWhileQuantizeIsOff) {
    CBitmap* bitsStrip = numberedStrip(33, 19, 6);
    CBitmap* nsStrip = numberedStrip(33, 19, 7);
    CBitmap* abStrip = numberedStrip(33, 19, 3);
    auto* bits = add(new CBits(CRect(412, 78, 445, 97), &editor, 10, bitsStrip));
    auto* shape = add(new CNoiseShape(CRect(449, 78, 482, 97), &editor, 11, nsStrip));
    auto* black = add(new CAutoBlack(CRect(449, 40, 482, 59), &editor, 17, abStrip));
    bitsStrip->forget();
    nsStrip->forget();
    abStrip->forget();

    bits->setSelection(2);
    EXPECT_EQ(shownFrame(bits), 2);
    bits->setEnabled(1);
    EXPECT_EQ(shownFrame(bits), 5);
    for (int32_t enabled : {0, 1}) {
        shape->setEnabled(enabled);
        shape->setSelection(0);
        EXPECT_EQ(shownFrame(shape), 0) << "off looks the same either way";
        shape->setSelection(3);
        EXPECT_EQ(shownFrame(shape), 3 + 3 * enabled);
    }
    black->setSelection(0);
    EXPECT_EQ(shownFrame(black), 0);
    black->setSelection(1);
    black->setEnabled(1);
    EXPECT_EQ(shownFrame(black), 1);
    black->setEnabled(0);
    EXPECT_EQ(shownFrame(black), 2);

    // Clicks cycle whether "Quantize" is on or not, sending step centres.
    bits->setEnabled(0);
    click(bits);
    click(bits);
    shape->setSelection(2);
    click(shape);
    click(shape);
    click(black);
    EXPECT_EQ(bits->getSelection(), 1);
    EXPECT_EQ(shape->getSelection(), 0);
    EXPECT_EQ(black->getSelection(), 0);
    EXPECT_EQ(editor.values, (std::vector<float>{1.0f / 6, 0.5f, 0.875f, 0.125f, 0.25f}));
}

TEST_F(ControlsTest, CalibrationButtonStepsAndBlinksFromTheLastClick) {
    auto* calib = add(new CCalibButton(CRect(269, 341, 302, 360), &editor, 12, nullptr));
    calib->setTick(1000);
    calib->setValue(0.0f);
    EXPECT_EQ(calib->currentOffset(), 0) << "off never blinks";
    click(calib);  // step 1 at tick 1000
    EXPECT_FLOAT_EQ(calib->getValue(), 0.375f);
    EXPECT_EQ(calib->currentOffset(), 19 + 57) << "lit phase right after the click";
    calib->setTick(1255);
    EXPECT_EQ(calib->currentOffset(), 19 + 57);
    calib->setTick(1256);
    EXPECT_EQ(calib->currentOffset(), 19) << "second 256 ms phase";
    calib->setTick(1512);
    EXPECT_EQ(calib->currentOffset(), 19 + 57);
    // Steps 2 and 3 sit in the strip the other way round.
    calib->setValue(0.625f);
    calib->setTick(1300);
    EXPECT_EQ(calib->currentOffset(), 3 * 19);
    calib->setValue(0.875f);
    EXPECT_EQ(calib->currentOffset(), 2 * 19);
    click(calib);
    EXPECT_FLOAT_EQ(calib->getValue(), 0.125f) << "from step 3 back to off";
    EXPECT_EQ(calib->currentOffset(), 0);

    // Ticks mark it dirty only while a signal is on, so idle passes stay cheap.
    frame->updateOffscreen();
    calib->setTick(5000);
    EXPECT_FALSE(calib->isDirty());
    calib->setValue(0.375f);
    frame->updateOffscreen();
    calib->setTick(5001);
    EXPECT_TRUE(calib->isDirty());
}

TEST_F(ControlsTest, SpeedSwitchAnswersOnlyItsThreeSpots) {
    CBitmap* strip = numberedStrip(90, 25, 3);
    auto* speed = add(new CSpeedSwitch(CRect(38, 121, 128, 146), &editor, 4, strip));
    strip->forget();
    const struct {
        CCoord x, y;
        int32_t position;
    } presses[] = {{39, 123, 0},  {56, 140, 0},  {57, 130, -1},  {72, 130, 1},  {89, 123, 1},
                   {105, 140, 2}, {122, 130, 2}, {123, 130, -1}, {80, 122, -1}, {80, 141, -1}};
    for (const auto& p : presses) {
        editor.values.clear();
        speed->setValue(0.5f);
        EXPECT_EQ(frame->injectMouseDown(CPoint(p.x, p.y), kLButton),
                  kMouseDownEventHandledButDontNeedMovedOrUpEvents);
        if (p.position < 0) {
            EXPECT_TRUE(editor.values.empty()) << p.x << "," << p.y;
            EXPECT_FLOAT_EQ(speed->getValue(), 0.5f);
        } else {
            ASSERT_EQ(editor.values.size(), 1u) << p.x << "," << p.y;
            EXPECT_FLOAT_EQ(editor.values[0], (p.position + 0.5f) / 3);
        }
    }
    speed->setValue(5.0f / 6);
    EXPECT_EQ(shownFrame(speed), 2);
}

TEST_F(ControlsTest, KnobShowsTruncatedFramesAndDragsLinearly) {
    auto* knob = add(new CMyKnob(CRect(52, 349, 108, 404), &editor, 1, nullptr, 55));
    knob->setValue(0.995f);
    EXPECT_EQ(knob->currentOffset(), 99 * 55);
    knob->setValue(1.0f);
    EXPECT_EQ(knob->currentOffset(), 100 * 55);
    knob->setValue(-0.2f);
    EXPECT_EQ(knob->currentOffset(), 0);
    knob->setValue(1.7f);  // a host may send more; the strip ends at its last frame
    EXPECT_EQ(knob->currentOffset(), 100 * 55);

    // The host's circular mode (FakeEditor) is not consulted.
    knob->setValue(0.5f);
    const CPoint start(80, 380);
    frame->injectMouseDown(start, kLButton);
    frame->injectMouseMoved(CPoint(80, 280), kLButton);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
    frame->injectMouseMoved(CPoint(80, 260), kLButton | kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.8f) << "no jump when Shift comes in";
    frame->injectMouseMoved(CPoint(80, 160), kLButton | kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.9f);
    frame->injectMouseMoved(CPoint(200, 160), kLButton | kShift);  // right also increases
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f) << "limited";
    frame->injectMouseUp(CPoint(200, 160), 0);
    ASSERT_GE(editor.log.size(), 3u);
    EXPECT_EQ(editor.log.front(), "begin 1");
    EXPECT_EQ(editor.log.back(), "end 1");

    // Shift from the start: 1000 pixels for the range.
    knob->setValue(0.5f);
    frame->injectMouseDown(start, kLButton | kShift);
    frame->injectMouseMoved(CPoint(start.x, start.y + 100), kLButton | kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.4f);
    frame->injectMouseUp(start, 0);

    // Control-click restores the default, once, in its own bracket.
    knob->setDefaultValue(0.2f);
    editor.log.clear();
    frame->injectMouseDown(start, kLButton | kControl);
    frame->injectMouseMoved(CPoint(80, 100), kLButton | kControl);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.2f);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"begin 1", "value 1 0.200000", "end 1"}));
}

TEST_F(ControlsTest, KnobWheelUsesItsOwnStepAndStaysQuietAtTheLimit) {
    auto* knob = add(new CMyKnob(CRect(417, 349, 475, 405), &editor, 0, nullptr, 56));
    knob->setWheelInc(0.05208336f);  // arrow keys only
    knob->setMouseEnabled(true);
    knob->setValue(0.985f);
    const CPoint over(440, 370);
    frame->injectMouseWheel(over, 1.0f, 0);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.995f);
    frame->injectMouseWheel(over, 1.0f, 0);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    editor.log.clear();
    frame->injectMouseWheel(over, 1.0f, 0);
    EXPECT_TRUE(editor.log.empty()) << "unchanged: nothing sent";
    frame->injectMouseWheel(over, -2.0f, kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.998f);
    EXPECT_EQ(editor.log, (std::vector<std::string>{"begin 0", "value 0 0.998000", "end 0"}));
}
