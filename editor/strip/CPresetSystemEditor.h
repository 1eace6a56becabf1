// The preset side of the editor object: the preset strip with its file
// dialogs and the manual, over the effect's preset system (the formats,
// files, stored defaults and memos live in presets/PresetSystem; the calls
// of that kind here pass straight on to it). It exists from the effect's
// construction to its destruction, whether or not a window is open.
// Runs on the user-interface thread, or inside construction; showPresetName
// on any thread. Never on the audio thread: it allocates and touches files.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/EffectView.h"
#include "presets/PresetFormats.h"
#include "presets/PresetRecord.h"
#include "presets/PresetSystem.h"
#include "toolkit/AEffGUIEditor.h"
#include "toolkit/CControlListener.h"

class CTextEdit;
class COptionMenu;
class CNewFileSelector;
class CPresetKickButton;
class CSaveLoadButton;
class CPresetRockerSwitch;
namespace zelto {
class DocumentLauncher;
}

class CPresetSystemEditor : public AEffGUIEditor, public CControlListener {
  public:
    // Tags of the strip's controls.
    enum StripTag : int32_t {
        kTagName = 1000,
        kTagRocker = 1001,
        kTagLoadBank = 1002,
        kTagSaveBank = 1003,
        kTagLoadPreset = 1004,
        kTagSavePreset = 1005,
        kTagProgramMenu = 1012,
        kTagDefaultBank = 1013,
        kTagDefaultPreset = 1014,
        kTagStoreA = 1015,
        kTagStoreB = 1016,
        kTagRecallA = 1017,
        kTagRecallB = 1018,
        kTagManual = 1019,
    };
    /// The message shown when no file dialog program can be started.
    static constexpr const char* kNoDialogCaption = "Could not show the file dialog";
    static constexpr const char* kNoDialogText = "Install zenity or kdialog to choose files.";

    /// `effect` is the format's effect object the toolkit reports to; `view`
    /// the effect as the editor sees it.
    CPresetSystemEditor(AudioEffectX* effect, zelto::EffectView* view);
    ~CPresetSystemEditor() override;

    /// Builds the strip on top of the frame the derived editor made (it does
    /// not make one); false without a frame or an effect.
    bool open(void* parentWindow) override;
    /// Ends a file dialog still up (nothing is loaded or saved), forgets the
    /// strip's controls and closes the frame.
    void close() override;
    /// Strip work, then the frame's idle.
    void idle() override;
    /// The strip's actions by tag (1000..1019); other tags are ignored.
    void valueChanged(CControl* control) override;
    /// Edit gestures of the controls go to the effect (parameters only).
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;

    // Format builders: a new blob in native byte order (empty without a bank).
    virtual std::vector<uint8_t> buildTaggedBank();
    virtual std::vector<uint8_t> buildTaggedPreset();

    // Format loaders. `records` holds `size` bytes following the header;
    // nothing outside them is read.
    virtual PresetLoadResult loadTaggedBank(const uint8_t* records, size_t size,
                                            const zelto::TaggedHeader& header, bool swap);
    virtual PresetLoadResult loadTaggedPreset(const uint8_t* records, size_t size,
                                              const zelto::TaggedHeader& header, bool swap);
    virtual PresetLoadResult loadFlatPreset(const uint8_t* data, size_t size, bool swap,
                                            int32_t paramCount);
    virtual PresetLoadResult loadFlatBank(const uint8_t* data, size_t size, bool swap,
                                          int32_t programCount, int32_t paramCount,
                                          int32_t selectAfter = 0);

    // Whole preset or bank images as found in files and stored values: the
    // signature test, the byte-order flag (inverted when reversed), the tag.
    PresetLoadResult loadPresetBlob(const uint8_t* data, size_t size, bool reversed);
    PresetLoadResult loadBankBlob(const uint8_t* data, size_t size, bool reversed);

    // File operations by full path; the folder and name are remembered for
    // the file dialogs. Loading never writes the file; saving replaces it
    // atomically, so a failed save leaves the old file as it was.
    virtual PresetLoadResult loadPresetFile(const std::string& path, bool reversed);
    virtual PresetLoadResult loadBankFile(const std::string& path, bool reversed);
    virtual bool savePresetFile(const std::string& path);
    virtual bool saveBankFile(const std::string& path);

    // Stored defaults and memos (shared by every instance of the same user).
    virtual bool storeDefaultBank();
    virtual bool clearDefaultBank();
    virtual PresetLoadResult recallDefaultBank();
    virtual bool storeDefaultPreset();
    virtual bool clearDefaultPreset();
    virtual PresetLoadResult recallDefaultPreset();
    virtual bool storeMemoA();
    virtual bool storeMemoB();
    virtual PresetLoadResult recallMemoA();
    virtual PresetLoadResult recallMemoB();

    /// Start-up: stored default bank, program 0, stored default preset, the
    /// remembered file locations.
    virtual void loadStoredDefaults();
    virtual void saveFileLocations();
    virtual void loadFileLocations();

    /// Shows a program name in the name field and as the current menu
    /// entry's title, and brings the menu's entries and current entry in
    /// step with the bank. Any thread: it only records the request; the next
    /// idle() applies it.
    virtual void showPresetName(const char* name);

    // File dialogs of the strip (user-interface thread, window open).
    enum class FileAction { LoadBank, SaveBank, LoadPreset, SavePreset };
    /// Opens the dialog of the action; the load or save happens on a later
    /// idle() once a file was chosen. False when a dialog is already up or
    /// none could be shown (then a message says so).
    bool startFileDialog(FileAction action, bool reversed);
    bool isFileDialogOpen() const { return dialog_ != nullptr; }
    /// Opens the user manual ("ManualPath") without waiting; a failure shows
    /// a message in the window once the opener has answered.
    void openManual();
    bool isManualOpening() const;

    // The strip's controls, null while closed.
    CTextEdit* nameField() const { return nameField_; }
    COptionMenu* programMenu() const { return programMenu_; }
    CControl* stripControl(int32_t tag) const;

    const std::string& currentFolder() const;
    const std::string& bankFileName() const;
    const std::string& presetFileName() const;
    /// The user manual's location, set up outside the plug-in ("" if none).
    std::string manualPath() const;

  protected:
    /// The strip's part of idle: names to show, the file dialog, the manual.
    /// Cheap; the derived editor calls it on every idle.
    void idleStrip();
    /// Forgets the strip's controls and ends a dialog (the frame goes on).
    void closeStrip();

    zelto::EffectView* presetEffect;

  private:
    void buildStrip();
    void applyPendingNames();
    void pollFileDialog();
    void finishFileAction(FileAction action, bool reversed, const std::string& path);
    void pollManual();
    void showMessage(const char* caption, const char* text);
    void selectFromStrip(int32_t index, const std::string& shownName);
    zelto::PresetSystem* presetSystem() const;

    // The strip (owned by the frame).
    CTextEdit* nameField_ = nullptr;
    COptionMenu* programMenu_ = nullptr;
    CPresetRockerSwitch* rocker_ = nullptr;
    CSaveLoadButton* loadBank_ = nullptr;
    CSaveLoadButton* saveBank_ = nullptr;
    CSaveLoadButton* loadPreset_ = nullptr;
    CSaveLoadButton* savePreset_ = nullptr;
    CPresetKickButton* defaultBank_ = nullptr;
    CPresetKickButton* defaultPreset_ = nullptr;
    CPresetKickButton* storeA_ = nullptr;
    CPresetKickButton* storeB_ = nullptr;
    CPresetKickButton* recallA_ = nullptr;
    CPresetKickButton* recallB_ = nullptr;
    CPresetKickButton* manual_ = nullptr;

    // A name to show, from any thread.
    std::mutex pendingNameMutex_;
    std::string pendingName_;
    std::atomic<bool> namePending_{false};

    // The file dialog that is up, and what to do with its answer.
    CNewFileSelector* dialog_ = nullptr;
    FileAction dialogAction_ = FileAction::LoadPreset;
    bool dialogReversed_ = false;

    std::unique_ptr<zelto::DocumentLauncher> manualLauncher_;
};
