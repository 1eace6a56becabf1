// An 8-bit RGBA colour. Plain value type: safe to copy between threads.
#pragma once

#include <cstdint>

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    constexpr CColor() = default;
    constexpr CColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255)
        : red(red), green(green), blue(blue), alpha(alpha) {}

    constexpr bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    constexpr bool operator!=(const CColor& o) const { return !(*this == o); }
};

constexpr CColor MakeCColor(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255) {
    return CColor(red, green, blue, alpha);
}

inline constexpr CColor kTransparentCColor(255, 255, 255, 0);
inline constexpr CColor kBlackCColor(0, 0, 0);
inline constexpr CColor kWhiteCColor(255, 255, 255);
inline constexpr CColor kGreyCColor(127, 127, 127);
inline constexpr CColor kRedCColor(255, 0, 0);
inline constexpr CColor kGreenCColor(0, 255, 0);
inline constexpr CColor kBlueCColor(0, 0, 255);
inline constexpr CColor kYellowCColor(255, 255, 0);
