#pragma once
// What several fuzz targets check: a failed check is a crash the fuzzer reports and keeps.

#include "host/meter_interface.h"
#include "fuzz_input.h"
#include "host/effect_base.h"
#include "host/effect_record.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, double detail = 0.0) {
    std::fprintf(stderr, "fuzz check failed: %s (%g)\n", what, detail);
    std::abort();
}

// Every meter value a host or editor may read is a number from 0 to 1, or the taper mark of a
// band the rate cannot carry.
inline void checkMeters(EffectBase* effect) {
    for (int index = 0; index < 170; ++index) {
        const float v = effect->getMeterValue(index);
        if (!isMeterValueInRange(index, v)) fail("meter value outside 0..1", index);
    }
}

// One block through processReplacing, in place or not; the output must be the input bit for
// bit (NaNs included).
inline void processAndCompare(EffectRecord* record, Input& in, int frames, bool inPlace) {
    std::vector<float> left(static_cast<std::size_t>(frames > 0 ? frames : 0) + 1);
    std::vector<float> right(left.size());
    const std::uint8_t fill = in.byte();
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = (fill & 1) ? in.awkwardFloat() : static_cast<float>(std::sin(0.01 * i));
        right[i] = (fill & 2) ? in.awkwardFloat() : -left[i];
    }
    const std::vector<float> originalLeft = left, originalRight = right;
    std::vector<float> outLeft(left.size(), 7.0f), outRight(left.size(), 7.0f);
    float* inputs[2] = {left.data(), right.data()};
    float* separate[2] = {outLeft.data(), outRight.data()};
    float** outputs = inPlace ? inputs : separate;
    record->processReplacing(record, inputs, outputs, frames);
    const int copied = frames > 0 ? frames : 0;
    const float* resultLeft = outputs[0];
    const float* resultRight = outputs[1];
    if (std::memcmp(resultLeft, originalLeft.data(), copied * sizeof(float)) != 0 ||
        std::memcmp(resultRight, originalRight.data(), copied * sizeof(float)) != 0)
        fail("output differs from input", frames);
    if (!inPlace && (outLeft[copied] != 7.0f || outRight[copied] != 7.0f))
        fail("processing wrote past the block", frames);
    if (std::memcmp(left.data(), originalLeft.data(), left.size() * sizeof(float)) != 0 && !inPlace)
        fail("processing changed its input", frames);
}

} // namespace fuzz
