// UTF-8, the text of every interface of ours, to and from UTF-16, the text
// of every Windows call. Conversions are strict: a byte sequence that is not
// UTF-8 or a lone surrogate fails instead of turning into a replacement
// character, so a file name or stored text is never silently changed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelto::win32 {

std::optional<std::wstring> toUtf16(std::string_view utf8);
std::optional<std::string> toUtf8(std::wstring_view utf16);

}  // namespace zelto::win32
