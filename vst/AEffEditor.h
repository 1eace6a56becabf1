// The editor seen from the effect: the calls the dispatcher forwards to the
// window side. The window toolkit derives its editor from this; the effect
// never knows more about the editor than what is declared here.
#pragma once

#include "vst/vst2.h"

class AudioEffect;

class AEffEditor {
  public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    virtual AudioEffect* getEffect() { return effect; }
    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* parentWindow) {
        systemWindow = parentWindow;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }
    /// A parameter changed, whoever changed it: the matching controls follow.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}

  protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
