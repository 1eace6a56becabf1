// The command lines of the dialog programs for a file request, and the
// reading of their answers. Pure functions: safe on any thread.
#pragma once

#include <string>
#include <vector>

#include "toolkit/CNewFileSelector.h"

namespace zelto::toolkit {

std::vector<std::string> zenityArguments(const CNewFileSelector::Request& request);
std::vector<std::string> kdialogArguments(const CNewFileSelector::Request& request);
/// One path per line; empty lines and carriage returns dropped.
std::vector<std::string> parseDialogOutput(const std::string& output);

}  // namespace zelto::toolkit
