#pragma once
// Turns meter readings into what `trob analyse` prints: the final table, its JSON form, and
// the helpers both share (band centres, balance in dB, the text bar).

#include "tools/band_analyser.h"

#include <cstdio>
#include <string>

struct AnalysisInfo {
    std::string source; // file name or "demo signal"
    double sampleRate = 0.0;
    std::int64_t frames = 0;
    int blockSize = 0;
};

namespace analysis_report {

// Nominal centre of band k (0 = 25 Hz), as the meter's scale labels it.
double bandCentre(int band);

// The level difference a balance position stands for, in dB: positive when the right channel
// is louder. The meter's curve ends at 18 dB; positions at either end read +-18 and mean "18
// dB or more".
double balanceDecibels(float position);

// "L 6.0", "R 3.0", "  0.0", "R>18" and so on: which side is louder and by how much.
std::string balanceText(float position);

// Where the band's bar would sit on the editor's stereo axis, in `width` characters: '=' for
// the bar, '#' when the highlight is lit, '|' for the centre, '.' elsewhere.
std::string textBar(float balance, float spread, float taper, float highlight, int width = 37);

void printTable(std::FILE* out, const MeterReading& reading, const AnalysisInfo& info);
void printJson(std::FILE* out, const MeterReading& reading, const AnalysisInfo& info);

} // namespace analysis_report
