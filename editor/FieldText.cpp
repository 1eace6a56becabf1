// FieldText: shown and typed texts of the value fields.
#include "editor/FieldText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/ParameterText.h"
#include "core/Parameters.h"

namespace zelto::editor {
namespace {

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
    if (text == nullptr || size == 0 || !hasValueField(param)) return false;
    const double units = unitsFromValue(param, value);
    switch (param) {
        case kParamLeveller:
            if (value == 1.0f) {
                std::snprintf(text, size, "off");
                return true;
            }
            [[fallthrough]];
        case kParamDrive:
        case kParamOutput:
            formatDb(units, text, size);
            return true;
        case kParamTransient:
        case kParamLink:
            formatTenths(units, "%", text, size);
            return true;
        default:
            formatTenths(units, "ms", text, size);
            return true;
    }
}

float parseFieldText(int32_t param, const char* text) {
    return parseTypedValue(param, text);
}

}  // namespace zelto::editor
