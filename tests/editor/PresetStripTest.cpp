// The preset strip offscreen, with scripted file dialogs and a private
// settings folder: every action of the strip, the dialogs' titles, filters
// and remembered locations, the manual's messages, the controls' frames,
// and names that change on other threads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "editor/Editor.h"
#include "editor/strip/CPresetKickButton.h"
#include "editor/strip/CPresetRockerSwitch.h"
#include "editor/strip/CSaveLoadButton.h"
#include "formats/vst2/Plugin.h"
#include "platform/DocumentLauncher.h"
#include "platform/SettingsStore.h"
#include "support/TestSupport.h"
#include "toolkit/controls/CMessageView.h"

using namespace zelto;
using namespace zelto::test;

namespace {

bool samePreset(const PresetRecord& a, const PresetRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class PresetStrip : public ::testing::Test {
  protected:
    void SetUp() override {
        HostRecorder::reset();
        plugin = std::make_unique<Plugin>(HostRecorder::callback);
        ASSERT_TRUE(plugin->isReady());
        editor = static_cast<Editor*>(plugin->getEditor());
        ASSERT_TRUE(editor->open(nullptr));
        frame = editor->getFrame();
        frame->setTickSource([this] { return tick; });
        ASSERT_NE(frame, nullptr);
    }
    void TearDown() override {
        editor->close();
        DocumentLauncher::setOpenerProgram("");
    }

    CControl* control(int32_t tag) { return editor->stripControl(tag); }
    CPoint centreOf(int32_t tag) {
        const CRect& r = control(tag)->getViewSize();
        return CPoint(r.left + r.getWidth() / 2, r.top + r.getHeight() / 2);
    }
    void click(const CPoint& p, CButtonState buttons = kLButton) {
        tick += 1000;  // never part of a double click
        frame->injectMouseDown(p, buttons);
        frame->injectMouseUp(p, buttons);
    }
    void click(int32_t tag, CButtonState buttons = kLButton) { click(centreOf(tag), buttons); }
    void doubleClick(int32_t tag, CButtonState modifiers = CButtonState(0)) {
        const CPoint p = centreOf(tag);
        tick += 1000;
        frame->injectMouseDown(p, CButtonState(kLButton | modifiers.getState()));
        frame->injectMouseUp(p, CButtonState(kLButton | modifiers.getState()));
        tick += 100;
        frame->injectMouseDown(p, CButtonState(kLButton | modifiers.getState()));
        frame->injectMouseUp(p, CButtonState(kLButton | modifiers.getState()));
    }
    /// Idles until nothing is pending, as a host would.
    void idleFor(int calls = 3) {
        for (int i = 0; i < calls; ++i) editor->idle();
    }
    std::string shownName() { return editor->nameField()->getText(); }
    CMessageView* message() {
        CView* v = frame->getModalView();
        return v != nullptr && v->isTypeOf("CMessageView") ? static_cast<CMessageView*>(v)
                                                           : nullptr;
    }
    std::string tempPath(const std::string& name) const { return home.path() + "/" + name; }
    bool exists(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0;
    }

    ScopedConfigHome home;
    std::unique_ptr<Plugin> plugin;
    Editor* editor = nullptr;
    CFrame* frame = nullptr;
    uint32_t tick = 100000;
};

}  // namespace

TEST_F(PresetStrip, IsBuiltOnTopInItsOrderWithItsRectangles) {
    const int32_t order[] = {1000, 1012, 1001, 1002, 1003, 1013, 1004,
                             1005, 1014, 1017, 1015, 1018, 1016, 1019};
    const int32_t n = frame->getNbViews();
    ASSERT_GE(n, 14);
    for (int32_t i = 0; i < 14; ++i) {
        auto* c = dynamic_cast<CControl*>(frame->getView(n - 14 + i));
        ASSERT_NE(c, nullptr) << i;
        EXPECT_EQ(c->getTag(), order[i]) << i;
    }
    EXPECT_EQ(control(1000)->getViewSize(), CRect(194, 447, 318, 461));
    EXPECT_EQ(control(1012)->getViewSize(), CRect(320, 448, 333, 460));
    EXPECT_EQ(control(1001)->getViewSize(), CRect(340, 447, 370, 460));
    EXPECT_EQ(control(1014)->getViewSize(), CRect(122, 447, 166, 460));
    EXPECT_EQ(control(1019)->getViewSize(), CRect(510, 449, 521, 458));
    EXPECT_TRUE(control(1001)->isTypeOf("CPresetRockerSwitch"));
    EXPECT_TRUE(control(1002)->isTypeOf("CSaveLoadButton"));
    EXPECT_TRUE(control(1013)->isTypeOf("CPresetKickButton"));
    COptionMenu* menu = editor->programMenu();
    EXPECT_EQ(menu->getNbEntries(), 24);
    EXPECT_EQ(menu->getNbItemsPerColumn(), 12);
    EXPECT_EQ(menu->getCurrentIndex(), plugin->getCurrentPreset());
    EXPECT_EQ(shownName(), std::string(plugin->presetRecord(0).name));
    editor->close();
    EXPECT_EQ(editor->nameField(), nullptr);
    EXPECT_EQ(editor->stripControl(1019), nullptr);
    ASSERT_TRUE(editor->open(nullptr));
    frame = editor->getFrame();
    EXPECT_NE(editor->nameField(), nullptr);
}

TEST_F(PresetStrip, RockerStepsWithoutWrapping) {
    plugin->selectPreset(23);
    const CRect r = control(1001)->getViewSize();
    click(CPoint(r.right - 3, r.top + 5));
    EXPECT_EQ(plugin->getCurrentPreset(), 23);
    click(CPoint(r.left + 3, r.top + 5));
    EXPECT_EQ(plugin->getCurrentPreset(), 22);
    EXPECT_EQ(editor->programMenu()->getCurrentIndex(), 22);
    EXPECT_EQ(shownName(), std::string(plugin->presetRecord(22).name));
    plugin->selectPreset(0);
    click(CPoint(r.left + 3, r.top + 5));
    EXPECT_EQ(plugin->getCurrentPreset(), 0);
    click(CPoint(r.right - 3, r.top + 5));
    EXPECT_EQ(plugin->getCurrentPreset(), 1);
    EXPECT_EQ(plugin->getParameter(0), plugin->presetRecord(1).values[0]);
}

TEST_F(PresetStrip, MenuSelectsAndRenamingCutsTheName) {
    COptionMenu* menu = editor->programMenu();
    menu->setValue(5.0f);
    editor->valueChanged(menu);
    EXPECT_EQ(plugin->getCurrentPreset(), 5);
    EXPECT_EQ(shownName(), menu->getEntryTitle(5));

    const std::string thirty = "abcdefghijklmnopqrstuvwxyz0123";
    editor->nameField()->setText(thirty.c_str());
    editor->valueChanged(editor->nameField());
    EXPECT_EQ(shownName(), thirty.substr(0, 24));
    EXPECT_EQ(menu->getEntryTitle(5), thirty.substr(0, 24));
    EXPECT_EQ(std::string(plugin->presetRecord(5).name), thirty.substr(0, 23));
}

TEST_F(PresetStrip, DefaultButtonsActOnDoubleClicksOnly) {
    auto stored = [](const char* name) { return SettingsStore("").readBlob(name).has_value(); };
    click(1013);
    click(1014);
    EXPECT_FALSE(stored("DefaultBank"));
    EXPECT_FALSE(stored("DefaultPreset"));
    doubleClick(1013);
    doubleClick(1014);
    EXPECT_TRUE(stored("DefaultBank"));
    EXPECT_TRUE(stored("DefaultPreset"));
    doubleClick(1013, kControl);
    doubleClick(1014, kControl);
    EXPECT_FALSE(stored("DefaultBank"));
    EXPECT_FALSE(stored("DefaultPreset"));
}

TEST_F(PresetStrip, MemoRecallLandsInTheCurrentProgram) {
    const PresetRecord three = plugin->presetRecord(3);
    plugin->selectPreset(3);
    click(1015);  // store A
    plugin->selectPreset(7);
    click(1017);  // recall A
    const PresetRecord seven = plugin->presetRecord(7);
    EXPECT_EQ(std::memcmp(seven.values, three.values, sizeof three.values), 0);
    EXPECT_STREQ(seven.name, three.name);
    const PresetRecord threeAfter = plugin->presetRecord(3);
    EXPECT_EQ(std::memcmp(&threeAfter, &three, sizeof three), 0);
    EXPECT_EQ(plugin->getCurrentPreset(), 7);
    idleFor();
    EXPECT_EQ(shownName(), std::string(three.name));
    EXPECT_EQ(editor->programMenu()->getEntryTitle(7), std::string(three.name));
    // B is independent of A.
    plugin->selectPreset(2);
    click(1016);
    plugin->selectPreset(9);
    click(1018);
    EXPECT_STREQ(plugin->presetRecord(9).name, plugin->presetRecord(2).name);
}

TEST_F(PresetStrip, StoredDefaultPresetLandsInProgramZeroAfterTheBank) {
    plugin->selectPreset(4);
    doubleClick(1013);  // bank: program 0 is still factory 0
    doubleClick(1014);  // preset: program 4
    const PresetRecord four = plugin->presetRecord(4);
    auto next = std::make_unique<Plugin>(HostRecorder::callback);
    const PresetRecord zero = next->presetRecord(0);
    EXPECT_STREQ(zero.name, four.name);
    EXPECT_EQ(std::memcmp(zero.values, four.values, sizeof four.values), 0);
    EXPECT_EQ(next->getCurrentPreset(), 0);
}

TEST_F(PresetStrip, FileDialogsAskAsTheyShouldAndRememberOnlySuccess) {
    FileSelectorScript script;
    const std::string path = tempPath("mine.krw");
    script.answer({path}, 2);
    plugin->selectPreset(6);
    click(1005);  // save preset
    EXPECT_TRUE(editor->isFileDialogOpen());
    // Presses meanwhile are ignored.
    const CRect r = control(1001)->getViewSize();
    click(CPoint(r.right - 3, r.top + 5));
    EXPECT_EQ(plugin->getCurrentPreset(), 6);
    idleFor(4);
    EXPECT_FALSE(editor->isFileDialogOpen());
    EXPECT_TRUE(exists(path));
    EXPECT_EQ(editor->presetFileName(), "mine.krw");

    // Right click on load bank: the reversed variant.
    script.answerCancel();
    click(1002, kRButton);
    idleFor();
    script.answer({tempPath("missing.krb")});
    click(1002);
    idleFor();
    ASSERT_NE(message(), nullptr);
    EXPECT_EQ(message()->getCaption(), "Could not load bank");
    EXPECT_EQ(editor->bankFileName(), "");  // a failed load is not remembered
    click(CPoint(10, 10));                  // a click closes the message
    EXPECT_EQ(message(), nullptr);

    const auto requests = script.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].title, "Save preset");
    EXPECT_EQ(requests[0].style, CNewFileSelector::kSelectSaveFile);
    EXPECT_EQ(requests[0].defaultExtension.getExtension(), "krw");
    ASSERT_EQ(requests[0].extensions.size(), 1u);
    EXPECT_EQ(requests[0].extensions[0].getDescription(), "KRW Preset");
    EXPECT_EQ(requests[1].title, "Load bank (endian-reversed)");
    EXPECT_EQ(requests[1].extensions[0].getExtension(), "krb");
    EXPECT_EQ(requests[1].initialDirectory, home.path() + "/");
    EXPECT_EQ(requests[2].title, "Load bank");

    // The saved preset loads back into another program.
    plugin->selectPreset(11);
    script.answer({path});
    click(1004);
    idleFor();
    EXPECT_STREQ(plugin->presetRecord(11).name, plugin->presetRecord(6).name);
    EXPECT_EQ(std::memcmp(plugin->presetRecord(11).values, plugin->presetRecord(6).values,
                          sizeof(PresetRecord::values)),
              0);
    EXPECT_EQ(script.requests().back().title, "Load preset");
    EXPECT_EQ(script.requests().back().initialDirectory, home.path() + "/");
}

TEST_F(PresetStrip, ClosingTheWindowEndsTheDialogAndLoadsNothing) {
    FileSelectorScript script;
    plugin->selectPreset(3);
    ASSERT_TRUE(editor->savePresetFile(tempPath("p.krw")));
    plugin->selectPreset(5);
    const PresetRecord before = plugin->presetRecord(5);
    script.answer({tempPath("p.krw")}, 1000);
    click(1004);
    ASSERT_TRUE(editor->isFileDialogOpen());
    editor->close();
    EXPECT_FALSE(editor->isFileDialogOpen());
    EXPECT_TRUE(samePreset(plugin->presetRecord(5), before));
    ASSERT_TRUE(editor->open(nullptr));
    frame = editor->getFrame();
    idleFor();
    EXPECT_TRUE(samePreset(plugin->presetRecord(5), before));
}

TEST_F(PresetStrip, WithoutADialogProgramAMessageSaysSo) {
    const char* oldPath = getenv("PATH");
    const std::string saved = oldPath != nullptr ? oldPath : "";
    setenv("PATH", home.path().c_str(), 1);
    click(1004);
    setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(editor->isFileDialogOpen());
    ASSERT_NE(message(), nullptr);
    EXPECT_EQ(message()->getCaption(), CPresetSystemEditor::kNoDialogCaption);
}

TEST_F(PresetStrip, ManualOutcomesBecomeTheirMessages) {
    auto opener = [&](int status) {
        const std::string script = tempPath("opener" + std::to_string(status));
        std::ofstream(script) << "#!/bin/sh\nexit " << status << "\n";
        chmod(script.c_str(), 0755);
        DocumentLauncher::setOpenerProgram(script);
    };
    auto pressManual = [&] {
        click(1019);
        for (int i = 0; i < 500 && editor->isManualOpening(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            editor->idle();
        }
        EXPECT_FALSE(editor->isManualOpening());
        EXPECT_FALSE(static_cast<CPresetKickButton*>(control(1019))->isPressed());
    };
    // No path at all.
    pressManual();
    ASSERT_NE(message(), nullptr);
    EXPECT_EQ(message()->getText(), "Could not open user manual");
    EXPECT_EQ(message()->getCaption(), "");
    message()->dismiss();

    SettingsStore("").writeText("ManualPath", tempPath("manual.pdf"));
    opener(3);
    pressManual();
    ASSERT_NE(message(), nullptr);
    EXPECT_EQ(message()->getText(), "Make sure Acrobat Reader is installed");
    EXPECT_EQ(message()->getCaption(), "Could not open manual file");
    message()->dismiss();

    opener(2);
    pressManual();
    ASSERT_NE(message(), nullptr);
    EXPECT_EQ(message()->getText(), "Could not open user manual");
    message()->dismiss();

    opener(0);
    pressManual();
    EXPECT_EQ(message(), nullptr);

    DocumentLauncher::setOpenerProgram(tempPath("no-such-opener"));
    pressManual();
    ASSERT_NE(message(), nullptr);
    EXPECT_EQ(message()->getCaption(), "Could not open manual file");
}

TEST_F(PresetStrip, NamesFromOtherThreadsShowOnIdle) {
    std::thread host([&] {
        char name[] = "From the host";
        plugin->setProgramName(name);
    });
    host.join();
    EXPECT_NE(shownName(), "From the host");  // nothing touched off the UI thread
    idleFor(1);
    EXPECT_EQ(shownName(), "From the host");
    EXPECT_EQ(editor->programMenu()->getEntryTitle(plugin->getCurrentPreset()), "From the host");

    // A chunk from another thread renames programs and selects its own.
    plugin->selectPreset(9);
    PresetRecord r = plugin->presetRecord(2);
    std::strcpy(r.name, "Renamed two");
    plugin->setPresetRecord(2, r);
    void* data = nullptr;
    const VstInt32 size = plugin->getChunk(&data, false);
    std::vector<uint8_t> chunk(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    plugin->selectPreset(0);
    std::thread chunker([&] { plugin->setChunk(chunk.data(), size, false); });
    chunker.join();
    idleFor(1);
    EXPECT_EQ(editor->programMenu()->getCurrentIndex(), 9);
    EXPECT_EQ(editor->programMenu()->getEntryTitle(2), "Renamed two");
    EXPECT_EQ(shownName(), std::string(plugin->presetRecord(9).name));
}

TEST_F(PresetStrip, IdleNeverWaitsForAnOpenDialog) {
    // A dialog program that takes its time, as a person does.
    const std::string bin = tempPath("bin");
    mkdir(bin.c_str(), 0700);
    std::ofstream(bin + "/zenity") << "#!/bin/sh\nsleep 5\necho /nowhere.krw\n";
    chmod((bin + "/zenity").c_str(), 0700);
    const std::string oldPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
    click(1004);
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(editor->isFileDialogOpen());
    AEffect* e = plugin->getAeffect();
    double slowest = 0;
    for (int i = 0; i < 30; ++i) {
        const auto start = std::chrono::steady_clock::now();
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        slowest = std::max(slowest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(editor->isFileDialogOpen());
    // The dialog takes 5 s: an idle that waited for it would take seconds. The
    // bound leaves room for a slow sanitizer build on a busy machine, where a
    // full repaint alone can take tens of milliseconds.
    EXPECT_LT(slowest, 1000.0) << "effEditIdle waited for the dialog";
    const auto start = std::chrono::steady_clock::now();
    editor->close();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0)
        << "closing waited for the dialog";
    EXPECT_FALSE(editor->isFileDialogOpen());
    ASSERT_TRUE(editor->open(nullptr));
}

TEST(PresetStripControls, FramesFollowHoverPressAndSide) {
    CFrame* frame = new CFrame(CRect(0, 0, 100, 40), nullptr);
    struct Listener : CControlListener {
        void valueChanged(CControl* c) override { values.push_back(c->getValue()); }
        std::vector<float> values;
    } listener;
    auto* kick =
        new CPresetKickButton(CRect(0, 0, 20, 15), &listener, 1, 15, nullptr, CPoint(0, 0), false);
    auto* file = new CSaveLoadButton(CRect(30, 0, 50, 15), &listener, 2, 15, nullptr, CPoint(0, 0));
    auto* rocker =
        new CPresetRockerSwitch(CRect(60, 0, 90, 13), &listener, 3, 13, nullptr, CPoint(0, 0));
    frame->addView(kick);
    frame->addView(file);
    frame->addView(rocker);
    uint32_t t = 1000;
    frame->setTickSource([&] { return t; });

    EXPECT_EQ(kick->currentFrame(), 0);
    frame->injectMouseMoved(CPoint(5, 5), 0);
    EXPECT_EQ(kick->currentFrame(), 1);
    frame->injectMouseDown(CPoint(5, 5), kLButton);
    EXPECT_EQ(kick->currentFrame(), 2);
    ASSERT_EQ(listener.values.size(), 1u);  // told on the press
    EXPECT_EQ(listener.values[0], 1.0f);
    frame->injectMouseUp(CPoint(5, 5), kLButton);
    EXPECT_EQ(kick->currentFrame(), 1);
    EXPECT_EQ(listener.values.size(), 1u);

    listener.values.clear();
    t += 1000;
    frame->injectMouseDown(CPoint(35, 5), kRButton);
    t += 1000;
    frame->injectMouseDown(CPoint(35, 5), kLButton);
    t += 1000;
    frame->injectMouseDown(CPoint(35, 5), CButtonState(kRButton | kLButton));
    EXPECT_EQ(listener.values, (std::vector<float>{0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(file->getValue(), 0.0f);
    VstKeyCode enter{0, VKEY_RETURN, 0};
    EXPECT_EQ(file->onKeyDown(enter), -1);

    listener.values.clear();
    frame->injectMouseMoved(CPoint(62, 5), 0);
    EXPECT_EQ(rocker->hoverSide(), -1);
    EXPECT_EQ(rocker->currentFrame(), 1);
    frame->injectMouseMoved(CPoint(88, 5), 0);
    EXPECT_EQ(rocker->currentFrame(), 2);
    t += 1000;
    frame->injectMouseDown(CPoint(88, 5), kLButton);
    EXPECT_EQ(rocker->currentFrame(), 4);
    frame->injectMouseUp(CPoint(88, 5), kLButton);
    t += 1000;
    frame->injectMouseDown(CPoint(62, 5), kLButton);
    EXPECT_EQ(rocker->currentFrame(), 3);
    frame->injectMouseUp(CPoint(62, 5), kLButton);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, -1.0f}));
    frame->injectMouseExited();
    EXPECT_EQ(rocker->currentFrame(), 0);
    frame->close();
}
