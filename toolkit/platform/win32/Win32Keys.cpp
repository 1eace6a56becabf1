// Virtual-key table of the Windows backend.
#include "toolkit/platform/win32/Win32Keys.h"

#include <windows.h>

namespace zelto::toolkit::win32 {
namespace {

struct KeyMap {
    unsigned int windowsKey;
    unsigned char virt;
    bool typesCharacter;
};

constexpr KeyMap kKeys[] = {
    {VK_BACK, VKEY_BACK, false},
    {VK_TAB, VKEY_TAB, false},
    {VK_CLEAR, VKEY_CLEAR, false},
    {VK_RETURN, VKEY_RETURN, false},
    {VK_PAUSE, VKEY_PAUSE, false},
    {VK_ESCAPE, VKEY_ESCAPE, false},
    {VK_SPACE, VKEY_SPACE, true},
    {VK_NEXT, VKEY_PAGEDOWN, false},
    {VK_PRIOR, VKEY_PAGEUP, false},
    {VK_END, VKEY_END, false},
    {VK_HOME, VKEY_HOME, false},
    {VK_LEFT, VKEY_LEFT, false},
    {VK_UP, VKEY_UP, false},
    {VK_RIGHT, VKEY_RIGHT, false},
    {VK_DOWN, VKEY_DOWN, false},
    {VK_SELECT, VKEY_SELECT, false},
    {VK_PRINT, VKEY_PRINT, false},
    {VK_SNAPSHOT, VKEY_SNAPSHOT, false},
    {VK_INSERT, VKEY_INSERT, false},
    {VK_DELETE, VKEY_DELETE, false},
    {VK_HELP, VKEY_HELP, false},
    {VK_NUMPAD0, VKEY_NUMPAD0, true},
    {VK_NUMPAD1, VKEY_NUMPAD1, true},
    {VK_NUMPAD2, VKEY_NUMPAD2, true},
    {VK_NUMPAD3, VKEY_NUMPAD3, true},
    {VK_NUMPAD4, VKEY_NUMPAD4, true},
    {VK_NUMPAD5, VKEY_NUMPAD5, true},
    {VK_NUMPAD6, VKEY_NUMPAD6, true},
    {VK_NUMPAD7, VKEY_NUMPAD7, true},
    {VK_NUMPAD8, VKEY_NUMPAD8, true},
    {VK_NUMPAD9, VKEY_NUMPAD9, true},
    {VK_MULTIPLY, VKEY_MULTIPLY, true},
    {VK_ADD, VKEY_ADD, true},
    {VK_SEPARATOR, VKEY_SEPARATOR, true},
    {VK_SUBTRACT, VKEY_SUBTRACT, true},
    {VK_DECIMAL, VKEY_DECIMAL, true},
    {VK_DIVIDE, VKEY_DIVIDE, true},
    {VK_F1, VKEY_F1, false},
    {VK_F2, VKEY_F2, false},
    {VK_F3, VKEY_F3, false},
    {VK_F4, VKEY_F4, false},
    {VK_F5, VKEY_F5, false},
    {VK_F6, VKEY_F6, false},
    {VK_F7, VKEY_F7, false},
    {VK_F8, VKEY_F8, false},
    {VK_F9, VKEY_F9, false},
    {VK_F10, VKEY_F10, false},
    {VK_F11, VKEY_F11, false},
    {VK_F12, VKEY_F12, false},
    {VK_NUMLOCK, VKEY_NUMLOCK, false},
    {VK_SCROLL, VKEY_SCROLL, false},
    {VK_SHIFT, VKEY_SHIFT, false},
    {VK_CONTROL, VKEY_CONTROL, false},
    {VK_MENU, VKEY_ALT, false},
    {VK_OEM_NEC_EQUAL, VKEY_EQUALS, true},
};

}  // namespace

unsigned char vstVirtualKey(unsigned int windowsKey, bool* typesCharacter) {
    for (const KeyMap& entry : kKeys) {
        if (entry.windowsKey == windowsKey) {
            if (typesCharacter != nullptr) *typesCharacter = entry.typesCharacter;
            return entry.virt;
        }
    }
    if (typesCharacter != nullptr) *typesCharacter = true;
    return 0;
}

unsigned char vstModifiers(bool shift, bool control, bool alt) {
    unsigned char m = 0;
    if (shift) m |= MODIFIER_SHIFT;
    if (control) m |= MODIFIER_CONTROL;
    if (alt) m |= MODIFIER_ALTERNATE;
    return m;
}

VstKeyCode vstKeyFromCharacter(unsigned int character, unsigned char virt, unsigned int windowsKey,
                               unsigned char modifiers) {
    VstKeyCode key{0, virt, modifiers};
    if (character >= 32 && character != 127) {
        key.character = static_cast<VstInt32>(character);
    } else if ((modifiers & MODIFIER_CONTROL) != 0 && windowsKey >= 'A' && windowsKey <= 'Z') {
        // Control turns letters into control codes; hosts send the letter.
        const unsigned int letter =
            (modifiers & MODIFIER_SHIFT) != 0 ? windowsKey : windowsKey + 32;
        key.character = static_cast<VstInt32>(letter);
    }
    return key;
}

}  // namespace zelto::toolkit::win32
