// Open, save and folder dialogs on comdlg32 and the shell. Paths cross the
// boundary as UTF-16 and come back as UTF-8.
#include "toolkit/platform/win32/FileDialog.h"

// windows.h first: the other system headers rely on its types.
#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

namespace zelto::toolkit::win32 {
namespace {

// Room for many files chosen at once; the dialog says when it is not enough.
constexpr DWORD kPathBuffer = 32768;

std::wstring backslashes(std::wstring path) {
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

HWND ownerOf(const CNewFileSelector::Request& request) {
    // Window handles are 32-bit values, sign-extended (see LongToHandle).
    HWND owner = static_cast<HWND>(LongToHandle(static_cast<LONG>(request.parentWindowId)));
    return owner != nullptr && IsWindow(owner) ? owner : nullptr;
}

bool chooseFolder(const CNewFileSelector::Request& request, std::vector<std::string>& files) {
    const std::wstring title = toWide(request.title);
    BROWSEINFOW info{};
    info.hwndOwner = ownerOf(request);
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr) return true;  // cancelled
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) files.push_back(toUtf8(path));
    CoTaskMemFree(chosen);
    return true;
}

}  // namespace

std::wstring toWide(const std::string& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (needed <= 0) return {};
    std::wstring out(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, out.data(), needed);
    return out;
}

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return {};
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
    return out;
}

std::wstring dialogFilter(const std::vector<CFileExtension>& extensions) {
    std::wstring filter;
    for (const CFileExtension& e : extensions) {
        if (e.isEmpty()) continue;
        const std::wstring pattern = L"*." + toWide(e.getExtension());
        const std::wstring description =
            e.getDescription().empty() ? pattern : toWide(e.getDescription());
        filter += description + L" (" + pattern + L")";
        filter.push_back(L'\0');
        filter += pattern;
        filter.push_back(L'\0');
    }
    filter.push_back(L'\0');
    return filter;
}

bool runFileDialog(const CNewFileSelector::Request& request, std::vector<std::string>& files) {
    files.clear();
    if (request.style == CNewFileSelector::kSelectDirectory) return chooseFolder(request, files);

    const bool saving = request.style == CNewFileSelector::kSelectSaveFile;
    const std::wstring title = toWide(request.title);
    const std::wstring folder = backslashes(toWide(request.initialDirectory));
    const std::wstring filter = dialogFilter(request.extensions);
    const std::wstring defaultExtension = toWide(request.defaultExtension.getExtension());
    std::wstring buffer(kPathBuffer, L'\0');
    if (saving) {
        const std::wstring name = backslashes(toWide(request.defaultSaveName));
        if (name.size() < kPathBuffer) name.copy(buffer.data(), name.size());
    }

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = ownerOf(request);
    dialog.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = kPathBuffer;
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
    // The host's current folder is not ours to change.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (saving) {
        dialog.Flags |= OFN_OVERWRITEPROMPT;
    } else {
        dialog.Flags |= OFN_FILEMUSTEXIST;
        if (request.allowMultiple) dialog.Flags |= OFN_ALLOWMULTISELECT;
    }

    const BOOL chosen = saving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        // Zero: the user cancelled. Anything else: no dialog was shown.
        return CommDlgExtendedError() == 0;
    }
    // One path, or (several chosen) the folder followed by the names.
    const wchar_t* p = buffer.c_str();
    const std::wstring first = p;
    p += first.size() + 1;
    if (*p == L'\0') {
        files.push_back(toUtf8(first));
        return true;
    }
    while (*p != L'\0') {
        const std::wstring name = p;
        files.push_back(toUtf8(first + L"\\" + name));
        p += name.size() + 1;
    }
    return true;
}

}  // namespace zelto::toolkit::win32
