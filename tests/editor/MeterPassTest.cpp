// The editor's meter pass with a real effect: what the engine measured reaches
// the six views on the next 40 ms pass, a single over reaches the peak readout,
// modes and zoom follow the parameters, and the audio thread, the UI thread's
// idle and automation from a third thread run side by side race-free (this
// file runs under ThreadSanitizer too).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "editor/CInfo.h"
#include "editor/CMeterGR.h"
#include "editor/CMeterIn.h"
#include "editor/CMeterLCD.h"
#include "editor/CMeterLCDGR.h"
#include "editor/CMeterOut.h"
#include "editor/Editor.h"
#include "formats/vst2/Plugin.h"
#include "support/TestSupport.h"

using namespace zelto;
using namespace zelto::test;

namespace {

class MeterPass : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        plugin = std::make_unique<Plugin>(HostRecorder::callback);
        ASSERT_TRUE(plugin->isReady());
        editor = static_cast<Editor*>(plugin->getEditor());
        ASSERT_NE(editor, nullptr);
        editor->setTickSource([this] { return tick.load(); });
        ASSERT_TRUE(editor->open(nullptr));
    }
    void TearDown() override { editor->close(); }
    void process(std::vector<float>& l, std::vector<float>& r) {
        std::vector<float> oL(l.size()), oR(r.size());
        float* in[] = {l.data(), r.data()};
        float* out[] = {oL.data(), oR.data()};
        plugin->processReplacing(in, out, static_cast<VstInt32>(l.size()));
    }
    void pass() {
        tick += 40;
        editor->idle();
    }

    ScopedConfigHome home;
    std::unique_ptr<Plugin> plugin;
    Editor* editor = nullptr;
    std::atomic<uint32_t> tick{1000};
};

TEST_F(MeterPass, WhatTheEngineMeasuredReachesEveryView) {
    std::vector<float> l(4096), r(4096);
    for (size_t i = 0; i < l.size(); ++i) {
        l[i] = 2.0f *
               static_cast<float>(std::sin(2.0 * M_PI * 441.0 * static_cast<double>(i) / 44100.0));
        r[i] = 0.5f * l[i];
    }
    process(l, r);
    pass();
    pass();  // the draw runs the ballistics once the levels arrived
    EXPECT_NEAR(editor->inputMeter()->peakDb(0), 6.02f, 0.05f);
    EXPECT_NEAR(editor->inputMeter()->peakDb(1), 0.0f, 0.05f);
    EXPECT_NEAR(editor->inputReadout()->maxDb(0), 6.02f, 0.05f);
    EXPECT_LE(editor->outputReadout()->maxDb(0), 0.001f);
    EXPECT_LT(editor->gainReductionReadout()->minDb(0), -5.0f);
    EXPECT_LT(editor->gainReductionMeter()->heldDb(0), -5.0f);
    // A click on any meter resets all six and sends nothing to the host.
    const int automations = HostRecorder::automateCalls.load();
    const float deepest = editor->gainReductionReadout()->minDb(0);
    // Silence flushes the programme out of the look-ahead delay first.
    std::vector<float> quiet(512, 0.0f), quietR(512, 0.0f);
    process(quiet, quietR);
    pass();
    editor->valueChanged(editor->inputMeter());
    process(quiet, quietR);
    pass();
    EXPECT_EQ(editor->inputReadout()->maxDb(0), -120.0f);
    // The gain is still recovering in the silence: the readout restarted from
    // what it is now, above the deepest reduction it had held.
    EXPECT_GT(editor->gainReductionReadout()->minDb(0), deepest);
    EXPECT_EQ(HostRecorder::automateCalls.load(), automations);
}

TEST_F(MeterPass, ASingleFullScaleSampleReachesThePeakReadout) {
    std::vector<float> l(512, 0.0f), r(512, 0.0f);
    l[37] = 1.0f;
    process(l, r);
    std::fill(l.begin(), l.end(), 0.0f);
    process(l, r);  // another block before the poll: the over must survive it
    pass();
    EXPECT_NEAR(editor->inputReadout()->maxDb(0), 0.0f, 1e-4f);
    EXPECT_EQ(CMeterLCD::valueText(editor->inputReadout()->maxDb(0), 0), "+0.0");
}

TEST_F(MeterPass, ModesZoomAndLatencyFollowTheEffect) {
    plugin->setParameter(kParamScale, valueFromStep(2, 3));
    plugin->setParameter(kParamMeterType, valueFromStep(1, 2));
    plugin->setParameter(kParamAttZoom, valueFromStep(1, 2));
    plugin->setSampleRate(96000.0f);
    pass();
    EXPECT_EQ(editor->inputMeter()->getMeterMode(), 3);
    EXPECT_EQ(editor->outputMeter()->getMeterMode(), 3);
    EXPECT_EQ(editor->inputReadout()->getMeterMode(), 3);
    EXPECT_EQ(editor->outputReadout()->getMeterMode(), 3);
    EXPECT_TRUE(editor->gainReductionMeter()->getZoom());
    EXPECT_EQ(editor->infoPanel()->getLatency(), 287);
    plugin->setParameter(kParamMeterType, valueFromStep(0, 2));
    pass();
    EXPECT_EQ(editor->inputMeter()->getMeterMode(), 0);
    EXPECT_EQ(Editor::meterModeFor(0.75f, 0.1f), 1);
}

TEST_F(MeterPass, ConcurrentAudioIdleAndAutomationStayRaceFree) {
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> l(256), r(256), oL(256), oR(256);
        uint32_t seed = 3;
        while (!stop) {
            for (size_t i = 0; i < l.size(); ++i) {
                seed = seed * 1664525u + 1013904223u;
                l[i] = static_cast<float>(static_cast<int32_t>(seed)) / 1.2e9f;
                r[i] = -l[i];
            }
            float* in[] = {l.data(), r.data()};
            float* out[] = {oL.data(), oR.data()};
            plugin->processReplacing(in, out, 256);
        }
    });
    std::thread automation([&] {
        for (int n = 0; n < 2000; ++n) {
            const int index =
                n % 4 == 0 ? kParamAttShow : (n % 4 == 1 ? kParamScale : kParamAttZoom);
            plugin->setParameter(index, static_cast<float>(n % 10) / 10.0f);
            if (n % 3 == 0) plugin->setParameter(kParamMeterType, 0.75f);
        }
    });
    for (int n = 0; n < 300; ++n) pass();
    automation.join();
    stop = true;
    audio.join();
    pass();
    EXPECT_LE(editor->inputReadout()->maxDb(0), 20.0f);
}

}  // namespace
