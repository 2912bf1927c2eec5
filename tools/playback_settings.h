#pragma once
// How the command-line tools run audio through the plug-in: the block size and the four
// display parameters a user may set.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

struct PlaybackSettings {
    int blockSize = 512;
    // Parameters 11 to 14; unset ones keep the plug-in's defaults.
    std::optional<float> spreadGain, edgeTaper, levelCurve, highlightCurve;

    static std::string shortText(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }

    // The parameter an option such as "--spread-gain" sets; null for any other option.
    std::optional<float>* parameterOption(std::string_view option) {
        if (option == "--spread-gain") return &spreadGain;
        if (option == "--edge-taper") return &edgeTaper;
        if (option == "--level-curve") return &levelCurve;
        if (option == "--highlight-curve") return &highlightCurve;
        return nullptr;
    }

    // The range an option's value must lie in: the curves and the taper are 0..1 (below 0 a
    // curve would make every band read full, above 1 the plug-in clamps); the spread gain may
    // magnify up to 100 times. Checked on the number as read, before it becomes a float.
    struct Range {
        double lowest, highest;
    };
    static Range parameterRange(std::string_view option) {
        return option == "--spread-gain" ? Range{0.0, 100.0} : Range{0.0, 1.0};
    }
    // Sets the option's parameter to `value`; false when the value is outside its range, with
    // `message` saying what the option takes.
    bool setParameterOption(std::string_view option, double value, std::string& message) {
        std::optional<float>* parameter = parameterOption(option);
        const Range r = parameterRange(option);
        if (!parameter || !(value >= r.lowest && value <= r.highest)) {
            message = std::string(option) + " needs a number from " + shortText(r.lowest) + " to " +
                      shortText(r.highest);
            return false;
        }
        *parameter = static_cast<float>(value);
        return true;
    }

    // Calls set(index, value) for each parameter that is set, in index order.
    template <class Set> void forEachSetParameter(Set&& set) const {
        const std::optional<float>* values[] = {&spreadGain, &edgeTaper, &levelCurve,
                                                &highlightCurve};
        for (std::int32_t i = 0; i < 4; ++i)
            if (*values[i]) set(11 + i, **values[i]);
    }
};
