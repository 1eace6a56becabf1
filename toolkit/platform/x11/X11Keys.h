// X key events to the key codes hosts use. Pure function: safe anywhere.
#pragma once

#include "toolkit/VstKeys.h"

namespace zelto::toolkit {

/// keysym and the text XLookupString gave for it; state: the event's
/// modifier mask. Keys without a character or virtual key come back as
/// {0, 0, modifiers}.
VstKeyCode vstKeyFromX(unsigned long keysym, const char* text, int textLength, unsigned int state);

}  // namespace zelto::toolkit
