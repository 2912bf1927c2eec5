#include "editor/meter_bar_view.h"

#include "host/meter_interface.h"
#include "toolkit/bitmap.h"

#include <cmath>

namespace {

// The pictures' geometry: a 181-pixel axis on which 177 places the bar and 88.5 is half its
// longest length, 5-pixel rows, 240 gradient rows.
constexpr double kAxisPlace = 177.0;
constexpr double kHalfLengthScale = 88.5;
constexpr std::int32_t kAxisEnd = 181;
constexpr std::int32_t kRowWidth = 182;
constexpr std::int32_t kRowHeight = 5;
constexpr double kGradientRows = 240.0;
// A bar copies five gradient rows from its row on: the last row at which all five exist.
constexpr std::int32_t kLastGradientRow = 240 - kRowHeight;
// Compared in single precision, the fields' own: the float nearest 0.7 lies just below the
// double 0.7, and a highlight of exactly 0.7 is meant to light the bar.
constexpr float kHighlightThreshold = 0.7f;

// Truncation toward zero that saturates instead of leaving the int range, and reads an
// undefined value as 0: meter values come from another thread and are never trusted blindly.
std::int32_t truncated(double x) {
    if (!(x == x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(x);
}

} // namespace

MeterBarView::MeterBarView(const Rect& size, Bitmap* bar, Bitmap* highlightBar, Bitmap* row)
    : Control(size, nullptr, 0, nullptr), level(0.0f), balance(0.0f), spread(0.0f), taper(0.0f),
      highlight(0.0f), barBitmap(bar), highlightBarBitmap(highlightBar), rowBitmap(row),
      segmentRect(size), rowRect(size) {
    if (barBitmap) barBitmap->remember();
    if (highlightBarBitmap) highlightBarBitmap->remember();
    if (rowBitmap) rowBitmap->remember();
}

MeterBarView::~MeterBarView() {
    if (barBitmap) barBitmap->forget();
    if (highlightBarBitmap) highlightBarBitmap->forget();
    if (rowBitmap) rowBitmap->forget();
}

void MeterBarView::draw(DrawContext* context) {
    if (!barBitmap) return;
    const std::int32_t left = size.left;
    const std::int32_t top = size.top;
    const double centre = static_cast<double>(balance) * kAxisPlace;
    const double halfLength =
        (1.0 - 2.0 * std::fabs(static_cast<double>(balance) - 0.5) * static_cast<double>(taper)) *
        (static_cast<double>(spread) * kHalfLengthScale);
    std::int32_t x1 = truncated(centre - halfLength);
    if (x1 < 0) x1 = 0;
    std::int32_t x2 = truncated(centre + halfLength + kRowHeight);
    if (x2 > kAxisEnd) x2 = kAxisEnd;
    // A bar pushed wholly off the axis (balance far outside 0..1) is left empty rather than
    // turned round by the rectangle's normalisation into a bar beside the axis. The row of a
    // band the sample rate cannot carry is empty too: its silence is no signal at the centre.
    const bool onAxis = x1 < x2 && !isUncarriedBand(taper);
    if (!onAxis) x2 = x1;
    segmentRect = Rect(left + x1, top, left + x2, top + kRowHeight);

    // Loud bands would address rows past the gradient's end (level 1.0 the row after the
    // last), and the copy would leave the bar's lower lines empty: the loudest band would
    // shrink to a line. A level below zero would address a row above the start.
    std::int32_t row = truncated(static_cast<double>(level) * kGradientRows);
    if (row > kLastGradientRow) row = kLastGradientRow;
    if (row < 0) row = 0;
    rowRect = Rect(left, top, left + kRowWidth, top + kRowHeight);

    if (rowBitmap) rowBitmap->draw(context, rowRect, Point{0, 0});
    if (!onAxis) return;
    Bitmap* gradient = highlight < kHighlightThreshold ? barBitmap : highlightBarBitmap;
    if (gradient) gradient->draw(context, segmentRect, Point{0, row});
}
