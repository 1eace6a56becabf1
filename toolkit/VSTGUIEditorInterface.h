// What a frame asks of the editor that owns it: automation gestures around
// user edits and the host's knob mode. User-interface thread only.
#pragma once

#include <cstdint>

class CFrame;

enum CKnobMode : int32_t {
    kCircularMode = 0,
    kRelativCircularMode,
    kLinearMode,
};

class VSTGUIEditorInterface {
  public:
    virtual ~VSTGUIEditorInterface() = default;
    virtual void doIdleStuff() {}
    /// The host's knob mode, or -1 when it never said.
    virtual int32_t getKnobMode() const { return -1; }
    virtual void beginEdit(int32_t /*index*/) {}
    virtual void endEdit(int32_t /*index*/) {}
    virtual CFrame* getFrame() const { return frame; }

  protected:
    CFrame* frame = nullptr;
};
