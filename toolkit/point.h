#pragma once
#include <cstdint>

struct Point {
    int32_t h = 0; // horizontal
    int32_t v = 0; // vertical

    constexpr bool operator==(const Point&) const = default;
};
