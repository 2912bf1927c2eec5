#include "editor/value_formats.h"

#include "engine/parameter_texts.h"

void formatLevelCurve(float value, DisplayText& text) {
    char shown[kParameterTextSize];
    formatLevelCurveText(value, shown);
    text.assign(shown);
}

void formatHighlightCurve(float value, DisplayText& text) {
    char shown[kParameterTextSize];
    formatHighlightCurveText(value, shown);
    text.assign(shown);
}
