#pragma once
// Sums up a whole series of meter readings: per band, how loud, how far to one side and how
// much out of phase over the whole file, and the time ranges in which bands stay out of phase.

#include "tools/band_analyser.h"

#include <array>
#include <cmath>
#include <vector>

struct PhaseCriteria {
    // A band is out of phase while its spread is above this...
    float threshold = 0.6f;
    // ...and such a stretch counts once it lasts this long (seconds).
    double minDuration = 0.5;
};

// Balance, spread and mono loss count only the moments in which the band carries signal
// (analysis_report::hasSignal); they are NaN for a band that never does.
struct BandSummary {
    double levelMean = 0.0;
    float levelP95 = 0.0f;
    // The level of the band's mean amplitude over the file, per channel and for the mid
    // (L+R)/2, in dB relative to a full-scale sine at its centre; NaN below the probes' range.
    double leftDb = NAN, rightDb = NAN, midDb = NAN;
    double monoLossDb = NAN;      // from those three levels
    double worstMonoLossDb = NAN; // the lowest mono loss of any moment
    double signalShare = 0.0;     // the share of time the band carries signal
    double balanceDbMean = 0.0;   // positive: right louder
    double leftLeanShare = 0.0;   // share of time the left side is more than 3 dB louder
    double rightLeanShare = 0.0;  // likewise the right side
    double spreadMean = 0.0;
    float spreadMax = 0.0f;
    double spreadOverHalfShare = 0.0; // opposite more often than alike
    // False for a band the file's sample rate cannot carry: it has no values.
    bool carried = true;
};

// A stretch of time in which one or more bands stayed out of phase. Stretches of different
// bands that overlap in time are one range.
struct PhaseRange {
    double start = 0.0;
    double end = 0.0;
    std::vector<int> bands; // ascending band indices
    float maxSpread = 0.0f;
};

struct FileSummary {
    double seconds = 0.0;
    std::array<BandSummary, kAnalysedBands> bands{};
    std::vector<PhaseRange> phaseRanges;
};

class SeriesSummary {
public:
    static constexpr double kLeanDecibels = 3.0;
    static constexpr float kOppositeSpread = 0.5f;

    explicit SeriesSummary(PhaseCriteria criteria = {}) : criteria(criteria) {}

    // Readings in time order. Each one stands for the time since the one before it (the
    // first for the time since 0), so every second of audio weighs the same however the
    // polls fell between blocks.
    void add(const MeterReading& reading);
    // The summary up to `endTime` (the end of the audio); stretches still open end there.
    FileSummary finish(double endTime);

private:
    struct Run {
        double start;
        double end;
        int band;
        float maxSpread;
    };
    struct Accumulator {
        double weight = 0.0, level = 0.0, balanceDb = 0.0, leftLean = 0.0, rightLean = 0.0;
        double spread = 0.0, spreadOverHalf = 0.0;
        float spreadMax = 0.0f;
        double signalWeight = 0.0, left = 0.0, right = 0.0, mid = 0.0;
        double worstMonoLoss = NAN;
        std::vector<std::pair<float, float>> levels; // value, weight: for the percentile
    };

    void accumulate(const MeterReading& reading, double weight);
    void closeRun(int band, double end);

    PhaseCriteria criteria;
    std::array<Accumulator, kAnalysedBands> sums{};
    std::array<double, kAnalysedBands> openSince{};
    std::array<float, kAnalysedBands> openMax{};
    std::array<bool, kAnalysedBands> open{};
    std::vector<Run> runs;
    double lastTime = 0.0;
    bool counted = false;
    bool any = false;
    MeterReading latest;
};

// The weighted percentile of (value, weight) pairs: the smallest value at or below which
// `fraction` of the total weight lies. 0 for no pairs. Sorts `pairs`.
float weightedPercentile(std::vector<std::pair<float, float>>& pairs, double fraction);
