// Written settings read back to normalised values: every step by the text
// the plug-in displays for it, every continuous parameter by a number in
// its unit, and the refusals that name why.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/ParameterText.h"
#include "core/Parameters.h"
#include "formats/vst2/Plugin.h"
#include "support/TestSupport.h"

using namespace zelto;
using zelto::test::HostRecorder;
using zelto::test::ScopedConfigHome;

namespace {

class SettingText : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        plugin = std::make_unique<Plugin>(HostRecorder::callback);
        ASSERT_TRUE(plugin->isReady());
    }
    std::string display(int32_t index) {
        char text[64] = {};
        plugin->getParameterDisplay(index, text);
        return text;
    }

    ScopedConfigHome home;
    std::unique_ptr<Plugin> plugin;
};

float parsed(int32_t index, const std::string& text) {
    const ParsedSetting p = parseSettingText(index, text.c_str());
    EXPECT_EQ(p.error, SettingTextError::None)
        << kParamInfo[static_cast<size_t>(index)].name << " '" << text << "'";
    return p.value;
}

SettingTextError refusal(int32_t index, const char* text) {
    return parseSettingText(index, text).error;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

// Every step of every stepped parameter, set as before by its normalised
// centre, shows a text that reads back to exactly that value, in any case.
TEST_F(SettingText, EveryStepReadsBackFromItsDisplayText) {
    int checked = 0;
    for (int32_t index = 0; index < kNumLiveParams; ++index) {
        const ParamInfo& info = kParamInfo[static_cast<size_t>(index)];
        if (info.steps == 0) continue;
        for (int32_t step = 0; step < info.steps; ++step) {
            const float today = valueFromStep(step, info.steps);
            plugin->setParameter(index, today);
            const std::string text = display(index);
            if (info.display == DisplayKind::AttShowMask && (step == 0 || step == 1)) {
                // Mask 0 shows nothing and "1" is the normalised 1: the
                // documented exceptions, reached by "none" and "1" below.
                continue;
            }
            ASSERT_FALSE(text.empty()) << info.name << " step " << step;
            EXPECT_EQ(parsed(index, text), today) << info.name << " '" << text << "'";
            std::string padded(" ");
            padded += upper(text);
            padded += ' ';
            EXPECT_EQ(parsed(index, padded), today) << info.name;
            ++checked;
        }
    }
    // Six listed parameters (19 steps), nine switches, AttShow less its two.
    EXPECT_EQ(checked, 19 + 9 * 2 + 6);
    EXPECT_EQ(parsed(kParamAttShow, "none"), valueFromStep(0, 8));
    EXPECT_EQ(parsed(kParamAttShow, "1"), 1.0f) << "a bare 1 stays normalised";
    EXPECT_EQ(parsed(kParamAttShow, "L21"), valueFromStep(7, 8)) << "letters in any order";
    EXPECT_EQ(refusal(kParamAttShow, "11"), SettingTextError::NotUnderstood);
    EXPECT_EQ(refusal(kParamAttShow, "12X"), SettingTextError::NotUnderstood);
}

// The numbers the plug-in shows for Release (ms) and L/R Link (%) read back
// to the value that showed them; the value fields' texts do so for all six.
TEST_F(SettingText, ContinuousValuesReadBackFromTheirUnits) {
    for (float v : {0.0f, 0.05f, 0.3f, 0.5f, 0.7237f, 0.9f, 1.0f}) {
        plugin->setParameter(kParamRelease, v);
        EXPECT_NEAR(parsed(kParamRelease, display(kParamRelease) + "ms"), v, 2e-5) << v;
        plugin->setParameter(kParamLink, v);
        EXPECT_NEAR(parsed(kParamLink, display(kParamLink) + " %"), v, 1e-6) << v;
        for (int32_t index : {kParamTransient, kParamRelease, kParamLink}) {
            ParameterUnit unit{};
            ASSERT_TRUE(parameterUnit(index, unit));
            char text[64];
            std::snprintf(text, sizeof text, "%.7f%s", unitsFromValue(index, v), unit.unit);
            EXPECT_NEAR(parsed(index, text), v, 1e-6) << text;
        }
        // Written dB are the gain the engine applies (the plug-in's display
        // for Output and Drive), not the value fields' straight scale.
        const double gains[][2] = {{kParamOutput, outputGainFromValue(v)},
                                   {kParamDrive, driveGainFromValue(v)},
                                   {kParamLeveller, levellerThresholdFromValue(v)}};
        for (const auto& [index, gain] : gains) {
            char text[64];
            std::snprintf(text, sizeof text, "%.7fdB", 20.0 * std::log10(gain));
            EXPECT_NEAR(parsed(static_cast<int32_t>(index), text), v, 1e-6) << text;
        }
        plugin->setParameter(kParamOutput, v);
        EXPECT_NEAR(parsed(kParamOutput, display(kParamOutput) + "dB"), v, 0.005 / 12.04) << v;
        plugin->setParameter(kParamDrive, v);
        EXPECT_NEAR(parsed(kParamDrive, display(kParamDrive) + "dB"), v, 0.005 / 48.16) << v;
    }
    // The values the users write, against today's numbers.
    EXPECT_NEAR(parsed(kParamDrive, "+6dB"), 0.6245723, 1e-7);
    EXPECT_NEAR(parsed(kParamDrive, "-6 dB"), 0.3754277, 1e-7);
    EXPECT_NEAR(parsed(kParamOutput, "-1dB"), 0.9169518, 1e-7);
    EXPECT_LE(outputGainFromValue(parsed(kParamOutput, "-1dB")), std::pow(10.0, -0.05))
        << "a ceiling never lands above what was asked";
    EXPECT_NEAR(parsed(kParamOutput, "-12.04dB"), 0.0f, 1e-4) << "the end of the range as shown";
    EXPECT_NEAR(parsed(kParamDrive, "+24.08dB"), 1.0f, 1e-4);
    EXPECT_FLOAT_EQ(parsed(kParamOutput, "0 DB"), 1.0f);
    EXPECT_FLOAT_EQ(parsed(kParamTransient, "20%"), 0.2f);
    EXPECT_NEAR(releaseMsFromValue(parsed(kParamRelease, "150 ms")), 150.0, 1e-3);
    EXPECT_EQ(parsed(kParamLeveller, "OFF"), 1.0f);
    EXPECT_NEAR(parsed(kParamLeveller, "-6dB"), 0.5017, 1e-4);
}

TEST(SettingTextRules, BareNumbersAreNormalisedAndEverythingElseMustFit) {
    // A bare 0..1 number means what it always meant, for every parameter.
    for (int32_t index = 0; index < kNumParams; ++index) {
        EXPECT_EQ(parsed(index, "0.25"), 0.25f);
        EXPECT_EQ(parsed(index, "1"), 1.0f);
        EXPECT_EQ(parsed(index, "0"), 0.0f);
        EXPECT_EQ(parsed(index, "2.5e-1"), 0.25f);
    }
    EXPECT_EQ(parsed(kParamBits, "16"), valueFromStep(1, 3)) << "a step text beyond 1";
    EXPECT_EQ(parsed(kParamAttZoom, "12dB"), valueFromStep(1, 2)) << "a step text with a unit";

    EXPECT_EQ(refusal(kParamDrive, "+40dB"), SettingTextError::OutOfRange);
    EXPECT_EQ(refusal(kParamOutput, "+0.5dB"), SettingTextError::OutOfRange);
    EXPECT_EQ(refusal(kParamOutput, "-12.1dB"), SettingTextError::OutOfRange);
    EXPECT_EQ(refusal(kParamRelease, "0.5ms"), SettingTextError::OutOfRange);
    EXPECT_EQ(refusal(kParamLink, "101%"), SettingTextError::OutOfRange);
    EXPECT_EQ(refusal(kParamDrive, "6ms"), SettingTextError::WrongUnit);
    EXPECT_EQ(refusal(kParamTransient, "5ms"), SettingTextError::WrongUnit)
        << "Transient's typed unit is the field's %, whatever its label says";
    for (const char* bad : {"maybe", "", "  ", "1.5", "-0.1", "onn", "nan", "inf", "1e999",
                            "6 dB extra", "+-6dB", "0x1"}) {
        EXPECT_NE(refusal(kParamOversample, bad), SettingTextError::None) << bad;
        EXPECT_NE(refusal(kParamDrive, bad), SettingTextError::None) << bad;
    }
    EXPECT_EQ(refusal(kParamDummy1, "on"), SettingTextError::NotUnderstood);
    EXPECT_EQ(refusal(-1, "0.5"), SettingTextError::NotUnderstood);
    EXPECT_EQ(refusal(kNumParams, "0.5"), SettingTextError::NotUnderstood);
    EXPECT_EQ(parseSettingText(kParamDrive, nullptr).error, SettingTextError::NotUnderstood);
}

// The value fields keep their lenient reading through the shared code:
// the leading number, limited to the range, in any locale.
TEST(SettingTextRules, TypedFieldTextIsLenient) {
    EXPECT_FLOAT_EQ(parseTypedValue(kParamDrive, "+40dB"), 1.0f);
    EXPECT_FLOAT_EQ(parseTypedValue(kParamDrive, "6 whatever"), 0.625f);
    EXPECT_FLOAT_EQ(parseTypedValue(kParamDrive, "inf"), 1.0f);
    EXPECT_FLOAT_EQ(parseTypedValue(kParamDrive, "-1e999"), 0.0f);
    EXPECT_FLOAT_EQ(parseTypedValue(kParamDrive, "1e-999"), 0.5f);
    EXPECT_FLOAT_EQ(parseTypedValue(kParamDrive, "+-3"), 0.5f) << "no number reads as 0";
    EXPECT_EQ(parseTypedValue(kParamOversample, "on"), 0.0f) << "no field, no value";
    EXPECT_EQ(parseTypedValue(kParamOutput, nullptr), 1.0f);
}
