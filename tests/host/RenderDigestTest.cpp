// The VST2 binary's output pinned to digests: the demo programme rendered
// through the built library at the default program, at Output -1 dB and in
// double precision with Drive raised, plus the default state chunk. The
// digests were taken from the build before the effect was split into a
// format-neutral core and a VST2 wrapper; any change in a sample or a chunk
// byte shows here.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/Sha256.h"
#include "support/TestSupport.h"
#include "tools/audio/DemoProgramme.h"

using namespace zelto::test;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 512;

const zelto::DemoProgramme& programme() {
    static const zelto::DemoProgramme demo = zelto::makeDemoProgramme(kRate, 10.0);
    return demo;
}

// Normalised Output value for a ceiling of `db` (the gain is 2^(2(v-1))).
float outputValueForDb(double db) {
    return static_cast<float>(1.0 + db / (40.0 * std::log10(2.0)));
}

template <typename T>
std::string renderDigest(Instance& instance, const std::vector<std::pair<int, float>>& settings) {
    instance.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    instance.dispatch(effSetBlockSize, 0, kBlock);
    for (const auto& [index, value] : settings) {
        instance.effect()->setParameter(instance.effect(), index, value);
    }
    instance.dispatch(effMainsChanged, 0, 1);
    const std::vector<double>& frames = programme().frames;
    const size_t total = frames.size() / 2;
    std::vector<T> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    T* inputs[2] = {inL.data(), inR.data()};
    T* outputs[2] = {outL.data(), outR.data()};
    Sha256 sha;
    for (size_t start = 0; start < total; start += kBlock) {
        const size_t n = std::min<size_t>(kBlock, total - start);
        for (size_t i = 0; i < n; ++i) {
            inL[i] = static_cast<T>(frames[2 * (start + i)]);
            inR[i] = static_cast<T>(frames[2 * (start + i) + 1]);
        }
        if constexpr (sizeof(T) == 4) {
            instance.effect()->processReplacing(instance.effect(), inputs, outputs,
                                                static_cast<VstInt32>(n));
        } else {
            instance.effect()->processDoubleReplacing(instance.effect(), inputs, outputs,
                                                      static_cast<VstInt32>(n));
        }
        for (size_t i = 0; i < n; ++i) {
            sha.update(&outL[i], sizeof(T));
            sha.update(&outR[i], sizeof(T));
        }
    }
    return sha.hex();
}

class RenderDigest : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        ASSERT_NE(plugin.entry(), nullptr) << plugin.error();
    }
    ScopedConfigHome home;
    LoadedPlugin plugin;
};

}  // namespace

TEST(Sha256, MatchesTheStandardTestVectors) {
    Sha256 empty;
    EXPECT_EQ(empty.hex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    Sha256 abc;
    abc.update("abc", 3);
    EXPECT_EQ(abc.hex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks, fed in uneven pieces.
    const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    Sha256 pieces;
    pieces.update(two.data(), 5);
    pieces.update(two.data() + 5, two.size() - 5);
    EXPECT_EQ(pieces.hex(), "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST_F(RenderDigest, DefaultProgramRendersTheSameSamples) {
    Instance instance(plugin);
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(renderDigest<float>(instance, {}),
              "566a584a84abaef1fc1465430ad40e1a184f647a1d433a3d7ac499dadb8e4ef9");
}

TEST_F(RenderDigest, OutputMinusOneDbRendersTheSameSamples) {
    Instance instance(plugin);
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(renderDigest<float>(instance, {{0, outputValueForDb(-1.0)}}),
              "20a2f5dff0d7dd373d8a0340c64493aac6238b627343c3c95555e8292466289d");
}

TEST_F(RenderDigest, DoublePrecisionWithDriveAndOversamplingRendersTheSameSamples) {
    Instance instance(plugin);
    ASSERT_NE(instance.effect(), nullptr);
    // Drive +6 dB, Oversample on, Quantize on (16 bits, dither and shaping).
    const std::vector<std::pair<int, float>> settings = {
        {1, 0.5f + 6.0f / (8.0f * 20.0f * 0.30103f)}, {6, 0.75f}, {16, 0.75f}, {11, 0.375f}};
    EXPECT_EQ(renderDigest<double>(instance, settings),
              "4f75cbd7294ae89c2f80f22c4db532969cc358918ed69ef26eac9569307baed9");
}

TEST_F(RenderDigest, DefaultChunkHoldsTheSameBytes) {
    Instance instance(plugin);
    ASSERT_NE(instance.effect(), nullptr);
    void* data = nullptr;
    const auto size = instance.dispatch(effGetChunk, 0, 0, &data);
    ASSERT_GT(size, 0);
    ASSERT_NE(data, nullptr);
    Sha256 sha;
    sha.update(data, static_cast<size_t>(size));
    EXPECT_EQ(std::to_string(size) + " " + sha.hex(),
              "24049 0685184cf153144848ede57d5df20bb8e15a3cbe31991118261f3ff5a613e7ae");
}
