// The preset side of the editor object: builds and reads the tagged and flat
// preset and bank formats in either byte order, stores defaults and memos in
// the settings store, and remembers the folder and file names of the file
// dialogs. It exists from the effect's construction to its destruction,
// whether or not a window is open, because the effect's state chunks go
// through it.
// Runs on the user-interface thread, inside construction, or on whichever
// host thread calls the chunk operations. Takes no lock. Never on the audio
// thread: it allocates and touches files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "presets/PresetFormats.h"
#include "presets/PresetRecord.h"
#include "toolkit/AEffGUIEditor.h"

class CPresetSystemEffect;

/// What became of a load; everything but Loaded left the programs as they were.
enum class PresetLoadResult {
    Loaded,
    NoBank,            // the effect has no program store
    Unreadable,        // the file or value could not be read
    TooShort,          // shorter than the signature and tag
    ForeignSignature,  // written for another plug-in
    UnknownTag,        // not a preset (or not a bank) of a known kind
    Damaged,           // sizes or counts that do not fit the data
    ValueOutOfRange,   // a value outside 0..1 (NaN included) undid the load
};

const char* describePresetLoadResult(PresetLoadResult result);

class CPresetSystemEditor : public AEffGUIEditor {
public:
    explicit CPresetSystemEditor(CPresetSystemEffect* effect);
    ~CPresetSystemEditor() override;

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

    /// Shows a program name in the panel, when one is open.
    virtual void showPresetName(const char* /*name*/) {}

    const std::string& currentFolder() const { return currentFolder_; }
    const std::string& bankFileName() const { return bankFileName_; }
    const std::string& presetFileName() const { return presetFileName_; }
    /// The user manual's location, set up outside the plug-in ("" if none).
    std::string manualPath() const;

protected:
    CPresetSystemEffect* presetEffect;

private:
    bool storeBlob(const char* valueName, const std::vector<uint8_t>& blob);
    PresetLoadResult recallBlob(const char* valueName, bool bank);
    void rememberPath(const std::string& path, std::string& fileName);
    PresetLoadResult loadTaggedImage(const uint8_t* data, size_t size, bool swap, bool bank);

    std::string currentFolder_;
    std::string bankFileName_;
    std::string presetFileName_;
};
