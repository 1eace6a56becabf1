// Number texts in the fixed-width form hosts show for plug-in parameters.
// Pure functions: safe on any thread, locale-independent.
#pragma once

#include <cstdint>

namespace zelto {

/// Copies at most maxLen characters of src and a terminating zero (maxLen + 1
/// bytes at most); a null src gives "".
char* copyText(char* dst, const char* src, int32_t maxLen);
/// 20 log10(value) as floatToText writes it; "-oo" for 0 and below.
void dbToText(float value, char* text, int32_t maxLen);
/// Eight characters: sign, integral digits, '.', truncated decimals;
/// "NaN", "Huge!" or "-Huge!" where no number fits.
void floatToText(float value, char* text, int32_t maxLen);

}  // namespace zelto
