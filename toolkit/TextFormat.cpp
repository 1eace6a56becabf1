// Locale-independent number formatting and parsing: the C library's own
// conversions run under a private "C" locale object (switched per thread on
// POSIX, passed explicitly to the _l functions on Windows).
#include "toolkit/TextFormat.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace zelto {

#if defined(_WIN32)

namespace {

_locale_t cLocale() {
    // Created once and kept for the life of the process.
    static const _locale_t locale = _create_locale(LC_ALL, "C");
    return locale;
}

}  // namespace

std::string formatText(const char* format, ...) {
    if (format == nullptr) return {};
    const _locale_t c = cLocale();
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    // Asks for the length first: the Windows function answers -1, not the
    // length, when the buffer is too small.
    const int needed =
        c != nullptr ? _vscprintf_l(format, c, args) : std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<size_t>(needed) + 1);
        if (c != nullptr) {
            _vsnprintf_l(out.data(), out.size(), format, c, again);
        } else {
            std::vsnprintf(out.data(), out.size(), format, again);
        }
        out.resize(static_cast<size_t>(needed));
    }
    va_end(again);
    return out;
}

double parseNumber(const char* text) {
    if (text == nullptr) return 0.0;
    const _locale_t c = cLocale();
    if (c == nullptr) return std::strtod(text, nullptr);
    return _strtod_l(text, nullptr, c);
}

#else

namespace {

locale_t cLocale() {
    // Created once and kept for the life of the process.
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

std::string formatText(const char* format, ...) {
    if (format == nullptr) return {};
    const locale_t c = cLocale();
    const locale_t previous = c != nullptr ? uselocale(c) : nullptr;
    char small[128];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (needed >= 0 && static_cast<size_t>(needed) < sizeof small) {
        out.assign(small, static_cast<size_t>(needed));
    } else if (needed > 0) {
        out.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(out.data(), out.size(), format, again);
        out.resize(static_cast<size_t>(needed));
    }
    va_end(again);
    if (previous != nullptr) uselocale(previous);
    return out;
}

double parseNumber(const char* text) {
    if (text == nullptr) return 0.0;
    const locale_t c = cLocale();
    if (c == nullptr) return std::strtod(text, nullptr);
    return strtod_l(text, nullptr, c);
}

#endif

}  // namespace zelto
