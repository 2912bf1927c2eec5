#pragma once
#include <cstdint>

struct Point {
    int32_t h = 0; // horizontal
    int32_t v = 0; // vertical

    constexpr bool operator==(const Point&) const = default;
};

// position - origin, held within int32: a cursor far outside every window (any position the
// system reports, against any window origin) never overflows.
constexpr int32_t relativeCoordinate(int32_t position, int32_t origin) {
    const int64_t d = int64_t(position) - int64_t(origin);
    return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? INT32_MIN : int32_t(d);
}
