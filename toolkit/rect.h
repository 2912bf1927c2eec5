#pragma once
// The toolkit's rectangle: pixels, right and bottom past the last pixel.
#include <cstdint>

#include "toolkit/point.h"

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr Rect() = default;
    constexpr Rect(int32_t l, int32_t t, int32_t r, int32_t b)
        : left(l), top(t), right(r), bottom(b) {}

    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }

    // Half-open: the right column and bottom row are outside.
    constexpr bool pointInside(const Point& p) const {
        return left <= p.h && p.h < right && top <= p.v && p.v < bottom;
    }
    constexpr bool isEmpty() const { return left >= right || top >= bottom; }
    // Shrinks this rectangle to lie within the other; never leaves a negative size.
    constexpr Rect& bound(const Rect& other) {
        if (left < other.left) left = other.left;
        if (top < other.top) top = other.top;
        if (right > other.right) right = other.right;
        if (bottom > other.bottom) bottom = other.bottom;
        if (bottom < top) bottom = top;
        if (right < left) right = left;
        return *this;
    }
    constexpr bool operator==(const Rect&) const = default;
};
