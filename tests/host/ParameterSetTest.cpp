// The parameter set: names, labels, display texts, step conversions, the
// legacy program conversion and values a host or a damaged file may send.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "formats/vst2/Plugin.h"
#include "support/TestSupport.h"
#include "vst/AudioEffect.h"

using namespace zelto;
using zelto::test::HostRecorder;
using zelto::test::ScopedConfigHome;

namespace {

class ParameterSet : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        plugin = std::make_unique<Plugin>(HostRecorder::callback);
        ASSERT_TRUE(plugin->isReady());
    }

    std::string display(VstInt32 index) {
        char text[64];
        std::memset(text, '#', sizeof text);
        text[63] = 0;
        plugin->getParameterDisplay(index, text);
        return text;
    }
    std::string name(VstInt32 index) {
        char text[64] = "untouched";
        plugin->getParameterName(index, text);
        return text;
    }
    std::string label(VstInt32 index) {
        char text[64] = "untouched";
        plugin->getParameterLabel(index, text);
        return text;
    }

    ScopedConfigHome home;
    std::unique_ptr<Plugin> plugin;
};

std::string float2string(float value) {
    char text[32];
    AudioEffect::float2string(value, text, 12);
    return text;
}

}  // namespace

TEST(NumberText, TruncatesToEightCharacters) {
    EXPECT_EQ(float2string(0.0f), "0.000000");
    EXPECT_EQ(float2string(100.0f), "100.0000");
    EXPECT_EQ(float2string(50.0f), "50.00000");
    EXPECT_EQ(float2string(0.02f), "0.019999");
    EXPECT_EQ(float2string(-12.5f), "-12.5000");
    EXPECT_EQ(float2string(999.999f), "999.9990");
    EXPECT_EQ(float2string(1e9f), "Huge!");
    char text[16];
    AudioEffect::dB2string(1.0f, text, 12);
    EXPECT_STREQ(text, "0.000000");
    AudioEffect::dB2string(0.0f, text, 12);
    EXPECT_STREQ(text, "-oo");
    AudioEffect::dB2string(-1.0f, text, 12);
    EXPECT_STREQ(text, "-oo");
    AudioEffect::int2string(-42, text, 12);
    EXPECT_STREQ(text, "-42");
    AudioEffect::float2string(123.456f, text, 4);
    EXPECT_STREQ(text, "123.") << "the host's limit cuts the text";
}

TEST(StepConversion, TruncatesClipsAndCentres) {
    EXPECT_EQ(stepFromValue(0.0f, 3), 0);
    EXPECT_EQ(stepFromValue(0.3333f, 3), 0);
    EXPECT_EQ(stepFromValue(0.6666f, 3), 1);
    EXPECT_EQ(stepFromValue(1.0f, 3), 2) << "n*v = n is clipped to the last step";
    EXPECT_EQ(stepFromValue(7.5f, 2), 1);
    // Below zero (only from damaged data) the index stays at the first step.
    EXPECT_EQ(stepFromValue(-0.25f, 2), 0);
    EXPECT_EQ(stepFromValue(-1e30f, 8), 0);
    EXPECT_EQ(stepFromValue(1e30f, 8), 7);
    EXPECT_EQ(valueFromStep(0, 2), 0.25f);
    EXPECT_EQ(valueFromStep(1, 2), 0.75f);
    EXPECT_EQ(valueFromStep(1, 3), 0.5f);
    EXPECT_EQ(valueFromStep(3, 4), 0.875f);
    EXPECT_EQ(valueFromStep(5, 8), 5.5f / 8.0f);
    for (int n : {2, 3, 4, 8, 100}) {
        for (int i = 0; i < n; ++i) EXPECT_EQ(stepFromValue(valueFromStep(i, n), n), i);
    }
}

TEST_F(ParameterSet, NamesAndLabelsAreWrittenWhole) {
    const char* names[kNumParams] = {
        "Output",     "Drive",         "Transient", "Release",   "TransShape", "L/R Link",
        "Oversample", "DetectorOrder", "Power",     "Scale",     "Bits",       "NoiseShape",
        "Calibrate",  "Leveller",      "MeterOvs",  "AutoOut",   "Quantize",   "Autoblack",
        "MeterType",  "AttZoom",       "AttShow",   "PostMeter", "dummy",      "dummy",
        "dummy",      "resvd-vid"};
    for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(name(i), names[i]) << i;
    EXPECT_EQ(name(26), "untouched");
    EXPECT_EQ(name(-1), "untouched");
    EXPECT_EQ(label(0), "dB");
    EXPECT_EQ(label(1), "dB");
    EXPECT_EQ(label(13), "dB");
    EXPECT_EQ(label(2), "ms");
    EXPECT_EQ(label(3), "ms");
    for (int i : {4, 5, 6, 12, 20, 25, 26}) EXPECT_EQ(label(i), "untouched") << i;
}

TEST_F(ParameterSet, DefaultProgramDisplays) {
    EXPECT_EQ(display(kParamOutput), "0.000000");
    EXPECT_EQ(display(kParamDrive), "0.000000");
    EXPECT_EQ(display(kParamTransient), "0.020000");
    EXPECT_EQ(display(kParamRelease), "199.9867");
    EXPECT_EQ(display(kParamTransShape), "hard");
    EXPECT_EQ(display(kParamLink), "100.0000");
    EXPECT_EQ(display(kParamOversample), "off");
    EXPECT_EQ(display(kParamDetectorOrder), "I");
    EXPECT_EQ(display(kParamPower), "on");
    EXPECT_EQ(display(kParamScale), "K-12");
    EXPECT_EQ(display(kParamBits), "16");
    EXPECT_EQ(display(kParamNoiseShape), "off");
    EXPECT_EQ(display(kParamCalibrate), "off");
    EXPECT_EQ(display(kParamLeveller), "0.000000");
    EXPECT_EQ(display(kParamQuantize), "off");
    EXPECT_EQ(display(kParamMeterType), "peak");
    EXPECT_EQ(display(kParamAttZoom), "24dB");
    EXPECT_EQ(display(kParamAttShow), "12L");
    EXPECT_EQ(display(kParamPostMeter), "pre");
    // Indices without a display leave the host's buffer alone.
    for (int i : {22, 25, 26, -3}) EXPECT_EQ(display(i)[0], '#') << i;
}

TEST_F(ParameterSet, DisplaysAtTheEndsOfTheirRanges) {
    plugin->setParameter(kParamOutput, 0.0f);
    EXPECT_EQ(display(kParamOutput), "-12.0412");
    plugin->setParameter(kParamDrive, 1.0f);
    EXPECT_EQ(display(kParamDrive), "24.08240");
    plugin->setParameter(kParamDrive, 0.0f);
    EXPECT_EQ(display(kParamDrive).substr(0, 6), "-24.08");
    plugin->setParameter(kParamLeveller, 0.0f);
    EXPECT_EQ(display(kParamLeveller), "-oo");
    plugin->setParameter(kParamLeveller, 0.25f);
    EXPECT_EQ(display(kParamLeveller), "-12.0412") << "the value itself, not the threshold";
    EXPECT_NEAR(plugin->engine().levellerThreshold(), std::pow(2.0, -1.5), 1e-12);
    plugin->setParameter(kParamRelease, 0.5f);
    EXPECT_NEAR(plugin->engine().releaseMs(), 49.99999987, 1e-6);
    EXPECT_EQ(display(kParamRelease), "50.00000");
    plugin->setParameter(kParamRelease, 0.0f);
    EXPECT_EQ(display(kParamRelease), "1.000000");
    plugin->setParameter(kParamRelease, 1.0f);
    EXPECT_EQ(display(kParamRelease), "1000.000");
    plugin->setParameter(kParamTransient, 1.0f);
    EXPECT_NEAR(plugin->engine().transientMix(), 0.5, 1e-6);
    plugin->setParameter(kParamLink, 0.5f);
    EXPECT_EQ(display(kParamLink), "50.00000");
    plugin->setParameter(kParamScale, 1.0f);
    EXPECT_EQ(display(kParamScale), "K-20");
    plugin->setParameter(kParamScale, 0.6666f);
    EXPECT_EQ(display(kParamScale), "K-14");
    plugin->setParameter(kParamAttShow, 0.0f);
    EXPECT_EQ(display(kParamAttShow), "");
    plugin->setParameter(kParamAttShow, valueFromStep(5, 8));
    EXPECT_EQ(display(kParamAttShow), "1L");
    plugin->setParameter(kParamCalibrate, 0.6f);
    EXPECT_EQ(display(kParamCalibrate), "l+r uncor");
    plugin->setParameter(kParamNoiseShape, 0.9f);
    EXPECT_EQ(display(kParamNoiseShape), "type C");
    plugin->setParameter(kParamCalibrate, 0.0f);
}

TEST_F(ParameterSet, KeepsTheExactValueItWasGiven) {
    plugin->setParameter(kParamOversample, 0.3f);
    EXPECT_EQ(plugin->getParameter(kParamOversample), 0.3f);
    EXPECT_EQ(plugin->stepOf(kParamOversample), 0);
    EXPECT_EQ(plugin->engine().detectorOversample(), 0);
    plugin->setParameter(kParamOversample, 0.75f);
    EXPECT_EQ(plugin->engine().detectorOversample(), 1);
    // Stored into the current program too.
    EXPECT_EQ(plugin->presetRecord(0).values[kParamOversample], 0.75f);
    plugin->setParameter(kParamDummy2, 0.42f);
    EXPECT_EQ(plugin->getParameter(kParamDummy2), 0.42f);
    EXPECT_EQ(plugin->getParameter(kParamVersionMarker), kVersionMarker);
    EXPECT_EQ(plugin->getParameter(26), -1.0f);
    EXPECT_EQ(plugin->getParameter(-1), -1.0f);
    plugin->setParameter(26, 0.5f);  // ignored, no crash
    plugin->setParameter(-5, 0.5f);
}

TEST_F(ParameterSet, NonFiniteValuesChangeNothing) {
    const float before = plugin->getParameter(kParamDrive);
    const double drive = plugin->engine().driveTarget();
    for (float bad : {NAN, INFINITY, -INFINITY}) {
        for (int i = 0; i < kNumParams; ++i) plugin->setParameter(i, bad);
        EXPECT_EQ(plugin->getParameter(kParamDrive), before);
        EXPECT_EQ(plugin->engine().driveTarget(), drive);
        for (int i = 0; i < kNumParams; ++i) {
            EXPECT_TRUE(std::isfinite(plugin->presetRecord(0).values[i])) << i;
            EXPECT_TRUE(std::isfinite(plugin->getParameter(i))) << i;
        }
    }
}

TEST_F(ParameterSet, OutOfRangeStepValuesStayOnTheirLastOrFirstStep) {
    plugin->setParameter(kParamNoiseShape, 5.0f);
    EXPECT_EQ(plugin->engine().noiseShapeType(), 3);
    EXPECT_EQ(display(kParamNoiseShape), "type C");
    plugin->setParameter(kParamNoiseShape, -3.0f);
    EXPECT_EQ(plugin->engine().noiseShapeType(), 0);
    EXPECT_EQ(plugin->getParameter(kParamNoiseShape), -3.0f) << "the value is kept as sent";
    plugin->setParameter(kParamTransShape, -1.0f);
    EXPECT_EQ(plugin->engine().transShape(), 0);
    plugin->setParameter(kParamAttShow, -0.5f);
    EXPECT_EQ(plugin->engine().attShowMask(), 0);
}

TEST_F(ParameterSet, LegacyProgramIsConverted) {
    // Old four-step meaning: Bits 0.5 = 16 bits, Scale 0.1 = peak metering.
    plugin->setParameter(kParamBits, 0.5f);
    plugin->setParameter(kParamScale, 0.1f);
    plugin->setParameter(kParamAutoblack, 0.75f);
    plugin->setParameter(kParamVersionMarker, 0.0f);
    EXPECT_EQ(display(kParamQuantize), "on");
    EXPECT_EQ(display(kParamBits), "16");
    EXPECT_EQ(display(kParamMeterType), "peak");
    EXPECT_EQ(display(kParamScale), "K-14");
    EXPECT_EQ(display(kParamAttShow), "12L");
    EXPECT_EQ(display(kParamAttZoom), "24dB");
    EXPECT_EQ(display(kParamPostMeter), "post");
    EXPECT_EQ(display(kParamAutoblack), "off");
    EXPECT_EQ(plugin->getParameter(kParamVersionMarker), kVersionMarker);

    plugin->setParameter(kParamBits, 0.1f);   // old "off"
    plugin->setParameter(kParamScale, 0.9f);  // old K-20
    plugin->setParameter(kParamVersionMarker, 0.0f);
    EXPECT_EQ(display(kParamQuantize), "off");
    EXPECT_EQ(display(kParamBits), "16");
    EXPECT_EQ(display(kParamMeterType), "k-system");
    EXPECT_EQ(display(kParamScale), "K-20");

    // A current program converts nothing.
    plugin->setParameter(kParamPostMeter, 0.25f);
    plugin->setParameter(kParamVersionMarker, kVersionMarker);
    EXPECT_EQ(display(kParamPostMeter), "pre");
}

TEST_F(ParameterSet, HostPropertiesAndIdentity) {
    VstParameterProperties props;
    std::memset(&props, 0x5A, sizeof props);
    ASSERT_TRUE(plugin->getParameterProperties(0, &props));
    EXPECT_EQ(props.stepFloat, 0.0001f);
    EXPECT_EQ(props.flags, kVstParameterUsesFloatStep);
    EXPECT_EQ(static_cast<unsigned char>(props.label[0]), 0x5A) << "no other member written";
    EXPECT_EQ(plugin->getPlugCategory(), kPlugCategMastering);
}
