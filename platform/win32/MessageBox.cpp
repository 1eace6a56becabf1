#include "platform/win32/MessageBox.h"

#include <windows.h>

#include "platform/win32/Utf16.h"

namespace zelto::win32 {

void showMessageBox(void* ownerWindow, const std::string& textUtf8,
                    const std::string& captionUtf8) {
    // Our own texts are valid UTF-8; anything else still shows, as far as
    // the system's lenient conversion gets, rather than an empty box.
    auto lenient = [](const std::string& utf8) {
        if (auto wide = toUtf16(utf8)) return *wide;
        std::wstring wide(utf8.size(), L'\0');
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                          wide.data(), static_cast<int>(wide.size()));
        wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return wide;
    };
    const std::wstring text = lenient(textUtf8);
    const std::wstring caption = lenient(captionUtf8);
    MessageBoxW(static_cast<HWND>(ownerWindow), text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace zelto::win32
