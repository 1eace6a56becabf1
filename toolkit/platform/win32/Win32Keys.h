// Windows virtual-key codes and typed characters to the binary interface's
// key codes. Pure functions: safe on any thread.
#pragma once

#include <cstdint>

#include "toolkit/VstKeys.h"

namespace zelto::toolkit::win32 {

/// The interface's virtual key for a Windows virtual-key code (0: none), and
/// whether the key also types a character (space, the number pad), which
/// then arrives as WM_CHAR and is delivered from there.
unsigned char vstVirtualKey(unsigned int windowsKey, bool* typesCharacter);

/// The modifier bits of the interface from the held keys.
unsigned char vstModifiers(bool shift, bool control, bool alt);

/// The key code of a WM_CHAR: character (UTF-16 unit), the virtual key of
/// the key that typed it (0 when none) and the Windows key code of that
/// key, for letters typed with Control (which arrive as control codes:
/// hosts want the letter). Answers a key with character 0 and virtual key
/// 0 when there is nothing to deliver (control codes of keys that were
/// already delivered as virtual keys, such as Enter or Escape).
VstKeyCode vstKeyFromCharacter(unsigned int character, unsigned char virt, unsigned int windowsKey,
                               unsigned char modifiers);

}  // namespace zelto::toolkit::win32
