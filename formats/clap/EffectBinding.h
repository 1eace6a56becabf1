// The effect as the CLAP wrapper sees it (the core's Effect and Editor):
// parameters by index with their normalised values, the rate and latency,
// processing of a stereo block, the state as bytes, the factory programs,
// the editor window, and the edits the window makes. This is the whole
// surface the wrapper uses, so the wrapper never meets a type of another
// plug-in format.
// Threads: process and setParameter on the audio thread (or the main thread
// while inactive); everything else on the host's main thread. The listener
// is called on the thread that made the edit (the window's: main).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zelto::clap {

class EffectBinding {
  public:
    /// What the effect tells its wrapper: edits made in the editor window
    /// and changes of many values at once (a program selected, a state loaded).
    class Listener {
      public:
        virtual ~Listener() = default;
        virtual void parameterEdited(int32_t index, float value) = 0;
        virtual void gestureBegan(int32_t index) = 0;
        virtual void gestureEnded(int32_t index) = 0;
        virtual void valuesChanged() = 0;
    };

    /// Null when the effect could not be built (no memory for its buffers).
    static std::unique_ptr<EffectBinding> create(Listener& listener);
    virtual ~EffectBinding() = default;

    // Lifecycle (main thread).
    virtual void setSampleRate(double rate) = 0;
    virtual uint32_t latencySamples() = 0;
    /// Clears delay lines and followers, keeping every setting.
    virtual void reset() = 0;

    // Parameters: indices 0..kNumLiveParams-1.
    virtual void setParameter(int32_t index, float value) = 0;
    virtual float parameter(int32_t index) = 0;

    // Audio thread: two channels in, two out, `frames` samples each.
    virtual void process(float** inputs, float** outputs, uint32_t frames) = 0;
    virtual void process(double** inputs, double** outputs, uint32_t frames) = 0;

    // Programs (main thread): program `index` of the bank back to its
    // factory content, then selected, as the editor's list selects it.
    virtual bool loadFactoryProgram(int32_t index) = 0;

    // State: the whole program bank (main thread). loadState changes nothing
    // and answers false for anything but a whole, valid bank.
    virtual std::vector<uint8_t> saveState() = 0;
    virtual bool loadState(const uint8_t* data, size_t size) = 0;

    // Editor window (main thread).
    virtual void editorSize(uint32_t& width, uint32_t& height) = 0;
    virtual bool openEditor(unsigned long parentWindow) = 0;
    virtual void closeEditor() = 0;
    virtual void idleEditor() = 0;
    /// Readable when the open window has input waiting (-1: none).
    virtual int editorEventDescriptor() = 0;
};

}  // namespace zelto::clap
