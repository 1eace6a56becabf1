// Stored defaults, memos and file locations: values shared by every instance
// of one user, read at start-up.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/SettingsStore.h"
#include "presets/PresetTestSupport.h"

using namespace zelto;
using namespace zelto::test;

using StoredDefaults = PresetTest;

TEST_F(StoredDefaults, MemoRecallsIntoTheCurrentProgramOnly) {
    plugin->selectPreset(3);
    ASSERT_TRUE(editor->storeMemoA());
    const PresetRecord three = plugin->presetRecord(3);
    plugin->selectPreset(7);
    EXPECT_EQ(editor->recallMemoA(), PresetLoadResult::Loaded);
    EXPECT_EQ(plugin->getCurrentPreset(), 7);
    EXPECT_TRUE(sameRecord(plugin->presetRecord(7), three));
    EXPECT_TRUE(sameRecord(plugin->presetRecord(3), three));
    EXPECT_EQ(editor->recallMemoB(), PresetLoadResult::Unreadable) << "nothing stored in B";
    // Memos are shared with other instances.
    auto other = std::make_unique<Plugin>(HostRecorder::callback);
    other->selectPreset(20);
    EXPECT_EQ(other->presetEditor()->recallMemoA(), PresetLoadResult::Loaded);
    EXPECT_STREQ(other->presetRecord(20).name, "Limiter Fast");
}

TEST_F(StoredDefaults, DefaultBankThenDefaultPresetAtStartUp) {
    // A default bank whose program 0 and 9 differ from the factory ones.
    plugin->selectPreset(9);
    plugin->renameCurrentPreset("Bank nine");
    plugin->selectPreset(0);
    plugin->setParameter(kParamDrive, 0.7f);
    ASSERT_TRUE(editor->storeDefaultBank());
    // A default preset, stored from another program.
    plugin->selectPreset(13);
    plugin->setParameter(kParamRelease, 0.4f);
    ASSERT_TRUE(editor->storeDefaultPreset());

    auto fresh = std::make_unique<Plugin>(HostRecorder::callback);
    EXPECT_EQ(fresh->getCurrentPreset(), 0);
    EXPECT_STREQ(fresh->presetRecord(9).name, "Bank nine");
    EXPECT_STREQ(fresh->presetRecord(0).name, "TV Limiter") << "the default preset lands in 0";
    EXPECT_EQ(fresh->presetRecord(0).values[kParamRelease], 0.4f);
    EXPECT_EQ(fresh->getParameter(kParamRelease), 0.4f);
    EXPECT_EQ(fresh->getParameter(kParamOutput), 0.166667f);

    EXPECT_TRUE(editor->clearDefaultPreset());
    EXPECT_TRUE(editor->clearDefaultBank());
    auto factory = std::make_unique<Plugin>(HostRecorder::callback);
    EXPECT_STREQ(factory->presetRecord(0).name, "Default");
    EXPECT_STREQ(factory->presetRecord(9).name, "CD Master 2");
}

TEST_F(StoredDefaults, DamagedStoredValuesAreIgnoredAtStartUp) {
    const SettingsStore store("");
    const uint8_t junk[] = {'t', 'z', 'R', 'K', '8', 1, 2, 3};
    ASSERT_TRUE(store.writeBlob("DefaultBank", junk, sizeof junk));
    ASSERT_TRUE(store.writeBlob("DefaultPreset", "XXXX", 4));
    auto fresh = std::make_unique<Plugin>(HostRecorder::callback);
    ASSERT_TRUE(fresh->isReady());
    EXPECT_STREQ(fresh->presetRecord(0).name, "Default");
    EXPECT_EQ(fresh->getParameter(kParamDrive), 0.5f);
}

TEST_F(StoredDefaults, FileLocationsSurviveTheInstance) {
    ASSERT_TRUE(editor->saveBankFile(tempPath("mine.krb")));
    ASSERT_TRUE(editor->savePresetFile(tempPath("one.krw")));
    plugin.reset();  // the editor object writes them on its way out
    auto next = std::make_unique<Plugin>(HostRecorder::callback);
    EXPECT_EQ(next->presetEditor()->currentFolder(), home.path() + "/");
    EXPECT_EQ(next->presetEditor()->bankFileName(), "mine.krb");
    EXPECT_EQ(next->presetEditor()->presetFileName(), "one.krw");
}
