// The LV2 editor: the same window as the VST2 plug-in's, embedded in the
// host's parent window (ui:X11UI). It talks to the plug-in through ports
// only: port events bring the parameters (in plain units), the latency and
// the meters; the editor's changes go out through the host's write function,
// with ui:touch gestures around drags where the host offers them. The preset
// strip works on a program bank of the editor's own (the factory programs,
// files, stored defaults and memos), whose programs reach the plug-in as
// port writes. Exports lv2ui_descriptor only.
// Threads: everything on the host's user-interface thread.
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/Effect.h"
#include "core/EffectView.h"
#include "core/PlainUnits.h"
#include "editor/Editor.h"
#include "formats/lv2/Lv2Ports.h"

namespace {

using namespace zelto;
using namespace zelto::lv2;

class RemoteView final : public EffectView, public EffectHost {
  public:
    RemoteView(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2UI_Touch* touch)
        : write_(write), controller_(controller), touch_(touch), shadow_(this) {
        // The editor's bank starts as the plug-in's does; nothing to send.
        fromHost_ = true;
        shadow_.start();
        fromHost_ = false;
        for (int32_t p = 0; p < kNumLiveParams; ++p) {
            seen_[p] = plainFromValue(p, shadow_.getParameter(p));
        }
    }
    bool ready() const { return shadow_.isReady(); }
    void attach(Editor* editor) { editor_ = editor; }

    /// A value the plug-in's port holds now (from the host).
    void portEvent(uint32_t port, float value) {
        if (port >= kPortFirstParameter && port < kPortLatency) {
            const int32_t p = static_cast<int32_t>(port - kPortFirstParameter);
            // The value this side wrote, or the one it already shows: the
            // exact normalised value stays (a round trip through plain units
            // could move a text field's last digit).
            if (value == seen_[p]) return;
            seen_[p] = value;
            fromHost_ = true;
            shadow_.setParameter(p, valueFromPlain(p, value));
            fromHost_ = false;
        } else if (port == kPortLatency) {
            latency_ = static_cast<int32_t>(value);
            if (editor_ != nullptr) editor_->setLatency(latency_);
        } else if (port >= kPortFirstMeter && port < kNumPorts) {
            const uint32_t m = port - kPortFirstMeter;
            // Peaks and the gain hold their extreme until the editor reads
            // them, as the engine's own meter feed does; RMS is a level.
            if (m < 4) {
                meters_.values[m] = std::max(meters_.values[m], value);
            } else if (m < 8) {
                meters_.values[m] = value;
            } else {
                meters_.values[m] = std::min(meters_.values[m], value);
            }
        }
    }

    // EffectView.
    float getParameter(int32_t index) override { return shadow_.getParameter(index); }
    void setParameterAutomated(int32_t index, float value) override {
        shadow_.setParameter(index, value);
    }
    void beginEdit(int32_t index) override { touch(index, true); }
    void endEdit(int32_t index) override { touch(index, false); }
    MeterSnapshot getMeterValues() override {
        const MeterSnapshot read = meters_;
        for (int m = 0; m < 4; ++m) meters_.values[m] = 0.0f;
        meters_.values[8] = meters_.values[9] = 1.0f;
        return read;
    }
    int32_t latencySamples() const override { return latency_; }
    int32_t getCurrentPreset() const override { return shadow_.getCurrentPreset(); }
    PresetRecord presetRecord(int32_t index) const override { return shadow_.presetRecord(index); }
    void selectPreset(int32_t index) override { shadow_.selectPreset(index); }
    void renameCurrentPreset(const char* name) override { shadow_.renameCurrentPreset(name); }
    PresetSystem& presets() override { return shadow_.presets(); }

    // EffectHost: the editor's bank applied a value, or the editor moved one.
    void parameterChanged(int32_t index, float value) override {
        if (editor_ != nullptr) editor_->setParameter(index, value);
        if (fromHost_ || index < 0 || index >= kNumLiveParams) return;
        const float plain = plainFromValue(index, value);
        seen_[index] = plain;
        write_(controller_, kPortFirstParameter + static_cast<uint32_t>(index), sizeof plain, 0,
               &plain);
    }
    void programNameShown(const char* name) override {
        if (editor_ != nullptr) editor_->showPresetName(name);
    }

  private:
    void touch(int32_t index, bool grabbed) {
        if (touch_ == nullptr || index < 0 || index >= kNumLiveParams) return;
        touch_->touch(touch_->handle, kPortFirstParameter + static_cast<uint32_t>(index), grabbed);
    }

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Touch* touch_;
    Editor* editor_ = nullptr;
    Effect shadow_;
    float seen_[kNumLiveParams] = {};
    bool fromHost_ = false;
    int32_t latency_ = 0;
    MeterSnapshot meters_{{0, 0, 0, 0, 0, 0, 0, 0, 1, 1}};
};

struct Ui {
    std::unique_ptr<RemoteView> view;
    std::unique_ptr<Editor> editor;
};

const void* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    }
    return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    void* parent = const_cast<void*>(findFeature(features, LV2_UI__parent));
    if (write == nullptr || widget == nullptr) return nullptr;
    const auto* touch = static_cast<const LV2UI_Touch*>(findFeature(features, LV2_UI__touch));
    const auto* resize = static_cast<const LV2UI_Resize*>(findFeature(features, LV2_UI__resize));
    try {
        auto ui = std::make_unique<Ui>();
        ui->view = std::make_unique<RemoteView>(write, controller, touch);
        if (!ui->view->ready()) return nullptr;
        ui->editor = std::make_unique<Editor>(nullptr, ui->view.get());
        ui->view->attach(ui->editor.get());
        if (!ui->editor->open(parent) || ui->editor->getFrame() == nullptr) return nullptr;
        *widget = reinterpret_cast<LV2UI_Widget>(
            static_cast<uintptr_t>(ui->editor->getFrame()->getWindowId()));
        if (resize != nullptr) resize->ui_resize(resize->handle, Editor::kWidth, Editor::kHeight);
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) {
    auto* ui = static_cast<Ui*>(handle);
    ui->editor->close();
    ui->view->attach(nullptr);
    delete ui;
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
    static_cast<Ui*>(handle)->view->portEvent(port, *static_cast<const float*>(buffer));
}

int idle(LV2UI_Handle handle) {
    auto* ui = static_cast<Ui*>(handle);
    ui->editor->idle();
    return 0;
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface idleInterface = {idle};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(
    uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
