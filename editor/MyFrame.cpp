#include "editor/MyFrame.h"

MyFrame::MyFrame(CBitmap* background, void* parentWindow, VSTGUIEditorInterface* editor)
    : CFrame(CRect(0, 0, background->getWidth(), background->getHeight()), parentWindow, editor) {
    setBackground(background);
}
