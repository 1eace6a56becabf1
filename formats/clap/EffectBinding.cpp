// The binding over the core: it owns one Effect and its Editor, and is the
// effect's host (EffectHost), turning the effect's reports into the
// wrapper's: edits and gestures from the window, programs applied, latency.
#include "formats/clap/EffectBinding.h"

#include <cstring>
#include <new>

#include "core/Effect.h"
#include "editor/Editor.h"
#include "presets/FactoryPresets.h"
#include "toolkit/vstgui.h"

namespace zelto::clap {
namespace {

class CoreBinding final : public EffectBinding, public EffectHost {
  public:
    explicit CoreBinding(Listener& listener) : listener_(listener) {}
    ~CoreBinding() override {
        // The window goes first, then the editor that reads the bank, and
        // the effect reports to nobody from then on.
        if (editor_ != nullptr) editor_->close();
        editor_.reset();
        if (effect_ != nullptr) effect_->setHost(nullptr);
    }

    bool build() {
        effect_.reset(new (std::nothrow) Effect(this));
        if (effect_ == nullptr || !effect_->isReady()) return false;
        // No VST 2 effect behind this editor: it reaches the effect through its view.
        editor_.reset(new (std::nothrow) Editor(nullptr, effect_.get()));
        if (editor_ != nullptr) editor_->setLatency(effect_->latencySamples());
        effect_->start();
        return true;
    }

    // EffectBinding
    void setSampleRate(double rate) override { effect_->setSampleRate(static_cast<float>(rate)); }
    uint32_t latencySamples() override { return static_cast<uint32_t>(effect_->latencySamples()); }
    void reset() override { effect_->suspend(); }

    void setParameter(int32_t index, float value) override { effect_->setParameter(index, value); }
    float parameter(int32_t index) override { return effect_->getParameter(index); }

    void process(float** inputs, float** outputs, uint32_t frames) override {
        effect_->process(inputs, outputs, static_cast<int32_t>(frames));
    }
    void process(double** inputs, double** outputs, uint32_t frames) override {
        effect_->process(inputs, outputs, static_cast<int32_t>(frames));
    }

    bool loadFactoryProgram(int32_t index) override {
        if (index < 0 || index >= kNumPresets) return false;
        PresetRecord record{};
        setPresetName(record, kFactoryPresets[index].name);
        std::memcpy(record.values, kFactoryPresets[index].values, sizeof record.values);
        effect_->setPresetRecord(index, record);
        effect_->selectPreset(index);
        return true;
    }

    std::vector<uint8_t> saveState() override { return effect_->saveState(); }
    bool loadState(const uint8_t* data, size_t size) override {
        return data != nullptr && effect_->loadState(data, size);
    }

    void editorSize(uint32_t& width, uint32_t& height) override {
        ERect* rect = nullptr;
        if (editor_ != nullptr && editor_->getRect(&rect) && rect != nullptr) {
            width = static_cast<uint32_t>(rect->right - rect->left);
            height = static_cast<uint32_t>(rect->bottom - rect->top);
        } else {
            width = height = 0;
        }
    }
    bool openEditor(unsigned long parentWindow) override {
        // The editor takes the window id as a pointer-sized value.
        return editor_ != nullptr && editor_->open(reinterpret_cast<void*>(parentWindow));
    }
    void closeEditor() override {
        if (editor_ != nullptr) editor_->close();
    }
    void idleEditor() override {
        if (editor_ != nullptr) editor_->idle();
    }
    int editorEventDescriptor() override {
        CFrame* frame = editor_ != nullptr ? editor_->getFrame() : nullptr;
        return frame != nullptr ? frame->getEventDescriptor() : -1;
    }

    // EffectHost: what the effect reports.
    void parameterChanged(int32_t index, float value) override {
        if (editor_ != nullptr) editor_->setParameter(index, value);
    }
    void parameterAutomated(int32_t index, float value) override {
        if (index >= 0 && index < kNumLiveParams) listener_.parameterEdited(index, value);
    }
    void editBegun(int32_t index) override {
        if (index >= 0 && index < kNumLiveParams) listener_.gestureBegan(index);
    }
    void editEnded(int32_t index) override {
        if (index >= 0 && index < kNumLiveParams) listener_.gestureEnded(index);
    }
    void programApplied() override { listener_.valuesChanged(); }
    // A new name is a change of the session's state, as a new value is.
    void programRenamed() override { listener_.valuesChanged(); }
    void programNameShown(const char* name) override {
        if (editor_ != nullptr) editor_->showPresetName(name);
    }
    void latencyChanged(int32_t samples) override {
        if (editor_ != nullptr) editor_->setLatency(samples);
    }

  private:
    Listener& listener_;
    std::unique_ptr<Effect> effect_;
    std::unique_ptr<Editor> editor_;
};

}  // namespace

std::unique_ptr<EffectBinding> EffectBinding::create(Listener& listener) {
    auto binding = std::make_unique<CoreBinding>(listener);
    if (!binding->build()) return nullptr;
    return binding;
}

}  // namespace zelto::clap
