// Every font the artwork names must be installed as itself. Asked for a
// family it does not have, the font library quietly picks the nearest one,
// and the build would embed different artwork with nothing said; here the
// generator stops instead and names what to install.
#include "Painter.h"

#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace zelto::art {

namespace {

bool matchesFamily(FcPattern* match, const char* family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (strcasecmp(reinterpret_cast<const char*>(name), family) == 0) return true;
    }
    return false;
}

bool installed(const char* family, bool bold) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    bool ok = false;
    if (match != nullptr) {
        int weight = 0, slant = 0;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        // A bold drawn by emboldening a regular face is a substitute too.
        ok = matchesFamily(match, family) && slant == FC_SLANT_ROMAN &&
             (bold ? weight >= FC_WEIGHT_BOLD : weight < FC_WEIGHT_DEMIBOLD);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return ok;
}

}  // namespace

void requireFont(const char* family, bool bold) {
    static std::set<std::string> checked;
    const std::string key = std::string(family) + (bold ? " Bold" : "");
    if (!checked.insert(key).second) return;
    if (!installed(family, bold)) {
        std::fprintf(stderr,
                     "zelto_artwork: the font \"%s\" is not installed; a substitute would draw "
                     "different artwork (on Debian: scripts/setup.sh installs fonts-dejavu-core "
                     "and fonts-dejavu-extra)\n",
                     key.c_str());
        std::exit(1);
    }
}

}  // namespace zelto::art
