// Preset and bank formats, file operations, stored defaults and memos.
//
// Tagged image: lead (signature, tag), 9 header words, then records of
// {type, payload size, program} + payload. Name records carry a 24-byte name
// field, value records {parameter, 0, 0, value, 0}. Flat images carry
// name + floats in parameter order. Every load first checks that all it will
// read lies inside the data, then backs up what it will change, and restores
// it when a value outside 0..1 shows up.
#include "presets/PresetSystem.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/FileIO.h"
#include "platform/SettingsStore.h"

using namespace zelto;

namespace {

constexpr const char* kDefaultPresetValue = "DefaultPreset";
constexpr const char* kDefaultBankValue = "DefaultBank";
constexpr const char* kMemoAValue = "MemoA";
constexpr const char* kMemoBValue = "MemoB";
constexpr const char* kCurrDirValue = "CurrDir";
constexpr const char* kCurrBankValue = "CurrBank";
constexpr const char* kCurrPresetValue = "CurrPreset";
constexpr const char* kManualPathValue = "ManualPath";

// The preset system's values live in the product's own key.
SettingsStore presetStore() {
    return SettingsStore("");
}

bool inUnitRange(float v) {
    return v >= 0.0f && v <= 1.0f;
}  // false for NaN

bool validProgram(int32_t p) {
    return p >= 0 && p < kNumPresets;
}

// A name field is taken as it is, but always ends inside its 24 bytes.
void copyNameField(PresetRecord& record, const uint8_t* field) {
    std::memcpy(record.name, field, kPresetNameSize);
    record.name[kPresetNameSize - 1] = 0;
}

// Walks `count` records inside `size` bytes and says whether every record
// header and every payload that will be read lies inside. With
// programsMatter, records of programs outside 0..23 are skipped unread.
bool recordsFit(const uint8_t* records, size_t size, int32_t count, bool swap,
                bool programsMatter) {
    size_t pos = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (size - pos < kRecordHeaderSize) return false;
        const int32_t type = readInt(records + pos, swap);
        const int32_t payload = readInt(records + pos + 4, swap);
        const int32_t program = readInt(records + pos + 8, swap);
        if (payload < 0 || static_cast<size_t>(payload) > size - pos - kRecordHeaderSize) {
            return false;
        }
        if (!programsMatter || validProgram(program)) {
            if (type == kRecordTypeName && payload < kPresetNameSize) return false;
            if (type == kRecordTypeValue && payload < 16) return false;
        }
        pos += kRecordHeaderSize + static_cast<size_t>(payload);
    }
    return true;
}

}  // namespace

const char* describePresetLoadResult(PresetLoadResult result) {
    switch (result) {
        case PresetLoadResult::Loaded:
            return "loaded";
        case PresetLoadResult::NoBank:
            return "the plug-in has no program store";
        case PresetLoadResult::Unreadable:
            return "cannot be read";
        case PresetLoadResult::TooShort:
            return "too short to be a preset or bank";
        case PresetLoadResult::ForeignSignature:
            return "written for another plug-in";
        case PresetLoadResult::UnknownTag:
            return "not a preset or bank of a known kind";
        case PresetLoadResult::Damaged:
            return "damaged: its sizes do not fit its data";
        case PresetLoadResult::ValueOutOfRange:
            return "holds a value outside 0..1";
    }
    return "unknown";
}

PresetSystem::PresetSystem(ProgramStore* store) : presetEffect(store) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) != nullptr) currentFolder_ = buffer;
}

PresetSystem::~PresetSystem() {
    saveFileLocations();
}

// ---- builders ----

namespace {

std::vector<int32_t> savedParameters(ProgramStore& effect) {
    std::vector<int32_t> included;
    for (int32_t p = 0; p < kPresetValues; ++p) {
        if (!effect.isExcludedFromSave(p)) included.push_back(p);
    }
    return included;
}

void writeTaggedHeader(BlobWriter& w, int32_t signature, uint8_t tag, int32_t records,
                       int32_t current, int32_t payload) {
    w.integer(signature);
    w.bytes(&tag, 1);
    w.integer(kFormatNumber);
    w.integer(kPresetValues);
    w.integer(records);
    w.integer(current);
    w.integer(payload);
    w.zeros(16);
}

void writeProgramRecords(BlobWriter& w, const PresetRecord& record, int32_t program,
                         const std::vector<int32_t>& included) {
    w.integer(kRecordTypeName);
    w.integer(static_cast<int32_t>(kNameRecordPayload));
    w.integer(program);
    w.bytes(record.name, kPresetNameSize);
    w.zeros(kNameRecordPayload - kPresetNameSize);
    for (int32_t param : included) {
        w.integer(kRecordTypeValue);
        w.integer(static_cast<int32_t>(kValueRecordPayload));
        w.integer(program);
        w.integer(param);
        w.integer(0);
        w.integer(0);
        w.real(record.values[param]);
        w.integer(0);
    }
}

}  // namespace

std::vector<uint8_t> PresetSystem::buildTaggedBank() {
    std::vector<uint8_t> blob;
    if (presetEffect == nullptr || !presetEffect->hasBank()) return blob;
    const std::vector<int32_t> included = savedParameters(*presetEffect);
    const auto n = static_cast<int32_t>(included.size());
    const int32_t payload =
        kNumPresets * static_cast<int32_t>(kNameRecordSize + kValueRecordSize * included.size());
    blob.reserve(kTaggedHeaderSize + static_cast<size_t>(payload));
    BlobWriter w(blob);
    writeTaggedHeader(w, presetEffect->getSignature(), kTagTaggedBank, kNumPresets * (1 + n),
                      presetEffect->getCurrentPreset(), payload);
    for (int32_t p = 0; p < kNumPresets; ++p) {
        writeProgramRecords(w, presetEffect->presetRecord(p), p, included);
    }
    return blob;
}

std::vector<uint8_t> PresetSystem::buildTaggedPreset() {
    std::vector<uint8_t> blob;
    if (presetEffect == nullptr || !presetEffect->hasBank()) return blob;
    const std::vector<int32_t> included = savedParameters(*presetEffect);
    const auto n = static_cast<int32_t>(included.size());
    const auto payload = static_cast<int32_t>(kNameRecordSize + kValueRecordSize * included.size());
    BlobWriter w(blob);
    writeTaggedHeader(w, presetEffect->getSignature(), kTagTaggedPreset, 1 + n, 0, payload);
    writeProgramRecords(w, presetEffect->presetRecord(presetEffect->getCurrentPreset()), 0,
                        included);
    return blob;
}

// ---- loaders ----

namespace {

// The checks every tagged load makes before it changes anything.
PresetLoadResult checkTaggedRecords(const uint8_t* records, size_t size, const TaggedHeader& header,
                                    bool swap, bool programsMatter) {
    if (records == nullptr || header.recordCount <= 0 || header.payloadSize < 0 ||
        static_cast<size_t>(header.payloadSize) > size ||
        !recordsFit(records, static_cast<size_t>(header.payloadSize), header.recordCount, swap,
                    programsMatter)) {
        return PresetLoadResult::Damaged;
    }
    return PresetLoadResult::Loaded;
}

struct TaggedRecord {
    int32_t type;
    int32_t program;
    const uint8_t* body;
};

// Calls visit(record) for each record, in order, until it answers false.
// Only after checkTaggedRecords has passed.
template <typename Visit>
bool forEachTaggedRecord(const uint8_t* records, int32_t count, bool swap, Visit visit) {
    size_t pos = 0;
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* record = records + pos;
        const TaggedRecord r{readInt(record, swap), readInt(record + 8, swap),
                             record + kRecordHeaderSize};
        pos += kRecordHeaderSize + static_cast<size_t>(readInt(record + 4, swap));
        if (!visit(r)) return false;
    }
    return true;
}

PresetBank captureBank(const ProgramStore& effect) {
    PresetBank bank;
    for (int32_t p = 0; p < kNumPresets; ++p) bank.programs[p] = effect.presetRecord(p);
    return bank;
}

void restoreBank(ProgramStore& effect, const PresetBank& bank) {
    for (int32_t p = 0; p < kNumPresets; ++p) effect.setPresetRecord(p, bank.programs[p]);
}

// Fills r from one flat image (name field, then floats in parameter order);
// false at the first value outside 0..1.
bool readFlatImage(ProgramStore& effect, const uint8_t* image, bool swap, int32_t values,
                   PresetRecord& r) {
    copyNameField(r, image);
    for (int32_t k = 0; k < values; ++k) {
        if (effect.isExcludedFromLoad(k)) continue;
        const float value = readFloat(image + kPresetNameSize + 4 * k, swap);
        if (!inUnitRange(value)) return false;
        r.values[k] = value;
    }
    return true;
}

void loadNameField(ProgramStore& effect, int32_t program, const uint8_t* field) {
    PresetRecord r = effect.presetRecord(program);
    copyNameField(r, field);
    effect.setPresetRecord(program, r);
}

}  // namespace

PresetLoadResult PresetSystem::loadTaggedBank(const uint8_t* records, size_t size,
                                              const TaggedHeader& header, bool swap) {
    if (presetEffect == nullptr || !presetEffect->hasBank()) return PresetLoadResult::NoBank;
    const PresetLoadResult check = checkTaggedRecords(records, size, header, swap, true);
    if (check != PresetLoadResult::Loaded) return check;
    const int32_t current = validProgram(header.currentProgram) ? header.currentProgram : 0;
    const PresetBank backup = captureBank(*presetEffect);

    const bool complete =
        forEachTaggedRecord(records, header.recordCount, swap, [&](const TaggedRecord& r) {
            if (!validProgram(r.program)) return true;
            if (r.type == kRecordTypeName) {
                presetEffect->resetPresetToTemplate(r.program);
                loadNameField(*presetEffect, r.program, r.body);
            } else if (r.type == kRecordTypeValue) {
                const int32_t param = readInt(r.body, swap);
                if (param < 0 || param >= kPresetValues) return true;
                const float value = readFloat(r.body + 12, swap);
                if (!inUnitRange(value)) return false;
                presetEffect->setPresetValue(r.program, param, value);
            }
            return true;
        });
    if (!complete) {
        restoreBank(*presetEffect, backup);
        return PresetLoadResult::ValueOutOfRange;
    }
    presetEffect->showPresetName(presetEffect->presetRecord(current).name);
    presetEffect->selectPreset(current);
    return PresetLoadResult::Loaded;
}

PresetLoadResult PresetSystem::loadTaggedPreset(const uint8_t* records, size_t size,
                                                const TaggedHeader& header, bool swap) {
    if (presetEffect == nullptr || !presetEffect->hasBank()) return PresetLoadResult::NoBank;
    const PresetLoadResult check = checkTaggedRecords(records, size, header, swap, false);
    if (check != PresetLoadResult::Loaded) return check;
    const int32_t current = presetEffect->getCurrentPreset();
    const PresetRecord backup = presetEffect->presetRecord(current);
    presetEffect->resetPresetToTemplate(current);

    // Whatever program the records name, a preset lands in the current one.
    const bool complete =
        forEachTaggedRecord(records, header.recordCount, swap, [&](const TaggedRecord& r) {
            if (r.type == kRecordTypeName) {
                loadNameField(*presetEffect, current, r.body);
            } else if (r.type == kRecordTypeValue) {
                const int32_t param = readInt(r.body, swap);
                if (param < 0 || param >= kPresetValues) return true;
                const float value = readFloat(r.body + 12, swap);
                if (!inUnitRange(value)) return false;
                presetEffect->setPresetValue(current, param, value);
            }
            return true;
        });
    if (!complete) {
        presetEffect->setPresetRecord(current, backup);
        return PresetLoadResult::ValueOutOfRange;
    }
    const PresetRecord loaded = presetEffect->presetRecord(current);
    presetEffect->showPresetName(loaded.name);
    presetEffect->renameCurrentPreset(loaded.name);
    presetEffect->selectPreset(current);
    return PresetLoadResult::Loaded;
}

PresetLoadResult PresetSystem::loadFlatPreset(const uint8_t* data, size_t size, bool swap,
                                              int32_t paramCount) {
    if (presetEffect == nullptr || !presetEffect->hasBank()) return PresetLoadResult::NoBank;
    if (data == nullptr || paramCount < 0) return PresetLoadResult::Damaged;
    const int32_t values = std::min(paramCount, kPresetValues);
    if (size < kPresetNameSize + 4 * static_cast<size_t>(values)) {
        return PresetLoadResult::Damaged;
    }
    const int32_t current = presetEffect->getCurrentPreset();
    const PresetRecord backup = presetEffect->presetRecord(current);
    presetEffect->resetPresetToTemplate(current);
    PresetRecord r = presetEffect->presetRecord(current);
    if (!readFlatImage(*presetEffect, data, swap, values, r)) {
        presetEffect->setPresetRecord(current, backup);
        return PresetLoadResult::ValueOutOfRange;
    }
    presetEffect->setPresetRecord(current, r);
    presetEffect->showPresetName(r.name);
    presetEffect->renameCurrentPreset(r.name);
    presetEffect->selectPreset(current);
    return PresetLoadResult::Loaded;
}

PresetLoadResult PresetSystem::loadFlatBank(const uint8_t* data, size_t size, bool swap,
                                            int32_t programCount, int32_t paramCount,
                                            int32_t selectAfter) {
    if (presetEffect == nullptr || !presetEffect->hasBank()) return PresetLoadResult::NoBank;
    if (data == nullptr || programCount <= 0 || paramCount < 0) return PresetLoadResult::Damaged;
    const int32_t count = std::min(programCount, kNumPresets);
    const int32_t values = std::min(paramCount, kPresetValues);
    const size_t stride = kPresetNameSize + 4 * static_cast<size_t>(paramCount);
    const size_t lastImageEnd =
        static_cast<size_t>(count - 1) * stride + kPresetNameSize + 4 * static_cast<size_t>(values);
    if (lastImageEnd > size) return PresetLoadResult::Damaged;

    const PresetBank backup = captureBank(*presetEffect);
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* image = data + static_cast<size_t>(i) * stride;
        presetEffect->resetPresetToTemplate(i);
        PresetRecord r = presetEffect->presetRecord(i);
        if (!readFlatImage(*presetEffect, image, swap, values, r)) {
            restoreBank(*presetEffect, backup);
            return PresetLoadResult::ValueOutOfRange;
        }
        presetEffect->setPresetRecord(i, r);
    }
    const int32_t select = validProgram(selectAfter) ? selectAfter : 0;
    presetEffect->showPresetName(presetEffect->presetRecord(select).name);
    presetEffect->selectPreset(select);
    return PresetLoadResult::Loaded;
}

// ---- whole images ----

namespace {

// Reads the lead and decides the byte order; Loaded means "go on".
PresetLoadResult readLead(const uint8_t* data, size_t size, int32_t signature, bool reversed,
                          bool& swap) {
    if (data == nullptr || size < kLeadSize) return PresetLoadResult::TooShort;
    const SignatureOrder order = signatureOrder(readWord(data, false), signature);
    if (order == SignatureOrder::Foreign) return PresetLoadResult::ForeignSignature;
    swap = (order == SignatureOrder::Reversed) != reversed;
    return PresetLoadResult::Loaded;
}

}  // namespace

PresetLoadResult PresetSystem::loadTaggedImage(const uint8_t* data, size_t size, bool swap,
                                               bool bank) {
    if (size < kTaggedHeaderSize) return PresetLoadResult::Damaged;
    const TaggedHeader header = readTaggedHeader(data, swap);
    const uint8_t* records = data + kTaggedHeaderSize;
    const size_t available = size - kTaggedHeaderSize;
    return bank ? loadTaggedBank(records, available, header, swap)
                : loadTaggedPreset(records, available, header, swap);
}

PresetLoadResult PresetSystem::loadPresetBlob(const uint8_t* data, size_t size, bool reversed) {
    if (presetEffect == nullptr) return PresetLoadResult::NoBank;
    bool swap = false;
    const PresetLoadResult lead =
        readLead(data, size, presetEffect->getSignature(), reversed, swap);
    if (lead != PresetLoadResult::Loaded) return lead;
    switch (data[4]) {
        case kTagFlatPreset:
            if (size < kLeadSize + kPresetNameSize) return PresetLoadResult::Damaged;
            return loadFlatPreset(data + kLeadSize, size - kLeadSize, swap,
                                  static_cast<int32_t>((size - 29) / 4));
        case kTagTaggedPreset:
            return loadTaggedImage(data, size, swap, false);
        default:
            return PresetLoadResult::UnknownTag;
    }
}

PresetLoadResult PresetSystem::loadBankBlob(const uint8_t* data, size_t size, bool reversed) {
    if (presetEffect == nullptr) return PresetLoadResult::NoBank;
    bool swap = false;
    const PresetLoadResult lead =
        readLead(data, size, presetEffect->getSignature(), reversed, swap);
    if (lead != PresetLoadResult::Loaded) return lead;
    switch (data[4]) {
        case kTagFlatBank: {
            const size_t perProgram = (size - kLeadSize) / kNumPresets;
            if (perProgram < kPresetNameSize) return PresetLoadResult::Damaged;
            return loadFlatBank(data + kLeadSize, size - kLeadSize, swap, kNumPresets,
                                static_cast<int32_t>((perProgram - kPresetNameSize) / 4));
        }
        case kTagTaggedBank:
            return loadTaggedImage(data, size, swap, true);
        default:
            return PresetLoadResult::UnknownTag;
    }
}

// ---- files ----

namespace {

bool isAbsolutePath(const std::string& path) {
#ifdef _WIN32
    // "C:\x", "C:/x", "\\server\share" or "\\?\..."; "\x" alone hangs off the
    // current drive, which changes with the host as the folder does.
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool unc = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
                     (path[1] == '\\' || path[1] == '/');
    return drive || unc;
#else
    return !path.empty() && path[0] == '/';
#endif
}

// The folder a relative path names, made absolute against the working
// directory now: a host's working directory is anybody's guess, so a relative
// folder remembered for the next file dialog would point somewhere else there.
// Leading "./" and "../" are resolved against the working directory (which
// getcwd gives free of links, so taking its last part off is exact); empty
// when there is no working directory to resolve against.
std::string absoluteFolder(const std::string& folder) {
    if (isAbsolutePath(folder)) return folder;
#ifdef _WIN32
    // "C:x" and "\x" depend on a current folder per drive or the current
    // drive: not remembered rather than guessed.
    if ((folder.size() >= 2 && folder[1] == ':') ||
        (!folder.empty() && (folder[0] == '\\' || folder[0] == '/'))) {
        return std::string();
    }
#endif
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) == nullptr) return std::string();
    std::string base = buffer;
    auto isSeparator = [](char c) {
#ifdef _WIN32
        if (c == '\\') return true;
#endif
        return c == '/';
    };
    std::string rest = folder;
    for (;;) {
        if (rest.size() >= 2 && rest[0] == '.' && isSeparator(rest[1])) {
            rest.erase(0, 2);
        } else if (rest == ".") {
            rest.clear();
        } else if ((rest.size() >= 3 && rest.compare(0, 2, "..") == 0 && isSeparator(rest[2])) ||
                   rest == "..") {
            rest.erase(0, std::min<size_t>(3, rest.size()));
            while (base.size() > 1 && isSeparator(base.back())) base.pop_back();
            size_t cut = base.size();
            while (cut > 0 && !isSeparator(base[cut - 1])) --cut;
            if (cut > 0) base.erase(cut);  // keeps the separator: "/a/b" -> "/a/"
        } else {
            break;
        }
    }
    if (base.empty() || !isSeparator(base.back())) base += '/';
    return base + rest;
}

}  // namespace

void PresetSystem::rememberPath(const std::string& path, std::string& fileName) {
    std::string folder, name;
    splitPath(path, folder, name);
    folder = absoluteFolder(folder);
    if (folder.empty()) return;
    currentFolder_ = folder;
    fileName = name;
}

// The remembered folder and file names follow only loads and saves that
// succeeded: a mistyped or rejected file must not become the place the next
// dialog opens in.
PresetLoadResult PresetSystem::loadPresetFile(const std::string& path, bool reversed) {
    auto bytes = readWholeFile(path, kMaxPresetDataSize);
    if (!bytes) return PresetLoadResult::Unreadable;
    const PresetLoadResult result = loadPresetBlob(bytes->data(), bytes->size(), reversed);
    if (result == PresetLoadResult::Loaded) rememberPath(path, presetFileName_);
    return result;
}

PresetLoadResult PresetSystem::loadBankFile(const std::string& path, bool reversed) {
    auto bytes = readWholeFile(path, kMaxPresetDataSize);
    if (!bytes) return PresetLoadResult::Unreadable;
    const PresetLoadResult result = loadBankBlob(bytes->data(), bytes->size(), reversed);
    // A bank file of ours always ends on program 0, whatever it said or held;
    // one that was not read at all changes nothing.
    switch (result) {
        case PresetLoadResult::Loaded:
        case PresetLoadResult::UnknownTag:
        case PresetLoadResult::ValueOutOfRange:
            presetEffect->showPresetName(presetEffect->presetRecord(0).name);
            presetEffect->selectPreset(0);
            break;
        default:
            break;
    }
    if (result == PresetLoadResult::Loaded) rememberPath(path, bankFileName_);
    return result;
}

bool PresetSystem::savePresetFile(const std::string& path) {
    const std::vector<uint8_t> blob = buildTaggedPreset();
    if (blob.empty() || !writeFileAtomically(path, blob.data(), blob.size())) return false;
    rememberPath(path, presetFileName_);
    return true;
}

bool PresetSystem::saveBankFile(const std::string& path) {
    const std::vector<uint8_t> blob = buildTaggedBank();
    if (blob.empty() || !writeFileAtomically(path, blob.data(), blob.size())) return false;
    rememberPath(path, bankFileName_);
    return true;
}

// ---- stored defaults and memos ----

bool PresetSystem::storeBlob(const char* valueName, const std::vector<uint8_t>& blob) {
    return !blob.empty() && presetStore().writeBlob(valueName, blob.data(), blob.size());
}

PresetLoadResult PresetSystem::recallBlob(const char* valueName, bool bank) {
    const auto blob = presetStore().readBlob(valueName);
    if (!blob) return PresetLoadResult::Unreadable;
    return bank ? loadBankBlob(blob->data(), blob->size(), false)
                : loadPresetBlob(blob->data(), blob->size(), false);
}

bool PresetSystem::storeDefaultBank() {
    return storeBlob(kDefaultBankValue, buildTaggedBank());
}
bool PresetSystem::clearDefaultBank() {
    return presetStore().remove(kDefaultBankValue);
}
PresetLoadResult PresetSystem::recallDefaultBank() {
    return recallBlob(kDefaultBankValue, true);
}

bool PresetSystem::storeDefaultPreset() {
    return storeBlob(kDefaultPresetValue, buildTaggedPreset());
}
bool PresetSystem::clearDefaultPreset() {
    return presetStore().remove(kDefaultPresetValue);
}
PresetLoadResult PresetSystem::recallDefaultPreset() {
    return recallBlob(kDefaultPresetValue, false);
}

bool PresetSystem::storeMemoA() {
    return storeBlob(kMemoAValue, buildTaggedPreset());
}
bool PresetSystem::storeMemoB() {
    return storeBlob(kMemoBValue, buildTaggedPreset());
}
PresetLoadResult PresetSystem::recallMemoA() {
    return recallBlob(kMemoAValue, false);
}
PresetLoadResult PresetSystem::recallMemoB() {
    return recallBlob(kMemoBValue, false);
}

void PresetSystem::loadStoredDefaults() {
    recallDefaultBank();
    if (presetEffect != nullptr) presetEffect->selectPreset(0);
    recallDefaultPreset();
    loadFileLocations();
}

void PresetSystem::saveFileLocations() {
    const SettingsStore store = presetStore();
    // Older versions stored relative folders; one read back is not passed on.
    store.writeText(kCurrDirValue, isAbsolutePath(currentFolder_) ? currentFolder_ : std::string());
    store.writeText(kCurrBankValue, bankFileName_);
    store.writeText(kCurrPresetValue, presetFileName_);
}

void PresetSystem::loadFileLocations() {
    const SettingsStore store = presetStore();
    currentFolder_ = store.readText(kCurrDirValue).value_or(std::string());
    if (!isAbsolutePath(currentFolder_)) currentFolder_.clear();
    bankFileName_ = store.readText(kCurrBankValue).value_or(std::string());
    presetFileName_ = store.readText(kCurrPresetValue).value_or(std::string());
}

std::string PresetSystem::manualPath() const {
    return presetStore().readText(kManualPathValue).value_or(std::string());
}
