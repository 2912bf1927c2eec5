#include "editor/value_formats.h"

void formatLevelCurve(float value, DisplayText& text) {
    text.format("%0.1f", 2.0 * static_cast<double>(value) + 0.5);
}

void formatHighlightCurve(float value, DisplayText& text) {
    text.format("%0.1f", 2.0 * static_cast<double>(value));
}
