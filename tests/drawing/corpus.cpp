#include "tests/drawing/corpus.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/draw.h"
#include "toolkit/bitmap.h"
#include "toolkit/blend_entries.h"
#include "toolkit/draw_context.h"
#include "toolkit/offscreen_context.h"

namespace {

using Notes = std::vector<int>;

// End points around a centre: every octant, both axes and both diagonals, and the slopes
// whose ties decide between two pixels.
std::vector<Point> spokes(int cx, int cy, int r) {
    const int steps[][2] = {{r, 0},      {r, r / 2},   {r, r},      {r / 2, r},   {0, r},
                            {-r / 2, r}, {-r, r},      {-r, r / 2}, {-r, 0},      {-r, -r / 2},
                            {-r, -r},    {-r / 2, -r}, {0, -r},     {r / 2, -r},  {r, -r},
                            {r, -r / 2}, {r, r / 3},   {-r / 3, r}, {-r, -r / 3}, {r / 3, -r},
                            {r, 1},      {1, r},       {-r, -1},    {-1, -r}};
    std::vector<Point> ends;
    for (const auto& s : steps)
        ends.push_back(Point{cx + s[0], cy + s[1]});
    return ends;
}

void drawSpokes(DrawContext& c, int cx, int cy, int r) {
    int i = 0;
    for (const Point& end : spokes(cx, cy, r)) {
        c.setFrameColor(Color{uint8_t(40 * (i % 6)), uint8_t(255 - 9 * i), uint8_t(90 + 7 * i), 0});
        c.moveTo(Point{cx, cy});
        c.lineTo(end);
        ++i;
    }
}

void stripes(DrawContext& c, int width, int height) {
    const Color colors[] = {kRedColor,    kGreenColor, kBlueColor, Color{30, 60, 90, 0},
                            kYellowColor, kWhiteColor};
    for (int i = 0; i * 8 < width; ++i) {
        c.setFillColor(colors[i % 6]);
        c.fillRect(Rect(i * 8 - 1, -1, i * 8 + 7, height));
    }
}

std::vector<Point> star(int cx, int cy, int points, int outer, int inner) {
    std::vector<Point> p;
    for (int i = 0; i < 2 * points; ++i) {
        const double a = i * 3.14159265358979 / points;
        const int r = i % 2 ? inner : outer;
        p.push_back(
            Point{cx + int(std::lround(r * std::cos(a))), cy + int(std::lround(r * std::sin(a)))});
    }
    return p;
}

void addGeometryCases(std::vector<CorpusCase>& cases) {
    cases.push_back({"lines_short", 40, 40, false, [](DrawContext& c, Notes&) {
                         drawSpokes(c, 19, 19, 6);
                         drawSpokes(c, 8, 8, 3);
                     }});
    cases.push_back(
        {"lines_long", 64, 64, false, [](DrawContext& c, Notes&) { drawSpokes(c, 31, 31, 29); }});
    cases.push_back({"lines_odd_slopes", 64, 64, false, [](DrawContext& c, Notes&) {
                         c.setFrameColor(kBlackColor);
                         for (int i = 0; i < 12; ++i) {
                             c.moveTo(Point{2 + i, 2 + 5 * i});
                             c.lineTo(Point{61 - 3 * i, 7 + 4 * i});
                             c.moveTo(Point{60 - i, 60 - 2 * i});
                             c.lineTo(Point{3 + 2 * i, 30 - 2 * i});
                         }
                     }});
    cases.push_back({"lines_dotted", 64, 64, false, [](DrawContext& c, Notes&) {
                         c.setLineStyle(kLineDotted);
                         drawSpokes(c, 31, 31, 28);
                         c.setFrameColor(kRedColor);
                         // One path of lines carries the dot pattern on from line to line.
                         c.moveTo(Point{1, 1});
                         c.lineTo(Point{40, 1});
                         c.lineTo(Point{40, 9});
                         c.lineTo(Point{3, 6});
                     }});
    cases.push_back({"lines_dotted_opaque", 48, 24, false, [](DrawContext& c, Notes&) {
                         c.setLineStyle(kLineDotted);
                         c.setFrameColor(kBlueColor);
                         c.setFillColor(kYellowColor);
                         platform::setBkMode(c.getDevice(), platform::kBkOpaque);
                         c.moveTo(Point{1, 2});
                         c.lineTo(Point{46, 2});
                         c.moveTo(Point{1, 5});
                         c.lineTo(Point{46, 20});
                     }});
    for (int mode : {kOrMode, kXorMode}) {
        cases.push_back({mode == kOrMode ? "lines_or_mode" : "lines_xor_mode", 48, 48, false,
                         [mode](DrawContext& c, Notes&) {
                             stripes(c, 48, 48);
                             c.setDrawMode(mode);
                             drawSpokes(c, 23, 23, 21);
                             c.setLineStyle(kLineDotted);
                             c.setFrameColor(Color{200, 100, 50, 0});
                             c.moveTo(Point{0, 45});
                             c.lineTo(Point{47, 40});
                             // Drawn twice in xor mode: the second pass undoes the first.
                             c.setLineStyle(kLineSolid);
                             c.drawRect(Rect(5, 5, 30, 12));
                             c.drawRect(Rect(5, 5, 30, 12));
                             c.setFillColor(kCyanColor);
                             c.fillEllipse(Rect(30, 30, 45, 44));
                         }});
    }
    cases.push_back({"rect_outline_and_fill", 48, 48, false, [](DrawContext& c, Notes&) {
                         c.setFrameColor(kRedColor);
                         c.setFillColor(kBlueColor);
                         c.drawRect(Rect(10, 10, 20, 20));
                         c.fillRect(Rect(10, 10, 20, 20));
                         c.drawRect(Rect(25, 3, 26, 4));
                         c.fillRect(Rect(25, 3, 26, 4));
                         c.setFillColor(kGreenColor);
                         c.fillRect(Rect(40, 40, 30, 30)); // reversed
                         c.fillRect(Rect(2, 30, 2, 45));   // empty
                         c.offset = Point{3, 25};
                         c.setFrameColor(kBlackColor);
                         c.drawRect(Rect(0, 0, 15, 12));
                         c.setFillColor(kYellowColor);
                         c.fillRect(Rect(0, 0, 15, 12));
                         c.fillRect(Rect(-10, 15, 60, 30)); // past the surface
                     }});
    cases.push_back({"polylines", 64, 64, false, [](DrawContext& c, Notes&) {
                         std::vector<Point> zigzag;
                         for (int i = 0; i < 40; ++i)
                             zigzag.push_back(Point{2 + i * 3 / 2, i % 2 ? 4 : 20 + i % 7});
                         c.setFrameColor(kBlueColor);
                         c.drawPolyline(zigzag.data(), int32_t(zigzag.size()));
                         const std::vector<Point> s = star(32, 44, 6, 18, 7);
                         c.setFrameColor(kRedColor);
                         c.drawPolyline(s.data(), int32_t(s.size()));
                         c.setLineStyle(kLineDotted);
                         c.offset = Point{1, 1};
                         c.drawPolyline(zigzag.data(), 12);
                     }});
    cases.push_back({"polygons", 64, 64, false, [](DrawContext& c, Notes&) {
                         const std::vector<Point> big = star(20, 20, 18, 19, 9); // 36 points
                         c.setFillColor(kBlueColor);
                         c.fillPolygon(big.data(), int32_t(big.size()));
                         const std::vector<Point> small = star(48, 16, 5, 14, 5);
                         c.setFillColor(kRedColor);
                         c.fillPolygon(small.data(), int32_t(small.size()));
                         const Point tri[] = {{5, 60}, {30, 42}, {58, 61}};
                         c.setFillColor(kGreenColor);
                         c.fillPolygon(tri, 3);
                         const Point bow[] = {{36, 30}, {62, 50}, {62, 30}, {36, 50}};
                         c.setFillColor(Color{90, 20, 160, 0});
                         c.fillPolygon(bow, 4);
                         const Point box[] = {{40, 52}, {50, 52}, {50, 62}, {40, 62}};
                         c.setFillColor(kYellowColor);
                         c.fillPolygon(box, 4);
                     }});
    cases.push_back({"ellipses", 96, 64, false, [](DrawContext& c, Notes&) {
                         int x = 1;
                         for (int size = 1; size <= 12; ++size) {
                             c.setFrameColor(kBlackColor);
                             c.drawEllipse(Rect(x, 1, x + size, 1 + size));
                             c.setFillColor(kRedColor);
                             c.fillEllipse(Rect(x, 20, x + size, 20 + size + size / 3));
                             x += size + 3;
                         }
                         c.setFrameColor(kBlueColor);
                         c.drawEllipse(Rect(2, 36, 60, 62));
                         c.setFillColor(kGreenColor);
                         c.fillEllipse(Rect(62, 36, 93, 61));
                         c.drawEllipse(Rect(62, 36, 93, 61));
                     }});
    cases.push_back({"ellipses_shapes", 64, 64, false, [](DrawContext& c, Notes&) {
                         c.setFrameColor(kRedColor);
                         c.setFillColor(kBlueColor);
                         c.fillEllipse(Rect(1, 1, 30, 20));
                         c.drawEllipse(Rect(1, 1, 30, 20));
                         c.drawEllipse(Rect(33, 1, 62, 40));
                         c.fillEllipse(Rect(2, 24, 12, 62));
                         c.drawEllipse(Rect(14, 24, 30, 25));
                         c.fillEllipse(Rect(14, 30, 31, 47));
                         c.drawEllipse(Rect(40, 44, 63, 63));
                     }});
    cases.push_back({"arcs", 96, 96, false, [](DrawContext& c, Notes&) {
                         const Rect boxes[] = {Rect(2, 2, 30, 30), Rect(34, 2, 61, 29),
                                               Rect(64, 2, 94, 20), Rect(2, 34, 20, 60)};
                         int i = 0;
                         for (const Rect& b : boxes) {
                             const int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
                             c.setFrameColor(Color{uint8_t(60 * i), 0, uint8_t(255 - 60 * i), 0});
                             c.drawArc(b, Point{b.right + 5, cy}, Point{cx, b.top - 5});
                             c.setFrameColor(kRedColor);
                             c.drawArc(b, Point{cx - 3, b.bottom}, Point{b.right, cy + 2});
                             ++i;
                         }
                         c.setFrameColor(kBlackColor);
                         c.drawArc(Rect(30, 40, 60, 70), Point{31, 41}, Point{59, 41});
                         c.drawArc(Rect(62, 40, 93, 70), Point{80, 40}, Point{80, 40});
                         c.drawArc(Rect(10, 70, 50, 94), Point{0, 94}, Point{60, 94});
                         c.drawArc(Rect(55, 75, 90, 94), Point{90, 80}, Point{55, 90});
                     }});
    cases.push_back({"pies", 96, 64, false, [](DrawContext& c, Notes&) {
                         c.setFillColor(kBlueColor);
                         c.fillArc(Rect(2, 2, 30, 30), Point{40, 16}, Point{16, 0});
                         c.setFillColor(kRedColor);
                         c.fillArc(Rect(34, 2, 61, 29), Point{34, 29}, Point{61, 2});
                         c.setFillColor(kGreenColor);
                         c.fillArc(Rect(64, 2, 94, 24), Point{79, 30}, Point{64, 13});
                     }});
    cases.push_back({"pies_narrow_and_half", 96, 64, false, [](DrawContext& c, Notes&) {
                         c.setFillColor(kBlackColor);
                         c.fillArc(Rect(2, 34, 33, 62), Point{2, 34}, Point{2, 35});
                         c.setFillColor(kYellowColor);
                         c.fillArc(Rect(40, 34, 70, 63), Point{70, 48}, Point{40, 48});
                         c.setFillColor(kCyanColor);
                         c.fillArc(Rect(72, 34, 93, 55), Point{93, 34}, Point{72, 55});
                     }});
    // The geometry that decides where a pie or arc starts and ends: radials exactly through an
    // outline point in every quadrant, edges within one outline step (nearly full and
    // sliver-thin), start equal to end, half discs across both axes, tiny and odd/even boxes.
    cases.push_back(
        {"pies_tricky", 128, 96, false, [](DrawContext& c, Notes&) {
             const Color colors[] = {kBlueColor, kRedColor, kGreenColor, Color{90, 20, 160, 0}};
             int x = 1, i = 0;
             for (int size : {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 16}) {
                 // fillArc's pie box is (left + 1, top + 1, right, bottom).
                 const Rect upper(x, 1, x + size, 1 + size);
                 const Rect lower(x, 20, x + size, 20 + size + size % 3);
                 const int cx = (2 * x + 1 + size) / 2;
                 c.setFillColor(colors[i % 4]);
                 c.fillArc(upper, Point{x + size + 9, (3 + size) / 2},
                           Point{x - 9, (3 + size) / 2});
                 c.setFillColor(colors[(i + 1) % 4]);
                 c.fillArc(lower, Point{cx, 20}, Point{cx, 20}); // start == end
                 x += size + 2;
                 ++i;
             }
             // Quarters and three-quarters whose edges pass exactly through outline points
             // (diagonals and steeper lattice directions).
             const Rect boxes[] = {Rect(1, 42, 30, 70), Rect(32, 42, 62, 71), Rect(64, 42, 89, 63),
                                   Rect(92, 42, 126, 64)};
             const int dirs[][2] = {{1, 1}, {-1, 2}, {-3, -2}, {2, -1}};
             i = 0;
             for (const Rect& b : boxes) {
                 const int cx = (b.left + 1 + b.right) / 2;
                 const int cy = (b.top + 1 + b.bottom) / 2;
                 const int* d = dirs[i];
                 const int* e = dirs[(i + 1) % 4];
                 c.setFillColor(colors[i]);
                 c.fillArc(b, Point{cx + 4 * d[0], cy - 4 * d[1]},
                           Point{cx + 4 * e[0], cy - 4 * e[1]});
                 c.setFillColor(colors[(i + 2) % 4]);
                 c.fillArc(b, Point{cx + 4 * e[0], cy - 4 * e[1]},
                           Point{cx + 4 * d[0], cy - 4 * d[1]});
                 ++i;
             }
             // Edges one outline step apart, both ways round: a sliver and a nearly whole disc;
             // then a vertical half and a start at the centre.
             c.setFillColor(kBlackColor);
             c.fillArc(Rect(2, 72, 24, 94), Point{2, 72}, Point{2, 74});
             c.fillArc(Rect(26, 72, 48, 94), Point{26, 74}, Point{26, 72});
             c.setFillColor(kCyanColor);
             c.fillArc(Rect(50, 72, 73, 95), Point{62, 60}, Point{62, 110});
             c.fillArc(Rect(76, 72, 100, 94), Point{88, 83}, Point{76, 94});
             c.setFillColor(kMagentaColor);
             c.fillArc(Rect(102, 72, 126, 95), Point{126, 72}, Point{126, 73});
         }});
    cases.push_back(
        {"arcs_tricky", 128, 128, false, [](DrawContext& c, Notes&) {
             // Starts and ends on exact lattice directions through outline points, for odd and
             // even widths and heights.
             const int dirs[][2] = {{1, 1},   {-1, 1}, {-1, -1}, {1, -1}, {2, 1},  {-1, 3},
                                    {-2, -1}, {3, -2}, {1, 0},   {0, 1},  {-1, 0}, {0, -1}};
             int i = 0;
             for (int w : {9, 10, 21, 22})
                 for (int h : {9, 12, 17, 20}) {
                     const int left = 1 + (i % 4) * 32, top = 1 + (i / 4) * 24;
                     const Rect b(left, top, left + w, top + h);
                     const int cx = (2 * left + w + 1) / 2;
                     const int cy = (2 * top + h + 1) / 2;
                     const int* d = dirs[i % 12];
                     const int* e = dirs[(i + 5) % 12];
                     c.setFrameColor(Color{uint8_t(15 * i), uint8_t(240 - 15 * i), 60, 0});
                     c.drawArc(b, Point{cx + 5 * d[0], cy - 5 * d[1]},
                               Point{cx + 5 * e[0], cy - 5 * e[1]});
                     ++i;
                 }
             // Tiny boxes, a start at the centre, start == end, and a box partly left of the
             // surface whose centre lies at a negative half-pixel.
             c.setFrameColor(kBlackColor);
             int x = 40;
             for (int size = 0; size < 6; ++size) {
                 c.drawArc(Rect(x, 100, x + size, 100 + size), Point{x + 9, 100},
                           Point{x - 9, 100 + size});
                 x += size + 3;
             }
             c.drawArc(Rect(80, 98, 88, 105), Point{84, 102}, Point{80, 98});
             c.drawArc(Rect(92, 98, 120, 124), Point{120, 98}, Point{120, 98});
             c.offset = Point{-20, 0};
             c.drawArc(Rect(2, 98, 34, 124), Point{30, 135}, Point{26, 85});
         }});
    cases.push_back({"flood_fill", 48, 48, false, [](DrawContext& c, Notes&) {
                         c.setFrameColor(kBlackColor);
                         c.drawRect(Rect(5, 5, 40, 40));
                         c.drawEllipse(Rect(12, 12, 30, 30));
                         c.moveTo(Point{5, 22});
                         c.lineTo(Point{12, 22});
                         c.setFillColor(kRedColor);
                         c.floodFill(Point{7, 7});
                         c.setFillColor(kGreenColor);
                         c.floodFill(Point{20, 20});
                         c.setFillColor(kBlueColor);
                         c.floodFill(Point{45, 45});
                         c.setFillColor(kYellowColor);
                         c.floodFill(Point{5, 5}); // the black outline itself
                     }});
    cases.push_back(
        {"pixels", 32, 32, false, [](DrawContext& c, Notes& notes) {
             for (int i = 0; i < 16; ++i)
                 c.drawPoint(Point{i * 2, i}, Color{uint8_t(i * 16), uint8_t(255 - i * 16), 77, 9});
             c.offset = Point{4, 20};
             c.drawPoint(Point{0, 0}, kRedColor);
             c.drawPoint(Point{40, 40}, kRedColor); // outside
             c.offset = Point{};
             const Color read = c.getPoint(Point{6, 3});
             c.drawPoint(Point{30, 30}, read);
             const Color outside = c.getPoint(Point{-1, 5});
             notes.push_back(outside.red);
             notes.push_back(outside.green);
             notes.push_back(outside.blue);
             c.setFillColor(c.getPoint(Point{4, 20}));
             c.fillRect(Rect(20, 2, 30, 8));
         }});
    cases.push_back({"clip_rects", 64, 48, false, [](DrawContext& c, Notes& notes) {
                         c.setClipRect(Rect(10, 10, 40, 30));
                         c.setFrameColor(kRedColor);
                         drawSpokes(c, 20, 20, 19);
                         c.setFillColor(kBlueColor);
                         c.fillRect(Rect(30, 0, 60, 20));
                         c.fillEllipse(Rect(0, 20, 20, 44));
                         c.offset = Point{5, 5};
                         c.setClipRect(Rect(0, 0, 10, 10)); // device pixels, not moved
                         c.setFillColor(kGreenColor);
                         c.fillRect(Rect(-10, -10, 50, 50));
                         c.resetClipRect();
                         c.offset = Point{};
                         c.setFillColor(kYellowColor);
                         c.fillRect(Rect(44, 30, 63, 47));
                         notes.push_back(c.getPoint(Point{5, 20}).blue);
                     }});
}

void addPictureCases(std::vector<CorpusCase>& cases) {
    cases.push_back({"bitmap_draw", 64, 64, false, [](DrawContext& c, Notes& notes) {
                         Bitmap* tiles = new Bitmap(kTilesPicture);
                         Bitmap* odd = new Bitmap(kOddPicture);
                         notes.push_back(tiles->getWidth());
                         notes.push_back(tiles->getHeight());
                         tiles->draw(&c, Rect(0, 0, 40, 30), Point{0, 0});
                         tiles->draw(&c, Rect(42, 2, 62, 22), Point{10, 5});
                         odd->draw(&c, Rect(2, 34, 15, 41));
                         // Source and destination past the edges: only the overlap is copied.
                         tiles->draw(&c, Rect(50, 40, 90, 80), Point{0, 0});
                         tiles->draw(&c, Rect(2, 44, 40, 62), Point{20, 20});
                         c.offset = Point{30, 30};
                         odd->draw(&c, Rect(0, 0, 13, 7), Point{0, 0});
                         tiles->forget();
                         odd->forget();
                     }});
    for (int keyed = 1; keyed >= 0; --keyed) {
        cases.push_back({keyed ? "transparent_keyed_copy" : "transparent_three_pass", 64, 64, false,
                         [keyed](DrawContext& c, Notes&) {
                             stripes(c, 64, 64);
                             const platform::TransparentBltProc saved = blendEntries.TransparentBlt;
                             if (!keyed) blendEntries.TransparentBlt = nullptr;
                             Bitmap* tiles = new Bitmap(kTilesPicture);
                             tiles->drawTransparent(&c, Rect(2, 2, 42, 32));
                             tiles->drawTransparent(&c, Rect(30, 34, 60, 54), Point{5, 3});
                             tiles->setTransparentColor(Color{0, 0, 0, 0});
                             Bitmap* odd = new Bitmap(kOddPicture);
                             odd->setTransparentColor(Color{0, 0x40, 0xC0, 0});
                             odd->drawTransparent(&c, Rect(2, 40, 15, 47));
                             odd->forget();
                             tiles->forget();
                             blendEntries.TransparentBlt = saved;
                         }});
    }
    cases.push_back({"transparency_mask", 64, 64, false, [](DrawContext& c, Notes&) {
                         Bitmap* tiles = new Bitmap(kTilesPicture);
                         tiles->draw(&c, Rect(0, 0, 40, 30));
                         tiles->setTransparencyMask(&c, Point{0, 0});
                         stripes(c, 64, 64);
                         tiles->drawTransparent(&c, Rect(4, 20, 44, 50));
                         tiles->drawTransparent(&c, Rect(30, 2, 60, 22), Point{6, 4});
                         tiles->forget();
                     }});
    cases.push_back({"alpha_blend", 64, 48, false, [](DrawContext& c, Notes&) {
                         stripes(c, 64, 48);
                         Bitmap* tiles = new Bitmap(kTilesPicture);
                         int x = 0;
                         for (int opacity : {0, 1, 64, 128, 200, 255}) {
                             tiles->drawAlphaBlend(&c, Rect(x, 4 + x / 4, x + 10, 40),
                                                   Point{x / 2, 0}, uint8_t(opacity));
                             x += 10;
                         }
                         tiles->forget();
                     }});
    cases.push_back({"offscreen", 64, 64, false, [](DrawContext& c, Notes& notes) {
                         OffscreenContext* off = new OffscreenContext(nullptr, 30, 20, kRedColor);
                         off->setFrameColor(kBlackColor);
                         off->moveTo(Point{0, 0});
                         off->lineTo(Point{29, 19});
                         off->copyTo(&c, Rect(2, 2, 32, 22));
                         off->copyTo(&c, Rect(40, 2, 60, 12), Point{10, 10});
                         notes.push_back(off->getPoint(Point{29, 19}).red);
                         delete off;
                         Bitmap* tiles = new Bitmap(kTilesPicture);
                         OffscreenContext* copy = new OffscreenContext(&c, tiles, false);
                         copy->setFillColor(kGreenColor);
                         copy->fillRect(Rect(5, 5, 20, 15));
                         copy->copyFrom(&c, Rect(2, 2, 12, 12), Point{25, 15});
                         copy->copyTo(&c, Rect(2, 30, 42, 60));
                         delete copy;
                         OffscreenContext* black = new OffscreenContext(&c, nullptr, false);
                         black->copyTo(&c, Rect(44, 30, 64, 50));
                         delete black;
                         OffscreenContext* into = new OffscreenContext(&c, tiles, true);
                         into->setFillColor(kBlueColor);
                         into->fillRect(Rect(0, 0, 10, 10));
                         delete into;
                         tiles->draw(&c, Rect(34, 52, 64, 64));
                         tiles->forget();
                     }});
}

void addTextCases(std::vector<CorpusCase>& cases) {
    const char* samples[] = {"Gain 12.5 dB", "WAVy jig", "0.70", "Highlight"};
    for (int font = 0; font <= 6; ++font)
        for (int align = 0; align <= 2; ++align) {
            const char* text = samples[(font + align) % 4];
            char name[64];
            std::snprintf(name, sizeof name, "text_font%d_align%d", font, align);
            cases.push_back({name, 96, 32, true, [=](DrawContext& c, Notes& notes) {
                                 c.setFont(font, 0, font == 3 ? kItalicFace : 0);
                                 c.setFontColor(kBlackColor);
                                 c.setFillColor(kYellowColor);
                                 notes.push_back(c.getStringWidth(text));
                                 notes.push_back(int(std::strlen(text)));
                                 c.drawString(text, Rect(4, 3 + font % 3, 92, 27), false, align);
                             }});
        }
}

} // namespace

const std::vector<CorpusCase>& corpusCases() {
    static const std::vector<CorpusCase> cases = [] {
        std::vector<CorpusCase> all;
        addGeometryCases(all);
        addPictureCases(all);
        addTextCases(all);
        return all;
    }();
    return cases;
}

RenderedCase renderCase(const CorpusCase& c) {
    RenderedCase result;
    platform::BlendLibrary library = platform::loadBlendLibrary();
    blendEntries.AlphaBlend = library.alphaBlend;
    blendEntries.TransparentBlt = library.transparentBlt;

    platform::DeviceHandle screen = platform::getScreenDevice();
    platform::DeviceHandle device = platform::createCompatibleDevice(screen);
    platform::ObjectHandle surface = platform::createCompatibleBitmap(screen, c.width, c.height);
    platform::releaseScreenDevice(screen);
    platform::ObjectHandle prior = platform::selectObject(device, surface);
    platform::ObjectHandle white = platform::createSolidBrush(0xFFFFFF);
    platform::fillRect(device, platform::Box{0, 0, c.width, c.height}, white);
    platform::deleteObject(white);
    {
        DrawContext context(nullptr, device, nullptr);
        c.draw(context, result.notes);
    }
    platform::selectObject(device, prior);
    platform::deleteDevice(device);
    result.width = c.width;
    result.height = c.height;
    result.pixels.resize(size_t(c.width) * size_t(c.height));
    if (!platform::readBitmapPixels(surface, c.width, c.height, result.pixels.data()))
        result.pixels.clear();
    platform::deleteObject(surface);
    blendEntries = BlendEntries{};
    platform::freeBlendLibrary(library);
    return result;
}

bool writeRendered(const std::string& directory, const std::string& name, const RenderedCase& r) {
    if (r.pixels.size() != size_t(r.width) * size_t(r.height)) return false;
    std::ofstream picture(directory + "/" + name + ".ppm", std::ios::binary);
    picture << "P6\n" << r.width << " " << r.height << "\n255\n";
    for (uint32_t p : r.pixels) {
        const char rgb[3] = {char(p & 0xFF), char(p >> 8 & 0xFF), char(p >> 16 & 0xFF)};
        picture.write(rgb, 3);
    }
    std::ofstream notes(directory + "/" + name + ".txt");
    for (int n : r.notes)
        notes << n << "\n";
    return bool(picture) && bool(notes);
}

bool readRendered(const std::string& directory, const std::string& name, RenderedCase& r) {
    std::ifstream picture(directory + "/" + name + ".ppm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    picture >> magic >> r.width >> r.height >> maxValue;
    picture.get();
    if (!picture || magic != "P6" || maxValue != 255 || r.width <= 0 || r.height <= 0 ||
        r.width > 4096 || r.height > 4096)
        return false;
    r.pixels.assign(size_t(r.width) * size_t(r.height), 0);
    for (uint32_t& p : r.pixels) {
        unsigned char rgb[3];
        picture.read(reinterpret_cast<char*>(rgb), 3);
        p = uint32_t(rgb[0]) | uint32_t(rgb[1]) << 8 | uint32_t(rgb[2]) << 16;
    }
    if (!picture) return false;
    std::ifstream notes(directory + "/" + name + ".txt");
    r.notes.clear();
    for (int n; notes >> n;)
        r.notes.push_back(n);
    return true;
}
