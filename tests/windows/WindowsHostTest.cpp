// The DLL as a Windows host sees it: loaded with LoadLibrary, created
// through its exported entry, its state handed between instances, its
// settings in the registry, and its editor in a real window that the test
// clicks into as a user would, watching what reaches the host.
// Knows nothing of the plug-in but the binary interface.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "vst/vst2.h"

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

constexpr int kParamDrive = 1;
constexpr int kParamOversample = 6;
constexpr int kParamScale = 9;

/// What the plug-in tells the host: every automated parameter, in order.
struct Host {
    static inline std::mutex mutex;
    static inline std::vector<std::pair<int, float>> automated;

    static void reset() {
        std::lock_guard<std::mutex> lock(mutex);
        automated.clear();
    }
    static std::vector<std::pair<int, float>> automations() {
        std::lock_guard<std::mutex> lock(mutex);
        return automated;
    }
    static bool automatedIndex(int index) {
        for (const auto& [i, v] : automations()) {
            if (i == index) return true;
        }
        return false;
    }

    static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                          void*, float opt) {
        switch (opcode) {
            case audioMasterVersion:
                return 2400;
            case audioMasterAutomate: {
                std::lock_guard<std::mutex> lock(mutex);
                automated.emplace_back(index, opt);
                return 0;
            }
            case audioMasterGetSampleRate:
                return 44100;
            default:
                return 0;
        }
    }
};

class Dll {
  public:
    Dll() : module_(LoadLibraryA(ZELTO_PLUGIN_PATH)) {}
    ~Dll() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    Dll(const Dll&) = delete;
    Dll& operator=(const Dll&) = delete;

    HMODULE module() const { return module_; }
    Entry entry(const char* name) const {
        if (module_ == nullptr) return nullptr;
        return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    }

  private:
    HMODULE module_;
};

class Instance {
  public:
    explicit Instance(const Dll& dll, const char* entryName = "VSTPluginMain") {
        if (const Entry entry = dll.entry(entryName)) effect_ = entry(Host::callback);
        if (effect_ != nullptr) dispatch(effOpen);
    }
    ~Instance() {
        if (effect_ != nullptr) dispatch(effClose);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
    }
    float get(int index) const { return effect_->getParameter(effect_, index); }
    void set(int index, float value) { effect_->setParameter(effect_, index, value); }
    std::string display(int index) {
        char text[256] = {};
        dispatch(effGetParamDisplay, index, 0, text);
        return text;
    }

  private:
    AEffect* effect_ = nullptr;
};

std::wstring widen(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

/// Points the plug-in's settings at a key of the test's own below
/// HKEY_CURRENT_USER and removes that key afterwards.
class ScopedRegistryRoot {
  public:
    ScopedRegistryRoot() {
        static std::atomic<int> counter{0};
        top_ = "SOFTWARE\\KRW-soundlab-hosttest-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(counter++);
        root_ = top_ + "\\KRWzelto";
        _putenv_s("ZELTO_REGISTRY_ROOT", root_.c_str());
    }
    ~ScopedRegistryRoot() {
        _putenv_s("ZELTO_REGISTRY_ROOT", "");
        RegDeleteTreeW(HKEY_CURRENT_USER, widen(top_).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, widen(top_).c_str());
    }
    ScopedRegistryRoot(const ScopedRegistryRoot&) = delete;
    ScopedRegistryRoot& operator=(const ScopedRegistryRoot&) = delete;

    std::string key(const std::string& sub = "") const {
        return sub.empty() ? root_ : root_ + "\\" + sub;
    }

  private:
    std::string top_;
    std::string root_;
};

struct RegistryValue {
    DWORD type;
    std::vector<BYTE> data;
};

std::optional<RegistryValue> readValue(const std::string& key, const std::string& name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, widen(key).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegistryValue value{};
    DWORD size = 0;
    LONG status =
        RegQueryValueExW(handle, widen(name).c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(handle, widen(name).c_str(), nullptr, &value.type,
                                  value.data.data(), &size);
    }
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

bool writeDword(const std::string& key, const std::string& name, DWORD v) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, widen(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status = RegSetValueExW(handle, widen(name).c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(handle);
    return status == ERROR_SUCCESS;
}

/// A host's top-level window: what the editor opens into. Pumping runs the
/// message loop and the host's editor idle, as a host's user-interface
/// thread does.
class HostWindow {
  public:
    HostWindow() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZeltoTestHostWindow";
        RegisterClassExW(&wc);  // a second registration fails harmlessly
        hwnd_ =
            CreateWindowExW(0, L"ZeltoTestHostWindow", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                            0, 640, 560, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~HostWindow() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND child() const { return GetWindow(hwnd_, GW_CHILD); }
    int children() const {
        int count = 0;
        EnumChildWindows(
            hwnd_,
            [](HWND, LPARAM counter) -> BOOL {
                ++*reinterpret_cast<int*>(counter);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&count));
        return count;
    }

    void pump(Instance& instance, DWORD ms) {
        const DWORD start = GetTickCount();
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            instance.dispatch(effEditIdle);
            Sleep(5);
        } while (GetTickCount() - start < ms);
    }

    /// A left click at (x, y) of the editor, as the mouse would send it.
    void click(Instance& instance, int x, int y) {
        const HWND target = child();
        PostMessageW(target, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        pump(instance, 60);
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        pump(instance, 60);
    }

    void doubleClick(Instance& instance, int x, int y) {
        const HWND target = child();
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PostMessageW(target, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        pump(instance, 120);
    }

    void rightClick(Instance& instance, int x, int y) {
        const HWND target = child();
        PostMessageW(target, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        pump(instance, 60);
        PostMessageW(target, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
        pump(instance, 60);
    }

    /// A vertical drag with the left button held, in steps.
    void drag(Instance& instance, int x, int fromY, int toY) {
        const HWND target = child();
        PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, fromY));
        pump(instance, 40);
        const int step = toY < fromY ? -5 : 5;
        for (int y = fromY + step; step < 0 ? y >= toY : y <= toY; y += step) {
            PostMessageW(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
            pump(instance, 15);
        }
        PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(x, toY));
        pump(instance, 60);
    }

  private:
    HWND hwnd_ = nullptr;
};

TEST(WindowsHost, BothEntriesMakeAnInstanceWithTheRecordAHostExpects) {
    Dll dll;
    ASSERT_NE(dll.module(), nullptr) << "LoadLibrary failed: " << GetLastError();
    for (const char* name : {"VSTPluginMain", "main"}) {
        Instance instance(dll, name);
        ASSERT_NE(instance.effect(), nullptr) << name;
        const AEffect* e = instance.effect();
        EXPECT_EQ(e->magic, kEffectMagic);
        EXPECT_EQ(e->numParams, 26);
        EXPECT_EQ(e->numInputs, 2);
        EXPECT_EQ(e->numOutputs, 2);
        EXPECT_EQ(e->uniqueID, CCONST('K', 'R', 'z', 't'));
        EXPECT_TRUE(e->flags & effFlagsHasEditor);
        EXPECT_TRUE(e->flags & effFlagsCanReplacing);
        EXPECT_TRUE(e->flags & effFlagsCanDoubleReplacing);
        EXPECT_TRUE(e->flags & effFlagsProgramChunks);
        EXPECT_EQ(e->initialDelay, 159);
        // The look-ahead grows with the rate class and is reported at once.
        const std::pair<float, int> latencies[] = {
            {48000.0f, 159}, {96000.0f, 287}, {192000.0f, 543}, {44100.0f, 159}};
        for (const auto& [rate, latency] : latencies) {
            instance.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
            EXPECT_EQ(e->initialDelay, latency) << rate;
        }
    }
    // A host older than VST 2 gets nothing.
    const Entry entry = dll.entry("VSTPluginMain");
    EXPECT_EQ(
        entry([](AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) -> VstIntPtr { return 0; }),
        nullptr);
}

TEST(WindowsHost, ChunksCarryTheStateFromOneInstanceToAnother) {
    ScopedRegistryRoot registry;
    Dll dll;
    Instance source(dll);
    Instance target(dll);
    ASSERT_NE(source.effect(), nullptr);
    ASSERT_NE(target.effect(), nullptr);
    source.set(0, 0.3f);
    source.set(kParamDrive, 0.7f);
    source.set(kParamOversample, 1.0f);
    source.set(10, 1.0f);
    for (const VstIntPtr onlyProgram : {0, 1}) {
        void* data = nullptr;
        const VstIntPtr size =
            source.dispatch(effGetChunk, static_cast<VstInt32>(onlyProgram), 0, &data);
        ASSERT_GT(size, 0);
        ASSERT_NE(data, nullptr);
        const std::vector<char> copy(static_cast<char*>(data), static_cast<char*>(data) + size);
        target.set(kParamDrive, 0.0f);
        target.dispatch(effSetChunk, static_cast<VstInt32>(onlyProgram), size,
                        const_cast<char*>(copy.data()));
        for (int i = 0; i < 22; ++i) {
            EXPECT_EQ(target.get(i), source.get(i))
                << "parameter " << i << ", program chunk " << onlyProgram;
        }
    }
    // The restored instance processes: a loud sine comes out finite and
    // under the ceiling.
    target.dispatch(effMainsChanged, 0, 1);
    std::vector<float> in(4096), left(4096), right(4096);
    for (size_t n = 0; n < in.size(); ++n) in[n] = 2.0f * std::sin(0.05f * static_cast<float>(n));
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};
    for (int block = 0; block < 8; ++block) {
        target.effect()->processReplacing(target.effect(), inputs, outputs, 4096);
    }
    for (size_t n = 0; n < left.size(); ++n) {
        ASSERT_TRUE(std::isfinite(left[n]) && std::fabs(left[n]) <= 1.0f) << n;
    }
}

TEST(WindowsHost, MeterPreferencesAreReadFromTheRegistry) {
    Dll dll;
    {
        ScopedRegistryRoot registry;
        Instance plain(dll);
        ASSERT_NE(plain.effect(), nullptr);
        EXPECT_EQ(plain.display(kParamScale), "K-12");
    }
    ScopedRegistryRoot registry;
    ASSERT_TRUE(writeDword(registry.key("PREFS"), "Metering_Scale", 2));
    Instance instance(dll);
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(instance.display(kParamScale), "K-20");
}

class WindowsEditor : public ::testing::Test {
  protected:
    void SetUp() override {
        Host::reset();
        ASSERT_NE(window.hwnd(), nullptr);
        ASSERT_NE(instance.effect(), nullptr);
        ERect* rect = nullptr;
        ASSERT_EQ(instance.dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->right - rect->left, 524);
        EXPECT_EQ(rect->bottom - rect->top, 462);
    }
    void open() {
        ASSERT_EQ(instance.dispatch(effEditOpen, 0, 0, window.hwnd()), 1);
        window.pump(instance, 100);
        ASSERT_NE(window.child(), nullptr) << "no editor window inside the host's";
    }

    // Destroyed in reverse: the instance (closing any editor) before the
    // host's window, the registry key last.
    ScopedRegistryRoot registry;
    Dll dll;
    HostWindow window;
    Instance instance{dll};
};

TEST_F(WindowsEditor, ClicksOnAButtonAndAKnobReachTheHostAsAutomation) {
    open();
    RECT client{};
    GetClientRect(window.child(), &client);
    EXPECT_EQ(client.right, 524);
    EXPECT_EQ(client.bottom, 462);

    ASSERT_EQ(instance.get(kParamOversample), 0.0f);
    window.click(instance, 97, 49);  // Oversample
    EXPECT_TRUE(Host::automatedIndex(kParamOversample));
    EXPECT_EQ(instance.get(kParamOversample), 1.0f);

    const float drive = instance.get(kParamDrive);
    window.drag(instance, 80, 380, 330);  // Drive, upwards
    EXPECT_TRUE(Host::automatedIndex(kParamDrive));
    EXPECT_GT(instance.get(kParamDrive), drive);

    // A click on the bare panel sends nothing.
    Host::reset();
    window.click(instance, 262, 300);
    EXPECT_TRUE(Host::automations().empty());
    instance.dispatch(effEditClose);
}

TEST_F(WindowsEditor, TheStripKeepsMemosDefaultsAndMeterSettingsInTheRegistry) {
    open();
    // A memo: stored by one click, recalled by another.
    window.click(instance, 396, 454);  // store A
    const auto memo = readValue(registry.key(), "MemoA");
    ASSERT_TRUE(memo.has_value()) << "store A wrote nothing to the registry";
    EXPECT_EQ(memo->type, static_cast<DWORD>(REG_BINARY));
    window.click(instance, 97, 49);  // Oversample on
    ASSERT_EQ(instance.get(kParamOversample), 1.0f);
    window.click(instance, 429, 454);  // recall A
    EXPECT_EQ(instance.get(kParamOversample), 0.0f);

    // The meter set-up: a right click on a preference button stores all six.
    window.rightClick(instance, 285, 274);
    for (const char* name : {"Metering_Scale", "Metering_Type", "Metering_Zoom", "Metering_AttShow",
                             "Metering_Recon", "Metering_Post"}) {
        const auto value = readValue(registry.key("PREFS"), name);
        ASSERT_TRUE(value.has_value()) << name;
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD)) << name;
    }

    // The default preset: a double click stores it, and a new instance
    // starts with it.
    window.click(instance, 97, 49);  // Oversample on
    window.doubleClick(instance, 144, 453);
    const auto stored = readValue(registry.key(), "DefaultPreset");
    ASSERT_TRUE(stored.has_value()) << "the default preset was not stored";
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_BINARY));
    instance.dispatch(effEditClose);
    window.pump(instance, 50);

    Instance next(dll);
    ASSERT_NE(next.effect(), nullptr);
    EXPECT_EQ(next.get(kParamOversample), 1.0f);
}

TEST_F(WindowsEditor, TwentyOpenAndCloseCyclesLeaveNoWindowAndNoWindowClass) {
    std::wstring className;
    for (int cycle = 0; cycle < 20; ++cycle) {
        open();
        ASSERT_EQ(window.children(), 1) << "cycle " << cycle;
        wchar_t name[256] = {};
        GetClassNameW(window.child(), name, 256);
        if (cycle == 0) className = name;
        EXPECT_EQ(className, name) << "cycle " << cycle;
        instance.dispatch(effEditClose);
        window.pump(instance, 20);
        ASSERT_EQ(window.children(), 0) << "cycle " << cycle;
    }
    // The editor stays usable after all that.
    open();
    window.click(instance, 97, 49);
    EXPECT_TRUE(Host::automatedIndex(kParamOversample));
    instance.dispatch(effEditClose);
    window.pump(instance, 20);
    // The window class goes with the last window.
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    EXPECT_FALSE(GetClassInfoExW(dll.module(), className.c_str(), &info))
        << "the window class outlived its last window";
}

}  // namespace
