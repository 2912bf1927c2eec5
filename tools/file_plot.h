#pragma once
// `trob plot`: the whole file in one picture. Time runs along x; the thirty bands stand along
// y, 20 kHz at the top as in the editor. The upper panel shows balance as hue (one for left,
// one for right, grey at the centre) and level as brightness, with each band's mid level over
// the file in dB beside it; the lower panel shows spread, with the phase-problem ranges
// marked between the two.

#include "tools/analysis_report.h"
#include "tools/plot_canvas.h"
#include "tools/series_summary.h"

#include <cstdio>
#include <string>
#include <vector>

class FilePlot {
public:
    static constexpr int kNarrowest = 480;
    static constexpr int kWidest = 8000;
    static constexpr int kDefaultWidth = 1200;

    struct Panel {
        int left = 0, top = 0, right = 0, bottom = 0, rowHeight = 0;
    };
    // A text in the picture and the box it takes: its advance across, the font's ascent and
    // descent about the baseline up and down (right and bottom exclusive).
    struct TextBox {
        std::string text;
        int left = 0, top = 0, right = 0, bottom = 0;
    };

    // Readings in time order, as the analyser polls them.
    void add(const MeterReading& reading);

    // Draws the picture `width` pixels wide; false with `error()` when it cannot (no font).
    bool draw(const AnalysisInfo& info, const FileSummary& summary, const PhaseCriteria& criteria,
              int width);
    bool write(const std::string& path);
    const std::string& error() const { return errorText; }

    int width() const { return canvas.width(); }
    int height() const { return canvas.height(); }
    const PlotCanvas& picture() const { return canvas; }
    // Every text drawn, in the order drawn.
    const std::vector<TextBox>& texts() const { return textBoxes; }
    // Where the panels and the texts ended up, for scripts that read the picture.
    void printLayoutJson(std::FILE* out, const std::string& path) const;

private:
    struct Sample {
        float time;
        std::array<float, kAnalysedBands> balance, level, spread;
    };
    struct Column {
        bool any = false;
        std::array<float, kAnalysedBands> balance{}, level{}, spread{};
    };

    Column column(int x, int columns, double seconds) const;
    int timeToX(double t) const;
    void drawPanels(const FileSummary& summary);
    void drawAxes(PlotFont& small, const FileSummary& summary);
    void drawLevels(PlotFont& small, const FileSummary& summary);
    void drawLegend(PlotFont& small, PlotFont& heading, const PhaseCriteria& criteria);
    // Draws the text as PlotFont::draw does and keeps its box.
    void label(PlotFont& font, int x, int baseline, const std::string& text, Rgb colour,
               int align = 0);

    std::vector<Sample> samples;
    PlotCanvas canvas;
    Panel balancePanel, spreadPanel, phaseStrip;
    double seconds = 0.0;
    std::size_t phaseCount = 0;
    std::vector<TextBox> textBoxes;
    std::string errorText;
};

// The colours of the picture, for the legend and the tests' reasoning alike.
namespace plot_colours {
// Balance position (0 left .. 1 right) and level (0 .. 1) to a pixel of the upper panel.
Rgb balance(float position, float level);
// Spread (0 .. 1) to a pixel of the lower panel.
Rgb spread(float value);
} // namespace plot_colours
