// AEffGUIEditor: the host's editor calls mapped onto the frame.
#include "toolkit/AEffGUIEditor.h"

int32_t AEffGUIEditor::knobMode = kCircularMode;

// The toolkit links without the effect classes (its tests have none), so the
// few places that touch the effect skip the sanitizer's dynamic type check,
// which would need the effect classes' type information at link time.
#define ZELTO_NO_VPTR_CHECK __attribute__((no_sanitize("vptr")))

ZELTO_NO_VPTR_CHECK AEffGUIEditor::AEffGUIEditor(AudioEffectX* effect)
    : AEffEditor(effect), effectX(effect) {}

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

ZELTO_NO_VPTR_CHECK bool AEffGUIEditor::isParameter(int32_t index) const {
    return effectX != nullptr && index >= 0 && index < effectX->getAeffect()->numParams;
}

ZELTO_NO_VPTR_CHECK void AEffGUIEditor::beginEdit(int32_t index) {
    if (isParameter(index)) effectX->beginEdit(index);
}

ZELTO_NO_VPTR_CHECK void AEffGUIEditor::endEdit(int32_t index) {
    if (isParameter(index)) effectX->endEdit(index);
}
