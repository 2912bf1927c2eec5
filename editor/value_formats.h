#pragma once
// The texts of the editor's two value displays: the curve parameters shown as the exponent
// denominators the meter readout uses with them.

#include "toolkit/controls/parameter_display.h"

// 2 x value + 0.5, one decimal: the level curve's denominator.
void formatLevelCurve(float value, DisplayText& text);
// 2 x value, one decimal: the highlight curve's denominator.
void formatHighlightCurve(float value, DisplayText& text);
