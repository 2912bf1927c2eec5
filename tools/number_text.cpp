#include "tools/number_text.h"

#include <charconv>
#include <cmath>

namespace number_text {

std::string shortest(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // Without a format argument to_chars gives the shortest text that round-trips.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string json(float value) {
    return std::isfinite(value) ? shortest(value) : "null";
}

} // namespace number_text
