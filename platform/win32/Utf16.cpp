#include "platform/win32/Utf16.h"

#include <windows.h>

#include <climits>

namespace zelto::win32 {

std::optional<std::wstring> toUtf16(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    if (utf8.size() > INT_MAX) return std::nullopt;
    const int bytes = static_cast<int>(utf8.size());
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, nullptr, 0);
    if (length <= 0) return std::nullopt;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), bytes, wide.data(),
                            length) != length) {
        return std::nullopt;
    }
    return wide;
}

std::optional<std::string> toUtf8(std::wstring_view utf16) {
    if (utf16.empty()) return std::string();
    if (utf16.size() > INT_MAX / 4) return std::nullopt;
    const int units = static_cast<int>(utf16.size());
    const int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), units,
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::nullopt;
    std::string narrow(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, utf16.data(), units, narrow.data(),
                            length, nullptr, nullptr) != length) {
        return std::nullopt;
    }
    return narrow;
}

}  // namespace zelto::win32
