// The LV2 editor in a small host of ours under a private X server: it embeds
// in the host's window at the editor's size, shows exactly what `zelto
// snapshot` draws for the same settings, and a click on a button arrives as
// a write to that parameter's port. ctest runs it under xvfb-run.
#include <gtest/gtest.h>

#include "core/PlainUnits.h"
#include "formats/lv2/Lv2Ports.h"
#include "presets/FactoryPresets.h"
#include "support/TestSupport.h"
#include "support/WindowPixels.h"

// After everything else: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <dlfcn.h>
#include <lv2/ui/ui.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using namespace zelto::lv2;

namespace {

struct HostSide {
    std::vector<std::pair<uint32_t, float>> writes;
    std::vector<std::pair<uint32_t, bool>> touches;
    int width = 0, height = 0;

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                      const void* buffer) {
        if (format != 0 || size != sizeof(float)) return;
        static_cast<HostSide*>(controller)
            ->writes.emplace_back(port, *static_cast<const float*>(buffer));
    }
    static void touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
        static_cast<HostSide*>(handle)->touches.emplace_back(port, grabbed);
    }
    static int resize(LV2UI_Feature_Handle handle, int width, int height) {
        auto* host = static_cast<HostSide*>(handle);
        host->width = width;
        host->height = height;
        return 0;
    }
};

int run(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Lv2Editor, EmbedsShowsTheSnapshotAndSendsAClickAsAPortWrite) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) GTEST_SKIP() << "no X display (ctest starts one for it)";
    zelto::test::ScopedConfigHome home;
    const std::string snapshot = home.path() + "/snapshot.png";
    ASSERT_EQ(run({ZELTO_TOOL_PATH, "snapshot", "--out", snapshot}), 0);

    void* library = dlopen(ZELTO_LV2_UI_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    const LV2UI_Descriptor* d = entry(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->URI, kUiUri);
    EXPECT_EQ(entry(1), nullptr);
    const auto* idle =
        static_cast<const LV2UI_Idle_Interface*>(d->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);

    const Window parent =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 500, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    HostSide host;
    LV2UI_Touch touch{&host, HostSide::touch};
    LV2UI_Resize resize{&host, HostSide::resize};
    LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parent)};
    LV2_Feature touchFeature{LV2_UI__touch, &touch};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&parentFeature, &touchFeature, &resizeFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle ui = d->instantiate(d, kPluginUri, ZELTO_LV2_BUNDLE_PATH, HostSide::write, &host,
                                     &widget, features);
    ASSERT_NE(ui, nullptr);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(host.width, 524);
    EXPECT_EQ(host.height, 462);
    const auto window = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(display, window, &attributes), 0);
    EXPECT_EQ(attributes.width, 524);
    EXPECT_EQ(attributes.height, 462);

    // The host tells the editor every port's value, as hosts do on opening.
    for (int32_t p = 0; p < zelto::kNumLiveParams; ++p) {
        const float value = zelto::plainFromValue(p, zelto::kFactoryPresets[0].values[p]);
        d->port_event(ui, kPortFirstParameter + static_cast<uint32_t>(p), sizeof value, 0, &value);
    }
    const float latency = 159.0f;
    d->port_event(ui, kPortLatency, sizeof latency, 0, &latency);
    auto spin = [&](std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            idle->idle(ui);
            XSync(display, False);
            std::this_thread::sleep_for(10ms);
        }
    };
    spin(400ms);
    EXPECT_TRUE(host.writes.empty()) << "the host's own values went back to it";

    EXPECT_EQ(zelto_test::pixelsDifferingFrom(display, window, snapshot), 0)
        << "pixels differing from the snapshot";

    // A click on "Oversample" turns it on: one write of 1 to its port.
    const std::string id = std::to_string(window);
    ASSERT_EQ(run({"xdotool", "mousemove", "--window", id, "97", "49", "click", "1"}), 0);
    spin(400ms);
    const uint32_t oversample =
        kPortFirstParameter + static_cast<uint32_t>(zelto::kParamOversample);
    ASSERT_EQ(host.writes.size(), 1u);
    EXPECT_EQ(host.writes[0].first, oversample);
    EXPECT_EQ(host.writes[0].second, 1.0f);
    for (const auto& [port, grabbed] : host.touches) EXPECT_EQ(port, oversample) << grabbed;

    // Meter values arrive as port events and are drawn without trouble.
    for (uint32_t m = 0; m < 10; ++m) {
        const float level = m < 8 ? 0.5f : 0.7f;
        d->port_event(ui, kPortFirstMeter + m, sizeof level, 0, &level);
    }
    spin(100ms);

    d->cleanup(ui);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    dlclose(library);
}
