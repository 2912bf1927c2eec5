#pragma once
// The picture `trob plot` draws into: RGB pixels with filled and blended boxes, text in
// a system font (fontconfig finds it, FreeType draws it anti-aliased), written as PNG.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

class PlotCanvas {
public:
    // False when the pixels cannot be had.
    bool create(int width, int height, Rgb background);
    int width() const { return w; }
    int height() const { return h; }
    Rgb pixel(int x, int y) const;

    void set(int x, int y, Rgb c);
    // Mixes `c` over the pixel; alpha 0 (nothing) to 255 (all).
    void blend(int x, int y, Rgb c, unsigned alpha);
    // Right and bottom exclusive; clipped to the picture.
    void fill(int left, int top, int right, int bottom, Rgb c, unsigned alpha = 255);
    void frame(int left, int top, int right, int bottom, Rgb c, unsigned alpha = 255);

    bool writePng(const std::string& path) const;

private:
    int w = 0, h = 0;
    std::vector<std::uint32_t> pixels; // red | green << 8 | blue << 16
};

class PlotFont {
public:
    PlotFont();
    ~PlotFont();
    PlotFont(const PlotFont&) = delete;
    PlotFont& operator=(const PlotFont&) = delete;

    // Finds the family (or what fontconfig offers in its place) at `pixels` em height. False
    // with `error()` when no scalable font can be found or opened.
    bool load(const std::string& family, int pixels, bool bold);
    const std::string& error() const { return errorText; }
    const std::string& file() const { return fileName; }

    int ascent() const { return ascender; }
    // How far the font reaches below the baseline, in pixels.
    int descent() const { return descender; }
    int textWidth(const std::string& utf8);
    // Draws with the baseline at `baseline`; `align` 0 left from x, 1 centred on x, 2 right
    // ending at x.
    void draw(PlotCanvas& canvas, int x, int baseline, const std::string& utf8, Rgb colour,
              int align = 0);

private:
    struct Face;
    std::unique_ptr<Face> face;
    int ascender = 0;
    int descender = 0;
    std::string errorText;
    std::string fileName;
};
