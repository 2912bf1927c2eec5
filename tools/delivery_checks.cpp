#include "tools/delivery_checks.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>

DeliveryChecks::~DeliveryChecks() {
    if (loudness) ebur128_destroy(&loudness);
}

bool DeliveryChecks::start(int channels, double sampleRate) {
    channelCount = std::clamp(channels, 1, 2);
    rate = sampleRate;
    loudness = ebur128_init(static_cast<unsigned>(channelCount), static_cast<unsigned long>(rate),
                            EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    return loudness != nullptr;
}

void DeliveryChecks::endRun(int c) {
    if (run[c] >= kClipRun) {
        clipped += run[c];
        ++runs;
    }
    run[c] = 0;
}

void DeliveryChecks::add(const float* left, const float* right, std::int64_t count) {
    const float* channel[2] = {left, right};
    interleaved.resize(static_cast<std::size_t>(count * channelCount));
    for (std::int64_t i = 0; i < count; ++i)
        for (int c = 0; c < channelCount; ++c) {
            float x = channel[c][i];
            if (!std::isfinite(x)) {
                ++nonFinite;
                x = 0.0f; // neither a peak nor loudness
            }
            const double magnitude = std::fabs(x);
            peak[c] = std::max(peak[c], magnitude);
            sum[c] += x;
            if (magnitude >= kFullScale)
                ++run[c];
            else
                endRun(c);
            interleaved[static_cast<std::size_t>(i * channelCount + c)] = x;
        }
    frames += count;
    if (loudness && count > 0)
        ebur128_add_frames_float(loudness, interleaved.data(), static_cast<std::size_t>(count));
}

DeliveryFacts DeliveryChecks::finish(bool truncated) {
    for (int c = 0; c < channelCount; ++c)
        endRun(c);
    DeliveryFacts f;
    f.channels = channelCount;
    f.seconds = rate > 0 ? static_cast<double>(frames) / rate : 0.0;
    f.truePeakDb = -HUGE_VAL;
    for (int c = 0; c < channelCount; ++c) {
        f.samplePeakDb.push_back(20.0 * std::log10(peak[c]));
        f.dcOffset.push_back(frames > 0 ? sum[c] / static_cast<double>(frames) : 0.0);
        double truePeak = 0.0;
        if (loudness &&
            ebur128_true_peak(loudness, static_cast<unsigned>(c), &truePeak) == EBUR128_SUCCESS)
            f.truePeakDb = std::max(f.truePeakDb, 20.0 * std::log10(truePeak));
    }
    f.integratedLufs = -HUGE_VAL;
    if (loudness) {
        ebur128_loudness_global(loudness, &f.integratedLufs);
        ebur128_loudness_range(loudness, &f.loudnessRangeLu);
    }
    f.clippedSamples = clipped;
    f.clipRuns = runs;
    f.nonFiniteSamples = nonFinite;
    f.truncated = truncated;
    return f;
}
