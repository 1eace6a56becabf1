// File dialogs: scripted answers, polling, the dialog command lines and
// the child process that runs them.
#if !defined(_WIN32)
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <thread>

#include "ToolkitTestSupport.h"
#if !defined(_WIN32)
#include "toolkit/platform/posix/DialogCommands.h"
#include "toolkit/platform/posix/DialogProcess.h"
#endif

namespace zelto::test {
namespace {

#if !defined(_WIN32)
using zelto::toolkit::DialogProcess;
#endif

CNewFileSelector* presetSaveDialog() {
    CNewFileSelector* selector =
        CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->setTitle("Save preset");
    selector->setInitialDirectory("/home/user/presets");
    CFileExtension type("KRW Preset", "krw");
    selector->addFileExtension(type);
    selector->setDefaultExtension(type);
    selector->setDefaultSaveName("Bright.krw");
    return selector;
}

TEST(FileSelector, ScriptAnswersAndRecordsTheRequest) {
    FileSelectorScript script;
    script.answer({"/tmp/a.krw"});
    CNewFileSelector* selector = presetSaveDialog();
    EXPECT_TRUE(selector->runModal());
    ASSERT_EQ(selector->getNumSelectedFiles(), 1);
    EXPECT_STREQ(selector->getSelectedFile(0), "/tmp/a.krw");
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);
    selector->forget();

    const auto requests = script.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].title, "Save preset");
    EXPECT_EQ(requests[0].style, CNewFileSelector::kSelectSaveFile);
    EXPECT_EQ(requests[0].initialDirectory, "/home/user/presets");
    EXPECT_EQ(requests[0].defaultSaveName, "Bright.krw");
    EXPECT_EQ(requests[0].defaultExtension.getExtension(), "krw");
}

TEST(FileSelector, UnansweredDialogsAreCancelled) {
    FileSelectorScript script;
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    EXPECT_FALSE(selector->runModal());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
}

TEST(FileSelector, PollingStaysPendingUntilTheAnswerComes) {
    FileSelectorScript script;
    script.answer({"/x/bank.krb"}, 2);
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kIdle);
    ASSERT_TRUE(selector->start());
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kPending);
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kPending);
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kDone);
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kDone);
    EXPECT_STREQ(selector->getSelectedFile(0), "/x/bank.krb");
    selector->forget();
}

TEST(FileSelector, CancelWhilePendingChoosesNothing) {
    FileSelectorScript script;
    script.answer({"/x/late.krw"}, 5);
    CNewFileSelector* selector = CNewFileSelector::create();
    selector->start();
    selector->cancel();
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kDone);
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
}

TEST(FileSelector, SaveGetsTheDefaultExtensionWhenTypedWithoutOne) {
    FileSelectorScript script;
    script.answer({"/p/My Preset"});
    script.answer({"/p.d/v1.0.krw"});
    script.answer({"/p.d/noext"});
    for (const char* expected : {"/p/My Preset.krw", "/p.d/v1.0.krw", "/p.d/noext.krw"}) {
        CNewFileSelector* selector = presetSaveDialog();
        ASSERT_TRUE(selector->runModal());
        EXPECT_STREQ(selector->getSelectedFile(0), expected);
        selector->forget();
    }
}

TEST(FileSelector, SingleSelectionKeepsOneFile) {
    FileSelectorScript script;
    script.answer({"/a", "/b"});
    CNewFileSelector* selector = CNewFileSelector::create();
    selector->runModal();
    EXPECT_EQ(selector->getNumSelectedFiles(), 1);
    selector->forget();
}

// The dialog programs of Linux and the child process that runs them.
#if !defined(_WIN32)
TEST(FileSelector, ZenityGetsEveryPieceAsItsOwnArgument) {
    CNewFileSelector::Request request;
    request.style = CNewFileSelector::kSelectFile;
    request.title = "Load bank (endian-reversed); rm -rf ~";
    request.initialDirectory = "/music/my banks";
    request.extensions.push_back(CFileExtension("KRW Bank", "krb"));
    const auto args = zelto::toolkit::zenityArguments(request);
    const std::vector<std::string> expected = {
        "zenity",
        "--file-selection",
        "--title=Load bank (endian-reversed); rm -rf ~",
        "--filename=/music/my banks/",
        "--file-filter=KRW Bank (*.krb) | *.krb",
        "--file-filter=All files | *",
    };
    EXPECT_EQ(args, expected);

    request.style = CNewFileSelector::kSelectSaveFile;
    request.defaultSaveName = "Default.krb";
    request.parentWindowId = 4194305;
    const auto save = zelto::toolkit::zenityArguments(request);
    EXPECT_NE(std::find(save.begin(), save.end(), "--attach=4194305"), save.end());
    EXPECT_NE(std::find(save.begin(), save.end(), "--modal"), save.end());
    EXPECT_NE(std::find(save.begin(), save.end(), "--save"), save.end());
    EXPECT_NE(std::find(save.begin(), save.end(), "--filename=/music/my banks/Default.krb"),
              save.end());
}

TEST(FileSelector, KdialogNeverTakesAPathForAnOption) {
    CNewFileSelector::Request request;
    request.style = CNewFileSelector::kSelectFile;
    request.title = "Load preset";
    request.initialDirectory = "--help";
    const auto args = zelto::toolkit::kdialogArguments(request);
    const std::vector<std::string> expected = {"kdialog", "--title", "Load preset",
                                               "--getopenfilename", "./--help"};
    EXPECT_EQ(args, expected);
}

TEST(FileSelector, DialogOutputIsOnePathPerLine) {
    using zelto::toolkit::parseDialogOutput;
    EXPECT_EQ(parseDialogOutput("/a b/c.krw\n"), (std::vector<std::string>{"/a b/c.krw"}));
    EXPECT_EQ(parseDialogOutput("/x\r\n\n/y"), (std::vector<std::string>{"/x", "/y"}));
    EXPECT_TRUE(parseDialogOutput("").empty());
}

TEST(DialogProcess, CollectsTheOutputOfTheChild) {
    DialogProcess process;
    ASSERT_TRUE(process.start({"printf", "%s\\n", "/tmp/with space.krw"}));
    process.wait();
    EXPECT_TRUE(process.isFinished());
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.output(), "/tmp/with space.krw\n");
}

TEST(DialogProcess, PollNeverBlocksWhileTheChildRuns) {
    DialogProcess process;
    ASSERT_TRUE(process.start({"sleep", "5"}));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(process.poll());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    process.terminate();  // also what the destructor does
    EXPECT_TRUE(process.isFinished());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
}

TEST(DialogProcess, MissingProgramCannotStart) {
    DialogProcess process;
    EXPECT_FALSE(process.start({"zelto-no-such-dialog-program"}));
    EXPECT_FALSE(process.start({}));
}

TEST(DialogProcess, ChildInheritsNoDescriptorOfTheHost) {
    // A descriptor without close-on-exec, as careless hosts leave them.
    const int fd = fcntl(2, F_DUPFD, 100);
    ASSERT_GE(fd, 100);
    DialogProcess process;
    ASSERT_TRUE(process.start({"ls", "/proc/self/fd"}));
    process.wait();
    close(fd);
    EXPECT_EQ(process.output().find(std::to_string(fd) + "\n"), std::string::npos)
        << process.output();
}

TEST(FileSelector, WithoutAnyDialogProgramItEndsAtOnceWithNothing) {
    const char* oldPath = getenv("PATH");
    const std::string saved = oldPath != nullptr ? oldPath : "";
    const std::string empty = ::testing::TempDir() + "zelto-empty-path";
    std::filesystem::create_directories(empty);
    setenv("PATH", empty.c_str(), 1);
    CNewFileSelector* selector = CNewFileSelector::create();
    EXPECT_FALSE(selector->start());
    EXPECT_EQ(selector->poll(), CNewFileSelector::PollState::kDone);
    EXPECT_FALSE(selector->runModal());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
    setenv("PATH", saved.c_str(), 1);
}
#endif

}  // namespace
}  // namespace zelto::test
