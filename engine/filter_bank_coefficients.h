#pragma once
// One complete coefficient set of the third-octave bank: thirty bands of three band-pass
// sections each, designed for one sample rate.

#include <cstdint>

constexpr int kBandCount = 30;
constexpr int kSectionCount = 3;

// The sections of a band in cascade order.
enum BandSection : int {
    kCentreSection = 0,
    kLowerEdgeSection = 1,
    kUpperEdgeSection = 2,
};

// The per-sample loop runs the 60 band filters (30 bands, two channels) side by side, one
// filter per lane: lanes 0..29 are the left channel's bands, 32..61 the right channel's. Each
// channel is padded to 32 lanes so that it starts on a vector boundary for vectors of up to
// eight doubles and the left and right filters of a band sit in the same position of
// corresponding vectors. Padding lanes have zero coefficients and are never read back.
constexpr int kLanesPerChannel = 32;
constexpr int kLaneCount = 2 * kLanesPerChannel;

constexpr int laneOf(int channel, int band) {
    return channel * kLanesPerChannel + band;
}

// The run-time coefficients spread across the lanes, as doubles holding exactly the float
// values, so that the loop converts nothing.
struct LaneCoefficients {
    alignas(64) double alpha[kSectionCount][kLaneCount] = {};
    alignas(64) double negAlpha[kSectionCount][kLaneCount] = {};
    alignas(64) double gamma[kSectionCount][kLaneCount] = {};
    alignas(64) double negBeta[kSectionCount][kLaneCount] = {};
    // The same four doubled (exactly): what the kernels multiply by, so that a section's sum
    // comes out doubled and only the offset remains to be added.
    alignas(64) double twiceAlpha[kSectionCount][kLaneCount] = {};
    alignas(64) double twiceNegAlpha[kSectionCount][kLaneCount] = {};
    alignas(64) double twiceGamma[kSectionCount][kLaneCount] = {};
    alignas(64) double twiceNegBeta[kSectionCount][kLaneCount] = {};
    double offset = 0.0;
};

struct FilterBankCoefficients {
    // Fills every array below for `rate`. Bands and sections are designed in ascending and
    // cascade order; every intermediate value is a double, every stored one a float.
    void design(const float (&bandCentre)[kBandCount], float pi, float rate);

    float rate = 0.0f;

    // What the design produced; kept beside the run-time set, not read while filtering.
    float alpha[kSectionCount][kBandCount] = {};
    float beta[kSectionCount][kBandCount] = {};
    float gamma[kSectionCount][kBandCount] = {};

    // The run-time set: negations ready so the per-sample loop only multiplies and adds.
    float runAlpha[kSectionCount][kBandCount] = {};
    float runNegAlpha[kSectionCount][kBandCount] = {};
    float runGamma[kSectionCount][kBandCount] = {};
    float runNegBeta[kSectionCount][kBandCount] = {};

    // What every section adds to its output each sample: 1e-9 at 44100 Hz. It keeps silent
    // band outputs positive; its steady response grows with the square of the rate, so other
    // rates scale it by (44100 / rate)^2 and digital silence reads the same low level at
    // every rate instead of lighting the lowest bands at 88.2 kHz and above.
    double sectionOffset = 0.0;

    // Sections whose float coefficients would not be stable at this rate (a band far above
    // Nyquist at a low rate); their run-time coefficients are zero, so the band carries only
    // its constant offset and reads as silence. Never set at the usual audio rates.
    std::int32_t mutedSections = 0;

    // The run-time set and the offset again, in lanes.
    LaneCoefficients lanes;
};
