// Settings store on the Windows registry. See SettingsStore.h for the
// guarantees; the registry itself makes every write of a value atomic and
// keeps one value per name, so no locking is needed here.
#include "platform/SettingsStore.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/Utf16.h"

namespace zelto {

namespace {

constexpr wchar_t kDefaultRoot[] = L"SOFTWARE\\KRW-soundlab\\KRWzelto";
constexpr char kHiveName[] = "HKEY_CURRENT_USER\\";

// The product's key below HKEY_CURRENT_USER. ZELTO_REGISTRY_ROOT replaces it,
// so that tests (and anyone trying the plug-in out) never touch the real one.
std::wstring rootKey() {
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(L"ZELTO_REGISTRY_ROOT", buffer, 1024);
    std::wstring root = length > 0 && length < 1024 ? std::wstring(buffer, length) : L"";
    while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
    while (!root.empty() && (root.front() == L'\\' || root.front() == L'/')) root.erase(0, 1);
    return root.empty() ? kDefaultRoot : root;
}

// The path below HKEY_CURRENT_USER of a key's full name, as the registry
// calls take it.
std::optional<std::wstring> subkeyOf(const std::string& fullName) {
    const size_t hive = std::strlen(kHiveName);
    if (fullName.size() <= hive || fullName.compare(0, hive, kHiveName) != 0) return std::nullopt;
    return win32::toUtf16(std::string_view(fullName).substr(hive));
}

class OpenKey {
  public:
    OpenKey(const std::wstring& path, REGSAM access, bool create) {
        const LONG r =
            create ? RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, access, nullptr, &key_, nullptr)
                   : RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &key_);
        if (r != ERROR_SUCCESS) {
            key_ = nullptr;
            status_ = r;
        }
    }
    ~OpenKey() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return key_; }
    LONG status() const { return status_; }

  private:
    HKEY key_ = nullptr;
    LONG status_ = ERROR_SUCCESS;
};

}  // namespace

std::string SettingsStore::productDirectory() {
    const auto root = win32::toUtf8(rootKey());
    return root ? kHiveName + *root : std::string();
}

std::string SettingsStore::directory() const {
    if (!keyValid_) return {};
    std::string dir = productDirectory();
    if (dir.empty() || key_.empty()) return dir;
    std::string sub = key_;
    for (char& c : sub) {
        if (c == '/') c = '\\';
    }
    return dir + "\\" + sub;
}

std::optional<std::vector<uint8_t>> SettingsStore::readValue(std::string_view name,
                                                             uint32_t type) const {
    if (!isPlainName(name)) return std::nullopt;
    const auto wideName = win32::toUtf16(name);
    const auto path = subkeyOf(directory());
    if (!wideName || !path) return std::nullopt;
    const OpenKey key(*path, KEY_QUERY_VALUE, false);
    if (key.get() == nullptr) return std::nullopt;
    // Another process may rewrite the value between asking for its size and
    // reading it: ask again then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD found = REG_NONE, size = 0;
        if (RegQueryValueExW(key.get(), wideName->c_str(), nullptr, &found, nullptr, &size) !=
                ERROR_SUCCESS ||
            found != type || size > kMaxValueBytes) {
            return std::nullopt;
        }
        std::vector<uint8_t> data(size + 1u);
        DWORD got = size;
        const LONG r =
            RegQueryValueExW(key.get(), wideName->c_str(), nullptr, &found, data.data(), &got);
        if (r == ERROR_MORE_DATA) continue;
        if (r != ERROR_SUCCESS || found != type || got > size) return std::nullopt;
        data.resize(got);
        return data;
    }
    return std::nullopt;
}

bool SettingsStore::writeValue(std::string_view name, uint32_t type, const void* data,
                               size_t size) const {
    if (!isPlainName(name) || size > kMaxValueBytes) return false;
    const auto wideName = win32::toUtf16(name);
    const auto path = subkeyOf(directory());
    if (!wideName || !path) return false;
    const OpenKey key(*path, KEY_SET_VALUE, true);
    if (key.get() == nullptr) return false;
    static const BYTE nothing = 0;
    const BYTE* bytes = size == 0 ? &nothing : static_cast<const BYTE*>(data);
    return RegSetValueExW(key.get(), wideName->c_str(), 0, type, bytes, static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

std::optional<int32_t> SettingsStore::readInt(std::string_view name) const {
    const auto data = readValue(name, REG_DWORD);
    if (!data || data->size() != sizeof(int32_t)) return std::nullopt;
    int32_t value = 0;
    std::memcpy(&value, data->data(), sizeof value);
    return value;
}

std::optional<std::vector<uint8_t>> SettingsStore::readBlob(std::string_view name) const {
    return readValue(name, REG_BINARY);
}

std::optional<std::string> SettingsStore::readText(std::string_view name) const {
    const auto data = readValue(name, REG_SZ);
    if (!data || data->size() % sizeof(wchar_t) != 0) return std::nullopt;
    std::wstring wide(data->size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) std::memcpy(wide.data(), data->data(), data->size());
    // The terminator is usually stored with the text, and not always once.
    while (!wide.empty() && wide.back() == L'\0') wide.pop_back();
    if (wide.find(L'\0') != std::wstring::npos) return std::nullopt;
    return win32::toUtf8(wide);
}

bool SettingsStore::writeInt(std::string_view name, int32_t value) const {
    return writeValue(name, REG_DWORD, &value, sizeof value);
}

bool SettingsStore::writeBlob(std::string_view name, const void* data, size_t size) const {
    if (data == nullptr && size != 0) return false;
    return writeValue(name, REG_BINARY, data, size);
}

bool SettingsStore::writeText(std::string_view name, std::string_view text) const {
    if (text.find('\0') != std::string_view::npos) return false;
    const auto wide = win32::toUtf16(text);
    if (!wide) return false;
    // Stored with its terminator, as every reader of REG_SZ expects.
    return writeValue(name, REG_SZ, wide->c_str(), (wide->size() + 1) * sizeof(wchar_t));
}

bool SettingsStore::remove(std::string_view name) const {
    if (!isPlainName(name)) return false;
    const auto wideName = win32::toUtf16(name);
    const auto path = subkeyOf(directory());
    if (!wideName || !path) return false;
    const OpenKey key(*path, KEY_SET_VALUE, false);
    if (key.get() == nullptr) return key.status() == ERROR_FILE_NOT_FOUND;  // nothing stored
    const LONG r = RegDeleteValueW(key.get(), wideName->c_str());
    return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND;
}

}  // namespace zelto
