#pragma once
// What the effect, its editor and the programs that read the effect agree on beyond the host
// interface: the four parameters that shape the meters, and the layout of the meter query
// (`getMeterValue`): five groups of thirty values, one per band, band 0 (25 Hz) first.

#include <cstdint>

namespace meter {

enum Parameter : std::int32_t {
    kSpreadGain = 11,
    kEdgeTaper = 12,
    kLevelCurve = 13,
    kHighlightCurve = 14,
    kParameterCount = 15,
};

inline constexpr std::int32_t kBandCount = 30;

// First index of each group of thirty values.
enum Query : std::int32_t {
    kBalance = 11,
    kLevel = 41,
    kSpread = 71,
    kTaper = 101,
    kHighlight = 131,
    kQueryEnd = 161,
};

} // namespace meter

// What the meter query answers for a band that the sample rate cannot carry.
//
// A band whose centre lies at or above half the sample rate holds no signal at that rate:
// whatever its filters make of the audio is an alias. The query reads such a band as
// silence (balance 0.5, level, spread and highlight 0) and marks it through its taper value,
// the one value that does not shape a bar at the centre of the axis. Every other meter value
// lies in 0..1, so a band that carries signal never gives the mark, and the editor and trob
// can tell "no band" from "a silent band".

constexpr float kUncarriedBandTaper = -1.0f;

inline bool isUncarriedBand(float taperValue) {
    return taperValue < 0.0f;
}

// The range of the meter query: every value lies in 0..1, except the mark above, which only
// the taper values (indices 101 to 130) give.
inline bool isMeterValueInRange(int index, float value) {
    if (value >= 0.0f && value <= 1.0f) return true;
    return index >= meter::kTaper && index < meter::kHighlight && value == kUncarriedBandTaper;
}
