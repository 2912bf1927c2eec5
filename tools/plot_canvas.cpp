#include "tools/plot_canvas.h"

#include "platform/soft/font_match.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

bool PlotCanvas::create(int width, int height, Rgb background) {
    if (width <= 0 || height <= 0) return false;
    w = width;
    h = height;
    pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    fill(0, 0, w, h, background);
    return true;
}

Rgb PlotCanvas::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return {};
    const std::uint32_t p = pixels[static_cast<std::size_t>(y) * w + x];
    return {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
            static_cast<std::uint8_t>(p >> 16)};
}

void PlotCanvas::set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    pixels[static_cast<std::size_t>(y) * w + x] =
        std::uint32_t(c.r) | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16;
}

void PlotCanvas::blend(int x, int y, Rgb c, unsigned alpha) {
    if (alpha >= 255) return set(x, y, c);
    const Rgb d = pixel(x, y);
    auto mix = [alpha](unsigned over, unsigned under) {
        return static_cast<std::uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
    };
    set(x, y, {mix(c.r, d.r), mix(c.g, d.g), mix(c.b, d.b)});
}

void PlotCanvas::fill(int left, int top, int right, int bottom, Rgb c, unsigned alpha) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, w);
    bottom = std::min(bottom, h);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            blend(x, y, c, alpha);
}

void PlotCanvas::frame(int left, int top, int right, int bottom, Rgb c, unsigned alpha) {
    fill(left, top, right, top + 1, c, alpha);
    fill(left, bottom - 1, right, bottom, c, alpha);
    fill(left, top + 1, left + 1, bottom - 1, c, alpha);
    fill(right - 1, top + 1, right, bottom - 1, c, alpha);
}

bool PlotCanvas::writePng(const std::string& path) const {
    if (pixels.empty()) return false;
    std::vector<std::uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (const std::uint32_t p : pixels) {
        rgb.push_back(static_cast<std::uint8_t>(p));
        rgb.push_back(static_cast<std::uint8_t>(p >> 8));
        rgb.push_back(static_cast<std::uint8_t>(p >> 16));
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGB;
    const bool written = png_image_write_to_stdio(&image, file, 0, rgb.data(), w * 3, nullptr) != 0;
    png_image_free(&image);
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

struct PlotFont::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

PlotFont::PlotFont() = default;
PlotFont::~PlotFont() = default;

namespace {
// The next code point of UTF-8 text; malformed bytes read as themselves.
char32_t nextCodePoint(const std::string& s, std::size_t& i) {
    const auto c = static_cast<unsigned char>(s[i++]);
    const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (!extra || i + extra > s.size()) return c;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k)
        cp = cp << 6 | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}
} // namespace

bool PlotFont::load(const std::string& family, int pixels, bool bold) {
    platform::soft::FontMatch match;
    if (!platform::soft::matchFont(family.c_str(), bold, false, match)) {
        errorText = "no font found for the labels (fontconfig offers none for '" + family + "')";
        return false;
    }
    auto fresh = std::unique_ptr<Face>(new (std::nothrow) Face);
    if (!fresh || FT_Init_FreeType(&fresh->library) != 0 ||
        FT_New_Face(fresh->library, match.path.c_str(), match.index, &fresh->face) != 0 ||
        FT_Set_Pixel_Sizes(fresh->face, 0, static_cast<FT_UInt>(pixels)) != 0) {
        errorText = "cannot open the font '" + match.path + "'";
        return false;
    }
    face = std::move(fresh);
    fileName = match.path;
    ascender = static_cast<int>((face->face->size->metrics.ascender + 32) >> 6);
    descender = static_cast<int>((-face->face->size->metrics.descender + 32) >> 6);
    return true;
}

int PlotFont::textWidth(const std::string& utf8) {
    if (!face) return 0;
    long width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const FT_UInt glyph = FT_Get_Char_Index(face->face, nextCodePoint(utf8, i));
        if (FT_Load_Glyph(face->face, glyph, FT_LOAD_DEFAULT) == 0)
            width += face->face->glyph->advance.x;
    }
    return static_cast<int>((width + 32) >> 6);
}

void PlotFont::draw(PlotCanvas& canvas, int x, int baseline, const std::string& utf8, Rgb colour,
                    int align) {
    if (!face) return;
    if (align == 1) x -= textWidth(utf8) / 2;
    if (align == 2) x -= textWidth(utf8);
    long pen = static_cast<long>(x) << 6;
    for (std::size_t i = 0; i < utf8.size();) {
        const FT_UInt glyph = FT_Get_Char_Index(face->face, nextCodePoint(utf8, i));
        if (FT_Load_Glyph(face->face, glyph, FT_LOAD_DEFAULT) != 0 ||
            FT_Render_Glyph(face->face->glyph, FT_RENDER_MODE_NORMAL) != 0)
            continue;
        const FT_GlyphSlot slot = face->face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int left = static_cast<int>((pen + 32) >> 6) + slot->bitmap_left;
        const int top = baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const unsigned coverage = bitmap.buffer[row * bitmap.pitch + col];
                if (coverage)
                    canvas.blend(left + static_cast<int>(col), top + static_cast<int>(row), colour,
                                 coverage);
            }
        pen += slot->advance.x;
    }
}
