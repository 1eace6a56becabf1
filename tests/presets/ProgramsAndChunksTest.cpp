// Programs, factory presets and the host state chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "presets/FactoryPresets.h"
#include "presets/PresetTestSupport.h"

using namespace zelto;
using namespace zelto::test;

using Programs = PresetTest;

TEST_F(Programs, FactoryBankHoldsTheShippedPresets) {
    char name[64];
    ASSERT_TRUE(plugin->getProgramNameIndexed(0, 23, name));
    EXPECT_STREQ(name, "Total Disorder");
    ASSERT_TRUE(plugin->getProgramNameIndexed(0, 10, name));
    EXPECT_STREQ(name, "CD Master 3 [recon]");
    EXPECT_FALSE(plugin->getProgramNameIndexed(0, 24, name));
    EXPECT_FALSE(plugin->getProgramNameIndexed(0, -1, name));
    const PresetRecord smooth = plugin->presetRecord(1);
    EXPECT_EQ(smooth.values[kParamRelease], 0.723711f);
    EXPECT_EQ(plugin->presetRecord(0).values[kParamRelease], 0.7237f);
    EXPECT_EQ(plugin->presetRecord(13).values[kParamOutput], 0.166667f);
    EXPECT_EQ(plugin->presetRecord(23).values[kParamLink], 0.0f);
    EXPECT_EQ(plugin->presetRecord(19).values[kParamOversample], 1.0f);
    for (int p = 0; p < kNumPresets; ++p) {
        const PresetRecord r = plugin->presetRecord(p);
        EXPECT_EQ(r.values[kParamPower], 1.0f) << p;
        EXPECT_EQ(r.values[kParamAttShow], 0.9375f) << p;
        EXPECT_EQ(r.values[kParamVersionMarker], 0.015f) << p;
        EXPECT_STREQ(r.name, kFactoryPresets[p].name);
    }
}

TEST_F(Programs, SelectingAPresetAppliesItAndTellsTheHost) {
    HostRecorder::reset();
    plugin->selectPreset(9);
    EXPECT_EQ(plugin->getCurrentPreset(), 9);
    EXPECT_EQ(plugin->getProgram(), 0);
    const PresetRecord r = plugin->presetRecord(9);
    for (int p = 0; p < kNumParams; ++p) {
        if (p == kParamVersionMarker) continue;
        EXPECT_EQ(plugin->getParameter(p), r.values[p]) << p;
    }
    EXPECT_EQ(plugin->engine().noiseShapeType(), 3);
    EXPECT_EQ(plugin->engine().quantizeOn(), 1);
    EXPECT_EQ(HostRecorder::updateDisplayCalls.load(), 1);
    EXPECT_EQ(HostRecorder::beginEditCalls.load(), 1);
    EXPECT_EQ(HostRecorder::endEditCalls.load(), 1);
    EXPECT_EQ(HostRecorder::lastEditIndex.load(), 0);
    // Applying a program does not write back into it; later changes do.
    plugin->setParameter(kParamDrive, 0.9f);
    EXPECT_EQ(plugin->presetRecord(9).values[kParamDrive], 0.9f);
    EXPECT_EQ(plugin->presetRecord(0).values[kParamDrive], 0.5f);
    plugin->setProgram(5);
    EXPECT_EQ(plugin->getCurrentPreset(), 9);
}

TEST_F(Programs, NamesAreCutToTwentyThreeCharacters) {
    char longName[] = "A name of thirty characters!!";
    plugin->setProgramName(longName);
    char name[64];
    plugin->getProgramName(name);
    EXPECT_STREQ(name, "A name of thirty charac");
    plugin->renameCurrentPreset("Another very long name for it");
    plugin->getProgramName(name);
    EXPECT_STREQ(name, "Another very long name ");
    plugin->renameCurrentPreset(nullptr);
    plugin->getProgramName(name);
    EXPECT_STREQ(name, "Another very long name ");
}

TEST_F(Programs, TemplateResetRestoresTheStartUpProgram) {
    plugin->selectPreset(4);
    plugin->resetPresetToTemplate(4);
    const PresetRecord r = plugin->presetRecord(4);
    EXPECT_STREQ(r.name, "Default");
    EXPECT_TRUE(sameRecord(r, plugin->templatePreset()));
}

using Chunks = PresetTest;

TEST_F(Chunks, FreshChunkIsTheTaggedBankBehindItsPrefix) {
    const std::vector<uint8_t> c = chunk();
    ASSERT_EQ(c.size(), 24049u);
    EXPECT_EQ(c[0], 0);
    EXPECT_EQ(c[1], 0);
    EXPECT_EQ(c[2], 0);
    EXPECT_EQ(c[3], 2);
    EXPECT_EQ(std::memcmp(&c[4], "tzRK", 4), 0) << "signature in little-endian order";
    EXPECT_EQ(std::memcmp(&c[8], "tzRK", 4), 0);
    EXPECT_EQ(c[12], kTagTaggedBank);
    EXPECT_EQ(readInt(&c[8 + 13], false), 648);
    EXPECT_EQ(readInt(&c[8 + 21], false), 24000);
}

TEST_F(Chunks, RoundTripRestoresEveryProgramAndTheCurrentOne) {
    plugin->selectPreset(6);
    plugin->setParameter(kParamDrive, 0.66f);
    plugin->renameCurrentPreset("My master");
    const std::vector<uint8_t> saved = chunk();
    const auto before = programs();

    HostRecorder::reset();
    auto other = std::make_unique<Plugin>(HostRecorder::callback);
    std::vector<uint8_t> copy = saved;
    EXPECT_EQ(other->setChunk(copy.data(), static_cast<VstInt32>(copy.size()), false), 0);
    for (int i = 0; i < kNumPresets; ++i) {
        const PresetRecord r = other->presetRecord(i);
        EXPECT_TRUE(sameRecord(r, before[i])) << i;
    }
    EXPECT_EQ(other->getCurrentPreset(), 6);
    EXPECT_EQ(other->getParameter(kParamDrive), 0.66f);
    EXPECT_NEAR(other->engine().driveTarget(), driveGainFromValue(0.66f), 1e-12);
}

TEST_F(Chunks, ByteSwappedTwinLoadsTheSamePrograms) {
    plugin->selectPreset(3);
    plugin->setParameter(kParamRelease, 0.33f);
    std::vector<uint8_t> native = chunk();
    const auto before = programs();
    // A writer of the other order: marker and signature reversed, blob reversed.
    std::vector<uint8_t> twin = reverseTaggedImage(native, 8);
    swapWordAt(twin, 0);
    swapWordAt(twin, 4);
    ASSERT_NE(twin, native);

    auto other = std::make_unique<Plugin>(HostRecorder::callback);
    EXPECT_EQ(other->setChunk(twin.data(), static_cast<VstInt32>(twin.size()), false), 0);
    for (int i = 0; i < kNumPresets; ++i) {
        const PresetRecord r = other->presetRecord(i);
        EXPECT_TRUE(sameRecord(r, before[i])) << i;
    }
    EXPECT_EQ(other->getCurrentPreset(), 3);
}

TEST_F(Chunks, ForeignOrDamagedChunksChangeNothing) {
    std::vector<uint8_t> good = chunk();
    plugin->selectPreset(2);
    const auto before = programs();
    auto expectRejected = [&](std::vector<uint8_t> data, const char* what) {
        EXPECT_EQ(plugin->setChunk(data.data(), static_cast<VstInt32>(data.size()), false), -1)
            << what;
        EXPECT_TRUE(samePrograms(programs(), before)) << what;
        EXPECT_EQ(plugin->getCurrentPreset(), 2) << what;
    };
    std::vector<uint8_t> foreign = good;
    for (int i = 0; i < 4; ++i)
        foreign[4 + static_cast<size_t>(i)] = static_cast<uint8_t>("ABCD"[i]);
    expectRejected(foreign, "foreign signature");
    std::vector<uint8_t> marker = good;
    marker[3] = 3;
    expectRejected(marker, "unknown marker");
    expectRejected(std::vector<uint8_t>(good.begin(), good.begin() + 7), "shorter than its prefix");
    expectRejected(std::vector<uint8_t>(good.begin(), good.begin() + 40), "header cut");
    expectRejected(std::vector<uint8_t>(good.begin(), good.end() - 1), "payload cut");
    std::vector<uint8_t> negative = good;
    const int32_t minusOne = -1;
    poke(negative, 8 + 13, minusOne);
    expectRejected(negative, "negative record count");
    std::vector<uint8_t> zero = good;
    poke(zero, 8 + 13, int32_t{0});
    expectRejected(zero, "no records");
    std::vector<uint8_t> overlong = good;
    const int32_t huge = 0x7FFFFFF0;
    poke(overlong, 8 + 41 + 4, huge);  // first record's size
    expectRejected(overlong, "record running past the payload");
    std::vector<uint8_t> bigPayload = good;
    const int32_t bigger = 24001;
    poke(bigPayload, 8 + 21, bigger);
    expectRejected(bigPayload, "payload larger than the chunk");
    std::vector<uint8_t> outOfRange = good;
    const float high = 1.5f;
    poke(outOfRange, 8 + 41 + 168 + 12 + 12, high);  // program 0, parameter 0
    expectRejected(outOfRange, "value outside 0..1");
    std::vector<uint8_t> notANumber = good;
    const float nan = NAN;
    poke(notANumber, 8 + 41 + 168 + 32 * 5 + 12 + 12, nan);
    expectRejected(notANumber, "NaN value");
    EXPECT_EQ(plugin->setChunk(nullptr, 100, false), -1);
}

TEST_F(Chunks, UnknownRecordsAndProgramsBeyondTheBankAreSkipped) {
    std::vector<uint8_t> c = chunk();
    // Program 5's name record: point it at program 24, which does not exist.
    const size_t program5 = 8 + 41 + 5 * (168 + 26 * 32);
    const int32_t beyond = 24;
    poke(c, program5 + 8, beyond);
    // One of program 6's value records becomes an unknown type.
    const size_t record = 8 + 41 + 6 * (168 + 26 * 32) + 168;
    const int32_t unknown = 7;
    poke(c, record, unknown);
    plugin->selectPreset(5);
    plugin->renameCurrentPreset("kept");
    EXPECT_EQ(plugin->setChunk(c.data(), static_cast<VstInt32>(c.size()), false), 0);
    char name[32];
    ASSERT_TRUE(plugin->getProgramNameIndexed(0, 5, name));
    EXPECT_STREQ(name, "kept") << "its name record was skipped";
    EXPECT_EQ(plugin->presetRecord(5).values[kParamDrive], 0.604167f) << "its values still load";
}

namespace {

std::vector<uint8_t> flatChunk(int32_t count, int32_t current,
                               const std::vector<PresetRecord>& images, size_t imageSize = 128) {
    std::vector<uint8_t> c(32 + images.size() * imageSize, 0);
    const int32_t marker = kChunkMarkerFlatBank;
    const int32_t signature = Plugin::kUniqueId;
    poke(c, 0, marker);
    poke(c, 4, signature);
    poke(c, 8, count);
    poke(c, 12, current);
    for (size_t i = 0; i < images.size(); ++i) {
        std::memcpy(&c[32 + i * imageSize], &images[i], std::min(imageSize, sizeof(PresetRecord)));
    }
    return c;
}

}  // namespace

TEST_F(Chunks, FlatBankChunkLoadsWhatItCarries) {
    plugin->selectPreset(15);
    plugin->renameCurrentPreset("untouched");
    const auto before = programs();
    std::vector<PresetRecord> images(12);
    for (int i = 0; i < 12; ++i) {
        images[i] = plugin->presetRecord(23 - i);
        images[i].values[kParamDrive] = 0.01f * static_cast<float>(i);
    }
    std::vector<uint8_t> c = flatChunk(12, 4, images);
    EXPECT_EQ(plugin->setChunk(c.data(), static_cast<VstInt32>(c.size()), false), 0);
    for (int i = 0; i < 12; ++i) {
        EXPECT_STREQ(plugin->presetRecord(i).name, images[i].name);
        EXPECT_EQ(plugin->presetRecord(i).values[kParamDrive], 0.01f * static_cast<float>(i));
    }
    for (int i = 12; i < 24; ++i) {
        EXPECT_TRUE(sameRecord(before[i], plugin->presetRecord(i))) << i;
    }
    EXPECT_EQ(plugin->getCurrentPreset(), 4);

    // Short images: values they do not carry come from the template.
    std::vector<uint8_t> shortImages = flatChunk(2, 30, {images[0], images[1]}, 24 + 4 * 3);
    EXPECT_EQ(
        plugin->setChunk(shortImages.data(), static_cast<VstInt32>(shortImages.size()), false), 0);
    EXPECT_EQ(plugin->getCurrentPreset(), 0) << "current program 30 selects 0";
    EXPECT_EQ(plugin->presetRecord(1).values[kParamDrive], images[1].values[kParamDrive]);
    EXPECT_EQ(plugin->presetRecord(1).values[kParamTransient], images[1].values[kParamTransient]);
    EXPECT_EQ(plugin->presetRecord(1).values[kParamRelease],
              plugin->templatePreset().values[kParamRelease]);

    std::vector<uint8_t> minus = flatChunk(24, -1, std::vector<PresetRecord>(24, images[3]));
    EXPECT_EQ(plugin->setChunk(minus.data(), static_cast<VstInt32>(minus.size()), false), 0);
    EXPECT_EQ(plugin->getCurrentPreset(), 0) << "current program -1 selects 0";
}

TEST_F(Chunks, FlatBankChunkRejectsWhatDoesNotFit) {
    const auto before = programs();
    std::vector<PresetRecord> images(24, plugin->presetRecord(7));
    auto rejected = [&](std::vector<uint8_t> c, const char* what) {
        EXPECT_EQ(plugin->setChunk(c.data(), static_cast<VstInt32>(c.size()), false), -1) << what;
        EXPECT_TRUE(samePrograms(programs(), before)) << what;
    };
    rejected(flatChunk(0, 0, images), "no programs");
    rejected(flatChunk(-3, 0, images), "negative count");
    std::vector<uint8_t> tooBig = flatChunk(24, 0, images);
    tooBig.resize(40);
    rejected(tooBig, "images shorter than a name");
    // 24 images of 256 bytes would reach past the 3104 bytes ever read.
    rejected(flatChunk(24, 0, images, 256), "images beyond the flat bank size");
    std::vector<PresetRecord> nanImages = images;
    nanImages[20].values[3] = NAN;
    rejected(flatChunk(24, 0, nanImages), "NaN value");
    std::vector<PresetRecord> negativeImages = images;
    negativeImages[0].values[0] = -0.5f;
    rejected(flatChunk(24, 0, negativeImages), "negative value");
    std::vector<uint8_t> header(31, 0);
    rejected(header, "shorter than its header");
}

TEST_F(Chunks, RandomDamageNeverCrashesAndNeverHalfLoads) {
    const std::vector<uint8_t> good = chunk();
    std::mt19937 rng(1234);
    for (int round = 0; round < 600; ++round) {
        std::vector<uint8_t> data = good;
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) data[rng() % data.size()] = static_cast<uint8_t>(rng());
        if (rng() % 4 == 0) data.resize(rng() % data.size());
        const auto before = programs();
        const VstInt32 result =
            plugin->setChunk(data.data(), static_cast<VstInt32>(data.size()), false);
        if (result != 0) {
            EXPECT_TRUE(samePrograms(programs(), before)) << round;
        }
        for (int i = 0; i < kNumPresets; ++i) {
            const PresetRecord r = plugin->presetRecord(i);
            for (float v : r.values) ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << round;
            ASSERT_EQ(r.name[kPresetNameSize - 1], 0);
        }
    }
}
