// Preset and bank files: the exact images we write, byte-order handling,
// the range check that undoes a load, and files that are damaged, foreign
// or read-only.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/FileIO.h"
#include "presets/PresetTestSupport.h"

using namespace zelto;
using namespace zelto::test;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
}

std::vector<uint8_t> lead(uint8_t tag) {
    std::vector<uint8_t> data(5);
    const int32_t signature = Plugin::kUniqueId;
    std::memcpy(data.data(), &signature, 4);
    data[4] = tag;
    return data;
}

void appendFloat(std::vector<uint8_t>& data, float v) {
    uint8_t bytes[4];
    std::memcpy(bytes, &v, 4);
    data.insert(data.end(), bytes, bytes + 4);
}

}  // namespace

using PresetFiles = PresetTest;

TEST_F(PresetFiles, SavedPresetIsTheTaggedImageFieldByField) {
    plugin->selectPreset(8);
    const std::string path = tempPath("cd.krw");
    ASSERT_TRUE(editor->savePresetFile(path));
    const std::vector<uint8_t> f = readFile(path);
    ASSERT_EQ(f.size(), 1041u);
    EXPECT_EQ(std::memcmp(f.data(), "tzRK", 4), 0);
    EXPECT_EQ(f[4], 0x22);
    EXPECT_EQ(readInt(&f[5], false), 1);
    EXPECT_EQ(readInt(&f[9], false), 26);
    EXPECT_EQ(readInt(&f[13], false), 27);
    EXPECT_EQ(readInt(&f[17], false), 0);
    EXPECT_EQ(readInt(&f[21], false), 1000);
    for (int i = 25; i < 41; ++i) EXPECT_EQ(f[i], 0) << i;
    // Name record: type 0, 156 bytes, program 0, the name, zeros.
    EXPECT_EQ(readInt(&f[41], false), 0);
    EXPECT_EQ(readInt(&f[45], false), 156);
    EXPECT_EQ(readInt(&f[49], false), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&f[53]), "CD Master 1");
    for (size_t i = 53 + 24; i < 41 + 168; ++i) EXPECT_EQ(f[i], 0) << i;
    // Value records: type 1, 20 bytes, program 0, index, 0, 0, value, 0.
    const PresetRecord r = plugin->presetRecord(8);
    for (int p = 0; p < 26; ++p) {
        const uint8_t* v = &f[41 + 168 + 32 * p];
        EXPECT_EQ(readInt(v, false), 1);
        EXPECT_EQ(readInt(v + 4, false), 20);
        EXPECT_EQ(readInt(v + 8, false), 0);
        EXPECT_EQ(readInt(v + 12, false), p);
        EXPECT_EQ(readInt(v + 16, false), 0);
        EXPECT_EQ(readInt(v + 20, false), 0);
        EXPECT_EQ(readFloat(v + 24, false), r.values[p]);
        EXPECT_EQ(readInt(v + 28, false), 0);
    }
    EXPECT_EQ(editor->presetFileName(), "cd.krw");
    EXPECT_EQ(editor->currentFolder(), home.path() + "/");
}

TEST_F(PresetFiles, SavedBankEqualsTheChunkWithoutItsPrefix) {
    plugin->selectPreset(11);
    const std::string path = tempPath("all.krb");
    ASSERT_TRUE(editor->saveBankFile(path));
    const std::vector<uint8_t> f = readFile(path);
    ASSERT_EQ(f.size(), 24041u);
    EXPECT_EQ(f[4], '8');
    EXPECT_EQ(readInt(&f[5], false), 1);
    EXPECT_EQ(readInt(&f[9], false), 26);
    EXPECT_EQ(readInt(&f[13], false), 648);
    EXPECT_EQ(readInt(&f[17], false), 11);
    EXPECT_EQ(readInt(&f[21], false), 24000);
    const std::vector<uint8_t> c = chunk();
    EXPECT_EQ(std::vector<uint8_t>(c.begin() + 8, c.end()), f);
}

TEST_F(PresetFiles, PresetRoundTripLandsInTheCurrentProgram) {
    plugin->selectPreset(3);
    plugin->setParameter(kParamLink, 0.125f);
    const std::string path = tempPath("fast.krw");
    ASSERT_TRUE(editor->savePresetFile(path));
    const PresetRecord saved = plugin->presetRecord(3);
    plugin->selectPreset(7);
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::Loaded);
    EXPECT_EQ(plugin->getCurrentPreset(), 7);
    EXPECT_TRUE(sameRecord(plugin->presetRecord(7), saved));
    EXPECT_EQ(plugin->getParameter(kParamLink), 0.125f);
}

TEST_F(PresetFiles, BigEndianFilesLoadAndTheReversedLoadReadsThemAsTheyAre) {
    plugin->selectPreset(9);
    const std::vector<uint8_t> native = editor->buildTaggedPreset();
    const PresetRecord expected = plugin->presetRecord(9);
    const std::string path = tempPath("be.krw");
    writeFile(path, reverseTaggedImage(native));

    plugin->selectPreset(2);
    const auto before = programs();
    // Read without reversal, the big-endian fields make no sense: nothing changes.
    EXPECT_NE(editor->loadPresetFile(path, true), PresetLoadResult::Loaded);
    EXPECT_TRUE(samePrograms(programs(), before));
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::Loaded);
    EXPECT_TRUE(sameRecord(plugin->presetRecord(2), expected));

    // And a native file through the reversed load is reversed, so it fails.
    const std::string nativePath = tempPath("le.krw");
    writeFile(nativePath, native);
    const auto now = programs();
    EXPECT_NE(editor->loadPresetFile(nativePath, true), PresetLoadResult::Loaded);
    EXPECT_TRUE(samePrograms(programs(), now));
}

TEST_F(PresetFiles, ByteSwappedBankLoadsTheSamePrograms) {
    plugin->selectPreset(12);
    plugin->setParameter(kParamOutput, 0.2f);
    const auto expected = programs();
    const std::string path = tempPath("be.krb");
    writeFile(path, reverseTaggedImage(editor->buildTaggedBank()));
    auto other = std::make_unique<Plugin>(HostRecorder::callback);
    EXPECT_EQ(other->presetEditor()->loadBankFile(path, false), PresetLoadResult::Loaded);
    std::vector<PresetRecord> loaded;
    for (int i = 0; i < kNumPresets; ++i) loaded.push_back(other->presetRecord(i));
    EXPECT_TRUE(samePrograms(loaded, expected));
    EXPECT_EQ(other->getCurrentPreset(), 0) << "a bank load always ends on program 0";
}

TEST_F(PresetFiles, TaggedRecordsThatDoNotBelongAreSkipped) {
    plugin->selectPreset(4);
    std::vector<uint8_t> blob = editor->buildTaggedPreset();
    // Value record for parameter 0 becomes parameter 26: ignored.
    const int32_t bogus = 26;
    poke(blob, 41 + 168 + 12, bogus);
    // Every record claims program 7: still lands in the current program.
    for (int r = 0; r < 27; ++r) {
        const int32_t seven = 7;
        poke(blob, 41 + (r == 0 ? 0 : 168 + 32 * (r - 1)) + 8, seven);
    }
    plugin->selectPreset(1);
    const PresetRecord seventh = plugin->presetRecord(7);
    EXPECT_EQ(editor->loadPresetBlob(blob.data(), blob.size(), false), PresetLoadResult::Loaded);
    EXPECT_EQ(plugin->getCurrentPreset(), 1);
    EXPECT_STREQ(plugin->presetRecord(1).name, "Limiter Hard");
    EXPECT_EQ(plugin->presetRecord(1).values[0], plugin->templatePreset().values[0])
        << "parameter 0 was not carried, so it keeps the template's value";
    EXPECT_TRUE(sameRecord(plugin->presetRecord(7), seventh));
}

TEST_F(PresetFiles, OneValueOutsideTheRangeUndoesTheWholeLoad) {
    plugin->selectPreset(5);
    const auto before = programs();
    std::vector<uint8_t> preset = editor->buildTaggedPreset();
    const float high = 1.5f;
    poke(preset, 41 + 168 + 32 * 20 + 24, high);
    EXPECT_EQ(editor->loadPresetBlob(preset.data(), preset.size(), false),
              PresetLoadResult::ValueOutOfRange);
    EXPECT_TRUE(samePrograms(programs(), before));

    std::vector<uint8_t> bank = editor->buildTaggedBank();
    const float nan = NAN;
    poke(bank, 41 + 23 * (168 + 26 * 32) + 168 + 32 * 25 + 24, nan);
    const std::string path = tempPath("bad.krb");
    writeFile(path, bank);
    EXPECT_EQ(editor->loadBankFile(path, false), PresetLoadResult::ValueOutOfRange);
    EXPECT_TRUE(samePrograms(programs(), before));
    EXPECT_EQ(plugin->getCurrentPreset(), 0) << "a bank file of ours still selects program 0";
}

TEST_F(PresetFiles, FlatPresetSetsWhatItCarriesAndTheTemplateTheRest) {
    std::vector<uint8_t> flat = lead(kTagFlatPreset);
    char name[24] = "Flat one";
    flat.insert(flat.end(), name, name + 24);
    for (int k = 0; k < 10; ++k) appendFloat(flat, 0.05f * static_cast<float>(k + 1));
    ASSERT_EQ(flat.size(), 69u);
    plugin->selectPreset(6);
    EXPECT_EQ(editor->loadPresetBlob(flat.data(), flat.size(), false), PresetLoadResult::Loaded);
    const PresetRecord r = plugin->presetRecord(6);
    EXPECT_STREQ(r.name, "Flat one");
    for (int k = 0; k < 10; ++k) EXPECT_EQ(r.values[k], 0.05f * static_cast<float>(k + 1)) << k;
    for (int k = 10; k < 26; ++k) EXPECT_EQ(r.values[k], plugin->templatePreset().values[k]) << k;

    // A NaN in flat data undoes the load, as in the tagged formats.
    std::vector<uint8_t> nanFlat = flat;
    const float nan = NAN;
    poke(nanFlat, 29 + 4 * 3, nan);
    const auto before = programs();
    EXPECT_EQ(editor->loadPresetBlob(nanFlat.data(), nanFlat.size(), false),
              PresetLoadResult::ValueOutOfRange);
    EXPECT_TRUE(samePrograms(programs(), before));
    // Shorter than its name: rejected without reading past the end.
    std::vector<uint8_t> cut(flat.begin(), flat.begin() + 20);
    EXPECT_EQ(editor->loadPresetBlob(cut.data(), cut.size(), false), PresetLoadResult::Damaged);
}

TEST_F(PresetFiles, FlatBankLoadsTwentyFourImages) {
    std::vector<uint8_t> flat = lead(kTagFlatBank);
    for (int i = 0; i < 24; ++i) {
        char name[24] = {};
        std::snprintf(name, sizeof name, "Flat %d", i);
        flat.insert(flat.end(), name, name + 24);
        for (int k = 0; k < 26; ++k) appendFloat(flat, static_cast<float>(i) / 100.0f);
    }
    plugin->selectPreset(9);
    const std::string path = tempPath("flat.krb");
    writeFile(path, flat);
    EXPECT_EQ(editor->loadBankFile(path, false), PresetLoadResult::Loaded);
    EXPECT_STREQ(plugin->presetRecord(17).name, "Flat 17");
    EXPECT_EQ(plugin->presetRecord(17).values[25], 0.17f);
    EXPECT_EQ(plugin->getCurrentPreset(), 0);
    std::vector<uint8_t> cut(flat.begin(), flat.begin() + 500);
    EXPECT_EQ(editor->loadBankBlob(cut.data(), cut.size(), false), PresetLoadResult::Damaged);
}

TEST_F(PresetFiles, BankFileEndsOnProgramZeroWhateverItSays) {
    plugin->selectPreset(5);
    std::vector<uint8_t> bank = editor->buildTaggedBank();
    ASSERT_EQ(readInt(&bank[17], false), 5);
    plugin->selectPreset(9);
    const std::string path = tempPath("five.krb");
    writeFile(path, bank);
    EXPECT_EQ(editor->loadBankFile(path, false), PresetLoadResult::Loaded);
    EXPECT_EQ(plugin->getCurrentPreset(), 0);
}

TEST_F(PresetFiles, ForeignShortAndUnknownFilesChangeNothing) {
    plugin->selectPreset(2);
    const auto before = programs();
    const std::string path = tempPath("x.krw");
    writeFile(path, {'K', 'R'});
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::TooShort);
    std::vector<uint8_t> foreign = editor->buildTaggedPreset();
    std::memcpy(foreign.data(), "XXXX", 4);
    writeFile(path, foreign);
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::ForeignSignature);
    EXPECT_EQ(editor->loadBankFile(path, false), PresetLoadResult::ForeignSignature);
    std::vector<uint8_t> unknown = lead('Z');
    unknown.resize(200, 0);
    writeFile(path, unknown);
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::UnknownTag);
    // A bank where a preset is expected, and the other way round.
    writeFile(path, editor->buildTaggedBank());
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::UnknownTag);
    EXPECT_EQ(editor->loadPresetFile(tempPath("missing.krw"), false), PresetLoadResult::Unreadable);
    EXPECT_EQ(editor->loadPresetFile(home.path(), false), PresetLoadResult::Unreadable);
    EXPECT_TRUE(samePrograms(programs(), before));
    EXPECT_EQ(plugin->getCurrentPreset(), 2);
}

TEST_F(PresetFiles, DamagedSizesAreRejectedWithoutReadingPastTheData) {
    plugin->selectPreset(3);
    const auto before = programs();
    const std::vector<uint8_t> good = editor->buildTaggedPreset();
    for (size_t length = 0; length < good.size(); ++length) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(length));
        EXPECT_NE(editor->loadPresetBlob(cut.data(), cut.size(), false), PresetLoadResult::Loaded)
            << length;
    }
    std::vector<uint8_t> big = good;
    const int32_t payload = 5000;
    poke(big, 21, payload);
    EXPECT_EQ(editor->loadPresetBlob(big.data(), big.size(), false), PresetLoadResult::Damaged);
    std::vector<uint8_t> negativeSize = good;
    const int32_t minus = -12;
    poke(negativeSize, 41 + 4, minus);
    EXPECT_EQ(editor->loadPresetBlob(negativeSize.data(), negativeSize.size(), false),
              PresetLoadResult::Damaged);
    std::vector<uint8_t> tinyName = good;
    const int32_t eight = 8;
    poke(tinyName, 41 + 4, eight);
    EXPECT_EQ(editor->loadPresetBlob(tinyName.data(), tinyName.size(), false),
              PresetLoadResult::Damaged);
    EXPECT_TRUE(samePrograms(programs(), before));

    std::mt19937 rng(99);
    const std::vector<uint8_t> bank = editor->buildTaggedBank();
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> data = rng() % 2 ? bank : good;
        for (int e = 0; e < 6; ++e) data[rng() % data.size()] = static_cast<uint8_t>(rng());
        if (rng() % 3 == 0) data.resize(rng() % data.size());
        editor->loadPresetBlob(data.data(), data.size(), rng() % 2 == 0);
        editor->loadBankBlob(data.data(), data.size(), rng() % 2 == 0);
        for (int i = 0; i < kNumPresets; ++i) {
            for (float v : plugin->presetRecord(i).values) ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
        }
    }
}

TEST_F(PresetFiles, ReadOnlyPresetLoadsAndTheWorkingDirectoryStays) {
    const std::string path = tempPath("readonly.krw");
    plugin->selectPreset(14);
    ASSERT_TRUE(editor->savePresetFile(path));
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::path cwd = fs::current_path();
    plugin->selectPreset(0);
#ifdef _WIN32
    const bool privileged = false;  // the read-only attribute binds every user
#else
    const bool privileged = geteuid() == 0;
#endif
    if (!privileged) {
        EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::Loaded);
        EXPECT_STREQ(plugin->presetRecord(0).name, "TV Loudness");
    } else {
#ifndef _WIN32
        // Root may open anything; an unprivileged child shows what a user sees.
        ASSERT_EQ(chmod(home.path().c_str(), 0777), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            const bool ok = editor->loadPresetFile(path, false) == PresetLoadResult::Loaded &&
                            std::strcmp(plugin->presetRecord(0).name, "TV Loudness") == 0;
            _exit(ok ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
    }
    EXPECT_EQ(fs::current_path(), cwd);
    ASSERT_TRUE(editor->saveBankFile(tempPath("bank.krb")));
    EXPECT_EQ(fs::current_path(), cwd);
}

TEST_F(PresetFiles, FailedSaveLeavesTheOldFileAsItWas) {
    const std::string path = tempPath("keep.krw");
    plugin->selectPreset(1);
    ASSERT_TRUE(editor->savePresetFile(path));
    const std::vector<uint8_t> old = readFile(path);
    plugin->selectPreset(2);
    EXPECT_FALSE(editor->savePresetFile(tempPath("no/such/folder/x.krw")));
    EXPECT_FALSE(fs::exists(tempPath("no")));
    // A folder where the file should go cannot be replaced.
    fs::create_directory(tempPath("folder.krw"));
    EXPECT_FALSE(editor->savePresetFile(tempPath("folder.krw")));
    EXPECT_EQ(readFile(path), old);
    for (const auto& entry : fs::directory_iterator(home.path())) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << "temporary left behind";
    }
}

TEST_F(PresetFiles, LongPathsAreRememberedWhole) {
    std::string folder = home.path();
    while (folder.size() < 400) {
        folder += "/a-rather-long-folder-name";
        fs::create_directory(folder);
    }
    const std::string path = folder + "/preset.krw";
    ASSERT_TRUE(editor->savePresetFile(path));
    EXPECT_EQ(editor->currentFolder(), folder + "/");
    EXPECT_EQ(editor->loadPresetFile(path, false), PresetLoadResult::Loaded);
}

TEST_F(PresetFiles, RememberedLocationsFollowOnlyLoadsAndSavesThatWorked) {
    fs::create_directory(tempPath("good"));
    fs::create_directory(tempPath("bad"));
    ASSERT_TRUE(editor->savePresetFile(tempPath("good/one.krw")));
    ASSERT_TRUE(editor->saveBankFile(tempPath("good/all.krb")));
    const std::string folder = tempPath("good/");
    auto unchanged = [&](const std::string& what) {
        EXPECT_EQ(editor->currentFolder(), folder) << what;
        EXPECT_EQ(editor->presetFileName(), "one.krw") << what;
        EXPECT_EQ(editor->bankFileName(), "all.krb") << what;
    };
    unchanged("after saving");

    std::vector<uint8_t> foreign = lead(0x22);
    foreign[0] ^= 0x55;
    writeFile(tempPath("bad/foreign.krw"), foreign);
    writeFile(tempPath("bad/short.krb"), {1, 2});
#ifdef _WIN32
    // No FIFOs in the Windows file system: a folder is what a load must refuse.
    fs::create_directory(tempPath("bad/fifo.krw"));
#else
    ASSERT_EQ(mkfifo(tempPath("bad/fifo.krw").c_str(), 0644), 0);
#endif
    EXPECT_EQ(editor->loadPresetFile(tempPath("bad/missing.krw"), false),
              PresetLoadResult::Unreadable);
    EXPECT_EQ(editor->loadPresetFile(tempPath("bad/foreign.krw"), false),
              PresetLoadResult::ForeignSignature);
    EXPECT_EQ(editor->loadBankFile(tempPath("bad/short.krb"), false), PresetLoadResult::TooShort);
    EXPECT_EQ(editor->loadBankFile(tempPath("bad/fifo.krw"), false), PresetLoadResult::Unreadable);
    EXPECT_EQ(editor->loadPresetFile(tempPath("bad/fifo.krw"), false),
              PresetLoadResult::Unreadable);
    EXPECT_FALSE(editor->savePresetFile(tempPath("bad/fifo.krw")));
    EXPECT_FALSE(editor->saveBankFile(tempPath("bad")));
    unchanged("after failures");
#ifndef _WIN32
    EXPECT_EQ(fs::status(tempPath("bad/fifo.krw")).type(), fs::file_type::fifo);
#endif

    // What is remembered is what gets stored for the next session.
    editor->saveFileLocations();
    ASSERT_EQ(editor->loadPresetFile(tempPath("good/one.krw"), false), PresetLoadResult::Loaded);
    editor->loadFileLocations();
    unchanged("read back");
}
