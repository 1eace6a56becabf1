// The core's effect on its own, with no plug-in format around it: it renders
// and saves exactly what the VST2 library does (the digests below are those
// of tests/host/RenderDigestTest.cpp), its state moves between instances,
// and what it reports to its host comes in the expected order.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/Effect.h"
#include "core/NumberText.h"
#include "support/Sha256.h"
#include "support/TestSupport.h"
#include "tools/audio/DemoProgramme.h"

using namespace zelto;
using namespace zelto::test;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;

const DemoProgramme& programme() {
    static const DemoProgramme demo = makeDemoProgramme(kRate, 10.0);
    return demo;
}

std::vector<float> render(Effect& effect) {
    effect.setSampleRate(static_cast<float>(kRate));
    effect.suspend();
    const std::vector<double>& frames = programme().frames;
    const size_t total = frames.size() / 2;
    std::vector<float> out(frames.size());
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    for (size_t start = 0; start < total; start += kBlock) {
        const size_t n = std::min<size_t>(kBlock, total - start);
        for (size_t i = 0; i < n; ++i) {
            inL[i] = static_cast<float>(frames[2 * (start + i)]);
            inR[i] = static_cast<float>(frames[2 * (start + i) + 1]);
        }
        effect.process(inputs, outputs, static_cast<int32_t>(n));
        for (size_t i = 0; i < n; ++i) {
            out[2 * (start + i)] = outL[i];
            out[2 * (start + i) + 1] = outR[i];
        }
    }
    return out;
}

std::string digest(const void* data, size_t size) {
    Sha256 sha;
    sha.update(data, size);
    return sha.hex();
}

struct RecordingHost : EffectHost {
    std::vector<std::string> log;
    void parameterChanged(int32_t index, float) override {
        log.push_back("changed " + std::to_string(index));
    }
    void parameterAutomated(int32_t index, float) override {
        log.push_back("automated " + std::to_string(index));
    }
    void editBegun(int32_t index) override { log.push_back("begin " + std::to_string(index)); }
    void editEnded(int32_t index) override { log.push_back("end " + std::to_string(index)); }
    void programApplied() override { log.push_back("applied"); }
    void programRenamed() override { log.push_back("renamed"); }
    void programNameShown(const char* name) override {
        log.push_back(std::string("shown ") + name);
    }
    void latencyChanged(int32_t samples) override {
        log.push_back("latency " + std::to_string(samples));
    }
};

class CoreEffect : public ::testing::Test {
  protected:
    ScopedConfigHome home;
};

}  // namespace

TEST_F(CoreEffect, RendersAndSavesExactlyWhatTheVst2LibraryDoes) {
    Effect effect;
    ASSERT_TRUE(effect.isReady());
    effect.start();
    const std::vector<float> out = render(effect);
    EXPECT_EQ(digest(out.data(), out.size() * sizeof(float)),
              "566a584a84abaef1fc1465430ad40e1a184f647a1d433a3d7ac499dadb8e4ef9");
    const std::vector<uint8_t> state = effect.saveState();
    EXPECT_EQ(state.size(), 24049u);
    EXPECT_EQ(digest(state.data(), state.size()),
              "0685184cf153144848ede57d5df20bb8e15a3cbe31991118261f3ff5a613e7ae");
}

TEST_F(CoreEffect, StateMovesWholeBetweenInstancesAndForeignBytesChangeNothing) {
    Effect source;
    source.start();
    source.selectPreset(5);
    source.setParameter(kParamOutput, 0.9f);
    source.setParameter(kParamRelease, 0.3f);
    source.renameCurrentPreset("moved");
    const std::vector<uint8_t> state = source.saveState();

    Effect target;
    target.start();
    ASSERT_TRUE(target.loadState(state.data(), state.size()));
    EXPECT_EQ(target.getCurrentPreset(), 5);
    EXPECT_EQ(target.saveState(), state);
    EXPECT_EQ(target.getParameter(kParamOutput), 0.9f);
    char name[kPresetNameSize + 1] = {};
    target.getProgramName(name);
    EXPECT_STREQ(name, "moved");
    EXPECT_EQ(render(target), render(source));

    // Another plug-in's bytes, a truncated image and nothing at all.
    std::vector<uint8_t> foreign = state;
    foreign[4] ^= 0x55;
    EXPECT_FALSE(target.loadState(foreign.data(), foreign.size()));
    EXPECT_FALSE(target.loadState(state.data(), 40));
    EXPECT_FALSE(target.loadState(nullptr, 0));
    EXPECT_EQ(target.saveState(), state);
}

TEST_F(CoreEffect, ReportsChangesEditsProgramsAndLatencyToItsHost) {
    RecordingHost host;
    Effect effect(&host);
    effect.start();
    host.log.clear();

    effect.beginEdit(kParamDrive);
    effect.setParameterAutomated(kParamDrive, 0.6f);
    effect.endEdit(kParamDrive);
    effect.beginEdit(1005);  // a strip control's tag is no parameter
    EXPECT_EQ(host.log, (std::vector<std::string>{"begin 1", "changed 1", "automated 1", "end 1"}));

    host.log.clear();
    effect.selectPreset(3);
    ASSERT_EQ(host.log.size(), static_cast<size_t>(kNumParams) + 1);
    EXPECT_EQ(host.log.back(), "applied");
    EXPECT_EQ(effect.getCurrentPreset(), 3);

    host.log.clear();
    effect.setProgramName("a name longer than the twenty-four characters kept");
    effect.renameCurrentPreset("short");
    effect.setSampleRate(96000.0f);
    effect.setSampleRate(96000.0f);  // the same rate again: nothing to report
    EXPECT_EQ(host.log, (std::vector<std::string>{"shown a name longer than the t", "renamed",
                                                  "latency 287"}));
    EXPECT_EQ(effect.latencySamples(), 287);
    EXPECT_EQ(effect.rateClass(), 1);
}

TEST_F(CoreEffect, ParameterTextsAndBadValues) {
    Effect effect;
    effect.start();
    char text[64] = {};
    effect.setParameter(kParamOutput, 1.0f);
    effect.getParameterDisplay(kParamOutput, text);
    EXPECT_STREQ(text, "0.000000");
    effect.setParameter(kParamTransShape, valueFromStep(2, 3));
    effect.getParameterDisplay(kParamTransShape, text);
    EXPECT_STREQ(text, "soft");
    const float before = effect.getParameter(kParamDrive);
    effect.setParameter(kParamDrive, std::nanf(""));
    effect.setParameter(kParamDrive, INFINITY);
    EXPECT_EQ(effect.getParameter(kParamDrive), before);
    EXPECT_EQ(effect.getParameter(kParamVersionMarker), kVersionMarker);
    EXPECT_EQ(effect.getParameter(99), -1.0f);

    copyText(text, "abcdef", 3);
    EXPECT_STREQ(text, "abc");
    dbToText(0.0f, text, 8);
    EXPECT_STREQ(text, "-oo");
    floatToText(-1234.5678f, text, 8);
    EXPECT_STREQ(text, "-1234.56");
    floatToText(1e9f, text, 8);
    EXPECT_STREQ(text, "Huge!");
}
