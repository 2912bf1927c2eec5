// Draws the meter editor's nine pictures as 24-bit BMP files. Deterministic: the same fonts
// give the same bytes. Run it by hand when a picture changes:
//   make_editor_pictures resources/pictures
//
// The pictures know where the editor puts them: the scale picture sits at (10, 20) in the
// window, the thirty bar rows at y = 28 + 6k (k = 0 is the top bar, 20 kHz), each 5 pixels
// high and 182 wide from x = 24, with a bar of balance b drawn from 177 b - h to 177 b + h + 5.
// Knobs and sliders are drawn onto the background behind them, so their corners blend in.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Rgb {
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas {
public:
    Canvas(int width, int height, Rgb fill)
        : w(width), h(height), pixels(std::size_t(width * height), fill) {}

    int width() const { return w; }
    int height() const { return h; }
    Rgb get(int x, int y) const { return pixels[std::size_t(y * w + x)]; }
    void set(int x, int y, Rgb c) {
        if (x >= 0 && y >= 0 && x < w && y < h) pixels[std::size_t(y * w + x)] = c;
    }
    void blend(int x, int y, Rgb c, double alpha) {
        if (x < 0 || y < 0 || x >= w || y >= h || alpha <= 0) return;
        Rgb& p = pixels[std::size_t(y * w + x)];
        p = mix(p, c, std::min(alpha, 1.0));
    }
    // Pixels x0..x1-1, y0..y1-1.
    void fill(int x0, int y0, int x1, int y1, Rgb c, double alpha = 1.0) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                blend(x, y, c, alpha);
    }
    // A disc (or ring) with anti-aliased edges, centre and radii in pixel units (pixel
    // centres at +0.5).
    template <typename Shade>
    void disc(double cx, double cy, double outer, double inner, Shade shade) {
        for (int y = int(cy - outer) - 1; y <= int(cy + outer) + 1; ++y)
            for (int x = int(cx - outer) - 1; x <= int(cx + outer) + 1; ++x) {
                double cover = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        const double dx = x + (sx + 0.5) / 4 - cx;
                        const double dy = y + (sy + 0.5) / 4 - cy;
                        const double d = std::sqrt(dx * dx + dy * dy);
                        cover += (d <= outer && d >= inner) ? 1.0 / 16 : 0;
                    }
                if (cover > 0) blend(x, y, shade(x + 0.5 - cx, y + 0.5 - cy), cover);
            }
    }
    // An anti-aliased line of the given width, by distance to the segment.
    void line(double x0, double y0, double x1, double y1, double width, Rgb c) {
        const int minX = int(std::floor(std::min(x0, x1) - width)) - 1;
        const int maxX = int(std::ceil(std::max(x0, x1) + width)) + 1;
        const int minY = int(std::floor(std::min(y0, y1) - width)) - 1;
        const int maxY = int(std::ceil(std::max(y0, y1) + width)) + 1;
        const double lx = x1 - x0, ly = y1 - y0, len2 = lx * lx + ly * ly;
        for (int y = minY; y <= maxY; ++y)
            for (int x = minX; x <= maxX; ++x) {
                double cover = 0;
                for (int sy = 0; sy < 4; ++sy)
                    for (int sx = 0; sx < 4; ++sx) {
                        const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
                        double t = len2 > 0 ? ((px - x0) * lx + (py - y0) * ly) / len2 : 0;
                        t = std::clamp(t, 0.0, 1.0);
                        const double dx = px - (x0 + t * lx), dy = py - (y0 + t * ly);
                        cover += dx * dx + dy * dy <= width * width / 4 ? 1.0 / 16 : 0;
                    }
                blend(x, y, c, cover);
            }
    }
    // Copies a part of another canvas to (x, y).
    void paste(const Canvas& from, int sx, int sy, int width, int height, int x, int y) {
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                set(x + i, y + j, from.get(sx + i, sy + j));
    }
    Canvas crop(int x, int y, int width, int height) const {
        Canvas out(width, height, {0, 0, 0});
        out.paste(*this, x, y, width, height, 0, 0);
        return out;
    }

    bool writeBmp(const std::string& path) const {
        const int stride = (w * 3 + 3) & ~3;
        const std::uint32_t pixelBytes = std::uint32_t(stride * h);
        std::vector<std::uint8_t> file(54 + pixelBytes, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                file[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
        };
        file[0] = 'B';
        file[1] = 'M';
        put32(2, std::uint32_t(file.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, std::uint32_t(w));
        put32(22, std::uint32_t(h)); // bottom-up, as Windows resources are
        file[26] = 1;
        file[28] = 24;
        put32(34, pixelBytes);
        const auto byte = [](double v) {
            return std::uint8_t(std::clamp(std::lround(v), 0L, 255L));
        };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb c = get(x, y);
                std::uint8_t* p = &file[54 + std::size_t((h - 1 - y) * stride + x * 3)];
                p[0] = byte(c.b);
                p[1] = byte(c.g);
                p[2] = byte(c.r);
            }
        FILE* out = std::fopen(path.c_str(), "wb");
        if (!out) return false;
        const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
        return std::fclose(out) == 0 && ok;
    }

private:
    int w, h;
    std::vector<Rgb> pixels;
};

// Liberation Sans through fontconfig and FreeType, hinted, anti-aliased.
class Font {
public:
    Font(FT_Library library, const char* pattern) {
        FcPattern* query = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
        FcConfigSubstitute(nullptr, query, FcMatchPattern);
        FcDefaultSubstitute(query);
        FcResult result;
        FcPattern* match = FcFontMatch(nullptr, query, &result);
        FcChar8* file = nullptr;
        if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
            FT_New_Face(library, reinterpret_cast<const char*>(file), 0, &face);
        if (match) FcPatternDestroy(match);
        FcPatternDestroy(query);
    }
    ~Font() {
        if (face) FT_Done_Face(face);
    }
    bool ok() const { return face != nullptr; }

    int advance(const std::string& text, int pixels, double tracking = 0) {
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels));
        double x = 0;
        for (char ch : text) {
            if (FT_Load_Char(face, FT_ULong(static_cast<unsigned char>(ch)), FT_LOAD_DEFAULT))
                continue;
            x += double(face->glyph->advance.x >> 6) + tracking;
        }
        return int(std::lround(x - (text.empty() ? 0 : tracking)));
    }
    // align: 0 left, 1 centre, 2 right of x; y is the baseline.
    void draw(Canvas& canvas, const std::string& text, int x, int y, int pixels, Rgb colour,
              int align = 0, double tracking = 0) {
        const int width = advance(text, pixels, tracking);
        double pen = align == 0 ? x : align == 1 ? x - width / 2 : x - width;
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels));
        for (char ch : text) {
            if (FT_Load_Char(face, FT_ULong(static_cast<unsigned char>(ch)), FT_LOAD_RENDER))
                continue;
            const FT_GlyphSlot g = face->glyph;
            const int left = int(std::lround(pen)) + g->bitmap_left;
            const int top = y - g->bitmap_top;
            for (unsigned row = 0; row < g->bitmap.rows; ++row)
                for (unsigned col = 0; col < g->bitmap.width; ++col) {
                    const int a = g->bitmap.buffer[row * unsigned(g->bitmap.pitch) + col];
                    canvas.blend(left + int(col), top + int(row), colour, a / 255.0);
                }
            pen += double(g->advance.x >> 6) + tracking;
        }
    }

private:
    FT_Face face = nullptr;
};

// --- colours
const Rgb kPanelTop{34, 36, 43};
const Rgb kPanelBottom{19, 20, 25};
const Rgb kEraser{20, 20, 30}; // the row eraser: binding
const Rgb kLabel{178, 184, 198};
const Rgb kDimLabel{104, 110, 126};
const Rgb kAccent{20, 145, 210}; // the level display's colour
const Rgb kHighlightAccent{230, 0, 0};

// --- where the editor puts things (window pixels)
constexpr int kScaleX = 10, kScaleY = 20, kScaleW = 209, kScaleH = 195;
constexpr int kBarLeft = 24; // left of every bar row
constexpr int kBarTop = 28;  // top of the top bar row
constexpr int kRowPitch = 6; // rows 5 high, 6 apart
constexpr int kKnobY = 35, kKnobSize = 24;
constexpr int kKnobX[2] = {228, 268};
constexpr int kSliderY = 95, kSliderW = 32, kSliderH = 120;
constexpr int kSliderX[2] = {225, 265};
constexpr int kHandleW = 16, kHandleH = 30, kHandleX = 8;
constexpr int kTravel = kSliderH - kHandleH - 1; // track end - track start in the editor

// The centre pixel column of a bar of balance b within its row: the bar runs from
// trunc(177 b) to trunc(177 b + 5) without spread.
int barCentre(double balance) {
    return int(balance * 177.0) + 2;
}
// The pixel row in the window at the middle of band `band`'s bar (band 0 = 25 Hz, bottom).
int rowMiddle(int band) {
    return kBarTop + kRowPitch * (29 - band) + 2;
}

Canvas background(Font& regular, Font& bold) {
    Canvas c(300, 225, kPanelBottom);
    for (int y = 0; y < 225; ++y) {
        const double t = y / 224.0;
        for (int x = 0; x < 300; ++x)
            c.set(x, y, mix(kPanelTop, kPanelBottom, std::pow(t, 0.8)));
    }
    // Title band.
    c.fill(0, 0, 300, 17, {14, 15, 19}, 0.55);
    c.fill(0, 17, 300, 18, {58, 62, 74});
    bold.draw(c, "TROBEdit", 10, 13, 12, {226, 230, 238});
    const int titleEnd = 10 + bold.advance("TROBEdit", 12) + 6;
    regular.draw(c, "third-octave stereo analyser", titleEnd, 13, 9, kDimLabel);
    regular.draw(c, "Vantrelo", 292, 13, 9, kDimLabel, 2);

    // A recessed well around the scale.
    c.fill(kScaleX - 2, kScaleY - 2, kScaleX + kScaleW + 2, kScaleY - 1, {10, 10, 14});
    c.fill(kScaleX - 2, kScaleY - 2, kScaleX - 1, kScaleY + kScaleH + 2, {10, 10, 14});
    c.fill(kScaleX - 2, kScaleY + kScaleH + 1, kScaleX + kScaleW + 2, kScaleY + kScaleH + 2,
           {56, 60, 72});
    c.fill(kScaleX + kScaleW + 1, kScaleY - 2, kScaleX + kScaleW + 2, kScaleY + kScaleH + 2,
           {56, 60, 72});

    // The control column: a slightly raised panel.
    const int px0 = 222, px1 = 299, py0 = 19, py1 = 219;
    c.fill(px0, py0, px1, py1, {255, 255, 255}, 0.025);
    c.fill(px0, py0, px1, py0 + 1, {64, 68, 80});
    c.fill(px0, py0, px0 + 1, py1, {52, 56, 66});
    c.fill(px0, py1 - 1, px1, py1, {10, 10, 14});
    c.fill(px1 - 1, py0, px1, py1, {12, 12, 16});

    // Labels over their controls, tracked capitals.
    bold.draw(c, "WIDTH", kKnobX[0] + kKnobSize / 2, 29, 8, kLabel, 1);
    bold.draw(c, "M.CORR", kKnobX[1] + kKnobSize / 2, 29, 8, kLabel, 1);
    c.fill(227, 68, 295, 69, {10, 10, 14});
    c.fill(227, 69, 295, 70, {58, 62, 74});
    bold.draw(c, "GAMMA", 261, 77, 8, kLabel, 1);

    // Scale marks round the knobs: the pointer sweeps 270 degrees from lower left
    // (225 degrees) clockwise to lower right (-45 degrees).
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < 2; ++k) {
        const double cx = kKnobX[k] + kKnobSize / 2.0, cy = kKnobY + kKnobSize / 2.0;
        for (int i = 0; i <= 10; ++i) {
            const double a = (225.0 - 27.0 * i) * pi / 180.0;
            const bool major = i % 5 == 0;
            const double r0 = 13.6, r1 = major ? 16.4 : 15.2;
            c.line(cx + r0 * std::cos(a), cy - r0 * std::sin(a), cx + r1 * std::cos(a),
                   cy - r1 * std::sin(a), major ? 1.1 : 0.8, major ? kLabel : kDimLabel);
        }
    }
    // Little value cues under the knobs' ends.
    for (int k = 0; k < 2; ++k) {
        const int cx = kKnobX[k] + kKnobSize / 2;
        regular.draw(c, "0", cx - 13, 65, 7, kDimLabel, 1);
        regular.draw(c, "1", cx + 13, 65, 7, kDimLabel, 1);
    }
    return c;
}

Canvas knobFace(const Canvas& back, int x) {
    Canvas c = back.crop(x, kKnobY, kKnobSize, kKnobSize);
    const double r = 12.0;
    // Soft shadow, the body with light from the top left, a bevelled rim and a darker cap on
    // which the red dot runs (7 pixels from the centre).
    c.disc(r + 0.6, r + 1.0, 11.6, 0, [](double, double) { return Rgb{4, 4, 6}; });
    c.disc(r, r, 11.3, 0, [](double dx, double dy) {
        const double t = std::clamp(0.5 - (dx + dy) / 28.0, 0.0, 1.0);
        return mix(Rgb{34, 36, 42}, Rgb{120, 126, 140}, t);
    });
    c.disc(r, r, 10.0, 0, [](double dx, double dy) {
        const double t = std::clamp(0.5 + (dx + dy) / 30.0, 0.0, 1.0);
        return mix(Rgb{48, 51, 60}, Rgb{30, 32, 38}, t);
    });
    c.disc(r, r, 3.2, 0, [](double dx, double dy) {
        const double t = std::clamp(0.5 - (dx + dy) / 8.0, 0.0, 1.0);
        return mix(Rgb{28, 30, 36}, Rgb{78, 82, 94}, t);
    });
    return c;
}

Canvas knobDot() {
    // A red dot on white; white is the transparent colour, so the edge is hard.
    Canvas c(6, 6, {255, 255, 255});
    const char* rows[6] = {"..##..", ".#oo#.", "#oooo#", "#oooo#", ".#oo#.", "..##.."};
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            if (rows[y][x] == '#') c.set(x, y, {200, 20, 20});
            if (rows[y][x] == 'o') c.set(x, y, {250, 60, 50});
        }
    c.set(2, 1, {255, 150, 130});
    return c;
}

Canvas sliderTrack(const Canvas& back, int x, Font& regular) {
    Canvas c = back.crop(x, kSliderY, kSliderW, kSliderH);
    (void)regular;
    // Tick marks at every tenth of the value, at the handle's centre line.
    for (int i = 0; i <= 10; ++i) {
        const double value = i / 10.0;
        const int y = int(kTravel * (1.0 - value)) + kHandleH / 2 - 1;
        const bool major = i % 5 == 0;
        const Rgb colour = major ? kLabel : kDimLabel;
        const int len = major ? 5 : 3;
        c.fill(kHandleX - 1 - len, y, kHandleX - 1, y + 1, colour);
        c.fill(kHandleX + kHandleW + 1, y, kHandleX + kHandleW + 1 + len, y + 1, colour);
    }
    // The slot the handle runs in.
    const int sx0 = kHandleX + kHandleW / 2 - 2, sx1 = sx0 + 4;
    const int sy0 = kHandleH / 2 - 5, sy1 = kTravel + kHandleH / 2 + 5;
    c.fill(sx0, sy0, sx1, sy1, {6, 6, 8});
    c.fill(sx0, sy0, sx1, sy0 + 1, {2, 2, 3});
    c.fill(sx0, sy1 - 1, sx1, sy1, {60, 64, 76});
    c.fill(sx1 - 1, sy0, sx1, sy1, {40, 43, 52});
    return c;
}

Canvas sliderHandle() {
    // A fader cap: rounded corners keyed out in white, a brushed face with grip lines and a
    // bright index line across its middle, where the ticks of the track point.
    Canvas c(kHandleW, kHandleH, {255, 255, 255});
    for (int y = 0; y < kHandleH; ++y)
        for (int x = 0; x < kHandleW; ++x) {
            const bool corner = (x == 0 || x == kHandleW - 1) && (y == 0 || y == kHandleH - 1);
            if (corner) continue;
            const double t = y / double(kHandleH - 1);
            Rgb body = mix(Rgb{150, 156, 168}, Rgb{62, 66, 76}, t);
            if (x == 0 || y == 0) body = mix(body, Rgb{220, 224, 232}, 0.5);
            if (x == kHandleW - 1 || y == kHandleH - 1) body = mix(body, Rgb{10, 10, 12}, 0.6);
            c.set(x, y, body);
        }
    for (int y = 4; y < kHandleH - 4; y += 3) {
        if (y >= kHandleH / 2 - 3 && y <= kHandleH / 2 + 1) continue;
        c.fill(3, y, kHandleW - 3, y + 1, {36, 38, 44}, 0.55);
        c.fill(3, y + 1, kHandleW - 3, y + 2, {230, 232, 238}, 0.18);
    }
    c.fill(1, kHandleH / 2 - 1, kHandleW - 1, kHandleH / 2, {245, 247, 250});
    return c;
}

Canvas gradient(Rgb dark, Rgb mid, Rgb bright) {
    // One colour per row: row 0 near black, row 239 full colour.
    Canvas c(181, 240, dark);
    for (int y = 0; y < 240; ++y) {
        const double t = y / 239.0;
        const Rgb colour = t < 0.75 ? mix(dark, mid, std::pow(t / 0.75, 0.9))
                                    : mix(mid, bright, (t - 0.75) / 0.25);
        c.fill(0, y, 181, y + 1, colour);
    }
    return c;
}

Canvas scale(const Canvas& back, Font& regular) {
    Canvas c = back.crop(kScaleX, kScaleY, kScaleW, kScaleH);
    c.fill(0, 0, kScaleW, kScaleH, {14, 15, 19});
    // The bar area: the rows in the eraser's colour, the gaps between them darker.
    const int ax0 = kBarLeft - kScaleX, ax1 = ax0 + 182;
    const int top = kBarTop - kScaleY, bottom = top + kRowPitch * 29 + 5;
    c.fill(ax0, top - 1, ax1, bottom + 1, {11, 11, 17});
    for (int k = 0; k < 30; ++k)
        c.fill(ax0, top + kRowPitch * k, ax1, top + kRowPitch * k + 5, kEraser);
    // Stereo grid: full left, half left, centre, half right, full right, seen through the
    // gaps and in the margins above and below.
    const double positions[5] = {0.0, 0.25, 0.5, 0.75, 1.0};
    for (int i = 0; i < 5; ++i) {
        const int x = ax0 + barCentre(positions[i]);
        const Rgb colour = i == 2 ? Rgb{120, 128, 150} : Rgb{64, 70, 86};
        for (int y = top - 3; y <= bottom + 2; ++y) {
            const bool inRow = y >= top && y < bottom && (y - top) % kRowPitch != 5;
            if (!inRow) c.set(x, y, colour);
        }
    }
    // Frequencies: the octaves from 63 Hz to 16 kHz and the lowest band, at their rows.
    struct Label {
        int band;
        const char* text;
    };
    const Label labels[] = {{0, "25"},  {4, "63"},  {7, "125"}, {10, "250"}, {13, "500"},
                            {16, "1k"}, {19, "2k"}, {22, "4k"}, {25, "8k"},  {28, "16k"}};
    for (const Label& l : labels) {
        const int y = rowMiddle(l.band) - kScaleY;
        const bool strong = l.band == 16;
        // 8 pixels reads clearly at 1:1; three characters are drawn a little tighter to fit the
        // margin beside the rows.
        const double tracking = std::strlen(l.text) >= 3 ? -0.7 : 0.0;
        regular.draw(c, l.text, ax0 - 1, y + 3, 8, strong ? kLabel : kDimLabel, 2, tracking);
        c.fill(ax1, y, ax1 + 3, y + 1, strong ? kLabel : kDimLabel);
    }
    // Every other band gets a short tick on the right.
    for (int band = 0; band < 30; ++band)
        c.fill(ax1, rowMiddle(band) - kScaleY, ax1 + 1, rowMiddle(band) - kScaleY + 1, kDimLabel);
    regular.draw(c, "Hz", ax0 - 1, 6, 7, kDimLabel, 2);
    // The stereo axis below the rows.
    const int base = kScaleH - 1;
    regular.draw(c, "100 % L", ax0, base, 8, kLabel, 0);
    regular.draw(c, "0", ax0 + barCentre(0.5) + 1, base, 8, kLabel, 1);
    regular.draw(c, "100 % R", ax0 + barCentre(1.0) + 2, base, 8, kLabel, 2);
    regular.draw(c, "50", ax0 + barCentre(0.25) + 1, base, 8, kDimLabel, 1);
    regular.draw(c, "50", ax0 + barCentre(0.75) + 1, base, 8, kDimLabel, 1);
    // Above the rows: which side is which.
    regular.draw(c, "L", ax0 + barCentre(0.0) + 3, 6, 7, kAccent, 0);
    regular.draw(c, "R", ax0 + barCentre(1.0) - 2, 6, 7, kHighlightAccent, 2);
    return c;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_editor_pictures DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) || !FcInit()) {
        std::fprintf(stderr, "make_editor_pictures: FreeType or fontconfig unavailable\n");
        return 1;
    }
    bool ok = true;
    {
        Font regular(library, "Liberation Sans");
        Font bold(library, "Liberation Sans:bold");
        if (!regular.ok() || !bold.ok()) {
            std::fprintf(stderr, "make_editor_pictures: Liberation Sans not found\n");
            return 1;
        }
        const Canvas back = background(regular, bold);
        const Canvas erase(182, 5, kEraser);
        struct Out {
            const char* name;
            Canvas picture;
        };
        const Out outs[] = {
            {"background.bmp", back},
            {"scale.bmp", scale(back, regular)},
            {"bar.bmp", gradient({6, 8, 14}, {22, 92, 200}, {90, 190, 255})},
            {"highlight_bar.bmp", gradient({12, 5, 5}, {200, 28, 20}, {255, 120, 60})},
            {"row.bmp", erase},
            {"slider_track.bmp", sliderTrack(back, kSliderX[0], regular)},
            {"slider_handle.bmp", sliderHandle()},
            {"knob_face.bmp", knobFace(back, kKnobX[0])},
            {"knob_dot.bmp", knobDot()},
        };
        for (const Out& o : outs)
            if (!o.picture.writeBmp(dir + "/" + o.name)) {
                std::fprintf(stderr, "make_editor_pictures: cannot write %s/%s\n", dir.c_str(),
                             o.name);
                ok = false;
            }
    }
    FT_Done_FreeType(library);
    return ok ? 0 : 1;
}
