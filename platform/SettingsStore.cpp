// What the settings store checks the same way on every platform: the names
// of keys and values. See SettingsStore.h.
#include "platform/SettingsStore.h"

namespace zelto {

// Hidden names are refused because the file backend's temporary files start
// with a dot. The registry takes a backslash as a separator.
bool SettingsStore::isPlainName(std::string_view name) {
    if (name.empty() || name.size() > 200 || name.front() == '.') return false;
    for (char c : name) {
        if (c == '/' || c == '\0') return false;
#ifdef _WIN32
        if (c == '\\') return false;
#endif
    }
    return true;
}

bool SettingsStore::isValidKey(std::string_view key) {
    if (key.empty()) return true;
    size_t start = 0;
    while (start <= key.size()) {
        size_t end = key.find('/', start);
        if (end == std::string_view::npos) end = key.size();
        if (!isPlainName(key.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

SettingsStore::SettingsStore(std::string key) : key_(std::move(key)), keyValid_(isValidKey(key_)) {}

}  // namespace zelto
