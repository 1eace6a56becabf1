// Keysym to virtual key table.
#include "toolkit/platform/x11/X11Keys.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace zelto::toolkit {
namespace {

struct KeyMap {
    unsigned long keysym;
    unsigned char virt;
    bool keepsCharacter;  // a key that also types its character
};

constexpr KeyMap kKeys[] = {
    {XK_BackSpace, VKEY_BACK, false},
    {XK_Tab, VKEY_TAB, false},
    {XK_ISO_Left_Tab, VKEY_TAB, false},
    {XK_Clear, VKEY_CLEAR, false},
    {XK_Return, VKEY_RETURN, false},
    {XK_Pause, VKEY_PAUSE, false},
    {XK_Escape, VKEY_ESCAPE, false},
    {XK_space, VKEY_SPACE, true},
    {XK_Next, VKEY_PAGEDOWN, false},
    {XK_Prior, VKEY_PAGEUP, false},
    {XK_End, VKEY_END, false},
    {XK_Home, VKEY_HOME, false},
    {XK_Left, VKEY_LEFT, false},
    {XK_Up, VKEY_UP, false},
    {XK_Right, VKEY_RIGHT, false},
    {XK_Down, VKEY_DOWN, false},
    {XK_KP_Left, VKEY_LEFT, false},
    {XK_KP_Up, VKEY_UP, false},
    {XK_KP_Right, VKEY_RIGHT, false},
    {XK_KP_Down, VKEY_DOWN, false},
    {XK_KP_Home, VKEY_HOME, false},
    {XK_KP_End, VKEY_END, false},
    {XK_KP_Prior, VKEY_PAGEUP, false},
    {XK_KP_Next, VKEY_PAGEDOWN, false},
    {XK_Select, VKEY_SELECT, false},
    {XK_Print, VKEY_PRINT, false},
    {XK_KP_Enter, VKEY_ENTER, false},
    {XK_Insert, VKEY_INSERT, false},
    {XK_KP_Insert, VKEY_INSERT, false},
    {XK_Delete, VKEY_DELETE, false},
    {XK_KP_Delete, VKEY_DELETE, false},
    {XK_Help, VKEY_HELP, false},
    {XK_KP_0, VKEY_NUMPAD0, true},
    {XK_KP_1, VKEY_NUMPAD1, true},
    {XK_KP_2, VKEY_NUMPAD2, true},
    {XK_KP_3, VKEY_NUMPAD3, true},
    {XK_KP_4, VKEY_NUMPAD4, true},
    {XK_KP_5, VKEY_NUMPAD5, true},
    {XK_KP_6, VKEY_NUMPAD6, true},
    {XK_KP_7, VKEY_NUMPAD7, true},
    {XK_KP_8, VKEY_NUMPAD8, true},
    {XK_KP_9, VKEY_NUMPAD9, true},
    {XK_KP_Multiply, VKEY_MULTIPLY, true},
    {XK_KP_Add, VKEY_ADD, true},
    {XK_KP_Separator, VKEY_SEPARATOR, true},
    {XK_KP_Subtract, VKEY_SUBTRACT, true},
    {XK_KP_Decimal, VKEY_DECIMAL, true},
    {XK_KP_Divide, VKEY_DIVIDE, true},
    {XK_F1, VKEY_F1, false},
    {XK_F2, VKEY_F2, false},
    {XK_F3, VKEY_F3, false},
    {XK_F4, VKEY_F4, false},
    {XK_F5, VKEY_F5, false},
    {XK_F6, VKEY_F6, false},
    {XK_F7, VKEY_F7, false},
    {XK_F8, VKEY_F8, false},
    {XK_F9, VKEY_F9, false},
    {XK_F10, VKEY_F10, false},
    {XK_F11, VKEY_F11, false},
    {XK_F12, VKEY_F12, false},
    {XK_Num_Lock, VKEY_NUMLOCK, false},
    {XK_Scroll_Lock, VKEY_SCROLL, false},
    {XK_Shift_L, VKEY_SHIFT, false},
    {XK_Shift_R, VKEY_SHIFT, false},
    {XK_Control_L, VKEY_CONTROL, false},
    {XK_Control_R, VKEY_CONTROL, false},
    {XK_Alt_L, VKEY_ALT, false},
    {XK_Alt_R, VKEY_ALT, false},
    {XK_KP_Equal, VKEY_EQUALS, true},
};

}  // namespace

VstKeyCode vstKeyFromX(unsigned long keysym, const char* text, int textLength, unsigned int state) {
    VstKeyCode key{0, 0, 0};
    if (state & ShiftMask) key.modifier |= MODIFIER_SHIFT;
    if (state & ControlMask) key.modifier |= MODIFIER_CONTROL;
    if (state & Mod1Mask) key.modifier |= MODIFIER_ALTERNATE;

    bool keepsCharacter = true;
    for (const KeyMap& entry : kKeys) {
        if (entry.keysym == keysym) {
            key.virt = entry.virt;
            keepsCharacter = entry.keepsCharacter;
            break;
        }
    }
    if (keepsCharacter && text != nullptr && textLength == 1) {
        const auto c = static_cast<unsigned char>(text[0]);
        if (c >= 32 && c != 127) key.character = c;
    }
    // With Control held the text is a control code; hosts send the letter.
    if (key.character == 0 && key.virt == 0 && keysym >= 0x20 && keysym <= 0x7e) {
        key.character = static_cast<VstInt32>(keysym);
    }
    return key;
}

}  // namespace zelto::toolkit
