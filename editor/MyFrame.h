// The plug-in window's frame. The toolkit frame already keeps a modal view
// (every mouse event goes to it, it is drawn last and the frame repaints on
// every idle while it is set) and gives the keyboard focus to its native
// window on each press; this class only fixes the window's size and
// background. UI thread only.
#pragma once

#include "toolkit/vstgui.h"

class MyFrame : public CFrame {
  public:
    /// A frame of the background bitmap's size with the bitmap behind every
    /// view; shown in parentWindow (an X window id) or offscreen when null.
    MyFrame(CBitmap* background, void* parentWindow, VSTGUIEditorInterface* editor);
};
