#pragma once
// What a delivery is checked for besides its bands: length, sample and true peaks, loudness
// (EBU R 128 through libebur128), clipping, DC offset and samples that are not numbers. Fed
// the file's samples as trob reads them, in the same single pass as the analysis.

#include <ebur128.h>

#include <cstdint>
#include <string>
#include <vector>

struct DeliveryFacts {
    int channels = 0;
    double seconds = 0.0;
    std::vector<double> samplePeakDb; // dBFS per channel; -inf for silence
    double truePeakDb = 0.0;          // dBTP, the largest of the channels
    double integratedLufs = 0.0;      // -inf when every block is gated away
    double loudnessRangeLu = 0.0;
    std::int64_t clippedSamples = 0; // samples in runs at full scale
    std::int64_t clipRuns = 0;
    std::vector<double> dcOffset; // mean sample per channel, of full scale
    std::int64_t nonFiniteSamples = 0;
    bool truncated = false;
};

class DeliveryChecks {
public:
    // A sample at or above this magnitude is at full scale: the largest 16-bit value.
    static constexpr float kFullScale = 32767.0f / 32768.0f;
    // Full-scale samples count as clipped where at least this many follow one another in a
    // channel: a sine that just touches full scale does so one sample at a time.
    static constexpr int kClipRun = 2;

    DeliveryChecks() = default;
    ~DeliveryChecks();
    DeliveryChecks(const DeliveryChecks&) = delete;
    DeliveryChecks& operator=(const DeliveryChecks&) = delete;

    // `channels` is the file's own count (1 or 2): a mono file is measured as mono.
    bool start(int channels, double rate);
    // Frames as trob feeds them; for a mono file `right` repeats `left` and is not used.
    void add(const float* left, const float* right, std::int64_t frames);
    DeliveryFacts finish(bool truncated);

private:
    void endRun(int channel);

    ebur128_state* loudness = nullptr;
    int channelCount = 0;
    double rate = 0.0;
    std::int64_t frames = 0;
    double peak[2] = {};
    double sum[2] = {};
    int run[2] = {};
    std::int64_t clipped = 0, runs = 0, nonFinite = 0;
    std::vector<float> interleaved;
};
