// The plug-in's private calls and its state chunk, through the built binary
// exactly as zelto reaches them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/VendorApi.h"
#include "support/TestSupport.h"

using namespace zelto;
using namespace zelto::test;

namespace {

class VendorApi : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        ASSERT_NE(plugin.entry(), nullptr);
        instance = std::make_unique<Instance>(plugin);
        ASSERT_NE(instance->effect(), nullptr);
    }
    VstIntPtr call(VstIntPtr what, void* ptr = nullptr) {
        return instance->dispatch(effVendorSpecific, kVendorApiMagic, what, ptr);
    }

    ScopedConfigHome home;
    LoadedPlugin plugin;
    std::unique_ptr<Instance> instance;
};

}  // namespace

TEST_F(VendorApi, SelectsAndReportsPrograms) {
    VstInt32 program = 13;
    EXPECT_EQ(call(kVendorSelectPreset, &program), 1);
    EXPECT_EQ(call(kVendorCurrentPreset), 14);
    EXPECT_EQ(instance->text(effGetProgramName), "TV Limiter");
    EXPECT_EQ(instance->text(effGetParamDisplay, 0), "-10.0343");
    program = 24;
    EXPECT_EQ(call(kVendorSelectPreset, &program), 0);
    program = -1;
    EXPECT_EQ(call(kVendorSelectPreset, &program), 0);
    EXPECT_EQ(call(kVendorSelectPreset, nullptr), 0);
    EXPECT_EQ(call(kVendorCurrentPreset), 14);
    // Other magic numbers are not ours.
    EXPECT_EQ(instance->dispatch(effVendorSpecific, 0, kVendorCurrentPreset), 0);
}

TEST_F(VendorApi, SavesAndLoadsFilesAndReportsRejections) {
    const std::string bank = home.path() + "/b.krb";
    const std::string preset = home.path() + "/p.krw";
    VstInt32 program = 21;
    call(kVendorSelectPreset, &program);
    EXPECT_EQ(call(kVendorSaveBankFile, const_cast<char*>(bank.c_str())), 1);
    EXPECT_EQ(call(kVendorSavePresetFile, const_cast<char*>(preset.c_str())), 1);
    EXPECT_EQ(std::filesystem::file_size(bank), 24041u);
    EXPECT_EQ(std::filesystem::file_size(preset), 1041u);

    program = 2;
    call(kVendorSelectPreset, &program);
    EXPECT_EQ(call(kVendorLoadPresetFile, const_cast<char*>(preset.c_str())), kVendorLoaded);
    EXPECT_EQ(instance->text(effGetProgramName), "Loud Love");
    EXPECT_EQ(call(kVendorLoadBankFile, const_cast<char*>(bank.c_str())), kVendorLoaded);
    EXPECT_EQ(call(kVendorCurrentPreset), 1);

    const std::string junk = home.path() + "/junk.krw";
    std::ofstream(junk) << "this is not a preset at all";
    EXPECT_EQ(call(kVendorLoadPresetFile, const_cast<char*>(junk.c_str())),
              kVendorForeignSignature);
    const std::string missing = home.path() + "/missing.krw";
    EXPECT_EQ(call(kVendorLoadPresetFile, const_cast<char*>(missing.c_str())), kVendorUnreadable);
    EXPECT_EQ(call(kVendorLoadPresetFile, nullptr), kVendorUnreadable);
    const std::string noFolder = home.path() + "/none/x.krb";
    EXPECT_EQ(call(kVendorSaveBankFile, const_cast<char*>(noFolder.c_str())), 0);
}

TEST_F(VendorApi, ChunkRoundTripThroughTheDispatcher) {
    AEffect* e = instance->effect();
    e->setParameter(e, 1, 0.8f);
    void* data = nullptr;
    const VstIntPtr size = instance->dispatch(effGetChunk, 0, 0, &data);
    ASSERT_EQ(size, 24049);
    std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);

    Instance other(plugin);
    EXPECT_EQ(other.dispatch(effSetChunk, 0, size, saved.data()), 0);
    EXPECT_EQ(other.effect()->getParameter(other.effect(), 1), 0.8f);
    saved[5] ^= 0xFF;
    EXPECT_EQ(other.dispatch(effSetChunk, 0, size, saved.data()), -1);
    EXPECT_EQ(other.dispatch(effSetChunk, 0, size, nullptr), -1);
    EXPECT_EQ(other.dispatch(effSetChunk, 0, -4, saved.data()), -1);
}

TEST_F(VendorApi, MeterValuesFollowTheAudio) {
    AEffect* e = instance->effect();
    std::vector<float> inL(2048), inR(2048), outL(2048), outR(2048);
    for (size_t i = 0; i < inL.size(); ++i) {
        inL[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
        inR[i] = inL[i];
    }
    float* inputs[] = {inL.data(), inR.data()};
    float* outputs[] = {outL.data(), outR.data()};
    e->processReplacing(e, inputs, outputs, 2048);
    float meters[10] = {};
    EXPECT_EQ(call(kVendorMeterValues, meters), 1);
    EXPECT_NEAR(meters[0], 0.5f, 0.01f) << "input peak left";
    EXPECT_GT(meters[2], 0.4f) << "output peak left";
    EXPECT_EQ(meters[8], 1.0f) << "no gain reduction below the ceiling";
    EXPECT_EQ(call(kVendorMeterValues, nullptr), 0);
}
