// The built plug-in as a host sees it: loaded with dlopen (LoadLibrary on Windows), created through
// its exported entry, driven only through the AEffect record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using namespace zelto::test;

namespace {

class BinaryBoundary : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        ASSERT_NE(plugin.handle(), nullptr) << plugin.error();
        ASSERT_NE(plugin.entry(), nullptr);
    }
    ScopedConfigHome home;
    LoadedPlugin plugin;
};

}  // namespace

TEST_F(BinaryBoundary, DeclaresItsRecord) {
    Instance instance(plugin);
    AEffect* e = instance.effect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numParams, 26);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->uniqueID, 0x4B527A74);
    EXPECT_EQ(e->initialDelay, 159);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->ioRatio, 1.0f);
    // Editor, replacing, chunks and double replacing.
    EXPECT_EQ(e->flags, 0x1031);
    EXPECT_EQ(e->flags & (effFlagsIsSynth | effFlagsNoSoundInStop), 0);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_EQ(HostRecorder::versionCalls.load(), 2);
}

TEST_F(BinaryBoundary, AnswersIdentityAndCapabilityQueries) {
    Instance instance(plugin);
    char buffer[128];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(instance.dispatch(effGetEffectName, 0, 0, buffer), 1);
    EXPECT_STREQ(buffer, "KRW Zelto");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(instance.dispatch(effGetProductString, 0, 0, buffer), 1);
    EXPECT_STREQ(buffer, "Full band precision limiter");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(instance.dispatch(effGetVendorString, 0, 0, buffer), 1);
    EXPECT_EQ(std::strlen(buffer), 16u);
    EXPECT_EQ(instance.dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(instance.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(instance.dispatch(effGetPlugCategory), kPlugCategMastering);
    for (const char* can : {"receiveVstMidiEvent", "bypass", "sendVstEvents", "", "x"}) {
        char text[64];
        std::strcpy(text, can);
        EXPECT_EQ(instance.dispatch(effCanDo, 0, 0, text), 0) << can;
    }
    EXPECT_EQ(instance.dispatch(effGetTailSize), 0);
    EXPECT_EQ(instance.dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(instance.dispatch(effCanBeAutomated, 3), 1);
    char text[32] = "0.5";
    EXPECT_EQ(instance.dispatch(effString2Parameter, 0, 0, text), 0);
    EXPECT_EQ(instance.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(instance.dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64), 0);
    EXPECT_EQ(instance.dispatch(effProcessEvents), 0);
    // Queries with no buffer write nothing and answer 0.
    EXPECT_EQ(instance.dispatch(effGetEffectName), 0);
    EXPECT_EQ(instance.dispatch(effGetParamName, 0), 0);
    EXPECT_EQ(instance.dispatch(effGetParameterProperties, 0), 0);
    EXPECT_EQ(instance.dispatch(effCanDo), 0);
}

TEST_F(BinaryBoundary, ParameterPropertiesAreTheSameForEveryIndex) {
    Instance instance(plugin);
    VstParameterProperties first, last;
    std::memset(&first, 0, sizeof first);
    std::memset(&last, 0, sizeof last);
    EXPECT_EQ(instance.dispatch(effGetParameterProperties, 0, 0, &first), 1);
    EXPECT_EQ(instance.dispatch(effGetParameterProperties, 25, 0, &last), 1);
    EXPECT_EQ(std::memcmp(&first, &last, sizeof first), 0);
    EXPECT_EQ(first.stepFloat, 0.0001f);
    EXPECT_EQ(first.flags, kVstParameterUsesFloatStep);
}

TEST_F(BinaryBoundary, HostProgramNumberIsFixed) {
    Instance instance(plugin);
    const float drive = instance.effect()->getParameter(instance.effect(), 1);
    instance.dispatch(effSetProgram, 0, 5);
    instance.dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(instance.dispatch(effGetProgram), 0);
    EXPECT_EQ(instance.effect()->getParameter(instance.effect(), 1), drive);
    EXPECT_EQ(instance.text(effGetProgramName), "Default");
}

TEST_F(BinaryBoundary, ParametersThroughTheRecord) {
    Instance instance(plugin);
    AEffect* e = instance.effect();
    e->setParameter(e, 6, 0.3f);
    EXPECT_EQ(e->getParameter(e, 6), 0.3f);
    EXPECT_EQ(instance.text(effGetParamDisplay, 6), "off");
    e->setParameter(e, 6, 0.8f);
    EXPECT_EQ(instance.text(effGetParamDisplay, 6), "on");
    EXPECT_EQ(instance.text(effGetParamName, 7), "DetectorOrder");
    EXPECT_EQ(instance.text(effGetParamLabel, 3), "ms");
    EXPECT_EQ(e->getParameter(e, 25), 0.015f);
    EXPECT_EQ(e->getParameter(e, 99), -1.0f);
    e->setParameter(e, 1, NAN);
    EXPECT_EQ(e->getParameter(e, 1), 0.5f);
}

TEST_F(BinaryBoundary, LatencyIsReadBackFromTheRecordAfterRateChanges) {
    Instance instance(plugin);
    AEffect* e = instance.effect();
    const std::pair<float, int> rates[] = {{96000, 287}, {192000, 543}, {44100, 159}};
    for (auto [rate, latency] : rates) {
        instance.dispatch(effMainsChanged, 0, 0);
        instance.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        instance.dispatch(effMainsChanged, 0, 1);
        EXPECT_EQ(e->initialDelay, latency) << rate;
    }
}

TEST_F(BinaryBoundary, ProcessCallsSurviveEdgeCases) {
    Instance instance(plugin);
    AEffect* e = instance.effect();
    std::vector<float> inL(4096, 0.0f), inR(4096, 0.0f), outL(4096, 1.0f), outR(4096, 1.0f);
    float* inputs[] = {inL.data(), inR.data()};
    float* outputs[] = {outL.data(), outR.data()};
    e->processReplacing(e, inputs, outputs, 0);
    e->processReplacing(e, inputs, outputs, -5);
    EXPECT_EQ(outL[0], 1.0f) << "nothing written for empty or negative blocks";
    e->processReplacing(e, nullptr, nullptr, 64);
    float* nullOutputs[] = {nullptr, nullptr};
    e->processReplacing(e, inputs, nullOutputs, 64);
    float* nullInputs[] = {nullptr, nullptr};
    e->processReplacing(e, nullInputs, outputs, 64);
    e->processReplacing(e, nullptr, outputs, 64);
    e->processReplacing(e, inputs, outputs, 4096);
    for (int i = 0; i < 4096; ++i) {
        ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i])) << i;
    }
    std::vector<double> dL(512, 0.25), dR(512, -0.25), oL(512), oR(512);
    double* dIn[] = {dL.data(), dR.data()};
    double* dOut[] = {oL.data(), oR.data()};
    e->processDoubleReplacing(e, dIn, dOut, 512);
    // The old accumulating call reaches an empty operation.
    std::fill(outL.begin(), outL.end(), 7.0f);
    e->process(e, inputs, outputs, 64);
    EXPECT_EQ(outL[0], 7.0f);
}

TEST_F(BinaryBoundary, ManyInstancesLiveSideBySide) {
    std::vector<std::unique_ptr<Instance>> instances;
    for (int i = 0; i < 8; ++i) {
        instances.push_back(std::make_unique<Instance>(plugin));
        ASSERT_NE(instances.back()->effect(), nullptr);
    }
    AEffect* a = instances[0]->effect();
    AEffect* b = instances[1]->effect();
    a->setParameter(a, 0, 0.1f);
    EXPECT_EQ(b->getParameter(b, 0), 1.0f);
    instances[0]->dispatch(effSetSampleRate, 0, 0, nullptr, 192000.0f);
    EXPECT_EQ(a->initialDelay, 543);
    EXPECT_EQ(b->initialDelay, 159);
}

TEST_F(BinaryBoundary, HostWithoutVersionGetsNoInstance) {
    HostRecorder::versionAnswer = 0;
    EXPECT_EQ(plugin.entry()(HostRecorder::callback), nullptr);
    EXPECT_EQ(plugin.entry()(nullptr), nullptr);
    LoadedPlugin legacy("main");
    ASSERT_NE(legacy.entry(), nullptr) << "the legacy name is exported too";
    EXPECT_EQ(legacy.entry()(HostRecorder::callback), nullptr);
    HostRecorder::versionAnswer = 2400;
    Instance viaLegacy(legacy);
    ASSERT_NE(viaLegacy.effect(), nullptr);
    EXPECT_EQ(viaLegacy.effect()->uniqueID, 0x4B527A74);
}

TEST_F(BinaryBoundary, ExportsOnlyTheTwoEntrySymbols) {
    std::set<std::string> functions;
#ifdef _WIN32
    // The export directory of the loaded DLL, read from its own headers.
    const auto* base = static_cast<const unsigned char*>(plugin.handle());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        functions.insert(reinterpret_cast<const char*>(base + names[i]));
    }
    EXPECT_EQ(exports->NumberOfFunctions, 2u) << "exports without a name";
#else
    const std::string command = std::string("nm -D --defined-only ") + ZELTO_PLUGIN_PATH;
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[1024];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        char address[64], type[8], name[900];
        if (std::sscanf(line, "%63s %7s %899s", address, type, name) == 3 &&
            (type[0] == 'T' || type[0] == 'W' || type[0] == 'D' || type[0] == 'B')) {
            functions.insert(name);
        }
    }
    pclose(pipe);
#endif
    EXPECT_EQ(functions, (std::set<std::string>{"VSTPluginMain", "main"}));
}
