// The preset strip of the window: its controls, their actions, the file
// dialogs (child processes polled on idle, so the host's user-interface
// thread never waits for the user) and the user manual.
// User-interface thread, except showPresetName, which only records.
#include <algorithm>
#include <cstring>

#include "editor/strip/CPresetKickButton.h"
#include "editor/strip/CPresetRockerSwitch.h"
#include "editor/strip/CPresetSystemEditor.h"
#include "editor/strip/CSaveLoadButton.h"
#include "platform/DocumentLauncher.h"
#include "toolkit/controls/CMessageView.h"
#include "toolkit/vstgui.h"

#ifdef _WIN32
#include <cstdint>

#include "platform/win32/MessageBox.h"
#endif

using namespace zelto;

namespace {

constexpr int32_t kImageBackground = 128;
constexpr int32_t kImageManual = 989;
constexpr int32_t kImageLoad = 990;
constexpr int32_t kImageSave = 991;
constexpr int32_t kImageDefaultBank = 992;
constexpr int32_t kImageDefaultPreset = 993;
constexpr int32_t kImageRocker = 995;

// The strip's centre line; the name field's height follows its font.
constexpr CCoord kStripCentre = 454;
// Names as the strip shows them: the whole 24-character field.
constexpr size_t kShownNameLength = 24;

const CColor kNameText(36, 36, 32, 255);
const CColor kNameBack(209, 227, 238, 255);

std::string shownName(const char* name) {
    if (name == nullptr) return {};
    return std::string(name, strnlen(name, kShownNameLength));
}

}  // namespace

// ---- open / close / idle ----

bool CPresetSystemEditor::open(void*) {
    if (frame == nullptr || presetEffect == nullptr) return false;
    buildStrip();
    return true;
}

void CPresetSystemEditor::buildStrip() {
    CBitmap* background = new CBitmap(CResourceDescription(kImageBackground));
    auto image = [](int32_t id) { return new CBitmap(CResourceDescription(id)); };
    auto frames = [](CBitmap* bitmap, int32_t count) {
        return bitmap->getHeight() > 0 ? bitmap->getHeight() / count : 1;
    };
    const int32_t current = presetEffect->getCurrentPreset();

    const CCoord h = kNormalFontSmaller->getSize();
    const CRect nameRect(194, kStripCentre - h / 2 - 2, 318, kStripCentre + h / 2 + 2);
    nameField_ =
        new CTextEdit(nameRect, this, kTagName,
                      shownName(presetEffect->presetRecord(current).name).c_str(), background, 0);
    nameField_->setBackOffset(CPoint(nameRect.left, nameRect.top));
    nameField_->setFont(kNormalFontSmaller);
    nameField_->setFontColor(kNameText);
    nameField_->setFrameColor(kNameText);
    nameField_->setBackColor(kNameBack);
    nameField_->setHoriAlign(kCenterText);
    nameField_->setMaxChars(static_cast<int32_t>(kShownNameLength));
    frame->addView(nameField_);

    const CRect menuRect(320, 448, 333, 460);
    programMenu_ = new COptionMenu(menuRect, this, kTagProgramMenu, background, nullptr,
                                   kCheckStyle | kNoTextStyle | kNoDrawStyle | kPopupStyle);
    programMenu_->setBackOffset(CPoint(menuRect.left, menuRect.top));
    for (int32_t p = 0; p < kNumPresets; ++p) {
        programMenu_->addEntry(shownName(presetEffect->presetRecord(p).name).c_str());
    }
    programMenu_->setNbItemsPerColumn(12);
    programMenu_->setCurrent(current);
    frame->addView(programMenu_);

    CBitmap* rockerImage = image(kImageRocker);
    rocker_ =
        new CPresetRockerSwitch(CRect(340, 447, 370, 460), this, kTagRocker, frames(rockerImage, 5),
                                rockerImage, CPoint(0, 0), kHorizontal);
    frame->addView(rocker_);
    rockerImage->forget();

    CBitmap* load = image(kImageLoad);
    CBitmap* save = image(kImageSave);
    CBitmap* defaultBank = image(kImageDefaultBank);
    CBitmap* defaultPreset = image(kImageDefaultPreset);
    CBitmap* manual = image(kImageManual);
    auto fileButton = [&](const CRect& r, int32_t tag, CBitmap* bitmap) {
        auto* b = new CSaveLoadButton(r, this, tag, frames(bitmap, 3), bitmap, CPoint(0, 0));
        frame->addView(b);
        return b;
    };
    auto kickButton = [&](const CRect& r, int32_t tag, CBitmap* bitmap, bool doubleClickOnly) {
        auto* b = new CPresetKickButton(r, this, tag, frames(bitmap, 3), bitmap, CPoint(0, 0),
                                        doubleClickOnly);
        frame->addView(b);
        return b;
    };
    loadBank_ = fileButton(CRect(72, 447, 89, 462), kTagLoadBank, load);
    saveBank_ = fileButton(CRect(22, 447, 39, 462), kTagSaveBank, save);
    defaultBank_ = kickButton(CRect(39, 447, 71, 460), kTagDefaultBank, defaultBank, true);
    loadPreset_ = fileButton(CRect(166, 447, 183, 462), kTagLoadPreset, load);
    savePreset_ = fileButton(CRect(104, 447, 121, 462), kTagSavePreset, save);
    defaultPreset_ = kickButton(CRect(122, 447, 166, 460), kTagDefaultPreset, defaultPreset, true);
    recallA_ = kickButton(CRect(421, 447, 438, 462), kTagRecallA, load, false);
    storeA_ = kickButton(CRect(388, 447, 405, 462), kTagStoreA, save, false);
    recallB_ = kickButton(CRect(486, 447, 503, 462), kTagRecallB, load, false);
    storeB_ = kickButton(CRect(452, 447, 469, 462), kTagStoreB, save, false);
    manual_ = kickButton(CRect(510, 449, 521, 458), kTagManual, manual, false);

    // The controls hold their own references.
    for (CBitmap* b : {background, load, save, defaultBank, defaultPreset, manual}) b->forget();
}

void CPresetSystemEditor::close() {
    closeStrip();
    AEffGUIEditor::close();
}

void CPresetSystemEditor::closeStrip() {
    // The user closed the window: whatever the dialog would have answered
    // no longer has a place to go, so it ends and nothing is loaded.
    if (dialog_ != nullptr) {
        dialog_->cancel();
        dialog_->forget();
        dialog_ = nullptr;
    }
    nameField_ = nullptr;
    programMenu_ = nullptr;
    rocker_ = nullptr;
    loadBank_ = saveBank_ = loadPreset_ = savePreset_ = nullptr;
    defaultBank_ = defaultPreset_ = storeA_ = storeB_ = recallA_ = recallB_ = manual_ = nullptr;
}

void CPresetSystemEditor::idle() {
    idleStrip();
    AEffGUIEditor::idle();
}

void CPresetSystemEditor::idleStrip() {
    if (frame == nullptr) return;
    applyPendingNames();
    pollFileDialog();
    pollManual();
}

CControl* CPresetSystemEditor::stripControl(int32_t tag) const {
    switch (tag) {
        case kTagName:
            return nameField_;
        case kTagRocker:
            return rocker_;
        case kTagLoadBank:
            return loadBank_;
        case kTagSaveBank:
            return saveBank_;
        case kTagLoadPreset:
            return loadPreset_;
        case kTagSavePreset:
            return savePreset_;
        case kTagProgramMenu:
            return programMenu_;
        case kTagDefaultBank:
            return defaultBank_;
        case kTagDefaultPreset:
            return defaultPreset_;
        case kTagStoreA:
            return storeA_;
        case kTagStoreB:
            return storeB_;
        case kTagRecallA:
            return recallA_;
        case kTagRecallB:
            return recallB_;
        case kTagManual:
            return manual_;
        default:
            return nullptr;
    }
}

// ---- names ----

void CPresetSystemEditor::showPresetName(const char* name) {
    {
        std::lock_guard<std::mutex> lock(pendingNameMutex_);
        pendingName_ = shownName(name);
    }
    namePending_.store(true, std::memory_order_release);
}

void CPresetSystemEditor::applyPendingNames() {
    if (presetEffect == nullptr || !namePending_.exchange(false, std::memory_order_acquire)) {
        return;
    }
    std::string name;
    {
        std::lock_guard<std::mutex> lock(pendingNameMutex_);
        name = pendingName_;
    }
    const int32_t current = presetEffect->getCurrentPreset();
    if (programMenu_ != nullptr) {
        // A bank load or chunk may have renamed every program.
        for (int32_t p = 0; p < kNumPresets; ++p) {
            const std::string title =
                p == current ? name : shownName(presetEffect->presetRecord(p).name);
            programMenu_->setEntryTitle(p, title.c_str());
        }
        programMenu_->setCurrent(current);
        programMenu_->invalid();
    }
    if (nameField_ != nullptr) {
        nameField_->setText(name.c_str());
        nameField_->invalid();
    }
}

// ---- actions ----

void CPresetSystemEditor::selectFromStrip(int32_t index, const std::string& name) {
    if (programMenu_ != nullptr) programMenu_->setCurrent(index);
    if (nameField_ != nullptr) {
        nameField_->setText(name.c_str());
        nameField_->invalid();
    }
    presetEffect->selectPreset(index);
    presetEffect->renameCurrentPreset(name.c_str());
}

void CPresetSystemEditor::valueChanged(CControl* control) {
    if (control == nullptr || presetEffect == nullptr) return;
    const int32_t tag = control->getTag();
    const float v = control->getValue();
    // While a file dialog is up the strip is modal to it: nothing else may
    // change the programs the answer will land in.
    if (dialog_ != nullptr) {
        if (tag == kTagName && nameField_ != nullptr) {
            nameField_->setText(
                shownName(presetEffect->presetRecord(presetEffect->getCurrentPreset()).name)
                    .c_str());
        }
        return;
    }
    switch (tag) {
        case kTagName: {
            auto* field = static_cast<CTextEdit*>(control);
            const std::string text = field->getText().substr(0, kShownNameLength);
            field->setText(text.c_str());
            if (programMenu_ != nullptr) {
                programMenu_->setEntryTitle(presetEffect->getCurrentPreset(), text.c_str());
            }
            presetEffect->renameCurrentPreset(text.c_str());
            break;
        }
        case kTagRocker: {
            int32_t i = presetEffect->getCurrentPreset();
            if (v > 0) {
                i = std::min(i + 1, kNumPresets - 1);
            } else if (v < 0) {
                i = std::max(i - 1, 0);
            } else {
                break;
            }
            selectFromStrip(i, shownName(presetEffect->presetRecord(i).name));
            break;
        }
        case kTagLoadBank:
            startFileDialog(FileAction::LoadBank, v == 0.5f);
            break;
        case kTagSaveBank:
            startFileDialog(FileAction::SaveBank, false);
            break;
        case kTagLoadPreset:
            startFileDialog(FileAction::LoadPreset, v == 0.5f);
            break;
        case kTagSavePreset:
            startFileDialog(FileAction::SavePreset, false);
            break;
        case kTagProgramMenu: {
            const int32_t i = std::clamp(static_cast<int32_t>(v + 0.5f), 0, kNumPresets - 1);
            const std::string title = programMenu_ != nullptr
                                          ? programMenu_->getEntryTitle(i)
                                          : shownName(presetEffect->presetRecord(i).name);
            selectFromStrip(i, title);
            break;
        }
        case kTagDefaultBank:
            if (v < 0.75f) {
                clearDefaultBank();
            } else {
                storeDefaultBank();
            }
            break;
        case kTagDefaultPreset:
            if (v < 0.75f) {
                clearDefaultPreset();
            } else {
                storeDefaultPreset();
            }
            break;
        case kTagStoreA:
            storeMemoA();
            break;
        case kTagStoreB:
            storeMemoB();
            break;
        case kTagRecallA:
            recallMemoA();
            break;
        case kTagRecallB:
            recallMemoB();
            break;
        case kTagManual:
            openManual();
            break;
        default:
            break;
    }
}

// ---- file dialogs ----

bool CPresetSystemEditor::startFileDialog(FileAction action, bool reversed) {
    if (frame == nullptr || dialog_ != nullptr) return false;
    const bool bank = action == FileAction::LoadBank || action == FileAction::SaveBank;
    const bool saving = action == FileAction::SaveBank || action == FileAction::SavePreset;
    const CFileExtension type =
        bank ? CFileExtension("KRW Bank", "krb") : CFileExtension("KRW Preset", "krw");
    CNewFileSelector* selector = CNewFileSelector::create(
        frame, saving ? CNewFileSelector::kSelectSaveFile : CNewFileSelector::kSelectFile);
    if (saving) {
        selector->setTitle(bank ? "Save bank" : "Save preset");
        selector->setDefaultExtension(type);
        selector->setDefaultSaveName((bank ? bankFileName() : presetFileName()).c_str());
    } else if (bank) {
        selector->setTitle(reversed ? "Load bank (endian-reversed)" : "Load bank");
    } else {
        selector->setTitle(reversed ? "Load preset (endian-reversed)" : "Load preset");
    }
    selector->setInitialDirectory(currentFolder().c_str());
    selector->addFileExtension(type);
    selector->setAllowMultiFileSelection(false);
    if (!selector->start()) {
        selector->forget();
        showMessage(kNoDialogCaption, kNoDialogText);
        return false;
    }
    dialog_ = selector;
    dialogAction_ = action;
    dialogReversed_ = !saving && reversed;
    return true;
}

void CPresetSystemEditor::pollFileDialog() {
    if (dialog_ == nullptr || dialog_->poll() != CNewFileSelector::PollState::kDone) return;
    CNewFileSelector* done = dialog_;
    dialog_ = nullptr;
    const std::string path =
        done->getNumSelectedFiles() == 1 ? std::string(done->getSelectedFile(0)) : std::string();
    done->forget();
    if (!path.empty()) finishFileAction(dialogAction_, dialogReversed_, path);
}

void CPresetSystemEditor::finishFileAction(FileAction action, bool reversed,
                                           const std::string& path) {
    switch (action) {
        case FileAction::SaveBank:
        case FileAction::SavePreset: {
            const bool bank = action == FileAction::SaveBank;
            if (!(bank ? saveBankFile(path) : savePresetFile(path))) {
                // A save that fails silently is a preset the user believes is kept.
                showMessage(bank ? "Could not save bank" : "Could not save preset",
                            "The file could not be written; nothing was changed.");
            }
            break;
        }
        case FileAction::LoadBank:
        case FileAction::LoadPreset: {
            const bool bank = action == FileAction::LoadBank;
            const PresetLoadResult result =
                bank ? loadBankFile(path, reversed) : loadPresetFile(path, reversed);
            if (result != PresetLoadResult::Loaded) {
                const std::string text =
                    std::string("Not loaded: ") + describePresetLoadResult(result) + ".";
                showMessage(bank ? "Could not load bank" : "Could not load preset", text.c_str());
            }
            if (frame != nullptr) frame->invalid();
            break;
        }
    }
}

void CPresetSystemEditor::showMessage(const char* caption, const char* text) {
#ifdef _WIN32
    // The system's own modal message box, owned by the plug-in's window, as
    // Windows users expect from a plug-in; none once the window is gone.
    if (frame == nullptr) return;
    const auto owner = static_cast<uintptr_t>(frame->getWindowId());
    win32::showMessageBox(reinterpret_cast<void*>(owner), text, caption);
#else
    if (frame != nullptr) CMessageView::show(frame, caption, text);
#endif
}

// ---- the manual ----

bool CPresetSystemEditor::isManualOpening() const {
    return manualLauncher_ != nullptr && manualLauncher_->isPending();
}

void CPresetSystemEditor::openManual() {
    if (isManualOpening()) return;
    if (manualLauncher_ == nullptr) manualLauncher_ = std::make_unique<DocumentLauncher>();
    manualLauncher_->start(manualPath());
    pollManual();
}

void CPresetSystemEditor::pollManual() {
    if (manualLauncher_ == nullptr) return;
    const DocumentLauncher::Outcome outcome = manualLauncher_->poll();
    if (outcome == DocumentLauncher::Outcome::Pending) return;
    // Only once per launch.
    manualLauncher_.reset();
    if (manual_ != nullptr) manual_->release();
    if (outcome == DocumentLauncher::Outcome::NoApplication) {
        showMessage("Could not open manual file", "Make sure Acrobat Reader is installed");
    } else if (outcome == DocumentLauncher::Outcome::Failed) {
        showMessage("", "Could not open user manual");
    }
}
