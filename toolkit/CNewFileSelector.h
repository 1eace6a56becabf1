// The file dialog: open, save or choose a folder, with a title, a start
// folder, file types, a default extension and a default file name.
// On Linux the dialog is a child process (zenity, else kdialog), so it can
// run while the host's user-interface thread goes on: start() it and poll()
// it from idle until it is done; runModal() waits instead. Where neither
// program is installed, the dialog ends at once with nothing chosen. On
// Windows start() shows the common dialog modally and returns with the
// answer, which the first poll() then finds ready. A save without an
// extension gets the default extension.
// Tests replace the programs with scripted answers (FileSelectorScript).
// One thread uses a selector; the script may be installed from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/CBaseObject.h"
#include "toolkit/CFileExtension.h"

class CFrame;

namespace zelto::toolkit {
class DialogProcess;
}

class CNewFileSelector : public CBaseObject {
  public:
    enum Style {
        kSelectFile,
        kSelectSaveFile,
        kSelectDirectory,
    };
    enum class PollState {
        kIdle,     // not started
        kPending,  // the dialog is up
        kDone,     // answered: see getNumSelectedFiles
    };

    /// What a dialog was asked to show.
    struct Request {
        Style style = kSelectFile;
        std::string title;
        std::string initialDirectory;
        std::string defaultSaveName;
        CFileExtension defaultExtension;
        std::vector<CFileExtension> extensions;
        bool allowMultiple = false;
        /// The window the dialog stays above, modal to it (0: none).
        unsigned long parentWindowId = 0;
    };
    /// A scripted answer: the chosen paths (none = cancelled) and how many
    /// polls answer "pending" first.
    struct Answer {
        std::vector<std::string> files;
        int32_t pendingPolls = 0;
    };
    using Script = std::function<Answer(const Request& request)>;

    /// A new selector (reference count 1; forget() it when done). With a
    /// frame in a window, the dialog stays above the host's window.
    static CNewFileSelector* create(CFrame* parent = nullptr, Style style = kSelectFile);

    void setTitle(const char* title);
    void setInitialDirectory(const char* path);
    void setDefaultSaveName(const char* name);
    void setDefaultExtension(const CFileExtension& extension);
    void addFileExtension(const CFileExtension& extension);
    void setAllowMultiFileSelection(bool state);
    const CFileExtension& getDefaultExtension() const { return request.defaultExtension; }
    const Request& getRequest() const { return request; }
    Style getStyle() const { return request.style; }

    /// Shows the dialog and waits for the answer; true when files were chosen.
    bool runModal();
    /// Shows the dialog without waiting. False when none could be shown
    /// (then the selector is done with nothing chosen).
    bool start();
    /// Collects the answer once it is there; never blocks.
    PollState poll();
    /// Closes a dialog that is still up; nothing is chosen.
    void cancel();

    int32_t getNumSelectedFiles() const { return static_cast<int32_t>(selected.size()); }
    /// The chosen path, or nullptr for an index out of range.
    const char* getSelectedFile(uint32_t index) const;

    /// Replaces the dialog programs with a script for every selector of the
    /// process until cleared (an empty function clears it).
    static void setScript(Script script);
    static void clearScript() { setScript(nullptr); }

  private:
    explicit CNewFileSelector(Style style);
    ~CNewFileSelector() override;

    void finish(std::vector<std::string> files);
    std::string completedSavePath(std::string path) const;

    Request request;
    PollState state = PollState::kIdle;
    std::vector<std::string> selected;
#if !defined(_WIN32)
    std::unique_ptr<zelto::toolkit::DialogProcess> process;
#endif
    bool scripted = false;
    Answer scriptedAnswer;
};

/// Scripted file dialogs for the lifetime of the object: each dialog takes
/// the next queued answer (cancelled once the queue is empty), and every
/// request is recorded.
class FileSelectorScript {
  public:
    FileSelectorScript();
    ~FileSelectorScript();
    FileSelectorScript(const FileSelectorScript&) = delete;
    FileSelectorScript& operator=(const FileSelectorScript&) = delete;

    void answer(std::vector<std::string> files, int32_t pendingPolls = 0);
    void answerCancel(int32_t pendingPolls = 0) { answer({}, pendingPolls); }
    std::vector<CNewFileSelector::Request> requests() const;

  private:
    struct State;
    std::shared_ptr<State> state;
};
