// Number texts as hosts have always shown them: the plug-in SDK's fixed-width
// conventions (eight characters, decimals truncated, "-oo" for silence), kept
// here so the parameter texts need no plug-in format to be written.
#include "core/NumberText.h"

#include <cmath>

namespace zelto {

char* copyText(char* dst, const char* src, int32_t maxLen) {
    if (dst == nullptr) return dst;
    int32_t i = 0;
    if (src != nullptr) {
        for (; i < maxLen && src[i] != 0; ++i) dst[i] = src[i];
    }
    dst[i < 0 ? 0 : i] = 0;
    return dst;
}

void dbToText(float value, char* text, int32_t maxLen) {
    if (!(value > 0.0f)) {
        copyText(text, "-oo", maxLen);
        return;
    }
    floatToText(20.0f * std::log10(value), text, maxLen);
}

void floatToText(float value, char* text, int32_t maxLen) {
    constexpr int kWidth = 8;
    if (std::isnan(value)) {
        copyText(text, "NaN", maxLen);
        return;
    }
    double v = value;
    const bool negative = v < 0.0;
    if (negative) v = -v;
    if (v > (negative ? 9999999.0 : 99999999.0)) {
        copyText(text, negative ? "-Huge!" : "Huge!", maxLen);
        return;
    }
    char buffer[32];
    int pos = 0;
    if (negative) buffer[pos++] = '-';
    const double integral = std::floor(v);
    char digits[16];
    int count = 0;
    for (double rest = integral; count == 0 || rest >= 1.0; rest = std::floor(rest / 10.0)) {
        digits[count++] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
    }
    while (count > 0) buffer[pos++] = digits[--count];
    buffer[pos++] = '.';
    // Decimals fill the remaining width; each is truncated, never rounded.
    const int decimals = kWidth - pos;
    if (decimals > 0) {
        const double scaled = std::floor((v - integral) * std::pow(10.0, decimals));
        double rest = scaled;
        for (int i = decimals - 1; i >= 0; --i) {
            buffer[pos + i] = static_cast<char>('0' + static_cast<int>(std::fmod(rest, 10.0)));
            rest = std::floor(rest / 10.0);
        }
        pos += decimals;
    }
    buffer[pos] = 0;
    copyText(text, buffer, maxLen);
}

}  // namespace zelto
