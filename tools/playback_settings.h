#pragma once
// How the command-line tools run audio through the plug-in: the block size and the four
// display parameters a user may set.

#include <cstdint>
#include <optional>
#include <string_view>

struct PlaybackSettings {
    int blockSize = 512;
    // Parameters 11 to 14; unset ones keep the plug-in's defaults.
    std::optional<float> spreadGain, edgeTaper, levelCurve, highlightCurve;

    // The parameter an option such as "--spread-gain" sets; null for any other option.
    std::optional<float>* parameterOption(std::string_view option) {
        if (option == "--spread-gain") return &spreadGain;
        if (option == "--edge-taper") return &edgeTaper;
        if (option == "--level-curve") return &levelCurve;
        if (option == "--highlight-curve") return &highlightCurve;
        return nullptr;
    }

    // Calls set(index, value) for each parameter that is set, in index order.
    template <class Set> void forEachSetParameter(Set&& set) const {
        const std::optional<float>* values[] = {&spreadGain, &edgeTaper, &levelCurve,
                                                &highlightCurve};
        for (std::int32_t i = 0; i < 4; ++i)
            if (*values[i]) set(11 + i, **values[i]);
    }
};
