// The common file dialogs behind CNewFileSelector on Windows: the filter
// list, UTF-8 paths through UTF-16, and a real save dialog answered by a
// timer while it is up, as a user would. Windows only; the dialog test needs
// a window system (under Wine an X display) and skips without one.
#if defined(_WIN32)

#include <windows.h>

#include "ToolkitTestSupport.h"
#include "toolkit/platform/win32/FileDialog.h"

namespace zelto::test {
namespace {

using zelto::toolkit::win32::dialogFilter;
using zelto::toolkit::win32::toUtf8;
using zelto::toolkit::win32::toWide;

TEST(Win32FileDialog, FilterListsEachTypeWithItsPattern) {
    const std::wstring filter =
        dialogFilter({CFileExtension("KRW Preset", "krw"), CFileExtension("", "krb"),
                      CFileExtension("no extension", "")});
    static const wchar_t kExpected[] = L"KRW Preset (*.krw)\0*.krw\0*.krb (*.krb)\0*.krb\0";
    const std::wstring expected(kExpected, sizeof kExpected / sizeof kExpected[0]);
    EXPECT_EQ(filter, expected);
    EXPECT_EQ(dialogFilter({}), std::wstring(1, L'\0'));
}

TEST(Win32FileDialog, PathsCrossTheBoundaryAsUtf16AndComeBackWhole) {
    const std::string path = "C:\\Presets\\M\xc3\xa4rz \xe2\x82\xac.krw";  // "März €"
    const std::wstring wide = toWide(path);
    EXPECT_EQ(wide, L"C:\\Presets\\M\u00e4rz \u20ac.krw");
    EXPECT_EQ(toUtf8(wide), path);
    EXPECT_EQ(toWide("bad \xff byte"), L"") << "invalid UTF-8 is refused, not guessed";
}

// While the dialog is up, types a name into it and presses Save.
std::wstring typedName;
void CALLBACK answerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", L"Save preset");
    if (dialog == nullptr) return;
    KillTimer(nullptr, timer);
    for (int control : {0x47c /* cmb13 */, 0x480 /* edt1 */}) {
        SetDlgItemTextW(dialog, control, typedName.c_str());
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST(Win32FileDialog, ModalSaveDialogHasTheAnswerReadyForThePoll) {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no window system (Wine needs an X display)";
    DestroyWindow(probe);

    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    typedName = std::wstring(folder) + L"zelto dialog \u00e4";  // no extension typed
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, answerDialog);
    CNewFileSelector* selector =
        CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->setTitle("Save preset");
    const CFileExtension type("KRW Preset", "krw");
    selector->addFileExtension(type);
    selector->setDefaultExtension(type);
    ASSERT_TRUE(selector->start());
    KillTimer(nullptr, timer);
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kDone);
    ASSERT_EQ(selector->getNumSelectedFiles(), 1);
    EXPECT_EQ(std::string(selector->getSelectedFile(0)), toUtf8(typedName + L".krw"));
    selector->forget();
}

}  // namespace
}  // namespace zelto::test

#endif  // _WIN32
