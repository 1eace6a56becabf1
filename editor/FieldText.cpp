// FieldText: shown and typed texts of the value fields.
#include "editor/FieldText.h"

#include <strings.h>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/Parameters.h"
#include "toolkit/TextFormat.h"

namespace zelto::editor {
namespace {

// The release curve, 10^(3 v^a): 1 ms at 0, 50 ms at 0.5, 1000 ms at 1; the
// typed text goes through its inverse.
constexpr double kReleaseInverseExponent = 1.2190630447230832;

/// The number at the start of text; NaN (from "nan") reads as no number.
double leadingNumber(const char* text) {
    const double x = parseNumber(text);
    return std::isnan(x) ? 0.0 : x;
}

bool isOff(const char* text) {
    if (text == nullptr) return false;
    while (*text == ' ' || *text == '\t') ++text;
    if (strncasecmp(text, "off", 3) != 0) return false;
    for (text += 3; *text != 0; ++text) {
        if (*text != ' ' && *text != '\t') return false;
    }
    return true;
}

/// "%+.2fdB", built from integers so that the process locale cannot change
/// the decimal point.
void formatDb(double db, char* text, size_t size) {
    const auto hundredths =
        static_cast<long long>(std::min(std::round(std::fabs(db) * 100.0), 1e15));
    std::snprintf(text, size, "%c%lld.%02llddB", std::signbit(db) ? '-' : '+', hundredths / 100,
                  hundredths % 100);
}

/// "%.1f<unit>", '.' as decimal point.
void formatTenths(double x, const char* unit, char* text, size_t size) {
    const double rounded = std::round(std::fabs(x) * 10.0);
    const auto tenths = static_cast<long long>(std::min(rounded, 1e15));
    std::snprintf(text, size, "%s%lld.%lld%s", x < 0 && tenths != 0 ? "-" : "", tenths / 10,
                  tenths % 10, unit);
}

}  // namespace

bool hasValueField(int32_t param) {
    switch (param) {
        case kParamOutput:
        case kParamDrive:
        case kParamTransient:
        case kParamRelease:
        case kParamLink:
        case kParamLeveller:
            return true;
        default:
            return false;
    }
}

bool formatFieldText(int32_t param, float value, char* text, size_t size) {
    if (text == nullptr || size == 0) return false;
    const double v = value;
    switch (param) {
        case kParamDrive:
            formatDb((v - 0.5) * 48.0, text, size);
            return true;
        case kParamOutput:
            formatDb((v - 1.0) * 12.0, text, size);
            return true;
        case kParamLeveller:
            if (value == 1.0f) {
                std::snprintf(text, size, "off");
            } else {
                formatDb((v - 1.0) * 12.0, text, size);
            }
            return true;
        case kParamTransient:
        case kParamLink:
            formatTenths(v * 100.0, "%", text, size);
            return true;
        case kParamRelease:
            // Below 0 the curve has no value (a damaged file); show its start.
            formatTenths(releaseMsFromValue(value < 0.0f ? 0.0f : value), "ms", text, size);
            return true;
        default:
            return false;
    }
}

float parseFieldText(int32_t param, const char* text) {
    switch (param) {
        case kParamDrive:
            return static_cast<float>((std::clamp(leadingNumber(text), -24.0, 24.0) + 24.0) / 48.0);
        case kParamLeveller:
            if (isOff(text)) return 1.0f;
            [[fallthrough]];
        case kParamOutput:
            return static_cast<float>((std::clamp(leadingNumber(text), -12.0, 0.0) + 12.0) / 12.0);
        case kParamTransient:
        case kParamLink: {
            const double x = leadingNumber(text);
            return x < 0.0 ? 0.0f : static_cast<float>(std::min(x, 100.0) / 100.0);
        }
        case kParamRelease: {
            const double ms = std::clamp(leadingNumber(text), 1.0, 1000.0);
            return static_cast<float>(std::pow(std::log10(ms) / 3.0, kReleaseInverseExponent));
        }
        default:
            return 0.0f;
    }
}

}  // namespace zelto::editor
