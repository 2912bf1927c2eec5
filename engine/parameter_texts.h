#pragma once
// The texts a host lists for the effect's parameters: each name, unit and value text is at
// most eight characters and a terminating zero, the smallest buffer hosts are known to pass.
// The curve parameters' value texts are the editor's display texts wherever those fit.

#include <cstddef>
#include <cstdint>

// Eight characters and the terminating zero: every function here writes at most this many
// bytes, always including the terminator.
inline constexpr std::size_t kParameterTextSize = 9;

// The curve parameters shown as the exponent denominators the meter readout uses with them,
// with one decimal: 2 x value + 0.5 for the level curve, 2 x value for the highlight curve.
// A number too long for the buffer reads "Huge!" (or "-Huge!").
void formatLevelCurveText(float value, char* text);
void formatHighlightCurveText(float value, char* text);

// Name, unit and value text of parameter `index` at `value`. Indices that take no part in
// the measurement say so in their name; indices beyond the parameter set get empty texts.
void writeParameterName(std::int32_t index, char* text);
void writeParameterLabel(std::int32_t index, char* text);
void writeParameterDisplay(std::int32_t index, float value, char* text);
