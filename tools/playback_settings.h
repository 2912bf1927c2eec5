#pragma once
// How the command-line tools run audio through the plug-in: the block size and the four
// display parameters a user may set.

#include <cstdint>
#include <optional>

struct PlaybackSettings {
    int blockSize = 512;
    // Parameters 11 to 14; unset ones keep the plug-in's defaults. The ranges a user may set
    // them in are the options' (tools/trob_options.h): the curves and the taper 0..1 (below 0
    // a curve would make every band read full, above 1 the plug-in clamps), the spread gain
    // up to 100 times.
    std::optional<float> spreadGain, edgeTaper, levelCurve, highlightCurve;

    // Calls set(index, value) for each parameter that is set, in index order.
    template <class Set> void forEachSetParameter(Set&& set) const {
        const std::optional<float>* values[] = {&spreadGain, &edgeTaper, &levelCurve,
                                                &highlightCurve};
        for (std::int32_t i = 0; i < 4; ++i)
            if (*values[i]) set(11 + i, **values[i]);
    }
};
