// The settings store on the registry: what each kind looks like to other
// readers of the registry, values written by others of the wrong type or
// malformed, and the private root that keeps tests off the real key.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/SettingsStore.h"
#include "support/TestSupport.h"

using zelto::SettingsStore;
using zelto::test::ScopedConfigHome;

namespace {

std::wstring wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// The raw value as the registry holds it: its type and bytes.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> bytes;
    bool found = false;
};

RawValue rawValue(const std::string& key, const wchar_t* name) {
    RawValue raw;
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, KEY_QUERY_VALUE, &h) !=
        ERROR_SUCCESS) {
        return raw;
    }
    DWORD size = 0;
    if (RegQueryValueExW(h, name, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
        raw.bytes.resize(size);
        raw.found = RegQueryValueExW(h, name, nullptr, &raw.type, size ? raw.bytes.data() : nullptr,
                                     &size) == ERROR_SUCCESS;
    }
    RegCloseKey(h);
    return raw;
}

void setRaw(const std::string& key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wide(key).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &h, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

}  // namespace

TEST(Win32Registry, EachKindIsStoredAsTheRegistryTypeOthersExpect) {
    ScopedConfigHome home;
    const SettingsStore prefs("PREFS");
    ASSERT_TRUE(prefs.writeInt("Metering_Scale", -2));
    const RawValue dword = rawValue(home.path() + "\\PREFS", L"Metering_Scale");
    ASSERT_TRUE(dword.found);
    EXPECT_EQ(dword.type, static_cast<DWORD>(REG_DWORD));
    ASSERT_EQ(dword.bytes.size(), 4u);
    EXPECT_EQ(dword.bytes, (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));

    const SettingsStore root("");
    const uint8_t blob[] = {'!', 0, 10, 13, 0xFF, 0};
    ASSERT_TRUE(root.writeBlob("MemoA", blob, sizeof blob));
    const RawValue binary = rawValue(home.path(), L"MemoA");
    EXPECT_EQ(binary.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(binary.bytes, std::vector<uint8_t>(std::begin(blob), std::end(blob)));
    ASSERT_TRUE(root.writeBlob("Empty", nullptr, 0));
    EXPECT_EQ(root.readBlob("Empty"), std::vector<uint8_t>{});

    // UTF-8 in, UTF-16 with its terminator in the registry, the same UTF-8 out.
    const std::string text =
        "C:\\Users\\Zo\xC3\xAB\\Presets \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5";
    ASSERT_TRUE(root.writeText("CurrDir", text));
    const RawValue sz = rawValue(home.path(), L"CurrDir");
    EXPECT_EQ(sz.type, static_cast<DWORD>(REG_SZ));
    const std::wstring expected = L"C:\\Users\\Zo\u00EB\\Presets \u65E5\u672C \U0001F3B5";
    ASSERT_EQ(sz.bytes.size(), (expected.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(std::memcmp(sz.bytes.data(), expected.c_str(), sz.bytes.size()), 0);
    EXPECT_EQ(root.readText("CurrDir"), text);
    ASSERT_TRUE(root.writeText("Nothing", ""));
    EXPECT_EQ(root.readText("Nothing"), "");

    // Text that is not UTF-8 has no UTF-16 form: refused, the old value kept.
    EXPECT_FALSE(root.writeText("CurrDir", "bad \xC3"));
    EXPECT_EQ(root.readText("CurrDir"), text);
}

TEST(Win32Registry, ValuesOfAnotherTypeOrMalformedReadAsMissing) {
    ScopedConfigHome home;
    const SettingsStore store("");
    const std::string key = home.path();
    const uint32_t four = 4;
    setRaw(key, L"BinaryFour", REG_BINARY, &four, 4);
    EXPECT_FALSE(store.readInt("BinaryFour").has_value()) << "four bytes of REG_BINARY";
    EXPECT_TRUE(store.readBlob("BinaryFour").has_value());
    setRaw(key, L"ShortDword", REG_DWORD, &four, 2);
    EXPECT_FALSE(store.readInt("ShortDword").has_value());
    setRaw(key, L"BigEndian", REG_DWORD_BIG_ENDIAN, &four, 4);
    EXPECT_FALSE(store.readInt("BigEndian").has_value());
    setRaw(key, L"Expand", REG_EXPAND_SZ, L"%TEMP%", 14);
    EXPECT_FALSE(store.readText("Expand").has_value());
    setRaw(key, L"Dword", REG_DWORD, &four, 4);
    EXPECT_FALSE(store.readText("Dword").has_value());
    EXPECT_FALSE(store.readBlob("Dword").has_value());
    EXPECT_EQ(store.readInt("Dword"), 4);

    setRaw(key, L"OddText", REG_SZ, "abc", 3);
    EXPECT_FALSE(store.readText("OddText").has_value());
    setRaw(key, L"InnerZero", REG_SZ, L"a\0b", 6);
    EXPECT_FALSE(store.readText("InnerZero").has_value());
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    setRaw(key, L"LoneSurrogate", REG_SZ, lone, sizeof lone);
    EXPECT_FALSE(store.readText("LoneSurrogate").has_value());
    // Written without a terminator, or with several: the text is the same.
    setRaw(key, L"Bare", REG_SZ, L"abc", 6);
    EXPECT_EQ(store.readText("Bare"), "abc");
    setRaw(key, L"Padded", REG_SZ, L"abc\0\0", 12);
    EXPECT_EQ(store.readText("Padded"), "abc");
}

TEST(Win32Registry, WritingANameAsAnotherKindReplacesTheValue) {
    ScopedConfigHome home;
    const SettingsStore store("");
    ASSERT_TRUE(store.writeText("DefaultPreset", "old"));
    ASSERT_TRUE(store.writeInt("DefaultPreset", 7));
    EXPECT_FALSE(store.readText("DefaultPreset").has_value());
    EXPECT_EQ(rawValue(home.path(), L"DefaultPreset").type, static_cast<DWORD>(REG_DWORD));
    ASSERT_TRUE(store.remove("DefaultPreset"));
    EXPECT_FALSE(rawValue(home.path(), L"DefaultPreset").found);
    EXPECT_TRUE(store.remove("DefaultPreset"));
    EXPECT_TRUE(SettingsStore("NeverMade").remove("x")) << "a missing key holds nothing";
}

TEST(Win32Registry, TheRootComesFromTheEnvironmentAndNeverTouchesTheRealKey) {
    const char* real = "HKEY_CURRENT_USER\\SOFTWARE\\KRW-soundlab\\KRWzelto";
    {
        ScopedConfigHome home;
        EXPECT_NE(home.path(), "SOFTWARE\\KRW-soundlab\\KRWzelto");
        EXPECT_EQ(SettingsStore::productDirectory(), home.productDir());
        EXPECT_EQ(SettingsStore("PREFS").directory(), home.productDir() + "\\PREFS");
        EXPECT_EQ(SettingsStore("a/b").directory(), home.productDir() + "\\a\\b");
        ASSERT_TRUE(SettingsStore("a/b").writeInt("Deep", 3));
        EXPECT_TRUE(rawValue(home.path() + "\\a\\b", L"Deep").found);
        EXPECT_FALSE(rawValue("SOFTWARE\\KRW-soundlab\\KRWzelto\\a\\b", L"Deep").found);

        // Separators at either end of the variable are not part of the key.
        const std::string padded = "\\" + home.path() + "\\";
        _putenv_s("ZELTO_REGISTRY_ROOT", padded.c_str());
        EXPECT_EQ(SettingsStore::productDirectory(), home.productDir());
        EXPECT_EQ(SettingsStore("a/b").readInt("Deep"), 3);
    }
    // Without the variable (or with it empty) the store is the product's key.
    const char* outer = getenv("ZELTO_REGISTRY_ROOT");
    if (outer == nullptr || outer[0] == '\0') {
        EXPECT_EQ(SettingsStore::productDirectory(), real);
        EXPECT_EQ(SettingsStore("PREFS").directory(), std::string(real) + "\\PREFS");
    }
}

TEST(Win32Registry, TheTestRootIsDeletedWithEverythingBelowIt) {
    std::string vendor;
    {
        ScopedConfigHome home;
        vendor = home.path().substr(0, home.path().rfind('\\'));
        ASSERT_TRUE(SettingsStore("PREFS").writeInt("Metering_Type", 1));
        ASSERT_TRUE(SettingsStore("").writeText("CurrDir", "x"));
    }
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wide(vendor).c_str(), 0, KEY_READ, &h),
              ERROR_FILE_NOT_FOUND);
    if (h != nullptr) RegCloseKey(h);
}

TEST(Win32Registry, ValuesLargerThanTheLimitAreRefusedAndReadAsMissing) {
    ScopedConfigHome home;
    const SettingsStore store("");
    std::vector<uint8_t> big(SettingsStore::kMaxValueBytes + 1, 0x42);
    EXPECT_FALSE(store.writeBlob("Big", big.data(), big.size()));
    EXPECT_FALSE(rawValue(home.path(), L"Big").found);
    setRaw(home.path(), L"Big", REG_BINARY, big.data(), static_cast<DWORD>(big.size()));
    EXPECT_FALSE(store.readBlob("Big").has_value());
    big.pop_back();
    ASSERT_TRUE(store.writeBlob("Big", big.data(), big.size()));
    EXPECT_EQ(store.readBlob("Big"), big);
}
#endif
