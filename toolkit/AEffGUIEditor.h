// The editor glue between the effect and a toolkit frame. A derived editor
// sets `rect` (the window size the host asks for before opening), builds
// its frame in open() after calling this class's open(), and lets close()
// end the frame. User edits reach the host as automation gestures through
// beginEdit/endEdit, which go to the effect for parameter indices only (a
// control tag that is not a parameter never reaches the host).
// Host calls (open, close, idle, keys) come on the host's user-interface
// thread; setParameter may come on any thread.
#pragma once

#include <cstdint>

#include "toolkit/CFrame.h"
#include "toolkit/VSTGUIEditorInterface.h"
#include "vst/AEffEditor.h"
#include "vst/AudioEffectX.h"

class AEffGUIEditor : public AEffEditor, public VSTGUIEditorInterface {
  public:
    explicit AEffGUIEditor(AudioEffectX* effect);
    /// Ends a frame still open without telling any listener: the derived
    /// editor is already gone.
    ~AEffGUIEditor() override;

    /// Answers `rect`.
    bool getRect(ERect** rect) override;
    /// Remembers the parent window. A frame still open from an earlier open
    /// (hosts that open twice without closing) is closed first, through
    /// the derived close().
    bool open(void* parentWindow) override;
    /// Ends the frame (see CFrame::close) and forgets the parent window.
    void close() override;
    /// Runs the frame's idle: window events and repaint.
    void idle() override;
    /// Keys the host passes on go to the frame; true when used.
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool setKnobMode(VstInt32 mode) override;

    // VSTGUIEditorInterface.
    /// The window's timer (Windows) runs the editor's idle as the host would.
    void doIdleStuff() override { idle(); }
    int32_t getKnobMode() const override { return knobMode; }
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;

    AudioEffectX* getEffectX() const { return effectX; }

  protected:
    ERect rect{0, 0, 0, 0};
    AudioEffectX* effectX;

  private:
    bool isParameter(int32_t index) const;
    // The host's knob mode applies to every editor of the process.
    static int32_t knobMode;
};
