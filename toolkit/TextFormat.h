// Numbers to text and back the way the C library does it in the "C" locale,
// whatever locale the host process runs in: a host in a German locale must
// not turn "1.5" into 1 or print "1,50". Safe on any thread.
#pragma once

#include <string>

namespace zelto {

/// printf-style formatting with '.' as the decimal point.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// Reads a leading decimal number as atof does (leading blanks skipped, the
/// rest after the number ignored, no number gives 0), with '.' as the
/// decimal point. A null pointer reads as 0.
double parseNumber(const char* text);

}  // namespace zelto
