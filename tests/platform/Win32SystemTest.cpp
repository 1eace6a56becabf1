// The Windows-only behaviour of the small system layers: the engine lock
// handed on when its owner ends, text conversion at the system boundary,
// the shell's answers for documents, and the tick count.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/DocumentLauncher.h"
#include "platform/EngineLock.h"
#include "platform/TickCount.h"
#include "platform/win32/Utf16.h"

using namespace zelto;
namespace fs = std::filesystem;

TEST(Win32EngineLock, AThreadThatEndsHoldingTheLockHandsItOn) {
    EngineLock lock;
    std::thread quitter([&] {
        ASSERT_TRUE(lock.acquire(0));
        ASSERT_TRUE(lock.acquire(0));
    });
    quitter.join();
    // The system gives the abandoned mutex to the next waiter, at depth one.
    ASSERT_TRUE(lock.acquire(1000));
    EXPECT_TRUE(lock.heldByCurrentThread());
    EXPECT_EQ(lock.depth(), 1);
    lock.release();
    EXPECT_EQ(lock.depth(), 0);
    EXPECT_FALSE(lock.heldByCurrentThread());
    bool other = false;
    std::thread([&] {
        other = lock.acquire(100);
        if (other) lock.release();
    }).join();
    EXPECT_TRUE(other) << "the lock was really given up";
}

TEST(Win32Text, Utf8AndUtf16ConvertBothWaysAndRefuseWhatIsNotText) {
    const std::string utf8 = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x8E\xB5";
    const std::wstring utf16 = L"a\u00E9\u65E5\U0001F3B5";
    EXPECT_EQ(win32::toUtf16(utf8), utf16);
    EXPECT_EQ(win32::toUtf8(utf16), utf8);
    EXPECT_EQ(win32::toUtf16(""), std::wstring());
    EXPECT_EQ(win32::toUtf16(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    for (const char* bad : {"\xC3", "\xFF", "\xC0\xAF", "\xED\xA0\x80", "ok\xE6\x97"}) {
        EXPECT_FALSE(win32::toUtf16(bad).has_value()) << bad;
    }
    const wchar_t lone[] = {L'x', static_cast<wchar_t>(0xDC00)};
    EXPECT_FALSE(win32::toUtf8(std::wstring_view(lone, 2)).has_value());
}

TEST(Win32DocumentLauncher, TheShellAnswersAtOnceAndFailuresAreTold) {
    DocumentLauncher launcher;
    EXPECT_EQ(launcher.start(""), DocumentLauncher::Outcome::Failed);
    const fs::path folder =
        fs::temp_directory_path() / ("zelto-open-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder);
    const std::string missing = (folder / "no such manual.pdf").string();
    EXPECT_EQ(launcher.start(missing), DocumentLauncher::Outcome::Failed);
    EXPECT_FALSE(launcher.isPending());
    EXPECT_EQ(launcher.poll(), DocumentLauncher::Outcome::Failed);

    // A document of a kind nothing is registered for.
    const fs::path orphan = folder / "manual.zelto-no-such-kind";
    std::ofstream(orphan) << "x";
    EXPECT_EQ(launcher.start(orphan.string()), DocumentLauncher::Outcome::NoApplication);
    EXPECT_EQ(launcher.poll(), DocumentLauncher::Outcome::NoApplication);

    // A stand-in opener that does not exist cannot show anything either.
    DocumentLauncher::setOpenerProgram((folder / "no-such-opener.exe").string());
    EXPECT_EQ(launcher.start(orphan.string()), DocumentLauncher::Outcome::NoApplication);
    DocumentLauncher::setOpenerProgram("");
    std::error_code ec;
    fs::remove_all(folder, ec);
}

TEST(Win32TickCount, FollowsTheSystemCount) {
    const uint32_t before = GetTickCount();
    const uint32_t ours = tickCount();
    Sleep(50);
    const uint32_t later = tickCount();
    EXPECT_LE(ticksSince(before, ours), 20u);
    EXPECT_GE(ticksSince(ours, later), 40u);
    EXPECT_LE(ticksSince(ours, later), 1000u);
}
#endif
