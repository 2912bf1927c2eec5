#include "tools/file_plot.h"

#include "tools/number_text.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

constexpr Rgb kBackground{24, 26, 31};
constexpr Rgb kPanelEmpty{0, 0, 0};
constexpr Rgb kText{214, 217, 224};
constexpr Rgb kDimText{140, 145, 156};
constexpr Rgb kAxis{92, 97, 108};
constexpr Rgb kLeftHue{58, 150, 255};
constexpr Rgb kRightHue{255, 146, 38};
constexpr Rgb kCentreGrey{200, 200, 200};
constexpr Rgb kPhaseMark{236, 54, 54};
constexpr Rgb kStripEmpty{38, 41, 48};

constexpr int kLeftMargin = 62;
constexpr int kLevelColumn = 40; // the mid levels beside the upper panel
constexpr int kRightMargin = 190 + kLevelColumn;
constexpr int kTitleHeight = 60; // the title, the facts, and the scales' headings
constexpr int kBalanceRow = 14;
constexpr int kSpreadRow = 6;
constexpr int kStripGap = 8;
constexpr int kStripHeight = 12;
constexpr int kAxisHeight = 46;

Rgb mix(Rgb a, Rgb b, double t) {
    auto m = [t](std::uint8_t x, std::uint8_t y) {
        return static_cast<std::uint8_t>(std::lround(x + (y - x) * t));
    };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

Rgb scaled(Rgb c, double v) {
    return mix(Rgb{0, 0, 0}, c, std::clamp(v, 0.0, 1.0));
}

// "20k", "12.5k", "800", "31.5": band centres as short as a scale needs them.
std::string shortBandName(int band) {
    const double hz = analysis_report::bandCentre(band);
    char text[16];
    if (hz >= 1000.0)
        std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
    else
        std::snprintf(text, sizeof text, "%g", hz);
    return text;
}

// A step between time labels of at least `minimum` seconds, from a list that reads well.
double timeStep(double minimum) {
    static const double steps[] = {0.1, 0.2, 0.5, 1,   2,    5,    10,   15,    30,   60,
                                   120, 300, 600, 900, 1800, 3600, 7200, 18000, 36000};
    for (double s : steps)
        if (s >= minimum) return s;
    return steps[std::size(steps) - 1];
}

std::string timeLabel(double t, double step) {
    const long long tenths = std::llround(t * 10.0);
    char text[32];
    if (step < 1.0)
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", tenths / 600, tenths / 10 % 60,
                      tenths % 10);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", tenths / 600, tenths / 10 % 60);
    return text;
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

namespace plot_colours {

Rgb balance(float position, float level) {
    const double side = (static_cast<double>(position) - 0.5) * 2.0;
    // 3 dB is a quarter of the way out on the meter's curve; show it as a clear tint.
    const double saturation = std::min(1.0, std::fabs(side) * 1.6);
    const Rgb hue = mix(kCentreGrey, side < 0 ? kLeftHue : kRightHue, saturation);
    return scaled(hue, level);
}

Rgb spread(float value) {
    struct Stop {
        float at;
        Rgb c;
    };
    // Calm blues up to the point where the channels are as often opposite as alike, then
    // warm: amber at 0.5, red where they mostly cancel.
    static const Stop stops[] = {{0.0f, {10, 11, 15}},   {0.2f, {28, 44, 70}},
                                 {0.4f, {60, 92, 128}},  {0.5f, {196, 164, 64}},
                                 {0.65f, {236, 96, 38}}, {0.85f, {226, 34, 40}},
                                 {1.0f, {255, 92, 128}}};
    const float v = std::clamp(std::isnan(value) ? 0.0f : value, 0.0f, 1.0f);
    for (std::size_t i = 1; i < std::size(stops); ++i)
        if (v <= stops[i].at)
            return mix(stops[i - 1].c, stops[i].c,
                       (v - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
    return stops[std::size(stops) - 1].c;
}

} // namespace plot_colours

void FilePlot::add(const MeterReading& r) {
    samples.push_back({static_cast<float>(r.time), r.balance, r.level, r.spread});
}

FilePlot::Column FilePlot::column(int x, int columns, double total) const {
    Column c;
    if (samples.empty() || total <= 0.0) return c;
    const double t0 = total * x / columns, t1 = total * (x + 1) / columns;
    // A reading stands for the time since the one before it: take every reading whose stretch
    // overlaps the column, or, when the column is narrower than a stretch, the one covering it.
    auto first = std::upper_bound(samples.begin(), samples.end(), t0,
                                  [](double t, const Sample& s) { return t < s.time; });
    if (first == samples.end()) first = samples.end() - 1;
    auto last = std::lower_bound(first, samples.end(), t1,
                                 [](const Sample& s, double t) { return s.time < t; });
    if (last == samples.end()) last = samples.end() - 1;
    const auto n = static_cast<float>(last - first + 1);
    for (auto s = first; s <= last; ++s)
        for (int k = 0; k < kAnalysedBands; ++k) {
            c.balance[k] += s->balance[k] / n;
            c.level[k] += s->level[k] / n;
            // The worst moment in the column stays visible however long the file.
            c.spread[k] = std::max(c.spread[k], s->spread[k]);
        }
    c.any = true;
    return c;
}

int FilePlot::timeToX(double t) const {
    const int w = balancePanel.right - balancePanel.left;
    if (seconds <= 0.0) return balancePanel.left;
    return balancePanel.left + static_cast<int>(std::lround(std::clamp(t / seconds, 0.0, 1.0) * w));
}

void FilePlot::drawPanels(const FileSummary& summary) {
    const int columns = balancePanel.right - balancePanel.left;
    canvas.fill(balancePanel.left, balancePanel.top, balancePanel.right, balancePanel.bottom,
                kPanelEmpty);
    canvas.fill(spreadPanel.left, spreadPanel.top, spreadPanel.right, spreadPanel.bottom,
                kPanelEmpty);
    canvas.fill(phaseStrip.left, phaseStrip.top, phaseStrip.right, phaseStrip.bottom, kStripEmpty);
    // A band the sample rate cannot carry is no silence: its rows are left blank, in the
    // picture's ground colour.
    for (int k = 0; k < kAnalysedBands; ++k) {
        if (summary.bands[k].carried) continue;
        const int row = kAnalysedBands - 1 - k;
        canvas.fill(balancePanel.left, balancePanel.top + row * kBalanceRow, balancePanel.right,
                    balancePanel.top + (row + 1) * kBalanceRow - 1, kBackground);
        canvas.fill(spreadPanel.left, spreadPanel.top + row * kSpreadRow, spreadPanel.right,
                    spreadPanel.top + (row + 1) * kSpreadRow - 1, kBackground);
    }
    for (int x = 0; x < columns; ++x) {
        const Column c = column(x, columns, seconds);
        if (!c.any) continue;
        for (int k = 0; k < kAnalysedBands; ++k) {
            if (!summary.bands[k].carried) continue;
            const int row = kAnalysedBands - 1 - k; // 20 kHz at the top
            const int bx = balancePanel.left + x;
            const Rgb b = plot_colours::balance(c.balance[k], c.level[k]);
            canvas.fill(bx, balancePanel.top + row * kBalanceRow, bx + 1,
                        balancePanel.top + (row + 1) * kBalanceRow - 1, b);
            const Rgb s = plot_colours::spread(c.spread[k]);
            canvas.fill(bx, spreadPanel.top + row * kSpreadRow, bx + 1,
                        spreadPanel.top + (row + 1) * kSpreadRow - 1, s);
        }
    }
    // Each range: its stretch of the strip, and a frame round its bands in the spread panel.
    for (const PhaseRange& r : summary.phaseRanges) {
        const int x0 = timeToX(r.start), x1 = std::max(timeToX(r.end), x0 + 2);
        canvas.fill(x0, phaseStrip.top, x1, phaseStrip.bottom, kPhaseMark);
        const int top = spreadPanel.top + (kAnalysedBands - 1 - r.bands.back()) * kSpreadRow;
        const int bottom = spreadPanel.top + (kAnalysedBands - r.bands.front()) * kSpreadRow;
        canvas.frame(x0 - 1, top - 1, x1 + 1, bottom, Rgb{255, 255, 255}, 220);
    }
}

void FilePlot::drawAxes(PlotFont& small, const FileSummary&) {
    const int mid = small.ascent() / 2 - 1;
    // Band centres: every band beside the upper panel, every third beside the lower one.
    for (int k = 0; k < kAnalysedBands; ++k) {
        const int row = kAnalysedBands - 1 - k;
        label(small, balancePanel.left - 7,
              balancePanel.top + row * kBalanceRow + kBalanceRow / 2 + mid - 1, shortBandName(k),
              k % 3 == 2 ? kText : kDimText, 2);
        if (k % 3 == 2) {
            const int y = spreadPanel.top + row * kSpreadRow + kSpreadRow / 2;
            label(small, spreadPanel.left - 7, y + mid - 1, shortBandName(k), kDimText, 2);
            canvas.fill(spreadPanel.left - 4, y - 1, spreadPanel.left - 1, y, kAxis);
        }
        canvas.fill(
            balancePanel.left - 4, balancePanel.top + row * kBalanceRow + kBalanceRow / 2 - 1,
            balancePanel.left - 1, balancePanel.top + row * kBalanceRow + kBalanceRow / 2, kAxis);
    }
    label(small, balancePanel.left - 7, balancePanel.top - 6, "Hz", kDimText, 2);
    label(small, phaseStrip.left - 7, phaseStrip.bottom - 2, "phase", kDimText, 2);

    // Time: ticks through both panels, labels in m:ss below.
    const int w = balancePanel.right - balancePanel.left;
    const double step = seconds > 0 ? timeStep(seconds * 90.0 / w) : 1.0;
    const int axisY = spreadPanel.bottom;
    for (int i = 0; seconds > 0 && i * step <= seconds + 1e-9; ++i) {
        const double t = i * step;
        const int x = timeToX(t);
        canvas.fill(x, balancePanel.top, x + 1, balancePanel.bottom, Rgb{255, 255, 255}, 34);
        canvas.fill(x, spreadPanel.top, x + 1, spreadPanel.bottom, Rgb{255, 255, 255}, 34);
        canvas.fill(x, axisY + 1, x + 1, axisY + 6, kAxis);
        const std::string text = timeLabel(t, step);
        // The last label keeps inside the picture.
        const int lw = small.textWidth(text);
        const int lx = std::min(x, canvas.width() - 4 - lw / 2);
        label(small, lx, axisY + 8 + small.ascent(), text, kText, 1);
    }
    label(small, balancePanel.right, axisY + 26 + small.ascent(), "time (m:ss)", kDimText, 2);
    canvas.frame(balancePanel.left - 1, balancePanel.top - 1, balancePanel.right + 1,
                 balancePanel.bottom + 1, kAxis);
    canvas.frame(spreadPanel.left - 1, spreadPanel.top - 1, spreadPanel.right + 1,
                 spreadPanel.bottom + 1, kAxis);
}

void FilePlot::label(PlotFont& font, int x, int baseline, const std::string& text, Rgb colour,
                     int align) {
    const int width = font.textWidth(text);
    const int left = align == 1 ? x - width / 2 : align == 2 ? x - width : x;
    textBoxes.push_back(
        {text, left, baseline - font.ascent(), left + width, baseline + font.descent()});
    font.draw(canvas, x, baseline, text, colour, align);
}

void FilePlot::drawLevels(PlotFont& small, const FileSummary& summary) {
    // Each band's mid level over the whole file, beside its row: a dash below the probes'
    // range, dim without signal, nothing for a band the rate cannot carry.
    const int right = balancePanel.right + kLevelColumn - 4;
    const int mid = small.ascent() / 2 - 1;
    label(small, right, balancePanel.top - 6, "mid dB", kDimText, 2);
    for (int k = 0; k < kAnalysedBands; ++k) {
        const BandSummary& b = summary.bands[k];
        if (!b.carried) continue;
        const int row = kAnalysedBands - 1 - k;
        const int baseline = balancePanel.top + row * kBalanceRow + kBalanceRow / 2 + mid - 1;
        const bool signal =
            analysis_report::hasSignal(static_cast<float>(b.leftDb), static_cast<float>(b.rightDb));
        const long db = std::isfinite(b.midDb) ? std::lround(b.midDb) : 0;
        label(small, right, baseline,
              std::isfinite(b.midDb) ? std::to_string(db) : std::string("\u2013"),
              signal ? kText : kDimText, 2);
    }
}

void FilePlot::drawLegend(PlotFont& small, PlotFont& heading, const PhaseCriteria& criteria) {
    const int x = balancePanel.right + kLevelColumn + 22;
    const int keyWidth = canvas.width() - x - 16;
    int y = balancePanel.top + heading.ascent();
    label(heading, x, y, "Balance and level", kText);

    // Balance across, level up: the colours of the upper panel.
    const int keyTop = y + 10, keyHeight = 84;
    for (int i = 0; i < keyWidth; ++i)
        for (int j = 0; j < keyHeight; ++j) {
            const float position = static_cast<float>(i) / static_cast<float>(keyWidth - 1);
            const float level = 1.0f - static_cast<float>(j) / static_cast<float>(keyHeight - 1);
            canvas.set(x + i, keyTop + j, plot_colours::balance(position, level));
        }
    canvas.frame(x - 1, keyTop - 1, x + keyWidth + 1, keyTop + keyHeight + 1, kAxis);
    // The meter's curve puts 6 dB 47 % of the way out and 18 dB at the edge.
    const int half = keyWidth / 2;
    struct Mark {
        double offset;
        const char* text;
    };
    const Mark marks[] = {{-1.0, "18"}, {-0.4716, "6"}, {0.0, "0"}, {0.4716, "6"}, {1.0, "18"}};
    const int markY = keyTop + keyHeight + 1;
    for (const Mark& m : marks) {
        const int mx = x + half + static_cast<int>(std::lround(m.offset * (half - 0.5)));
        canvas.fill(mx, markY, mx + 1, markY + 4, kAxis);
        label(small, mx, markY + 5 + small.ascent(), m.text, kDimText, 1);
    }
    y = markY + 5 + small.ascent() + 16;
    label(small, x, y, "L louder", kLeftHue);
    label(small, x + keyWidth, y, "R louder", kRightHue, 2);
    label(small, x + half, y, "dB", kDimText, 1);
    y += 20;
    // The meter's level scale: 56 dB from black to full, its top where a sine in both
    // channels at a band's centre is about 7.5 dB below full scale.
    // Then what the mid dB column beside the panel holds.
    const auto lines = [&](std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            label(small, x, y, text, kDimText);
            y += 16;
        }
    };
    lines({"brightness: level, black", "at -56 dB to full at 0 dB", "(a sine in both channels",
           "at -7.5 dBFS)"});
    y += 10;
    lines({"mid dB: each band's (L+R)/2", "level over the file, in dB of",
           "a full-scale sine (dim: no signal)"});

    // The spread scale, with the phase threshold marked.
    y = spreadPanel.top + heading.ascent() - 26;
    label(heading, x, y, "Spread", kText);
    const int barTop = y + 9, barHeight = 12;
    for (int i = 0; i < keyWidth; ++i)
        canvas.fill(x + i, barTop, x + i + 1, barTop + barHeight,
                    plot_colours::spread(static_cast<float>(i) / static_cast<float>(keyWidth - 1)));
    canvas.frame(x - 1, barTop - 1, x + keyWidth + 1, barTop + barHeight + 1, kAxis);
    for (double v : {0.0, 0.5, 1.0}) {
        const int mx = x + static_cast<int>(std::lround(v * (keyWidth - 1)));
        canvas.fill(mx, barTop + barHeight + 1, mx + 1, barTop + barHeight + 5, kAxis);
        label(small, mx, barTop + barHeight + 6 + small.ascent(),
              v == 0.5   ? "0.5"
              : v == 0.0 ? "0"
                         : "1",
              kDimText, 1);
    }
    const int tx = x + static_cast<int>(std::lround(criteria.threshold * (keyWidth - 1)));
    canvas.fill(tx, barTop - 4, tx + 1, barTop + barHeight + 1, Rgb{255, 255, 255});
    y = barTop + barHeight + 6 + small.ascent() + 18;
    label(small, x, y, "0 alike, 0.5 unrelated,", kDimText);
    y += 15;
    label(small, x, y, "1 opposite (cancels in mono)", kDimText);
    y += 21;
    canvas.fill(x, y - 9, x + 18, y + 1, kPhaseMark);
    char text[96];
    std::snprintf(text, sizeof text, "out of phase: above %s",
                  number_text::shortest(criteria.threshold).c_str());
    label(small, x + 24, y, text, kText);
    std::snprintf(text, sizeof text, "for %s s or more",
                  number_text::shortest(static_cast<float>(criteria.minDuration)).c_str());
    label(small, x + 24, y + 15, text, kText);
}

bool FilePlot::draw(const AnalysisInfo& info, const FileSummary& summary,
                    const PhaseCriteria& criteria, int width) {
    seconds = summary.seconds;
    phaseCount = summary.phaseRanges.size();
    balancePanel = {kLeftMargin, kTitleHeight, width - kRightMargin,
                    kTitleHeight + kAnalysedBands * kBalanceRow, kBalanceRow};
    phaseStrip = {balancePanel.left, balancePanel.bottom + kStripGap, balancePanel.right,
                  balancePanel.bottom + kStripGap + kStripHeight, kStripHeight};
    spreadPanel = {balancePanel.left, phaseStrip.bottom + kStripGap, balancePanel.right,
                   phaseStrip.bottom + kStripGap + kAnalysedBands * kSpreadRow, kSpreadRow};
    if (!canvas.create(width, spreadPanel.bottom + kAxisHeight, kBackground)) {
        errorText = "cannot make a picture of " + std::to_string(width) + " pixels";
        return false;
    }
    PlotFont small, heading, title;
    if (!small.load("Liberation Sans", 11, false) || !heading.load("Liberation Sans", 13, true) ||
        !title.load("Liberation Sans", 15, true)) {
        errorText = !small.error().empty()     ? small.error()
                    : !heading.error().empty() ? heading.error()
                                               : title.error();
        return false;
    }
    textBoxes.clear();
    drawPanels(summary);
    drawAxes(small, summary);
    drawLevels(small, summary);
    drawLegend(small, heading, criteria);

    // A long name is cut with an ellipsis where the picture ends.
    std::string name = info.source == "-" ? "standard input" : baseName(info.source);
    const int room = canvas.width() - 16 - balancePanel.left;
    if (title.textWidth(name) > room) {
        while (!name.empty() && title.textWidth(name + "\u2026") > room) {
            name.pop_back();
            // Never leave half a UTF-8 sequence behind.
            while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
                name.pop_back();
            if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0) name.pop_back();
        }
        name += "\u2026";
    }
    label(title, balancePanel.left, 22, name, kText);
    char facts[160];
    std::snprintf(facts, sizeof facts, "%s  \u00b7  %g Hz  \u00b7  %zu phase problem%s",
                  analysis_report::clockText(seconds).c_str(), info.sampleRate, phaseCount,
                  phaseCount == 1 ? "" : "s");
    label(small, balancePanel.left, 40, facts, phaseCount ? Rgb{255, 150, 140} : kDimText);
    // Against the picture's right edge, clear of the facts however narrow the picture.
    label(small, canvas.width() - 16, 40, "analysed by TROBEdit", kDimText, 2);
    return true;
}

bool FilePlot::write(const std::string& path) {
    if (canvas.writePng(path)) return true;
    errorText = "cannot write '" + path + "'";
    return false;
}

void FilePlot::printLayoutJson(std::FILE* out, const std::string& path) const {
    std::string texts;
    for (const TextBox& t : textBoxes)
        texts += std::string(texts.empty() ? "" : ",") +
                 "\n    {\"text\": " + analysis_report::jsonString(t.text) +
                 ", \"left\": " + std::to_string(t.left) + ", \"top\": " + std::to_string(t.top) +
                 ", \"right\": " + std::to_string(t.right) +
                 ", \"bottom\": " + std::to_string(t.bottom) + "}";
    auto panel = [](const Panel& p) {
        return "{\"left\": " + std::to_string(p.left) + ", \"top\": " + std::to_string(p.top) +
               ", \"right\": " + std::to_string(p.right) +
               ", \"bottom\": " + std::to_string(p.bottom) +
               ", \"row_height\": " + std::to_string(p.rowHeight) + "}";
    };
    std::fprintf(out,
                 "{\n  \"out\": %s,\n  \"width\": %d,\n  \"height\": %d,\n  \"seconds\": %s,\n"
                 "  \"balance_panel\": %s,\n  \"phase_strip\": %s,\n  \"spread_panel\": %s,\n"
                 "  \"phase_problems\": %zu,\n  \"texts\": [%s\n  ]\n}\n",
                 analysis_report::jsonString(path).c_str(), width(), height(),
                 number_text::json(static_cast<float>(seconds)).c_str(),
                 panel(balancePanel).c_str(), panel(phaseStrip).c_str(), panel(spreadPanel).c_str(),
                 phaseCount, texts.c_str());
}
