// A message the user must acknowledge, in a system message box owned by the
// plug-in's window (or none). Blocks its caller until the box is closed: call
// it on the user-interface thread only, never from the audio thread.
#pragma once

#include <string>

namespace zelto::win32 {

/// ownerWindow is an HWND or null; both texts are UTF-8.
void showMessageBox(void* ownerWindow, const std::string& textUtf8, const std::string& captionUtf8);

}  // namespace zelto::win32
