#pragma once
// The second of audio the editor benches play before they idle, so that the bars have
// somewhere to be: a low tone in both channels, 4 kHz on the left and 1 kHz on the right.

#include "host/effect_record.h"

#include <cmath>
#include <cstdint>
#include <vector>

inline void playBenchSecond(EffectRecord* record) {
    std::vector<float> left(44100), right(44100);
    for (std::size_t n = 0; n < left.size(); ++n) {
        const double t = static_cast<double>(n) / 44100.0;
        left[n] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 100 * t) +
                                     0.2 * std::sin(2 * 3.14159265358979 * 4000 * t));
        right[n] = static_cast<float>(0.3 * std::sin(2 * 3.14159265358979 * 100 * t) +
                                      0.2 * std::sin(2 * 3.14159265358979 * 1000 * t));
    }
    std::vector<float> outL(left.size()), outR(left.size());
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outL.data(), outR.data()};
    record->processReplacing(record, in, out, static_cast<std::int32_t>(left.size()));
}
