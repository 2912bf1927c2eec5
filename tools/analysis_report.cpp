#include "tools/analysis_report.h"

#include "host/meter_interface.h"
#include "tools/number_text.h"

#include <algorithm>
#include <cmath>

namespace analysis_report {

namespace {
constexpr double kCentres[kAnalysedBands] = {
    25,  31.5, 40,   50,   63,   80,   100,  125,  160,  200,  250,  315,   400,   500,   630,
    800, 1000, 1250, 1600, 2000, 2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};

// The meter's balance curve: dB difference to distance from the centre, in percent.
double curve(double x) {
    return 0.0001729349558 * x * x * x * x - 0.004932667999 * x * x * x - 0.1485249855 * x * x +
           8.81863307 * x;
}

constexpr double kEdgeDecibels = 18.0;
// The layout of the report objects: 2 since the levels in dB, the delivery facts and the
// whole file by default.
constexpr int kJsonFormat = 2;
constexpr float kHighlightThreshold = 0.7f;

std::string centreText(double hz) {
    char text[40];
    if (hz >= 1000.0)
        std::snprintf(text, sizeof text, "%g kHz", hz / 1000.0);
    else
        std::snprintf(text, sizeof text, "%g Hz", hz);
    return text;
}

// Every number is written as the float it is (or, for derived values, is rounded to), in its
// shortest round-trip form; a value that is not there (NaN) as null.
std::string number(double v) {
    return std::isnan(v) ? "null" : number_text::json(static_cast<float>(v));
}

// "-12.3", or a dash for a value that is not there, right-aligned in `width` columns.
std::string decibelCell(double db, int width = 6) {
    if (std::isnan(db)) return std::string(static_cast<std::size_t>(width - 1), ' ') + "\u2014";
    char text[40];
    std::snprintf(text, sizeof text, "%*.1f", width, std::fabs(db) < 0.05 ? 0.0 : db);
    return text;
}

double amplitude(float db) {
    return std::isnan(db) ? 0.0 : std::pow(10.0, db / 20.0);
}

// The length of the well-formed UTF-8 sequence that starts at `at`, or 0 when none does (a
// stray continuation byte, an overlong form, a surrogate, a code point past U+10FFFF, a cut
// sequence).
std::size_t utf8Length(const std::string& s, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > s.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    return length;
}

void printHeader(std::FILE* out, const AnalysisInfo& info) {
    std::fprintf(out, "%s: %.3f s at %g Hz, blocks of %d frames\n\n", info.source.c_str(),
                 info.sampleRate > 0 ? info.frames / info.sampleRate : 0.0, info.sampleRate,
                 info.blockSize);
}

void printInfoJson(std::FILE* out, const AnalysisInfo& info) {
    std::fprintf(out, "{\n  \"source\": %s,\n  \"sample_rate\": %s,\n  \"frames\": %lld,\n",
                 jsonString(info.source).c_str(), number(info.sampleRate).c_str(),
                 static_cast<long long>(info.frames));
    std::fprintf(out, "  \"seconds\": %s,\n  \"block_size\": %d,\n  \"format\": %d,\n",
                 number(info.sampleRate > 0 ? info.frames / info.sampleRate : 0.0).c_str(),
                 info.blockSize, kJsonFormat);
    if (info.truncated) std::fprintf(out, "  \"truncated\": true,\n");
}

int percent(double share) {
    return static_cast<int>(std::lround(share * 100.0));
}

// What the table shows for a value a band the sample rate cannot carry does not have: a dash
// in a column `width` characters wide (the dash is one character but three bytes, so printf's
// padding cannot place it).
constexpr const char* kNoValue = "\u2014";
std::string noValue(int width, bool alignLeft = false) {
    const std::string pad(static_cast<std::size_t>(width - 1), ' ');
    return alignLeft ? kNoValue + pad : pad + kNoValue;
}

// The stereo axis with no bar on it.
std::string emptyAxis(int width) {
    std::string axis(static_cast<std::size_t>(width), '.');
    axis[static_cast<std::size_t>(width / 2)] = '|';
    return axis;
}
} // namespace

bool hasSignal(float leftDb, float rightDb) {
    return leftDb >= kSignalFloorDb || rightDb >= kSignalFloorDb;
}

double meanLevelDb(float leftDb, float rightDb) {
    if (std::isnan(leftDb) && std::isnan(rightDb)) return NAN;
    if (leftDb == rightDb) return leftDb; // exactly, with no rounding through amplitudes
    return 20.0 * std::log10(0.5 * (amplitude(leftDb) + amplitude(rightDb)));
}

double monoLossDb(float leftDb, float rightDb, float midDb) {
    if (!hasSignal(leftDb, rightDb)) return NAN;
    if (std::isnan(midDb)) return kMonoLossFloorDb;
    return std::max(kMonoLossFloorDb, std::min(0.0, midDb - meanLevelDb(leftDb, rightDb)));
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const std::size_t length = utf8Length(s, i);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || length == 0) {
            // Control characters, and bytes that are not UTF-8 read as Latin-1.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(s, i, length);
            i += length;
            continue;
        }
        ++i;
    }
    return out + "\"";
}

double bandCentre(int band) {
    return kCentres[band];
}

double balanceDecibels(float position) {
    const double distance = std::fabs(static_cast<double>(position) - 0.5) / 0.005;
    double low = 0.0, high = kEdgeDecibels;
    // The ends of the axis are where the curve reaches 18 dB (100 % of the way out).
    if (position <= 0.0f || position >= 1.0f || distance >= curve(high)) {
        low = high;
    } else {
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (low + high);
            (curve(mid) < distance ? low : high) = mid;
        }
    }
    return position >= 0.5f ? low : -low;
}

std::string balanceText(float position) {
    return decibelText(balanceDecibels(position));
}

std::string decibelText(double db) {
    char text[40];
    if (std::fabs(db) >= kEdgeDecibels)
        std::snprintf(text, sizeof text, "%c>18", db > 0 ? 'R' : 'L');
    else if (std::fabs(db) < 0.05)
        std::snprintf(text, sizeof text, "  0.0");
    else
        std::snprintf(text, sizeof text, "%c%4.1f", db > 0 ? 'R' : 'L', std::fabs(db));
    return text;
}

std::string textBar(float balance, float spread, float taper, float highlight, int width) {
    // The editor's geometry: a 181-pixel axis, the bar centred at balance * 177, half as
    // long as spread * 88.5 shortened towards the edges by the taper, and at least 5 pixels.
    const double centre = balance * 177.0;
    const double half = (1.0 - 2.0 * std::fabs(balance - 0.5) * taper) * (spread * 88.5);
    double x1 = std::trunc(centre - half);
    double x2 = std::trunc(centre + half + 5.0);
    if (x1 < 0) x1 = 0;
    if (x2 > 181) x2 = 181;
    std::string bar = emptyAxis(width);
    const int from = static_cast<int>(x1 * width / 182.0);
    int to = static_cast<int>(std::ceil(x2 * width / 182.0));
    if (to <= from) to = from + 1;
    const char mark = highlight >= kHighlightThreshold ? '#' : '=';
    for (int c = from; c < to && c < width; ++c)
        bar[static_cast<std::size_t>(c)] = mark;
    return bar;
}

void printTable(std::FILE* out, const MeterReading& r, const AnalysisInfo& info) {
    printHeader(out, info);
    std::fprintf(out, "%9s  %s\n", "", "--- dB re full-scale sine ---");
    std::fprintf(out, "%9s  %6s %6s %6s %6s  %-6s %8s  %6s  %6s  %9s  %-37s\n", "band", "left",
                 "right", "mid", "mono", "L/R dB", "position", "level", "spread", "highlight",
                 "L               centre               R");
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        if (isUncarriedBand(r.taper[k])) {
            std::fprintf(out, "%9s  %s %s %s %s  %s %s  %s  %s  %s  %s\n",
                         centreText(kCentres[k]).c_str(), noValue(6).c_str(), noValue(6).c_str(),
                         noValue(6).c_str(), noValue(6).c_str(), noValue(6, true).c_str(),
                         noValue(8).c_str(), noValue(6).c_str(), noValue(6).c_str(),
                         noValue(9).c_str(), emptyAxis(37).c_str());
            continue;
        }
        const bool signal = hasSignal(r.leftDb[k], r.rightDb[k]);
        std::fprintf(out, "%9s  %s %s %s %s  %-6s %8.3f  %6.3f  %6.3f  %9.3f  %s\n",
                     centreText(kCentres[k]).c_str(), decibelCell(r.leftDb[k]).c_str(),
                     decibelCell(r.rightDb[k]).c_str(), decibelCell(r.midDb[k]).c_str(),
                     decibelCell(monoLossDb(r.leftDb[k], r.rightDb[k], r.midDb[k])).c_str(),
                     signal ? balanceText(r.balance[k]).c_str() : "    \u2014", r.balance[k],
                     r.level[k], r.spread[k], r.highlight[k],
                     textBar(r.balance[k], r.spread[k], r.taper[k], r.highlight[k]).c_str());
    }
}

void printJson(std::FILE* out, const MeterReading& r, const AnalysisInfo& info, bool levels) {
    printInfoJson(out, info);
    std::fprintf(out, "  \"bands\": [\n");
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        if (isUncarriedBand(r.taper[k])) {
            std::fprintf(out,
                         "    {\"centre_hz\": %s, \"balance\": null, \"balance_db\": null, "
                         "\"level\": null, \"spread\": null, \"taper\": null, "
                         "\"highlight\": null%s}%s\n",
                         number(kCentres[k]).c_str(),
                         levels ? ", \"left_db\": null, \"right_db\": null, \"mid_db\": null, "
                                  "\"mono_loss_db\": null"
                                : "",
                         k > 0 ? "," : "");
            continue;
        }
        const bool signal = !levels || hasSignal(r.leftDb[k], r.rightDb[k]);
        std::fprintf(out,
                     "    {\"centre_hz\": %s, \"balance\": %s, \"balance_db\": %s, "
                     "\"level\": %s, \"spread\": %s, \"taper\": %s, \"highlight\": %s",
                     number(kCentres[k]).c_str(), number(r.balance[k]).c_str(),
                     number(signal ? balanceDecibels(r.balance[k]) : NAN).c_str(),
                     number(r.level[k]).c_str(), number(r.spread[k]).c_str(),
                     number(r.taper[k]).c_str(), number(r.highlight[k]).c_str());
        if (levels)
            std::fprintf(out,
                         ", \"left_db\": %s, \"right_db\": %s, \"mid_db\": %s, "
                         "\"mono_loss_db\": %s",
                         number(r.leftDb[k]).c_str(), number(r.rightDb[k]).c_str(),
                         number(r.midDb[k]).c_str(),
                         number(monoLossDb(r.leftDb[k], r.rightDb[k], r.midDb[k])).c_str());
        std::fprintf(out, "}%s\n", k > 0 ? "," : "");
    }
    std::fprintf(out, "  ]\n}");
}

std::string bandName(int band) {
    return centreText(kCentres[band]);
}

std::string bandList(const std::vector<int>& bands) {
    std::string text;
    for (std::size_t i = 0; i < bands.size();) {
        std::size_t j = i;
        while (j + 1 < bands.size() && bands[j + 1] == bands[j] + 1)
            ++j;
        if (!text.empty()) text += ", ";
        text += bandName(bands[i]);
        if (j > i) text += " - " + bandName(bands[j]);
        i = j + 1;
    }
    return text;
}

std::string clockText(double seconds) {
    const long long hundredths = std::llround(std::max(0.0, seconds) * 100.0);
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", hundredths / 6000, hundredths / 100 % 60,
                  hundredths % 100);
    return text;
}

void printSummary(std::FILE* out, const FileSummary& s, const AnalysisInfo& info,
                  const PhaseCriteria& criteria) {
    printHeader(out, info);
    std::fprintf(out, "%9s  %-34s  %-23s  %-23s\n", "", "---- dB re full-scale sine -----",
                 "------- balance -------", "-------- spread -------");
    std::fprintf(out, "%9s  %6s %6s %6s %6s %6s  %7s %7s %7s  %7s %7s %7s\n", "band", "left",
                 "right", "mid", "mono", "worst", "mean dB", "L>3dB", "R>3dB", "mean", "max",
                 ">0.5");
    const std::string none = "      \u2014";
    auto share = [&](double v) {
        if (std::isnan(v)) return none;
        char text[16];
        std::snprintf(text, sizeof text, "%6d%%", percent(v));
        return std::string(text);
    };
    auto fraction = [&](double v) {
        if (std::isnan(v)) return none;
        char text[16];
        std::snprintf(text, sizeof text, "%7.3f", v);
        return std::string(text);
    };
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        const BandSummary& b = s.bands[k];
        if (!b.carried) {
            std::fprintf(out, "%9s  %s %s %s %s %s  %s %s %s  %s %s %s\n",
                         centreText(kCentres[k]).c_str(), noValue(6).c_str(), noValue(6).c_str(),
                         noValue(6).c_str(), noValue(6).c_str(), noValue(6).c_str(),
                         noValue(7).c_str(), noValue(7).c_str(), noValue(7).c_str(),
                         noValue(7).c_str(), noValue(7).c_str(), noValue(7).c_str());
            continue;
        }
        std::fprintf(out, "%9s  %s %s %s %s %s  %7s %s %s  %s %s %s\n",
                     centreText(kCentres[k]).c_str(), decibelCell(b.leftDb).c_str(),
                     decibelCell(b.rightDb).c_str(), decibelCell(b.midDb).c_str(),
                     decibelCell(b.monoLossDb).c_str(), decibelCell(b.worstMonoLossDb).c_str(),
                     std::isnan(b.balanceDbMean) ? none.c_str()
                                                 : decibelText(b.balanceDbMean).c_str(),
                     share(b.leftLeanShare).c_str(), share(b.rightLeanShare).c_str(),
                     fraction(b.spreadMean).c_str(), fraction(b.spreadMax).c_str(),
                     share(b.spreadOverHalfShare).c_str());
    }
    std::fprintf(out, "\nphase problems (spread above %g for %g s or more): ", criteria.threshold,
                 criteria.minDuration);
    if (s.phaseRanges.empty()) {
        std::fprintf(out, "none\n");
        return;
    }
    std::fprintf(out, "%zu\n", s.phaseRanges.size());
    for (const PhaseRange& r : s.phaseRanges)
        std::fprintf(out, "  %s - %s  (%.2f s)  spread up to %.2f  %zu band%s: %s\n",
                     clockText(r.start).c_str(), clockText(r.end).c_str(), r.end - r.start,
                     r.maxSpread, r.bands.size(), r.bands.size() == 1 ? "" : "s",
                     bandList(r.bands).c_str());
}

void printSummaryJson(std::FILE* out, const FileSummary& s, const AnalysisInfo& info,
                      const PhaseCriteria& criteria) {
    printInfoJson(out, info);
    std::fprintf(out, "  \"phase_threshold\": %s,\n  \"min_duration_s\": %s,\n  \"bands\": [\n",
                 number(criteria.threshold).c_str(), number(criteria.minDuration).c_str());
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        const BandSummary& b = s.bands[k];
        if (!b.carried) {
            std::fprintf(out,
                         "    {\"centre_hz\": %s, \"left_db\": null, \"right_db\": null, "
                         "\"mid_db\": null, \"mono_loss_db\": null, \"worst_mono_loss_db\": null, "
                         "\"signal_share\": null, \"level_mean\": null, \"level_p95\": null, "
                         "\"balance_db_mean\": null, \"left_lean_share\": null, "
                         "\"right_lean_share\": null, \"spread_mean\": null, "
                         "\"spread_max\": null, \"spread_over_half_share\": null}%s\n",
                         number(kCentres[k]).c_str(), k > 0 ? "," : "");
            continue;
        }
        std::fprintf(out,
                     "    {\"centre_hz\": %s, \"left_db\": %s, \"right_db\": %s, \"mid_db\": %s, "
                     "\"mono_loss_db\": %s, \"worst_mono_loss_db\": %s, \"signal_share\": %s, "
                     "\"level_mean\": %s, \"level_p95\": %s, "
                     "\"balance_db_mean\": %s, \"left_lean_share\": %s, "
                     "\"right_lean_share\": %s, \"spread_mean\": %s, \"spread_max\": %s, "
                     "\"spread_over_half_share\": %s}%s\n",
                     number(kCentres[k]).c_str(), number(b.leftDb).c_str(),
                     number(b.rightDb).c_str(), number(b.midDb).c_str(),
                     number(b.monoLossDb).c_str(), number(b.worstMonoLossDb).c_str(),
                     number(b.signalShare).c_str(), number(b.levelMean).c_str(),
                     number(b.levelP95).c_str(), number(b.balanceDbMean).c_str(),
                     number(b.leftLeanShare).c_str(), number(b.rightLeanShare).c_str(),
                     number(b.spreadMean).c_str(), number(b.spreadMax).c_str(),
                     number(b.spreadOverHalfShare).c_str(), k > 0 ? "," : "");
    }
    std::fprintf(out, "  ],\n  \"phase_problems\": [");
    for (std::size_t i = 0; i < s.phaseRanges.size(); ++i) {
        const PhaseRange& r = s.phaseRanges[i];
        std::string bands;
        for (auto k = r.bands.rbegin(); k != r.bands.rend(); ++k)
            bands += (bands.empty() ? "" : ", ") + number(kCentres[*k]);
        std::fprintf(out,
                     "%s\n    {\"start_s\": %s, \"end_s\": %s, \"max_spread\": %s, "
                     "\"bands_hz\": [%s]}",
                     i ? "," : "", number(r.start).c_str(), number(r.end).c_str(),
                     number(r.maxSpread).c_str(), bands.c_str());
    }
    std::fprintf(out, "%s]\n}", s.phaseRanges.empty() ? "" : "\n  ");
}

void printErrorJson(std::FILE* out, const std::string& source, const std::string& error) {
    std::fprintf(out, "{\n  \"source\": %s,\n  \"error\": %s\n}", jsonString(source).c_str(),
                 jsonString(error).c_str());
}

} // namespace analysis_report
