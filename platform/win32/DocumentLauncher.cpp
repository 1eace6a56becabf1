// DocumentLauncher on Windows: the shell's "open" verb. ShellExecuteW answers
// when the document's application has been started (or could not be), so
// start() knows the outcome at once and nothing is ever left pending.
#include "platform/DocumentLauncher.h"

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <mutex>

#include "platform/win32/Utf16.h"

namespace zelto {

namespace {

std::mutex programMutex;
std::string& openerProgram() {
    static std::string program;
    return program;
}

// The shell may hand the verb to extensions that need COM on this thread;
// a host's user-interface thread normally has it already, and then this
// changes nothing.
class ComForShell {
  public:
    ComForShell()
        : initialised_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComForShell() {
        if (initialised_) CoUninitialize();
    }
    ComForShell(const ComForShell&) = delete;
    ComForShell& operator=(const ComForShell&) = delete;

  private:
    bool initialised_;
};

// ShellExecuteW's answer: above 32 the document is open; SE_ERR_NOASSOC means
// no application is registered for this kind of document; every other value
// (file or folder not found, access denied, out of memory, ...) is a failure.
DocumentLauncher::Outcome outcomeOfShell(INT_PTR result) {
    if (result > 32) return DocumentLauncher::Outcome::Opened;
    if (result == SE_ERR_NOASSOC) return DocumentLauncher::Outcome::NoApplication;
    return DocumentLauncher::Outcome::Failed;
}

}  // namespace

void DocumentLauncher::setOpenerProgram(const std::string& program) {
    std::lock_guard<std::mutex> lock(programMutex);
    openerProgram() = program == "xdg-open" ? std::string() : program;
}

DocumentLauncher::~DocumentLauncher() = default;

DocumentLauncher::Outcome DocumentLauncher::start(const std::string& path) {
    // An empty path would open whatever the shell makes of nothing.
    if (path.empty()) return outcome = Outcome::Failed;
    const auto widePath = win32::toUtf16(path);
    if (!widePath) return outcome = Outcome::Failed;  // no file has that name
    std::string program;
    {
        std::lock_guard<std::mutex> lock(programMutex);
        program = openerProgram();
    }
    const ComForShell com;
    INT_PTR result = 0;
    if (program.empty()) {
        result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", widePath->c_str(), nullptr, nullptr, SW_SHOW));
    } else {
        const auto wideProgram = win32::toUtf16(program);
        // A quote cannot be part of a Windows file name, so quoting keeps the
        // path one argument whatever else it holds.
        if (!wideProgram || widePath->find(L'"') != std::wstring::npos) {
            return outcome = Outcome::Failed;
        }
        std::wstring argument = L"\"" + *widePath;
        // Backslashes before the closing quote would escape it.
        for (size_t i = widePath->size(); i > 0 && (*widePath)[i - 1] == L'\\'; --i) {
            argument += L'\\';
        }
        argument += L'"';
        result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wideProgram->c_str(),
                                                         argument.c_str(), nullptr, SW_SHOW));
        // Without the stand-in nothing can show the document.
        if (result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND) {
            return outcome = Outcome::NoApplication;
        }
    }
    return outcome = outcomeOfShell(result);
}

DocumentLauncher::Outcome DocumentLauncher::poll() {
    return outcome;
}

}  // namespace zelto
