// The life of one instance: construction with the stored metering
// preferences, sample-rate changes and latency, "TransShape" geometry, the
// engine lock around processing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "formats/vst2/Plugin.h"
#include "platform/SettingsStore.h"
#include "support/TestSupport.h"

using namespace zelto;
using zelto::test::HostRecorder;
using zelto::test::ScopedConfigHome;
using Clock = std::chrono::steady_clock;

namespace {

std::unique_ptr<Plugin> makePlugin() {
    auto plugin = std::make_unique<Plugin>(HostRecorder::callback);
    EXPECT_TRUE(plugin->isReady());
    return plugin;
}

}  // namespace

TEST(Lifecycle, ConstructionAppliesTheDefaultProgramAndNotifiesTheHost) {
    ScopedConfigHome home;
    HostRecorder::reset();
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->getAeffect()->initialDelay, 159);
    EXPECT_EQ(plugin->getCurrentPreset(), 0);
    // Program 0 is selected once by the stored-defaults step and once at the end.
    EXPECT_EQ(HostRecorder::updateDisplayCalls.load(), 2);
    EXPECT_EQ(HostRecorder::beginEditCalls.load(), 2);
    EXPECT_EQ(HostRecorder::endEditCalls.load(), 2);
    EXPECT_EQ(HostRecorder::lastEditIndex.load(), 0);
    const EngineState& engine = plugin->engine();
    EXPECT_EQ(engine.transShape(), 0);
    EXPECT_EQ(engine.kernelLength(), 8);
    EXPECT_EQ(engine.postDelayLength(), 114);
    EXPECT_DOUBLE_EQ(engine.outputTarget(), 1.0);
    EXPECT_DOUBLE_EQ(engine.driveTarget(), 1.0);
    EXPECT_DOUBLE_EQ(engine.powerOn(), 1.0);
    EXPECT_EQ(engine.attShowMask(), 7);
    EXPECT_EQ(engine.quantizeOn(), 0);
    EXPECT_EQ(engine.bitsIndex(), 1);
    EXPECT_EQ(engine.scaleIndex(), 0);
    EXPECT_EQ(engine.levellerSetting(), 1.0f);
    EXPECT_FALSE(plugin->engineLock().heldByCurrentThread()) << "released at the end";
    EXPECT_EQ(plugin->engineLock().depth(), 0);
}

TEST(Lifecycle, StoredMeteringPreferencesAreAppliedAtConstruction) {
    ScopedConfigHome home;
    const SettingsStore prefs("PREFS");
    ASSERT_TRUE(prefs.writeInt("Metering_Scale", 2));
    ASSERT_TRUE(prefs.writeInt("Metering_Type", 1));
    ASSERT_TRUE(prefs.writeInt("Metering_Zoom", 1));
    ASSERT_TRUE(prefs.writeInt("Metering_AttShow", 5));
    ASSERT_TRUE(prefs.writeInt("Metering_Recon", 1));
    ASSERT_TRUE(prefs.writeInt("Metering_Post", 1));
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->engine().scaleIndex(), 2);
    EXPECT_EQ(plugin->presetRecord(0).values[kParamScale], valueFromStep(2, 3));
    EXPECT_EQ(plugin->engine().meterType(), 1);
    EXPECT_EQ(plugin->engine().attZoom(), 1);
    EXPECT_EQ(plugin->engine().attShowMask(), 5);
    EXPECT_EQ(plugin->engine().meterOvs(), 1);
    EXPECT_EQ(plugin->engine().postMeter(), 1);
    // The start-up template carries them too, so later loads keep them.
    EXPECT_EQ(plugin->templatePreset().values[kParamScale], valueFromStep(2, 3));
    // Other programs are untouched.
    EXPECT_EQ(plugin->presetRecord(1).values[kParamScale], 0.165f);
}

TEST(Lifecycle, MissingDamagedOrOutOfRangePreferencesAreHandled) {
    {
        ScopedConfigHome home;
        auto plugin = makePlugin();
        EXPECT_EQ(plugin->engine().scaleIndex(), 0) << "no key: K-12 from the program";
    }
    {
        ScopedConfigHome home;
        const SettingsStore prefs("PREFS");
        ASSERT_TRUE(prefs.writeText("Metering_Scale", "2"));  // wrong kind
        ASSERT_TRUE(prefs.writeInt("Metering_AttShow", -4));  // below the first step
        ASSERT_TRUE(prefs.writeInt("Metering_Type", 99));     // beyond the last step
        auto plugin = makePlugin();
        EXPECT_EQ(plugin->engine().scaleIndex(), 0);
        EXPECT_EQ(plugin->engine().attShowMask(), 0);
        EXPECT_EQ(plugin->presetRecord(0).values[kParamAttShow], valueFromStep(0, 8));
        EXPECT_EQ(plugin->engine().meterType(), 1);
        EXPECT_EQ(plugin->presetRecord(0).values[kParamMeterType], 0.75f);
    }
}

TEST(Lifecycle, LatencyFollowsTheSampleRateClass) {
    ScopedConfigHome home;
    auto plugin = makePlugin();
    struct Case {
        float rate;
        int latency;
        int rateClass;
    };
    const Case cases[] = {{96000, 287, 1},  {192000, 543, 2}, {44100, 159, 0},  {48000, 159, 0},
                          {88200, 287, 1},  {176400, 543, 2}, {170000, 543, 2}, {4000, 159, 0},
                          {250000, 159, 0}, {NAN, 159, 0},    {200000, 543, 2}, {5000, 159, 0}};
    for (const Case& c : cases) {
        plugin->setSampleRate(c.rate);
        EXPECT_EQ(plugin->getAeffect()->initialDelay, c.latency) << c.rate;
        EXPECT_EQ(plugin->getRateClass(), c.rateClass) << c.rate;
    }
    plugin->setSampleRate(4000);
    EXPECT_EQ(plugin->engine().sampleRateHz(), 44100);
    // Oversampling and shape never change the latency.
    plugin->setParameter(kParamOversample, 0.75f);
    plugin->setParameter(kParamTransShape, 1.0f);
    EXPECT_EQ(plugin->getAeffect()->initialDelay, 159);
}

TEST(Lifecycle, ShapeSetsKernelAndPostDelayPerRateClass) {
    ScopedConfigHome home;
    auto plugin = makePlugin();
    const int kernel44[] = {8, 16, 64};
    const int post44[] = {114, 98, 2};
    const int kernel192[] = {32, 64, 256};
    const int post192[] = {450, 386, 2};
    for (int shape = 0; shape < 3; ++shape) {
        plugin->setSampleRate(44100);
        plugin->setParameter(kParamTransShape, valueFromStep(shape, 3));
        EXPECT_EQ(plugin->engine().kernelLength(), kernel44[shape]);
        EXPECT_EQ(plugin->engine().postDelayLength(), post44[shape]);
        plugin->setSampleRate(192000);
        EXPECT_EQ(plugin->engine().windowLength(), 512);
        EXPECT_EQ(plugin->engine().kernelLength(), kernel192[shape]);
        EXPECT_EQ(plugin->engine().postDelayLength(), post192[shape]);
    }
}

TEST(Lifecycle, NoiseShapingTableFollowsTypeAndRate) {
    ScopedConfigHome home;
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->engine().nsCoefficient(0), 0.0) << "shaping off: the zero set";
    plugin->setParameter(kParamNoiseShape, valueFromStep(2, 4));  // type B
    EXPECT_NEAR(std::fabs(plugin->engine().nsCoefficient(0)), 1.98998, 1e-9);
    plugin->setSampleRate(32000);  // no set for this rate: the selection stays
    EXPECT_NEAR(std::fabs(plugin->engine().nsCoefficient(0)), 1.98998, 1e-9);
    plugin->setSampleRate(176400);
    EXPECT_NEAR(std::fabs(plugin->engine().nsCoefficient(0)), 1.583163, 1e-9);
    plugin->setParameter(kParamNoiseShape, valueFromStep(3, 4));  // type C
    EXPECT_NEAR(std::fabs(plugin->engine().nsCoefficient(0)), 1.29969, 1e-9);
    plugin->setParameter(kParamNoiseShape, 0.0f);
    EXPECT_EQ(plugin->engine().nsCoefficient(0), 0.0);
}

TEST(Lifecycle, ProcessWaitsAtMostOneSecondForTheLockThenProceeds) {
    ScopedConfigHome home;
    auto plugin = makePlugin();
    std::atomic<bool> held{false};
    std::atomic<bool> done{false};
    std::thread holder([&] {
        plugin->engineLock().acquire(0);
        held = true;
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        plugin->engineLock().release();
    });
    while (!held) std::this_thread::yield();
    std::vector<float> inL(64, 0.5f), inR(64, 0.5f), outL(64), outR(64);
    float* inputs[] = {inL.data(), inR.data()};
    float* outputs[] = {outL.data(), outR.data()};
    const auto start = Clock::now();
    plugin->processReplacing(inputs, outputs, 64);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    // The holder's lock was not released by the unguarded caller.
    EXPECT_EQ(plugin->engineLock().depth(), 1);
    done = true;
    holder.join();
    EXPECT_EQ(plugin->engineLock().depth(), 0);
}

TEST(Lifecycle, SameShapeAgainTakesAndReleasesTheLockButResetsNothing) {
    ScopedConfigHome home;
    auto plugin = makePlugin();
    const int kernel = plugin->engine().kernelLength();
    plugin->setParameter(kParamTransShape, 0.1f);  // still "hard"
    EXPECT_EQ(plugin->engine().kernelLength(), kernel);
    EXPECT_EQ(plugin->engineLock().depth(), 0);
    EXPECT_EQ(plugin->getParameter(kParamTransShape), 0.1f);
}

TEST(Lifecycle, ConcurrentParameterChangesWhileProcessingStayFiniteAndBounded) {
    // The host's automation thread changes parameters (the shape one takes the
    // engine lock) while its audio thread processes; the GUI thread reads
    // texts and meters. Run under ThreadSanitizer in the suite.
    ScopedConfigHome home;
    auto plugin = makePlugin();
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::thread audio([&] {
        std::vector<float> inL(256), inR(256), outL(256), outR(256);
        float* inputs[] = {inL.data(), inR.data()};
        float* outputs[] = {outL.data(), outR.data()};
        uint32_t seed = 1;
        while (!stop) {
            for (size_t i = 0; i < inL.size(); ++i) {
                seed = seed * 1664525u + 1013904223u;
                inL[i] = static_cast<float>(static_cast<int32_t>(seed)) / 1.0e9f;
                inR[i] = -inL[i];
            }
            plugin->processReplacing(inputs, outputs, 256);
            for (size_t i = 0; i < outL.size(); ++i) {
                if (!(std::fabs(outL[i]) <= 1.0f) || !(std::fabs(outR[i]) <= 1.0f)) ++bad;
            }
        }
    });
    std::thread automation([&] {
        uint32_t seed = 7;
        for (int n = 0; n < 3000; ++n) {
            seed = seed * 1664525u + 1013904223u;
            const int index = static_cast<int>(seed >> 8) % kNumLiveParams;
            if (index == kParamCalibrate) continue;
            plugin->setParameter(index, static_cast<float>(seed % 1000) / 999.0f);
        }
    });
    std::thread gui([&] {
        char text[64];
        while (!stop) {
            for (int i = 0; i < kNumParams; ++i) plugin->getParameterDisplay(i, text);
            (void)plugin->getMeterValues();
            (void)plugin->presetRecord(0);
        }
    });
    automation.join();
    stop = true;
    audio.join();
    gui.join();
    EXPECT_EQ(bad.load(), 0);
}
