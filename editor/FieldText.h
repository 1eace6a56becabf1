// The value fields under the knobs: the text each shows for a parameter
// value and the value typed text stands for. Typed text is read as a
// leading decimal number (the rest ignored, no number = 0) with '.' as the
// decimal point whatever the process locale, then limited to the
// parameter's range; the Leveller field also takes "off" in any case.
// Pure functions: safe on any thread (formatting allocates nothing).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelto::editor {

/// Whether the parameter has a value field (Output, Drive, Transient,
/// Release, L/R Link, Leveller).
bool hasValueField(int32_t param);

/// The field's text for a normalised value, e.g. "+6.00dB", "25.0%",
/// "200.0ms", "off". Answers false for a parameter without a field.
bool formatFieldText(int32_t param, float value, char* text, size_t size);

/// The normalised value typed text stands for.
float parseFieldText(int32_t param, const char* text);

}  // namespace zelto::editor
