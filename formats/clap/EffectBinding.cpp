// The binding over today's effect class: it owns one Plugin and stands in
// for the host that the class calls back (automation, edit gestures,
// display updates). These callbacks are the only place where the effect's
// own host calls become the wrapper's events.
#include "formats/clap/EffectBinding.h"

#include <cstring>
#include <new>

#include "host/Parameters.h"
#include "host/Plugin.h"
#include "presets/FactoryPresets.h"
#include "toolkit/vstgui.h"

namespace zelto::clap {
namespace {

class PluginBinding final : public EffectBinding {
  public:
    explicit PluginBinding(Listener& listener) : listener_(listener) {}
    ~PluginBinding() override {
        if (plugin_ != nullptr && plugin_->getEditor() != nullptr) plugin_->getEditor()->close();
    }

    bool build() {
        plugin_.reset(new (std::nothrow) Plugin(&PluginBinding::hostCallback));
        if (plugin_ == nullptr || !plugin_->isReady()) return false;
        // From here on the effect's calls reach this binding.
        plugin_->getAeffect()->user = this;
        return true;
    }

    void setSampleRate(double rate) override { plugin_->setSampleRate(static_cast<float>(rate)); }
    uint32_t latencySamples() override {
        return static_cast<uint32_t>(plugin_->getAeffect()->initialDelay);
    }
    void reset() override { plugin_->suspend(); }

    void setParameter(int32_t index, float value) override { plugin_->setParameter(index, value); }
    float parameter(int32_t index) override { return plugin_->getParameter(index); }

    void process(float** inputs, float** outputs, uint32_t frames) override {
        plugin_->processReplacing(inputs, outputs, static_cast<VstInt32>(frames));
    }
    void process(double** inputs, double** outputs, uint32_t frames) override {
        plugin_->processDoubleReplacing(inputs, outputs, static_cast<VstInt32>(frames));
    }

    bool loadFactoryProgram(int32_t index) override {
        if (index < 0 || index >= kNumPresets) return false;
        PresetRecord record{};
        setPresetName(record, kFactoryPresets[index].name);
        std::memcpy(record.values, kFactoryPresets[index].values, sizeof record.values);
        plugin_->setPresetRecord(index, record);
        plugin_->selectPreset(index);
        return true;
    }

    std::vector<uint8_t> saveState() override {
        void* data = nullptr;
        const VstInt32 size = plugin_->getChunk(&data, false);
        if (size <= 0 || data == nullptr) return {};
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    bool loadState(const uint8_t* data, size_t size) override {
        if (data == nullptr || size > static_cast<size_t>(INT32_MAX)) return false;
        // The loader only reads; the effect's interface takes a mutable pointer.
        return plugin_->setChunk(const_cast<uint8_t*>(data), static_cast<VstInt32>(size), false) ==
               0;
    }

    void editorSize(uint32_t& width, uint32_t& height) override {
        ERect* rect = nullptr;
        AEffEditor* editor = plugin_->getEditor();
        if (editor != nullptr && editor->getRect(&rect) && rect != nullptr) {
            width = static_cast<uint32_t>(rect->right - rect->left);
            height = static_cast<uint32_t>(rect->bottom - rect->top);
        } else {
            width = height = 0;
        }
    }
    bool openEditor(unsigned long parentWindow) override {
        AEffEditor* editor = plugin_->getEditor();
        // The editor takes the window id as a pointer-sized value.
        return editor != nullptr && editor->open(reinterpret_cast<void*>(parentWindow));
    }
    void closeEditor() override {
        if (AEffEditor* editor = plugin_->getEditor()) editor->close();
    }
    void idleEditor() override {
        if (AEffEditor* editor = plugin_->getEditor()) editor->idle();
    }

    int editorEventDescriptor() override {
        auto* editor = dynamic_cast<AEffGUIEditor*>(plugin_->getEditor());
        CFrame* frame = editor != nullptr ? editor->getFrame() : nullptr;
        return frame != nullptr ? frame->getEventDescriptor() : -1;
    }

  private:
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                  VstIntPtr /*value*/, void* /*ptr*/, float opt) {
        // Before the binding is attached (during construction) only the
        // version question has an answer.
        if (opcode == audioMasterVersion) return kVstVersion;
        auto* self = effect != nullptr ? static_cast<PluginBinding*>(effect->user) : nullptr;
        if (self == nullptr) return 0;
        switch (opcode) {
            case audioMasterAutomate:
                if (index >= 0 && index < kNumLiveParams)
                    self->listener_.parameterEdited(index, opt);
                return 0;
            case audioMasterBeginEdit:
                if (index >= 0 && index < kNumLiveParams) self->listener_.gestureBegan(index);
                return 1;
            case audioMasterEndEdit:
                if (index >= 0 && index < kNumLiveParams) self->listener_.gestureEnded(index);
                return 1;
            case audioMasterUpdateDisplay:
                self->listener_.valuesChanged();
                return 1;
            default:
                // Pins are connected (0), everything else is unknown.
                return 0;
        }
    }

    Listener& listener_;
    std::unique_ptr<Plugin> plugin_;
};

}  // namespace

std::unique_ptr<EffectBinding> EffectBinding::create(Listener& listener) {
    auto binding = std::make_unique<PluginBinding>(listener);
    if (!binding->build()) return nullptr;
    return binding;
}

}  // namespace zelto::clap
