// The preset and bank formats of the effect's program bank: builds and reads
// the tagged and flat images in either byte order, reads and writes preset
// and bank files, stores defaults and memos in the settings store, and
// remembers the folder and file names the file dialogs open with. It lives as
// long as the effect, window or not, because the state chunk goes through it.
// Runs on the user-interface thread, inside construction, or on whichever
// host thread calls the state operations. Takes no lock. Never on the audio
// thread: it allocates and touches files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "presets/PresetFormats.h"
#include "presets/PresetRecord.h"
#include "presets/ProgramStore.h"

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

namespace zelto {

class PresetSystem {
  public:
    explicit PresetSystem(ProgramStore* store);
    /// Writes the remembered file locations back to the settings store.
    ~PresetSystem();
    PresetSystem(const PresetSystem&) = delete;
    PresetSystem& operator=(const PresetSystem&) = delete;

    // Format builders: a new blob in native byte order (empty without a bank).
    std::vector<uint8_t> buildTaggedBank();
    std::vector<uint8_t> buildTaggedPreset();

    // Format loaders. `records` holds `size` bytes following the header;
    // nothing outside them is read.
    PresetLoadResult loadTaggedBank(const uint8_t* records, size_t size, const TaggedHeader& header,
                                    bool swap);
    PresetLoadResult loadTaggedPreset(const uint8_t* records, size_t size,
                                      const TaggedHeader& header, bool swap);
    PresetLoadResult loadFlatPreset(const uint8_t* data, size_t size, bool swap,
                                    int32_t paramCount);
    PresetLoadResult loadFlatBank(const uint8_t* data, size_t size, bool swap, int32_t programCount,
                                  int32_t paramCount, int32_t selectAfter = 0);

    // Whole preset or bank images as found in files and stored values: the
    // signature test, the byte-order flag (inverted when reversed), the tag.
    PresetLoadResult loadPresetBlob(const uint8_t* data, size_t size, bool reversed);
    PresetLoadResult loadBankBlob(const uint8_t* data, size_t size, bool reversed);

    // File operations by full path; the folder and name are remembered for
    // the file dialogs. Loading never writes the file; saving replaces it
    // atomically, so a failed save leaves the old file as it was.
    PresetLoadResult loadPresetFile(const std::string& path, bool reversed);
    PresetLoadResult loadBankFile(const std::string& path, bool reversed);
    bool savePresetFile(const std::string& path);
    bool saveBankFile(const std::string& path);

    // Stored defaults and memos (shared by every instance of the same user).
    bool storeDefaultBank();
    bool clearDefaultBank();
    PresetLoadResult recallDefaultBank();
    bool storeDefaultPreset();
    bool clearDefaultPreset();
    PresetLoadResult recallDefaultPreset();
    bool storeMemoA();
    bool storeMemoB();
    PresetLoadResult recallMemoA();
    PresetLoadResult recallMemoB();

    /// Start-up: stored default bank, program 0, stored default preset, the
    /// remembered file locations.
    void loadStoredDefaults();
    void saveFileLocations();
    void loadFileLocations();

    const std::string& currentFolder() const { return currentFolder_; }
    const std::string& bankFileName() const { return bankFileName_; }
    const std::string& presetFileName() const { return presetFileName_; }
    /// The user manual's location, set up outside the plug-in ("" if none).
    std::string manualPath() const;

  private:
    bool storeBlob(const char* valueName, const std::vector<uint8_t>& blob);
    PresetLoadResult recallBlob(const char* valueName, bool bank);
    void rememberPath(const std::string& path, std::string& fileName);
    PresetLoadResult loadTaggedImage(const uint8_t* data, size_t size, bool swap, bool bank);

    ProgramStore* presetEffect;
    std::string currentFolder_;
    std::string bankFileName_;
    std::string presetFileName_;
};

}  // namespace zelto
