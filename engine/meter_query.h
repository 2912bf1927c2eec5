#pragma once
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
    return index >= 101 && index <= 130 && value == kUncarriedBandTaper;
}
