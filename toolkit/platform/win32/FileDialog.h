// The common file dialogs of Windows for a CNewFileSelector request. Modal
// to the request's parent window, as dialogs of Windows plug-ins are: the
// call returns when the user has answered. User-interface thread only.
#pragma once

#include <string>
#include <vector>

#include "toolkit/CNewFileSelector.h"

namespace zelto::toolkit::win32 {

/// Shows the dialog and fills files with the chosen paths in UTF-8 (none
/// when cancelled). False when no dialog could be shown at all.
bool runFileDialog(const CNewFileSelector::Request& request, std::vector<std::string>& files);

/// The filter list of the open and save dialogs: "description (*.ext)",
/// "*.ext" pairs, each ended by a zero, the list by another.
std::wstring dialogFilter(const std::vector<CFileExtension>& extensions);

/// UTF-8 to UTF-16 and back; invalid input gives an empty string.
std::wstring toWide(const std::string& text);
std::string toUtf8(const std::wstring& text);

}  // namespace zelto::toolkit::win32
