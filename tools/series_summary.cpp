#include "tools/series_summary.h"

#include "host/meter_interface.h"
#include "tools/analysis_report.h"

#include <algorithm>

float weightedPercentile(std::vector<std::pair<float, float>>& pairs, double fraction) {
    if (pairs.empty()) return 0.0f;
    std::sort(pairs.begin(), pairs.end());
    double total = 0.0;
    for (const auto& p : pairs)
        total += p.second;
    const double wanted = fraction * total;
    double below = 0.0;
    for (const auto& p : pairs) {
        below += p.second;
        if (below >= wanted) return p.first;
    }
    return pairs.back().first;
}

namespace {
double amplitude(float db) {
    return std::isnan(db) ? 0.0 : std::pow(10.0, db / 20.0);
}
// NaN below `lowest`, where the probes do not reach.
double decibels(double amplitude, double lowest = BandAnalyser::kLowestLevelDb) {
    const double db = 20.0 * std::log10(amplitude);
    return db >= lowest ? db : NAN;
}
} // namespace

void SeriesSummary::accumulate(const MeterReading& r, double w) {
    counted = true;
    for (int k = 0; k < kAnalysedBands; ++k) {
        if (isUncarriedBand(r.taper[k])) continue;
        Accumulator& a = sums[k];
        a.weight += w;
        a.level += w * r.level[k];
        a.levels.emplace_back(r.level[k], static_cast<float>(w));
        a.left += w * amplitude(r.leftDb[k]);
        a.right += w * amplitude(r.rightDb[k]);
        a.mid += w * amplitude(r.midDb[k]);
        if (!analysis_report::hasSignal(r.leftDb[k], r.rightDb[k])) continue;
        const double loss = analysis_report::monoLossDb(r.leftDb[k], r.rightDb[k], r.midDb[k]);
        if (!(a.worstMonoLoss <= loss)) a.worstMonoLoss = loss;
        const double db = analysis_report::balanceDecibels(r.balance[k]);
        a.signalWeight += w;
        a.balanceDb += w * db;
        if (db < -kLeanDecibels) a.leftLean += w;
        if (db > kLeanDecibels) a.rightLean += w;
        a.spread += w * r.spread[k];
        if (r.spread[k] > kOppositeSpread) a.spreadOverHalf += w;
        a.spreadMax = std::max(a.spreadMax, r.spread[k]);
    }
}

void SeriesSummary::closeRun(int k, double end) {
    open[k] = false;
    // A tiny allowance so that a stretch of exactly the minimum, measured between polls, counts.
    if (end - openSince[k] >= criteria.minDuration - 1e-9)
        runs.push_back({openSince[k], end, k, openMax[k]});
}

void SeriesSummary::add(const MeterReading& r) {
    const double w = r.time - lastTime;
    if (w > 0.0) accumulate(r, w);
    lastTime = std::max(lastTime, r.time);
    latest = r;
    any = true;
    for (int k = 0; k < kAnalysedBands; ++k) {
        // Near-silent noise has a spread of its own: only a band with signal can be out of
        // phase, and a band the rate cannot carry has none.
        const bool above = !isUncarriedBand(r.taper[k]) && r.spread[k] > criteria.threshold &&
                           analysis_report::hasSignal(r.leftDb[k], r.rightDb[k]);
        if (above && !open[k]) {
            open[k] = true;
            openSince[k] = r.time;
            openMax[k] = r.spread[k];
        } else if (above) {
            openMax[k] = std::max(openMax[k], r.spread[k]);
        } else if (open[k]) {
            closeRun(k, r.time);
        }
    }
}

FileSummary SeriesSummary::finish(double endTime) {
    // Audio shorter than one poll still has its one reading to report.
    if (!counted && any) accumulate(latest, 1.0);
    FileSummary s;
    s.seconds = endTime;
    for (int k = 0; k < kAnalysedBands; ++k) {
        if (open[k]) closeRun(k, std::max(endTime, openSince[k]));
        Accumulator& a = sums[k];
        BandSummary& b = s.bands[k];
        // Every reading counts for a band the rate carries; one without any was never carried.
        if (a.weight <= 0.0) {
            b.carried = !any;
            continue;
        }
        b.levelMean = a.level / a.weight;
        b.levelP95 = weightedPercentile(a.levels, 0.95);
        b.leftDb = decibels(a.left / a.weight);
        b.rightDb = decibels(a.right / a.weight);
        b.midDb = decibels(a.mid / a.weight, BandAnalyser::kLowestLevelDb - BandAnalyser::kQuietDb);
        b.signalShare = a.signalWeight / a.weight;
        if (a.signalWeight <= 0.0) {
            b.balanceDbMean = b.leftLeanShare = b.rightLeanShare = b.spreadMean = NAN;
            b.spreadOverHalfShare = NAN;
            b.spreadMax = NAN;
            continue;
        }
        b.monoLossDb =
            analysis_report::monoLossDb(static_cast<float>(b.leftDb), static_cast<float>(b.rightDb),
                                        static_cast<float>(b.midDb));
        b.worstMonoLossDb = a.worstMonoLoss;
        b.balanceDbMean = a.balanceDb / a.signalWeight;
        b.leftLeanShare = a.leftLean / a.signalWeight;
        b.rightLeanShare = a.rightLean / a.signalWeight;
        b.spreadMean = a.spread / a.signalWeight;
        b.spreadMax = a.spreadMax;
        b.spreadOverHalfShare = a.spreadOverHalf / a.signalWeight;
    }
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.start < b.start; });
    for (const Run& run : runs) {
        if (s.phaseRanges.empty() || run.start > s.phaseRanges.back().end) {
            s.phaseRanges.push_back({run.start, run.end, {run.band}, run.maxSpread});
            continue;
        }
        PhaseRange& range = s.phaseRanges.back();
        range.end = std::max(range.end, run.end);
        range.maxSpread = std::max(range.maxSpread, run.maxSpread);
        if (std::find(range.bands.begin(), range.bands.end(), run.band) == range.bands.end())
            range.bands.push_back(run.band);
    }
    for (PhaseRange& range : s.phaseRanges)
        std::sort(range.bands.begin(), range.bands.end());
    return s;
}
