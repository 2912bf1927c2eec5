#pragma once
// Colours and the toolkit's named colours.
#include <cstdint>

#include "platform/handles.h"

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    // Carried along but read by no drawing operation.
    uint8_t extra = 0;

    constexpr bool operator==(const Color&) const = default;
};

// The platform's form of a colour; `extra` is dropped.
constexpr platform::ColorRef toColorRef(const Color& c) {
    return platform::makeColorRef(c.red, c.green, c.blue);
}
constexpr Color fromColorRef(platform::ColorRef c) {
    return Color{uint8_t(c & 0xFF), uint8_t(c >> 8 & 0xFF), uint8_t(c >> 16 & 0xFF), 0};
}

inline constexpr Color kBlackColor{0, 0, 0, 0};
inline constexpr Color kWhiteColor{255, 255, 255, 0};
inline constexpr Color kGreyColor{127, 127, 127, 0};
inline constexpr Color kRedColor{255, 0, 0, 0};
inline constexpr Color kGreenColor{0, 255, 0, 0};
inline constexpr Color kBlueColor{0, 0, 255, 0};
inline constexpr Color kYellowColor{255, 255, 0, 0};
inline constexpr Color kCyanColor{0, 255, 255, 0};
inline constexpr Color kMagentaColor{255, 0, 255, 0};
// Every bitmap's initial transparent colour; equal to white but a constant of its own.
inline constexpr Color kDefaultTransparentColor{255, 255, 255, 0};
