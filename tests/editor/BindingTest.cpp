// The editor bound to a real effect, offscreen: what each control sends to
// the host, what each parameter change shows on the window, the value
// fields' texts, and the metering preferences a right click saves.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "editor/CAutoBlack.h"
#include "editor/CBits.h"
#include "editor/CCalibButton.h"
#include "editor/CMeterGR.h"
#include "editor/CModeButton.h"
#include "editor/CMyKnob.h"
#include "editor/CNoiseShape.h"
#include "editor/CZeltoButton.h"
#include "editor/Editor.h"
#include "editor/FieldText.h"
#include "formats/vst2/Plugin.h"
#include "platform/SettingsStore.h"
#include "support/TestSupport.h"

using namespace zelto;
using namespace zelto::test;

namespace {

/// A host that writes down every automation message, in order.
struct AutomationHost {
    static inline std::mutex mutex;
    static inline std::vector<std::string> log;

    static VstIntPtr callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                              float opt) {
        std::lock_guard<std::mutex> lock(mutex);
        char line[64];
        switch (opcode) {
            case audioMasterVersion:
                return 2400;
            case audioMasterAutomate:
                std::snprintf(line, sizeof line, "set %d %.4f", index, opt);
                break;
            case audioMasterBeginEdit:
                std::snprintf(line, sizeof line, "begin %d", index);
                break;
            case audioMasterEndEdit:
                std::snprintf(line, sizeof line, "end %d", index);
                break;
            default:
                return 0;
        }
        log.push_back(line);
        return 1;
    }
    static std::vector<std::string> take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(log, {});
    }
};

class BindingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plugin = std::make_unique<Plugin>(AutomationHost::callback);
        ASSERT_TRUE(plugin->isReady());
        editor = static_cast<Editor*>(plugin->getEditor());
        editor->setTickSource([this] { return tick; });
        ASSERT_TRUE(editor->open(nullptr));
        frame = editor->getFrame();
        AutomationHost::take();
    }
    void TearDown() override { editor->close(); }

    void clickAt(const CRect& r, CButtonState buttons = kLButton) {
        const CPoint p(r.left + r.getWidth() / 2, r.top + 3);
        frame->injectMouseDown(p, buttons);
        frame->injectMouseUp(p, buttons);
    }
    void click(int32_t tag, CButtonState buttons = kLButton) {
        clickAt(editor->findControl(tag)->getViewSize(), buttons);
    }
    /// An idle call without a throttled pass: shows pending values only.
    void settle() { editor->idle(); }
    void type(int32_t param, const std::string& text) {
        clickAt(editor->findValueField(param)->getViewSize());
        for (char c : text) frame->injectKeyDown(VstKeyCode{c, 0, 0});
        frame->injectKeyDown(VstKeyCode{0, VKEY_RETURN, 0});
        settle();
    }
    int32_t step(int32_t param, int32_t n) { return stepFromValue(plugin->getParameter(param), n); }

    ScopedConfigHome home;
    uint32_t tick = 100000;
    std::unique_ptr<Plugin> plugin;
    Editor* editor = nullptr;
    CFrame* frame = nullptr;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(BindingTest, ControlsSendTheirParameterAsSingleChangesOrDragGestures) {
    plugin->setParameter(kParamDetectorOrder, 0.0f);
    plugin->setParameter(kParamQuantize, 0.25f);
    plugin->setParameter(kParamBits, 0.5f);
    settle();
    AutomationHost::take();
    click(kParamDetectorOrder);
    click(kParamOversample);
    click(kParamQuantize);
    click(kParamBits);
    click(kParamNoiseShape);
    click(kParamAutoblack);
    click(kParamCalibrate);
    click(kParamAttZoom);
    click(kParamPower);
    click(kParamAutoOut);
    click(kParamPostMeter);
    click(kParamMeterOvs);
    EXPECT_EQ(AutomationHost::take(),
              (Log{"set 7 0.7500", "set 6 1.0000", "set 16 0.7500", "set 10 0.8333",
                   "set 11 0.3750", "set 17 0.7500", "set 12 0.3750", "set 19 0.7500",
                   "set 8 0.2500", "set 15 0.7500", "set 21 0.7500", "set 14 0.7500"}));
    settle();
    EXPECT_EQ(static_cast<CBits*>(editor->findControl(kParamBits))->currentFrame(), 5)
        << "24 bits, lit: Quantize went on";

    // "hard" spot of the transient shape switch.
    clickAt(CRect(39, 123, 56, 140));
    EXPECT_EQ(AutomationHost::take(), (Log{"set 4 0.1667"}));

    // A knob drag is one gesture; the value field follows through the effect.
    plugin->setParameter(kParamDrive, 0.5f);
    settle();
    frame->injectMouseDown(CPoint(80, 380), kLButton);
    frame->injectMouseMoved(CPoint(80, 356), kLButton);
    frame->injectMouseUp(CPoint(80, 356), 0);
    EXPECT_EQ(AutomationHost::take(), (Log{"begin 1", "set 1 0.5600", "end 1"}));
    settle();
    EXPECT_EQ(editor->findValueField(kParamDrive)->getDisplayText(), "+2.88dB");

    // Control-click: each knob back to its own default, Drive to 0 dB.
    plugin->setParameter(kParamRelease, 0.1f);
    plugin->setParameter(kParamLeveller, 0.1f);
    settle();
    frame->injectMouseDown(CPoint(80, 290), kLButton | kControl);   // Release
    frame->injectMouseDown(CPoint(80, 380), kLButton | kControl);   // Drive
    frame->injectMouseDown(CPoint(445, 192), kLButton | kControl);  // Leveller
    EXPECT_EQ(AutomationHost::take(),
              (Log{"begin 3", "set 3 0.7237", "end 3", "begin 1", "set 1 0.5000", "end 1",
                   "begin 13", "set 13 1.0000", "end 13"}));
}

TEST_F(BindingTest, ModeButtonWritesTypeAndScaleAndTheButtonsFollowTheHost) {
    plugin->setParameter(kParamMeterType, valueFromStep(1, 2));
    plugin->setParameter(kParamScale, valueFromStep(2, 3));
    settle();
    CModeButton* mode = editor->modeButton();
    EXPECT_EQ(mode->currentFrame(), 5) << "K-20 lit";
    const CRect& r = mode->getViewSize();
    frame->injectMouseDown(CPoint(r.left + 10, r.bottom - 5), kLButton);
    EXPECT_EQ(AutomationHost::take(), (Log{"set 9 0.1667", "set 18 0.7500"}));
    frame->injectMouseDown(CPoint(r.left + 10, r.top + 5), kLButton);
    EXPECT_EQ(AutomationHost::take(), (Log{"set 18 0.2500"}));
    settle();
    EXPECT_EQ(mode->currentFrame(), 0) << "peak lit, K-12 remembered";
    plugin->setParameter(kParamScale, 1.0f);
    settle();
    EXPECT_EQ(mode->getMeterScale(), 2);
}

TEST_F(BindingTest, AttShowButtonsSetAndClearTheirBitOfTheMask) {
    plugin->setParameter(kParamAttShow, valueFromStep(5, 8));  // bits 0 and 2
    settle();
    EXPECT_EQ(editor->findControl(28)->getValue(), 0.75f);
    EXPECT_EQ(editor->findControl(29)->getValue(), 0.25f);
    EXPECT_EQ(editor->findControl(30)->getValue(), 0.75f);
    click(29);
    EXPECT_EQ(step(kParamAttShow, 8), 7);
    settle();
    click(29);
    EXPECT_EQ(step(kParamAttShow, 8), 5);
    click(28);
    EXPECT_EQ(step(kParamAttShow, 8), 4);
    EXPECT_EQ(AutomationHost::take(), (Log{"set 20 0.9375", "set 20 0.6875", "set 20 0.5625"}))
        << "only the mask parameter reaches the host, no gesture";
}

TEST_F(BindingTest, HostChangesShowAfterTheNextIdleAndTouchNothingElse) {
    const struct {
        int32_t param;
        float value;
    } changes[] = {
        {kParamOutput, 0.3f},      {kParamDrive, 0.9f},          {kParamTransient, 0.4f},
        {kParamRelease, 0.1f},     {kParamTransShape, 0.9f},     {kParamLink, 0.2f},
        {kParamOversample, 0.75f}, {kParamDetectorOrder, 0.75f}, {kParamPower, 0.25f},
        {kParamCalibrate, 0.625f}, {kParamLeveller, 0.5f},       {kParamMeterOvs, 0.75f},
        {kParamAutoOut, 0.75f},    {kParamAttZoom, 0.75f},       {kParamPostMeter, 0.75f}};
    frame->updateOffscreen();
    for (const auto& c : changes) {
        plugin->setParameter(c.param, c.value);
        CControl* control = editor->findControl(c.param);
        EXPECT_NE(control->getValue(), c.value) << "not before idle, param " << c.param;
        settle();
        EXPECT_EQ(control->getValue(), c.value) << c.param;
        if (CTextEdit* field = editor->findValueField(c.param)) {
            EXPECT_EQ(field->getValue(), c.value);
        }
        // Only the control (and its value field) repaint.
        for (const CRect& painted : frame->updateOffscreen()) {
            const CRect* field = editor->findValueField(c.param) != nullptr
                                     ? &editor->findValueField(c.param)->getViewSize()
                                     : nullptr;
            auto holds = [&](const CRect& outer) {
                return painted.left >= outer.left && painted.top >= outer.top &&
                       painted.right <= outer.right && painted.bottom <= outer.bottom;
            };
            // The zoom button also rescales the gain-reduction meter.
            const bool meter =
                c.param == kParamAttZoom && holds(editor->gainReductionMeter()->getViewSize());
            const bool inside =
                holds(control->getViewSize()) || (field != nullptr && holds(*field)) || meter;
            EXPECT_TRUE(inside) << "param " << c.param << " repainted " << painted.left << ","
                                << painted.top << "," << painted.right << "," << painted.bottom;
        }
    }
    plugin->setParameter(kParamQuantize, 0.75f);
    plugin->setParameter(kParamBits, 0.1f);
    plugin->setParameter(kParamNoiseShape, 0.4f);
    plugin->setParameter(kParamAutoblack, 0.9f);
    settle();
    EXPECT_EQ(static_cast<CBits*>(editor->findControl(kParamBits))->currentFrame(), 3);
    EXPECT_EQ(static_cast<CNoiseShape*>(editor->findControl(kParamNoiseShape))->currentFrame(), 4);
    EXPECT_EQ(static_cast<CAutoBlack*>(editor->findControl(kParamAutoblack))->currentFrame(), 1);
    plugin->setParameter(kParamQuantize, 0.25f);
    settle();
    EXPECT_EQ(static_cast<CAutoBlack*>(editor->findControl(kParamAutoblack))->currentFrame(), 2);
    EXPECT_TRUE(AutomationHost::take().empty()) << "host changes are not sent back";

    // While closed nothing is kept; opening starts from the effect's values.
    editor->close();
    plugin->setParameter(kParamDrive, 0.25f);
    editor->setParameter(kParamDrive, 0.75f);  // stale: older than what open reads
    ASSERT_TRUE(editor->open(nullptr));
    frame = editor->getFrame();
    settle();
    EXPECT_EQ(editor->findControl(kParamDrive)->getValue(), 0.25f);
}

TEST_F(BindingTest, ValueFieldsShowAndReadTheirUnits) {
    char text[256];
    auto shown = [&](int32_t param, float v) {
        EXPECT_TRUE(editor::formatFieldText(param, v, text, sizeof text));
        return std::string(text);
    };
    EXPECT_EQ(shown(kParamDrive, 0.5f), "+0.00dB");
    EXPECT_EQ(shown(kParamDrive, 0.0f), "-24.00dB");
    EXPECT_EQ(shown(kParamOutput, 0.75f), "-3.00dB");
    EXPECT_EQ(shown(kParamTransient, 0.2f), "20.0%");
    EXPECT_EQ(shown(kParamRelease, 0.7237f), "200.0ms");
    EXPECT_EQ(shown(kParamRelease, 0.0f), "1.0ms");
    EXPECT_EQ(shown(kParamRelease, 1.0f), "1000.0ms");
    EXPECT_EQ(shown(kParamLeveller, 1.0f), "off");
    EXPECT_EQ(shown(kParamLeveller, 0.99999994f), "-0.00dB") << "off only at exactly 1";
    EXPECT_EQ(shown(kParamLink, 1.0f), "100.0%");
    EXPECT_FALSE(editor::formatFieldText(kParamPower, 0.5f, text, sizeof text));

    EXPECT_NEAR(releaseMsFromValue(editor::parseFieldText(kParamRelease, "200")), 200.0, 0.01);
    EXPECT_EQ(editor::parseFieldText(kParamRelease, "0.5"), 0.0f);
    EXPECT_EQ(editor::parseFieldText(kParamRelease, "5000 ms"), 1.0f);
    EXPECT_FLOAT_EQ(editor::parseFieldText(kParamOutput, "-6dB"), 0.5f);
    EXPECT_EQ(editor::parseFieldText(kParamOutput, "abc"), 1.0f) << "no number reads as 0 dB";
    EXPECT_EQ(editor::parseFieldText(kParamLeveller, " Off "), 1.0f);
    EXPECT_EQ(editor::parseFieldText(kParamLeveller, "-12"), 0.0f);
    EXPECT_EQ(editor::parseFieldText(kParamTransient, "nan"), 0.0f);
    EXPECT_EQ(editor::parseFieldText(kParamLink, "1e9"), 1.0f);

    // Typed into the window, the effect gets the value inside a gesture.
    type(kParamDrive, "30");
    EXPECT_EQ(plugin->getParameter(kParamDrive), 1.0f);
    EXPECT_EQ(AutomationHost::take(), (Log{"begin 1", "set 1 1.0000", "end 1"}));
    EXPECT_EQ(editor->findValueField(kParamDrive)->getDisplayText(), "+24.00dB");
    EXPECT_EQ(editor->findControl(kParamDrive)->getValue(), 1.0f) << "the knob follows";
    type(kParamTransient, "-5");
    EXPECT_EQ(plugin->getParameter(kParamTransient), 0.0f);
    plugin->setParameter(kParamLeveller, 0.5f);
    settle();
    type(kParamLeveller, "OFF");
    EXPECT_EQ(plugin->getParameter(kParamLeveller), 1.0f);
    EXPECT_EQ(editor->findValueField(kParamLeveller)->getDisplayText(), "off");
    type(kParamRelease, "50.0ms");
    EXPECT_NEAR(releaseMsFromValue(plugin->getParameter(kParamRelease)), 50.0, 0.01);
}

TEST_F(BindingTest, RightClickSavesTheMeteringSetupAndFlashesItsButtons) {
    plugin->setParameter(kParamScale, valueFromStep(2, 3));
    plugin->setParameter(kParamMeterType, valueFromStep(1, 2));
    plugin->setParameter(kParamAttZoom, valueFromStep(1, 2));
    plugin->setParameter(kParamAttShow, valueFromStep(3, 8));
    plugin->setParameter(kParamMeterOvs, valueFromStep(1, 2));
    plugin->setParameter(kParamPostMeter, valueFromStep(0, 2));
    tick += 1000;
    editor->idle();  // ends the flash the editor starts with
    ASSERT_FALSE(editor->isFlashing());
    AutomationHost::take();

    click(29, kRButton);
    EXPECT_TRUE(AutomationHost::take().empty()) << "saving changes no parameter";
    const SettingsStore prefs("PREFS");
    EXPECT_EQ(prefs.readInt("Metering_Scale"), 2);
    EXPECT_EQ(prefs.readInt("Metering_Type"), 1);
    EXPECT_EQ(prefs.readInt("Metering_Zoom"), 1);
    EXPECT_EQ(prefs.readInt("Metering_AttShow"), 3);
    EXPECT_EQ(prefs.readInt("Metering_Recon"), 1);
    EXPECT_EQ(prefs.readInt("Metering_Post"), 0);

    const int32_t flashing[] = {28, 29, 30, kParamAttZoom, kParamMeterOvs, kParamPostMeter};
    for (int32_t tag : flashing) {
        EXPECT_TRUE(static_cast<CZeltoButton*>(editor->findControl(tag))->getHighlight()) << tag;
    }
    EXPECT_TRUE(editor->modeButton()->getHighlight());
    EXPECT_FALSE(static_cast<CZeltoButton*>(editor->findControl(kParamAutoOut))->getHighlight());
    tick += 500;
    editor->idle();
    EXPECT_TRUE(editor->isFlashing()) << "500 ms is not yet over";
    tick += 40;
    editor->idle();
    EXPECT_FALSE(editor->isFlashing());
    for (int32_t tag : flashing) {
        EXPECT_FALSE(static_cast<CZeltoButton*>(editor->findControl(tag))->getHighlight()) << tag;
    }
    EXPECT_FALSE(editor->modeButton()->getHighlight());

    // The mode button saves as well; a new instance starts with the set-up.
    plugin->setParameter(kParamPostMeter, valueFromStep(1, 2));
    frame->injectMouseDown(CPoint(240, 330), kRButton);
    EXPECT_EQ(prefs.readInt("Metering_Post"), 1);
    Plugin second(AutomationHost::callback);
    EXPECT_EQ(stepFromValue(second.getParameter(kParamScale), 3), 2);
    EXPECT_EQ(stepFromValue(second.getParameter(kParamAttShow), 8), 3);
    EXPECT_EQ(stepFromValue(second.getParameter(kParamPostMeter), 2), 1);
}

TEST_F(BindingTest, CalibrationButtonBlinksOnlyFromThrottledIdlePasses) {
    click(kParamCalibrate);
    auto* calib = static_cast<CCalibButton*>(editor->findControl(kParamCalibrate));
    const CCoord lit = calib->currentOffset();
    tick += 20;
    editor->idle();
    EXPECT_EQ(calib->currentOffset(), lit) << "39 ms: no pass, no new tick";
    tick += 280;
    editor->idle();
    EXPECT_NE(calib->currentOffset(), lit) << "300 ms after the click: the other phase";
}
