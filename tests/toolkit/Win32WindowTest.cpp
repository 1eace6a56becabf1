// The Windows backend in a real window: a child of a host window made here,
// input posted as the system would deliver it, the idle timer, the window
// class and the GDI objects across many openings, and the plug-in's BITMAP
// resources. Windows only; under Wine the window tests need an X display
// (xvfb-run) and skip without one.
#if defined(_WIN32)

#include <windows.h>

#include <memory>

#include "ToolkitTestSupport.h"
#include "resources/Resources.h"
#include "toolkit/platform/NativeSurface.h"
#include "toolkit/platform/win32/DibSurface.h"
#include "toolkit/platform/win32/Win32Keys.h"
#include "toolkit/platform/win32/Win32Window.h"

namespace zelto::test {
namespace {

using zelto::toolkit::win32::liveGdiObjects;
using zelto::toolkit::win32::Win32Window;

// RT_BITMAP, spelled for the wide-character functions.
const wchar_t* const kBitmapType = MAKEINTRESOURCEW(2);

/// Delivers what is queued for this thread's windows, for at least ms.
void pump(DWORD ms = 0) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (ms > 0) Sleep(5);
    } while (GetTickCount() - start < ms);
}

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

bool classRegistered() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return GetClassInfoExW(GetModuleHandleW(nullptr), Win32Window::className(), &info) != 0;
}

/// A top-level window standing in for the host's editor window.
class Win32Host : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ZeltoTestHost";
        RegisterClassExW(&windowClass);
        host = CreateWindowExW(0, L"ZeltoTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               640, 520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (host == nullptr) GTEST_SKIP() << "no window system (Wine needs an X display)";
        pump();
    }
    void TearDown() override {
        if (host != nullptr && IsWindow(host)) DestroyWindow(host);
        pump();
    }
    HWND host = nullptr;
};

struct ClickScene {
    RecordingListener listener;
    CFrame* frame = new CFrame(CRect(0, 0, 300, 200), nullptr);
    COnOffButton* button = new COnOffButton(CRect(10, 10, 60, 40), &listener, 7);
    CTextEdit* field = new CTextEdit(CRect(100, 10, 250, 30), &listener, 9, "start");
    ProbeView* wheel = new ProbeView(CRect(0, 100, 300, 200), CColor(0, 200, 0));
    ClickScene() {
        frame->addView(button);
        frame->addView(field);
        frame->addView(wheel);
    }
    ~ClickScene() { frame->forget(); }
    HWND child() const { return static_cast<HWND>(ULongToHandle(frame->getWindowId())); }
    void click(int x, int y) {
        PostMessageW(child(), WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
        PostMessageW(child(), WM_LBUTTONUP, 0, at(x, y));
        pump();
        frame->idle();
    }
};

TEST_F(Win32Host, FrameIsAChildWindowOfItsOwnClassShowingTheOffscreenPixels) {
    ClickScene s;
    ASSERT_TRUE(s.frame->open(host));
    HWND child = s.child();
    ASSERT_TRUE(IsWindow(child));
    EXPECT_EQ(GetParent(child), host);
    EXPECT_EQ(ULongToHandle(s.frame->getTopLevelWindowId()), host) << "what dialogs stay above";
    EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD);
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    EXPECT_STREQ(name, Win32Window::className());
    RECT r{};
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, 300);
    EXPECT_EQ(r.bottom, 200);

    s.frame->idle();
    HDC dc = GetDC(child);
    const COLORREF shown = GetPixel(dc, 150, 150);
    ReleaseDC(child, dc);
    EXPECT_TRUE(sameColor(s.frame->getPixel(150, 150), CColor(0, 200, 0)));
    if (shown != CLR_INVALID) {
        EXPECT_EQ(shown, RGB(0, 200, 0));
    }
}

TEST_F(Win32Host, PostedClicksKeysAndWheelReachTheViews) {
    ClickScene s;
    ASSERT_TRUE(s.frame->open(host));
    s.click(30, 20);
    EXPECT_EQ(s.button->getValue(), 1.0f);
    ASSERT_EQ(s.listener.calls.size(), 1u);
    EXPECT_EQ(s.listener.calls[0].tag, 7);

    // Into the text field: typed characters arrive as WM_CHAR, Enter as a key.
    s.click(150, 20);
    PostMessageW(s.child(), WM_KEYDOWN, 'A', 0);
    PostMessageW(s.child(), WM_CHAR, 'a', 0);
    PostMessageW(s.child(), WM_KEYUP, 'A', 0);
    PostMessageW(s.child(), WM_KEYDOWN, VK_BACK, 0);
    PostMessageW(s.child(), WM_CHAR, 8, 0);  // the control code of Backspace is not typed
    PostMessageW(s.child(), WM_CHAR, 'O', 0);
    PostMessageW(s.child(), WM_CHAR, 'k', 0);
    PostMessageW(s.child(), WM_KEYDOWN, VK_RETURN, 0);
    pump();
    s.frame->idle();
    EXPECT_EQ(s.field->getText(), "Ok");

    // The wheel comes in screen coordinates.
    POINT p{150, 150};
    ClientToScreen(s.child(), &p);
    PostMessageW(s.child(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)),
                 at(p.x, p.y));
    pump();
    s.frame->idle();
    EXPECT_FLOAT_EQ(s.wheel->lastWheel, -2.0f);
    EXPECT_EQ(s.wheel->lastWhere, CPoint(150, 150));
}

TEST_F(Win32Host, EventsWaitForTheFrameAndKeepTheirOrder) {
    ClickScene s;
    ASSERT_TRUE(s.frame->open(host));
    // Delivered by the window procedure, handled only in the frame's idle.
    SendMessageW(s.child(), WM_LBUTTONDOWN, MK_LBUTTON, at(30, 20));
    SendMessageW(s.child(), WM_LBUTTONUP, 0, at(30, 20));
    EXPECT_EQ(s.button->getValue(), 0.0f);
    s.frame->processWindowEvents();
    EXPECT_EQ(s.button->getValue(), 1.0f);
    // A second press soon after at the same place is a double click; the
    // frame finds it from the message times.
    std::vector<std::string> log;
    auto* probe = new ProbeView(CRect(0, 50, 100, 90), kWhiteCColor, &log);
    s.frame->addView(probe);
    for (int i = 0; i < 2; ++i) {
        SendMessageW(s.child(), WM_LBUTTONDOWN, MK_LBUTTON, at(20, 60));
        SendMessageW(s.child(), WM_LBUTTONUP, 0, at(20, 60));
    }
    s.frame->processWindowEvents();
    EXPECT_TRUE(probe->lastDownButtons & kDoubleClick);
}

TEST_F(Win32Host, ADragEndsWhenAnotherWindowTakesTheMouse) {
    ClickScene s;
    ASSERT_TRUE(s.frame->open(host));
    SendMessageW(s.child(), WM_LBUTTONDOWN, MK_LBUTTON, at(150, 150));
    s.frame->processWindowEvents();
    ASSERT_EQ(s.frame->getMouseDownView(), s.wheel);
    SetCapture(host);  // as a dialog opened from the press would
    ReleaseCapture();
    s.frame->processWindowEvents();
    EXPECT_EQ(s.frame->getMouseDownView(), nullptr) << "the next press must not go to the drag";
}

class CountingEditor : public VSTGUIEditorInterface {
  public:
    void attach(CFrame* f) { frame = f; }
    void doIdleStuff() override {
        ++idles;
        if (frame != nullptr) frame->idle();
    }
    int idles = 0;
};

TEST_F(Win32Host, TheWindowTimerRunsTheEditorsIdle) {
    CountingEditor editor;
    auto* frame = new CFrame(CRect(0, 0, 100, 100), &editor);
    editor.attach(frame);
    auto* view = new ProbeView(CRect(0, 0, 50, 50), CColor(200, 0, 0));
    frame->addView(view);
    ASSERT_TRUE(frame->open(host));
    pump(400);
    EXPECT_GE(editor.idles, 3) << "a 30 ms timer over 400 ms";
    EXPECT_GE(view->draws, 1) << "repainted without anyone calling idle";
    frame->close();
    const int after = editor.idles;
    pump(150);
    EXPECT_EQ(editor.idles, after) << "the timer ends with the window";
}

TEST_F(Win32Host, FocusLossCommitsTheTextBeingEdited) {
    ClickScene s;
    ASSERT_TRUE(s.frame->open(host));
    s.click(150, 20);
    ASSERT_EQ(GetFocus(), s.child());
    PostMessageW(s.child(), WM_CHAR, 'Z', 0);
    pump();
    s.frame->idle();
    const size_t before = s.listener.calls.size();
    SetFocus(host);
    pump();
    s.frame->idle();
    ASSERT_EQ(s.listener.calls.size(), before + 1) << "committed by the focus loss alone";
    EXPECT_EQ(s.listener.calls.back().tag, 9);
    EXPECT_EQ(s.field->getText(), "Z");
}

TEST_F(Win32Host, OpeningAndClosingManyTimesLeavesNothingBehind) {
    const int32_t objectsBefore = liveGdiObjects();
    const DWORD systemBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 20; ++i) {
        ClickScene s;
        ASSERT_TRUE(s.frame->open(host));
        EXPECT_TRUE(classRegistered());
        s.click(30, 20);
        s.frame->idle();
        s.frame->closeWindow();
        EXPECT_FALSE(classRegistered()) << "the class goes with the last window";
    }
    EXPECT_EQ(Win32Window::liveWindows(), 0);
    EXPECT_EQ(liveGdiObjects(), objectsBefore);
    // Wine may not count GDI objects per process; Windows does.
    const DWORD systemAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (systemBefore != 0) {
        EXPECT_LE(systemAfter, systemBefore + 2);
    }
}

TEST_F(Win32Host, HostWindowDestroyedFirstOrNotAWindowIsHarmless) {
    ClickScene s;
    EXPECT_FALSE(s.frame->open(reinterpret_cast<void*>(0x1234)));
    EXPECT_FALSE(s.frame->isWindowOpen());
    ASSERT_TRUE(s.frame->open(host));
    DestroyWindow(host);
    host = nullptr;
    pump();
    s.frame->idle();
    EXPECT_FALSE(s.frame->isWindowOpen());
    s.frame->closeWindow();
    EXPECT_EQ(Win32Window::liveWindows(), 0);
    EXPECT_FALSE(classRegistered());
}

TEST(Win32Keys, VirtualKeysCharactersAndControlLetters) {
    using namespace zelto::toolkit::win32;
    bool types = true;
    EXPECT_EQ(vstVirtualKey(VK_RETURN, &types), VKEY_RETURN);
    EXPECT_FALSE(types);
    EXPECT_EQ(vstVirtualKey(VK_F5, &types), VKEY_F5);
    EXPECT_EQ(vstVirtualKey(VK_SPACE, &types), VKEY_SPACE);
    EXPECT_TRUE(types) << "space types its character too";
    EXPECT_EQ(vstVirtualKey('Q', &types), 0);
    EXPECT_TRUE(types);

    const VstKeyCode a = vstKeyFromCharacter('a', 0, 'A', 0);
    EXPECT_EQ(a.character, 'a');
    EXPECT_EQ(a.virt, 0);
    const VstKeyCode ctrlA = vstKeyFromCharacter(1, 0, 'A', MODIFIER_CONTROL);
    EXPECT_EQ(ctrlA.character, 'a') << "hosts send the letter, not the control code";
    EXPECT_EQ(ctrlA.modifier, MODIFIER_CONTROL);
    const VstKeyCode enter = vstKeyFromCharacter('\r', 0, VK_RETURN, 0);
    EXPECT_EQ(enter.character, 0);
    EXPECT_EQ(enter.virt, 0) << "Enter was delivered as a virtual key already";
    const VstKeyCode numpad = vstKeyFromCharacter('7', VKEY_NUMPAD7, VK_NUMPAD7, 0);
    EXPECT_EQ(numpad.character, '7');
    EXPECT_EQ(numpad.virt, VKEY_NUMPAD7);
}

// The raw resource, read without GDI: BITMAPINFOHEADER, then bottom-up
// rows of blue, green, red padded to four bytes.
uint32_t rawResourcePixel(int32_t id, int x, int y) {
    HRSRC found = FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), kBitmapType);
    if (found == nullptr) return 0xffffffffu;
    const auto* header = static_cast<const BITMAPINFOHEADER*>(
        LockResource(LoadResource(GetModuleHandleW(nullptr), found)));
    if (header == nullptr || header->biBitCount != 24 || header->biCompression != BI_RGB) {
        return 0xfffffffeu;
    }
    const auto* pixels = reinterpret_cast<const uint8_t*>(header) + header->biSize;
    const size_t rowBytes = (static_cast<size_t>(header->biWidth) * 3 + 3) & ~size_t{3};
    const uint8_t* p = pixels + rowBytes * static_cast<size_t>(header->biHeight - 1 - y) +
                       static_cast<size_t>(x) * 3;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

TEST(Win32Bitmaps, EveryImageIsA24BitResourceOfItsCatalogueSize) {
    size_t count = 0;
    const zelto::EmbeddedImage* images = zelto::embeddedImages(&count);
    ASSERT_EQ(count, 44u);
    for (size_t i = 0; i < count; ++i) {
        HRSRC found =
            FindResourceW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(images[i].id), kBitmapType);
        ASSERT_NE(found, nullptr) << images[i].id;
        const auto* header = static_cast<const BITMAPINFOHEADER*>(
            LockResource(LoadResource(GetModuleHandleW(nullptr), found)));
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->biBitCount, 24) << images[i].id;
        EXPECT_EQ(header->biWidth, images[i].width) << images[i].id;
        EXPECT_EQ(header->biHeight, images[i].height) << images[i].id << " (bottom-up)";
        EXPECT_EQ(images[i].png, nullptr) << "no PNG bytes in the Windows build";
    }
}

TEST(Win32Bitmaps, ASliceOfAResourceLandsWithItsSourceOffset) {
    // The background drawn as text fields draw it: a slice at the field's
    // own position. Every pixel must be the resource's own, row order and
    // channel order included.
    CBitmap* background = new CBitmap(128);
    ASSERT_TRUE(background->isLoaded());
    NativeSurface* target = zelto::toolkit::createOpaqueSurface(60, 30);
    {
        CDrawContext context(target);
        context.setClipLimit(CRect(0, 0, 50, 30));  // the last 10 columns stay black
        context.drawBitmap(*background, CRect(0, 0, 60, 20), CPoint(300, 400));
    }
    int mismatches = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 60; ++x) {
            const uint32_t expected =
                (y < 20 && x < 50) ? rawResourcePixel(128, 300 + x, 400 + y) : 0u;
            mismatches += zelto::toolkit::surfacePixel(target, x, y) != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
    zelto::toolkit::releaseSurface(target);
    background->forget();
}

TEST(Win32Bitmaps, DrawingLeavesNoGdiObjectBehind) {
    const int32_t before = liveGdiObjects();
    {
        TestFrame frame(CRect(0, 0, 120, 60));
        auto* field = new CTextEdit(CRect(0, 0, 120, 20), nullptr, 1, "Leveller");
        frame->addView(field);
        frame->idle();
        NativeSurface* scratch = zelto::toolkit::createOpaqueSurface(40, 40);
        for (int i = 0; i < 200; ++i) {
            CDrawContext context(scratch);
            context.setLineWidth(1 + i % 3);
            context.drawEllipse(CRect(0, 0, 30, 30), kDrawFilledAndStroked);
            context.drawLine(CPoint(0, 0), CPoint(39, 39));
            context.setFont(kNormalFontSmall, 0, i % 2 ? kBoldFace : kNormalFace);
            context.drawString("dB", CRect(0, 0, 40, 20), kCenterText, i % 3 != 0);
            context.setFillColor(CColor(255, 0, 0, 128));
            context.drawRect(CRect(1, 1, 9, 9), kDrawFilledAndStroked);
        }
        zelto::toolkit::releaseSurface(scratch);
    }
    EXPECT_EQ(liveGdiObjects(), before);
}

TEST(Win32Bitmaps, SnapshotsAreNotAvailableHere) {
    TestFrame frame(CRect(0, 0, 20, 20));
    EXPECT_FALSE(frame->snapshotPng("snapshot.png"));
    std::vector<uint8_t> png;
    EXPECT_FALSE(zelto::toolkit::encodeSurfacePng(frame->getSurface(), png));
    EXPECT_EQ(GetFileAttributesW(L"snapshot.png"), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace zelto::test

#endif  // _WIN32
