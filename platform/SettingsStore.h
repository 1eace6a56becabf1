// The settings store: named values of three kinds (32-bit integer, binary
// blob, text) under a key.
//
// On Windows it is the per-user registry: the key
// HKEY_CURRENT_USER\${ZELTO_REGISTRY_ROOT:-SOFTWARE\KRW-soundlab\KRWzelto}\<key>
// holding REG_DWORD, REG_BINARY and REG_SZ values (text is UTF-8 here and
// UTF-16 there; text that is not UTF-8 cannot be stored). A name holds one
// registry value, so writing it as one kind replaces any other.
//
// Elsewhere it stands in for the registry with one file per
// value under ${ZELTO_CONFIG_HOME:-${XDG_CONFIG_HOME:-~/.config}}/KRW-soundlab/KRWzelto/<key>/.
// Writes go to a temporary file in the same folder that is renamed over the
// old one, so a crash never leaves a half-written value and another instance
// reading at the same moment sees either the old or the new value. A name
// holds one kind: writing it removes the other kinds under a lock on the
// folder, so two instances writing one name as different kinds leave one.
// A value that is unreadable, of another kind or malformed reads as missing.
// Never call from the audio thread: every operation touches the file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelto {

class SettingsStore {
  public:
    /// key: a relative path below the product's own folder (or registry
    /// key), "" for that one itself, e.g. "PREFS". Components, separated by
    /// '/', must be plain names.
    explicit SettingsStore(std::string key);

    /// The product's folder for the current user, or "" when no home can be
    /// found; on Windows the full path of its registry key.
    static std::string productDirectory();

    std::optional<int32_t> readInt(std::string_view name) const;
    std::optional<std::vector<uint8_t>> readBlob(std::string_view name) const;
    std::optional<std::string> readText(std::string_view name) const;

    bool writeInt(std::string_view name, int32_t value) const;
    bool writeBlob(std::string_view name, const void* data, size_t size) const;
    bool writeText(std::string_view name, std::string_view text) const;

    /// Deletes the value whatever its kind; true when nothing of that name is left.
    bool remove(std::string_view name) const;

    /// The folder (on Windows the registry key) holding this key's values,
    /// "" when the store is unavailable.
    std::string directory() const;

    static constexpr size_t kMaxValueBytes = 16u << 20;

  private:
    /// A value or key component: not empty, no separators or NULs, not
    /// hidden, not "." or "..".
    static bool isPlainName(std::string_view name);
    static bool isValidKey(std::string_view key);

#ifdef _WIN32
    // type: the registry's REG_DWORD, REG_BINARY or REG_SZ.
    bool writeValue(std::string_view name, uint32_t type, const void* data, size_t size) const;
    std::optional<std::vector<uint8_t>> readValue(std::string_view name, uint32_t type) const;
#else
    bool writeFile(std::string_view name, const char* kind, const void* data, size_t size) const;
    std::optional<std::string> readFile(std::string_view name, const char* kind) const;
#endif

    std::string key_;
    bool keyValid_;
};

}  // namespace zelto
