// AEffGUIEditor: the host's editor calls mapped onto the frame.
#include "toolkit/AEffGUIEditor.h"

int32_t AEffGUIEditor::knobMode = kCircularMode;

AEffGUIEditor::AEffGUIEditor(AudioEffectX* effect) : AEffEditor(effect), effectX(effect) {}

AEffGUIEditor::~AEffGUIEditor() {
    if (frame != nullptr) {
        CFrame* f = frame;
        frame = nullptr;
        f->forget();
    }
}

bool AEffGUIEditor::getRect(ERect** r) {
    if (r == nullptr) return false;
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow) {
    if (frame != nullptr) close();
    AEffEditor::open(parentWindow);
    return true;
}

void AEffGUIEditor::close() {
    if (frame != nullptr) {
        CFrame* f = frame;
        frame = nullptr;
        f->close();
    }
    AEffEditor::close();
}

void AEffGUIEditor::idle() {
    if (frame != nullptr) frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    return frame != nullptr && frame->injectKeyDown(keyCode) != -1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    return frame != nullptr && frame->injectKeyUp(keyCode) != -1;
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode) {
    if (mode < kCircularMode || mode > kLinearMode) return false;
    knobMode = mode;
    return true;
}

bool AEffGUIEditor::isParameter(int32_t index) const {
    return effectX != nullptr && index >= 0 && index < effectX->getAeffect()->numParams;
}

void AEffGUIEditor::beginEdit(int32_t index) {
    if (isParameter(index)) effectX->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index) {
    if (isParameter(index)) effectX->endEdit(index);
}
