// Font descriptions and the mapping of family names to installed fonts.
#include "toolkit/CFontDesc.h"

#include <new>

#include <strings.h>

CFontDesc::CFontDesc(const char* name, CCoord size, int32_t style)
    : name(name != nullptr ? name : ""), size(size), style(style) {}

#if defined(_WIN32)
const char* CFontDesc::getRenderFamily() const {
    // Windows has Arial itself; for any other family GDI picks its own
    // nearest match.
    if (strcasecmp(name.c_str(), "Helvetica") == 0 || name.empty()) return "Arial";
    return name.c_str();
}
#else
const char* CFontDesc::getRenderFamily() const {
    static const char* const kInstalled[] = {
        "Liberation Sans", "Liberation Serif", "Liberation Mono",
        "DejaVu Sans",     "DejaVu Serif",     "DejaVu Sans Mono",
    };
    for (const char* family : kInstalled) {
        if (strcasecmp(name.c_str(), family) == 0) return family;
    }
    if (strcasecmp(name.c_str(), "Arial") == 0 || strcasecmp(name.c_str(), "Helvetica") == 0) {
        return "Liberation Sans";
    }
    return "DejaVu Sans";
}
#endif

namespace {

// Never destroyed: views anywhere may still point at them while the process
// ends, so the standard fonts must outlive every static destructor. They live
// in the library's own static storage, not on the heap: a host that unloads
// the plug-in must not be left with memory nothing points to any more.
CFontDesc* standardFont(CCoord size) {
    constexpr int kFonts = 8;
    alignas(CFontDesc) static unsigned char storage[kFonts][sizeof(CFontDesc)];
    static int used = 0;
    if (used >= kFonts) return nullptr;
    auto* font = new (storage[used++]) CFontDesc("Arial", size, kNormalFace);
    font->remember();  // one reference no view can take away: never deleted
    return font;
}

}  // namespace

const CFontRef kSystemFont = standardFont(12);
const CFontRef kNormalFontVeryBig = standardFont(18);
const CFontRef kNormalFontBig = standardFont(14);
const CFontRef kNormalFont = standardFont(12);
const CFontRef kNormalFontSmall = standardFont(11);
const CFontRef kNormalFontSmaller = standardFont(10);
const CFontRef kNormalFontVerySmall = standardFont(9);
