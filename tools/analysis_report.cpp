#include "tools/analysis_report.h"

#include "tools/number_text.h"

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
// shortest round-trip form.
std::string number(double v) {
    return number_text::json(static_cast<float>(v));
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
} // namespace

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
    const double db = balanceDecibels(position);
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
    std::string bar(static_cast<std::size_t>(width), '.');
    bar[static_cast<std::size_t>(width / 2)] = '|';
    const int from = static_cast<int>(x1 * width / 182.0);
    int to = static_cast<int>(std::ceil(x2 * width / 182.0));
    if (to <= from) to = from + 1;
    const char mark = highlight >= kHighlightThreshold ? '#' : '=';
    for (int c = from; c < to && c < width; ++c)
        bar[static_cast<std::size_t>(c)] = mark;
    return bar;
}

void printTable(std::FILE* out, const MeterReading& r, const AnalysisInfo& info) {
    std::fprintf(out, "%s: %.3f s at %g Hz, blocks of %d frames\n\n", info.source.c_str(),
                 info.sampleRate > 0 ? info.frames / info.sampleRate : 0.0, info.sampleRate,
                 info.blockSize);
    std::fprintf(out, "%9s  %-5s %8s  %6s  %6s  %9s  %-37s\n", "band", "L/R dB", "position",
                 "level", "spread", "highlight", "L               centre               R");
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        std::fprintf(out, "%9s  %-6s %8.3f  %6.3f  %6.3f  %9.3f  %s\n",
                     centreText(kCentres[k]).c_str(), balanceText(r.balance[k]).c_str(),
                     r.balance[k], r.level[k], r.spread[k], r.highlight[k],
                     textBar(r.balance[k], r.spread[k], r.taper[k], r.highlight[k]).c_str());
    }
}

void printJson(std::FILE* out, const MeterReading& r, const AnalysisInfo& info) {
    std::fprintf(out, "{\n  \"source\": %s,\n  \"sample_rate\": %s,\n  \"frames\": %lld,\n",
                 jsonString(info.source).c_str(), number(info.sampleRate).c_str(),
                 static_cast<long long>(info.frames));
    std::fprintf(out, "  \"seconds\": %s,\n  \"block_size\": %d,\n  \"bands\": [\n",
                 number(info.sampleRate > 0 ? info.frames / info.sampleRate : 0.0).c_str(),
                 info.blockSize);
    for (int k = kAnalysedBands - 1; k >= 0; --k) {
        std::fprintf(out,
                     "    {\"centre_hz\": %s, \"balance\": %s, \"balance_db\": %s, "
                     "\"level\": %s, \"spread\": %s, \"taper\": %s, \"highlight\": %s}%s\n",
                     number(kCentres[k]).c_str(), number(r.balance[k]).c_str(),
                     number(balanceDecibels(r.balance[k])).c_str(), number(r.level[k]).c_str(),
                     number(r.spread[k]).c_str(), number(r.taper[k]).c_str(),
                     number(r.highlight[k]).c_str(), k > 0 ? "," : "");
    }
    std::fprintf(out, "  ]\n}\n");
}

} // namespace analysis_report
