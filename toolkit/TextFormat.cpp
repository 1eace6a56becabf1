// Locale-independent number formatting and parsing: the C library's own
// conversions run under a private "C" locale object, switched per thread.
#include "toolkit/TextFormat.h"

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace zelto {
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

}  // namespace zelto
