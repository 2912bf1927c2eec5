#include "engine/parameter_texts.h"

#include "engine/meter_effect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// The parameters that shape the meters; every index below them is a placeholder.
constexpr std::int32_t kFirstUsed = MeterEffect::kSpreadGain;
constexpr std::int32_t kEnd = MeterEffect::kParameterCount;

// Named as the editor labels the controls: the two knobs under WIDTH and M.CORR, the two
// sliders under GAMMA, the level slider beside the highlight slider.
constexpr const char* kNames[kEnd - kFirstUsed] = {"WIDTH", "M.CORR", "GAMMA Lv", "GAMMA Hi"};
// The width is a factor on the bars' spread; the other three are plain numbers.
constexpr const char* kLabels[kEnd - kFirstUsed] = {"x", "", "", ""};

void copyText(char* text, const char* from) {
    const std::size_t length = std::min(std::strlen(from), kParameterTextSize - 1);
    std::memcpy(text, from, length);
    text[length] = 0;
}

// A number in `format` when it fits the host's buffer; a stored value may be anything the
// host set, so a number too long to fit is named instead of being cut to a wrong one.
void formatFitting(char* text, const char* format, double value) {
    char scratch[64];
    const int length = std::snprintf(scratch, sizeof scratch, format, value);
    if (length >= 0 && static_cast<std::size_t>(length) < kParameterTextSize)
        std::memcpy(text, scratch, static_cast<std::size_t>(length) + 1);
    else
        copyText(text, value < 0.0 ? "-Huge!" : "Huge!");
}

bool used(std::int32_t index) {
    return index >= kFirstUsed && index < kEnd;
}

} // namespace

void formatLevelCurveText(float value, char* text) {
    formatFitting(text, "%0.1f", 2.0 * static_cast<double>(value) + 0.5);
}

void formatHighlightCurveText(float value, char* text) {
    formatFitting(text, "%0.1f", 2.0 * static_cast<double>(value));
}

void writeParameterName(std::int32_t index, char* text) {
    if (used(index))
        copyText(text, kNames[index - kFirstUsed]);
    else
        copyText(text, index >= 0 && index < kFirstUsed ? "unused" : "");
}

void writeParameterLabel(std::int32_t index, char* text) {
    copyText(text, used(index) ? kLabels[index - kFirstUsed] : "");
}

void writeParameterDisplay(std::int32_t index, float value, char* text) {
    switch (index) {
    case MeterEffect::kSpreadGain:
    case MeterEffect::kEdgeTaper:
        formatFitting(text, "%.2f", static_cast<double>(value));
        break;
    case MeterEffect::kLevelCurve:
        formatLevelCurveText(value, text);
        break;
    case MeterEffect::kHighlightCurve:
        formatHighlightCurveText(value, text);
        break;
    default:
        copyText(text, index >= 0 && index < kFirstUsed ? "-" : "");
        break;
    }
}
