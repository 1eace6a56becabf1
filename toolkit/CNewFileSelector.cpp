// CNewFileSelector: request set-up, the dialog process or script, answers.
#include "toolkit/CNewFileSelector.h"

#include <deque>
#include <mutex>

#include "toolkit/CFrame.h"
#if defined(_WIN32)
#include "toolkit/platform/win32/FileDialog.h"
#else
#include "toolkit/platform/posix/DialogCommands.h"
#include "toolkit/platform/posix/DialogProcess.h"
#endif

namespace {

std::mutex scriptMutex;
CNewFileSelector::Script& installedScript() {
    static CNewFileSelector::Script script;
    return script;
}

}  // namespace

CNewFileSelector* CNewFileSelector::create(CFrame* parent, Style style) {
    auto* selector = new CNewFileSelector(style);
    if (parent != nullptr) selector->request.parentWindowId = parent->getTopLevelWindowId();
    return selector;
}

CNewFileSelector::CNewFileSelector(Style style) {
    request.style = style;
}

CNewFileSelector::~CNewFileSelector() = default;

void CNewFileSelector::setTitle(const char* title) {
    request.title = title != nullptr ? title : "";
}

void CNewFileSelector::setInitialDirectory(const char* path) {
    request.initialDirectory = path != nullptr ? path : "";
}

void CNewFileSelector::setDefaultSaveName(const char* name) {
    request.defaultSaveName = name != nullptr ? name : "";
}

void CNewFileSelector::setDefaultExtension(const CFileExtension& extension) {
    request.defaultExtension = extension;
}

void CNewFileSelector::addFileExtension(const CFileExtension& extension) {
    request.extensions.push_back(extension);
}

void CNewFileSelector::setAllowMultiFileSelection(bool state) {
    request.allowMultiple = state;
}

void CNewFileSelector::setScript(Script script) {
    std::lock_guard<std::mutex> lock(scriptMutex);
    installedScript() = std::move(script);
}

bool CNewFileSelector::start() {
    if (state != PollState::kIdle) return state == PollState::kPending;
    Script script;
    {
        std::lock_guard<std::mutex> lock(scriptMutex);
        script = installedScript();
    }
    if (script) {
        scripted = true;
        scriptedAnswer = script(request);
        state = PollState::kPending;
        return true;
    }
#if defined(_WIN32)
    std::vector<std::string> files;
    const bool shown = zelto::toolkit::win32::runFileDialog(request, files);
    finish(shown ? std::move(files) : std::vector<std::string>{});
    return shown;
#else
    process = std::make_unique<zelto::toolkit::DialogProcess>();
    if (!process->start(zelto::toolkit::zenityArguments(request)) &&
        !process->start(zelto::toolkit::kdialogArguments(request))) {
        process.reset();
        finish({});
        return false;
    }
    state = PollState::kPending;
    return true;
#endif
}

CNewFileSelector::PollState CNewFileSelector::poll() {
    if (state != PollState::kPending) return state;
    if (scripted) {
        if (scriptedAnswer.pendingPolls > 0) {
            --scriptedAnswer.pendingPolls;
            return state;
        }
        finish(scriptedAnswer.files);
        return state;
    }
#if defined(_WIN32)
    return state;
#else
    if (process == nullptr || !process->poll()) return state;
    // zenity and kdialog answer 0 when a file was chosen, 1 when cancelled;
    // -1 means the host took the exit code, and the output alone tells.
    const int code = process->exitCode();
    finish(code == 0 || code == -1 ? zelto::toolkit::parseDialogOutput(process->output())
                                   : std::vector<std::string>{});
    return state;
#endif
}

bool CNewFileSelector::runModal() {
    if (state == PollState::kIdle && !start()) return false;
    if (state == PollState::kPending) {
        if (scripted) finish(scriptedAnswer.files);
#if !defined(_WIN32)
        // The common dialogs of Windows have answered within start().
        if (!scripted && process != nullptr) {
            process->wait();
            poll();
        }
#endif
    }
    return !selected.empty();
}

void CNewFileSelector::cancel() {
    if (state != PollState::kPending) return;
#if !defined(_WIN32)
    if (process != nullptr) process->terminate();
#endif
    finish({});
}

void CNewFileSelector::finish(std::vector<std::string> files) {
    if (!request.allowMultiple && files.size() > 1) files.resize(1);
    for (std::string& f : files) f = completedSavePath(std::move(f));
    selected = std::move(files);
#if !defined(_WIN32)
    process.reset();
#endif
    state = PollState::kDone;
}

std::string CNewFileSelector::completedSavePath(std::string path) const {
    if (request.style != kSelectSaveFile || request.defaultExtension.isEmpty() || path.empty()) {
        return path;
    }
#if defined(_WIN32)
    const size_t slash = path.find_last_of("/\\");
#else
    const size_t slash = path.find_last_of('/');
#endif
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!name.empty() && name.find('.') == std::string::npos) {
        path += "." + request.defaultExtension.getExtension();
    }
    return path;
}

const char* CNewFileSelector::getSelectedFile(uint32_t index) const {
    if (index >= selected.size()) return nullptr;
    return selected[index].c_str();
}

struct FileSelectorScript::State {
    mutable std::mutex mutex;
    std::deque<CNewFileSelector::Answer> answers;
    std::vector<CNewFileSelector::Request> requests;
};

FileSelectorScript::FileSelectorScript() : state(std::make_shared<State>()) {
    std::shared_ptr<State> shared = state;
    CNewFileSelector::setScript([shared](const CNewFileSelector::Request& request) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->requests.push_back(request);
        if (shared->answers.empty()) return CNewFileSelector::Answer{};
        CNewFileSelector::Answer next = shared->answers.front();
        shared->answers.pop_front();
        return next;
    });
}

FileSelectorScript::~FileSelectorScript() {
    CNewFileSelector::clearScript();
}

void FileSelectorScript::answer(std::vector<std::string> files, int32_t pendingPolls) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->answers.push_back(CNewFileSelector::Answer{std::move(files), pendingPolls});
}

std::vector<CNewFileSelector::Request> FileSelectorScript::requests() const {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->requests;
}
