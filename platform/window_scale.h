#pragma once
// The rules every windowing home follows when it shows a window enlarged (`windowScale`): a
// whole factor from 1 to 4, taken from a user's setting or from the screen's dots per inch,
// and screen pixels mapped back to the client pixel they show.

#include <algorithm>
#include <cstdlib>

namespace platform {

inline constexpr int kLargestWindowScale = 4;

// A setting such as TROB_SCALE as a factor held to 1..4; 0 when it is empty or no whole number.
inline int scaleFromText(const char* text) {
    if (!text || !*text) return 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1) return 0;
    return static_cast<int>(std::min<long>(value, kLargestWindowScale));
}

// A screen's dots per inch against the plain 96, rounded, held to 1..4.
inline int scaleFromDpi(double dpi) {
    if (!(dpi > 0.0)) return 1;
    return std::clamp(static_cast<int>(dpi / 96.0 + 0.5), 1, kLargestWindowScale);
}

// The client pixel a screen pixel of an enlarged window shows, left of or above the window
// too (rounded down).
inline int toClientPixel(int screen, int scale) {
    return screen >= 0 ? screen / scale : -((-screen + scale - 1) / scale);
}

} // namespace platform
