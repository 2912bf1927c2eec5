#pragma once
// Turns meter readings into what `trob analyse` prints: the final table, its JSON form, and
// the helpers both share (band centres, balance in dB, the text bar).

#include "tools/band_analyser.h"
#include "tools/series_summary.h"

#include <cstdio>
#include <string>
#include <vector>

struct AnalysisInfo {
    std::string source; // file name or "demo signal"
    double sampleRate = 0.0;
    std::int64_t frames = 0;
    int blockSize = 0;
    bool truncated = false; // the file's data ended before the length its header gives
};

namespace analysis_report {

// Bands whose louder channel is below this level (dB relative to a full-scale sine at the
// band's centre) carry no signal: they report no balance, spread or mono loss, and cannot be
// out of phase.
constexpr double kSignalFloorDb = -50.0;
// Mono loss reads no lower than this: the channels cancel.
constexpr double kMonoLossFloorDb = -60.0;

// Whether a band at these levels (NaN: below the probes' range) carries signal.
bool hasSignal(float leftDb, float rightDb);
// The level of the mean of the two channels' band amplitudes, in dB; NaN when both are NaN.
double meanLevelDb(float leftDb, float rightDb);
// How much quieter the band gets summed to mono: the mid level against the mean of the left
// and right levels. 0 dB for identical channels, about -3 dB for unrelated ones, and
// kMonoLossFloorDb when they cancel (or the mid is below the probes' range). NaN without
// signal.
double monoLossDb(float leftDb, float rightDb, float midDb);

// A text as a JSON string. Control characters are escaped; bytes that do not form UTF-8 (a
// file name in Latin-1, say) become the characters they stand for in Latin-1, escaped, so
// that the JSON is always valid.
std::string jsonString(const std::string& text);

// Nominal centre of band k (0 = 25 Hz), as the meter's scale labels it.
double bandCentre(int band);

// The level difference a balance position stands for, in dB: positive when the right channel
// is louder. The meter's curve ends at 18 dB; positions at either end read +-18 and mean "18
// dB or more".
double balanceDecibels(float position);

// "L 6.0", "R 3.0", "  0.0", "R>18" and so on: which side is louder and by how much.
std::string balanceText(float position);
// The same for a difference in dB (positive: right louder).
std::string decibelText(double decibels);

// Where the band's bar would sit on the editor's stereo axis, in `width` characters: '=' for
// the bar, '#' when the highlight is lit, '|' for the centre, '.' elsewhere.
std::string textBar(float balance, float spread, float taper, float highlight, int width = 37);

// "20 kHz", "1.25 kHz", "31.5 Hz": the band's centre as the meter's scale labels it.
std::string bandName(int band);
// "25 Hz - 20 kHz", "63 Hz, 1 kHz - 4 kHz": ascending band indices, neighbours joined.
std::string bandList(const std::vector<int>& bands);
// "0:02.27", "12:05.00": a time in the file as minutes, seconds and hundredths.
std::string clockText(double seconds);

void printTable(std::FILE* out, const MeterReading& reading, const AnalysisInfo& info);
void printSummary(std::FILE* out, const FileSummary& summary, const AnalysisInfo& info,
                  const PhaseCriteria& criteria);

// The JSON forms: one object each, without a line break after the closing brace, so that
// several can stand in one array.
// `levels`: the reading holds the probes' dB levels (left, right, mid, mono loss), and a band
// without signal has no balance in dB.
void printJson(std::FILE* out, const MeterReading& reading, const AnalysisInfo& info,
               bool levels = true);
void printSummaryJson(std::FILE* out, const FileSummary& summary, const AnalysisInfo& info,
                      const PhaseCriteria& criteria);
void printErrorJson(std::FILE* out, const std::string& source, const std::string& error);

} // namespace analysis_report
