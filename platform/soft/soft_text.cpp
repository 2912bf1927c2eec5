// Text of the soft home: fontconfig finds the face a font asks for ("Arial" gives its metric
// twin Liberation Sans), FreeType draws the glyphs, and sizes, placement and clipping follow
// the Windows rules: a negative height is the character (em) height in pixels, the cell is
// the face's Windows ascent plus descent, and the text starts at the cell's top-left.
#include "platform/soft/font_match.h"
#include "platform/soft/soft_objects.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

namespace platform {

namespace soft {

bool matchFont(const char* family, bool bold, bool italic, FontMatch& found) {
    // fontconfig belongs to the whole process, and a host may use it too: the plug-in only
    // makes sure the default configuration is loaded and never tears it down. Nothing of
    // fontconfig's is kept past a match (the face file is opened by FreeType), so a host that
    // calls FcFini itself finds no reference of ours left.
    static const bool ready = FcInit() == FcTrue;
    if (!ready || !family) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    const bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (ok) found.path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &found.index) != FcResultMatch) found.index = 0;
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    found.bold = weight >= FC_WEIGHT_DEMIBOLD;
    found.italic = slant != FC_SLANT_ROMAN;
    FcPatternDestroy(match);
    return ok;
}

void releaseFontconfig() {
    FcFini();
}

} // namespace soft

struct SoftFace {
    FT_Face face = nullptr;
    int ascent = 0;
    int descent = 0;
    int underlinePosition = 0; // rows below the baseline
    int underlineThickness = 1;
    bool emboldenGlyphs = false;
    bool slantGlyphs = false;
    bool symbolCharmap = false;
    ~SoftFace() {
        if (face) FT_Done_Face(face);
    }
};

namespace {

std::mutex& textLock() {
    static std::mutex lock;
    return lock;
}

FT_Library library() {
    static FT_Library instance = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return instance;
}

// Bytes of the text are the Windows Western code page; 0x80..0x9F differ from Latin-1.
uint32_t codePoint(unsigned char c) {
    static const uint16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return (c >= 0x80 && c < 0xA0) ? high[c - 0x80] : c;
}

SoftFace* openFace(SoftFont& font) {
    if (font.faceTried) return font.face.get();
    font.faceTried = true;
    const FontDescription& d = font.description;
    soft::FontMatch match;
    if (!library() || !soft::matchFont(d.faceName[0] ? d.faceName : "Arial", d.weight >= 600,
                                       d.italic != 0, match))
        return nullptr;
    std::unique_ptr<SoftFace, SoftFaceDeleter> face(new SoftFace);
    if (FT_New_Face(library(), match.path.c_str(), match.index, &face->face) != 0) {
        face->face = nullptr;
        return nullptr;
    }
    FT_Face f = face->face;
    for (int i = 0; i < f->num_charmaps; ++i)
        if (f->charmaps[i]->encoding == FT_ENCODING_MS_SYMBOL) {
            FT_Set_Charmap(f, f->charmaps[i]);
            face->symbolCharmap = true;
        }
    const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    const long winAscent = os2 ? os2->usWinAscent : f->ascender;
    const long winDescent = os2 ? os2->usWinDescent : -f->descender;
    const long units = f->units_per_EM ? f->units_per_EM : 2048;
    int ppem = 12;
    if (d.height < 0)
        ppem = -d.height;
    else if (d.height > 0)
        ppem = int((long long)d.height * units / std::max(1L, winAscent + winDescent));
    ppem = std::clamp(ppem, 1, 2048);
    if (FT_Set_Pixel_Sizes(f, 0, FT_UInt(ppem)) != 0) return nullptr;
    const FT_Fixed yScale = f->size->metrics.y_scale;
    face->ascent = int((FT_MulFix(winAscent, yScale) + 32) >> 6);
    face->descent = int((FT_MulFix(winDescent, yScale) + 32) >> 6);
    face->underlinePosition =
        std::max(1, int((FT_MulFix(-f->underline_position, yScale) + 32) >> 6));
    face->underlineThickness =
        std::max(1, int((FT_MulFix(f->underline_thickness, yScale) + 32) >> 6));
    face->emboldenGlyphs = d.weight >= 600 && !match.bold;
    face->slantGlyphs = d.italic && !match.italic;
    font.face = std::move(face);
    return font.face.get();
}

bool loadGlyph(SoftFace& face, unsigned char c, bool render) {
    FT_UInt glyph = 0;
    if (face.symbolCharmap) glyph = FT_Get_Char_Index(face.face, 0xF000u | c);
    if (!glyph) glyph = FT_Get_Char_Index(face.face, codePoint(c));
    if (FT_Load_Glyph(face.face, glyph, FT_LOAD_DEFAULT) != 0) return false;
    if (face.slantGlyphs) FT_GlyphSlot_Oblique(face.face->glyph);
    if (face.emboldenGlyphs) FT_GlyphSlot_Embolden(face.face->glyph);
    if (render && FT_Render_Glyph(face.face->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
    return true;
}

int advanceOf(SoftFace& face) {
    return int((face.face->glyph->advance.x + 32) >> 6);
}

int textWidth(SoftFace& face, const char* text, int length) {
    int width = 0;
    for (int i = 0; i < length; ++i)
        if (loadGlyph(face, static_cast<unsigned char>(text[i]), false)) width += advanceOf(face);
    return width;
}

uint32_t blend(uint32_t destination, uint32_t color, unsigned coverage) {
    uint32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t d = destination >> shift & 0xFF, c = color >> shift & 0xFF;
        result |= ((c * coverage + d * (255 - coverage) + 127) / 255) << shift;
    }
    return result;
}

} // namespace

void SoftFaceDeleter::operator()(SoftFace* face) const {
    delete face;
}

SoftFont::~SoftFont() {
    std::lock_guard guard(textLock());
    face.reset();
}

namespace soft {

bool measureText(DeviceObject& device, const char* text, int length, TextSize* size) {
    if (!text || !size || !device.font) return false;
    if (length < 0) length = int(std::strlen(text));
    std::lock_guard guard(textLock());
    SoftFace* face = openFace(*device.font);
    if (!face) return false;
    size->cx = textWidth(*face, text, length);
    size->cy = face->ascent + face->descent;
    return true;
}

int drawTextOnDevice(DeviceObject& device, const char* text, int length, Box* box,
                     unsigned format) {
    if (!text || !box || !device.font) return 0;
    if (length < 0) length = int(std::strlen(text));
    std::lock_guard guard(textLock());
    SoftFace* face = openFace(*device.font);
    if (!face) return 0;
    const int cx = textWidth(*face, text, length);
    const int cy = face->ascent + face->descent;
    int x = box->left, y = box->top;
    if (format & kTextCenter)
        x = (box->left + box->right - cx) / 2;
    else if (format & kTextRight)
        x = box->right - cx;
    if ((format & kTextSingleLine) && (format & kTextVCenter))
        y = box->top + (box->bottom - box->top) / 2 - cy / 2;
    if (!device.bitmap) return cy;

    Box clip = visibleBox(device);
    if (!(format & kTextNoClip)) {
        clip.left = std::max(clip.left, box->left);
        clip.top = std::max(clip.top, box->top);
        clip.right = std::min(clip.right, box->right);
        clip.bottom = std::min(clip.bottom, box->bottom);
    }
    SoftBitmap& surface = *device.bitmap;
    auto inside = [&](int px, int py) {
        return px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom;
    };
    if (device.bkMode == kBkOpaque) {
        const uint32_t bk = toSurfaceColor(surface, device.bkColor);
        for (int py = y; py < y + cy; ++py)
            for (int px = x; px < x + cx; ++px)
                if (inside(px, py)) surface.at(px, py) = bk;
    }
    const int baseline = y + face->ascent;
    int penX = x;
    for (int i = 0; i < length; ++i) {
        if (!loadGlyph(*face, static_cast<unsigned char>(text[i]), true)) continue;
        const FT_GlyphSlot slot = face->face->glyph;
        const FT_Bitmap& bits = slot->bitmap;
        for (unsigned row = 0; row < bits.rows; ++row)
            for (unsigned col = 0; col < bits.width; ++col) {
                const int px = penX + slot->bitmap_left + int(col);
                const int py = baseline - slot->bitmap_top + int(row);
                const unsigned coverage = bits.buffer[int(row) * bits.pitch + int(col)];
                if (coverage == 0 || !inside(px, py)) continue;
                uint32_t& pixel = surface.at(px, py);
                pixel = surface.mono
                            ? (coverage >= 128 ? toSurfaceColor(surface, device.textColor) : pixel)
                            : blend(pixel, device.textColor, coverage);
            }
        penX += advanceOf(*face);
    }
    if (device.font->description.underline) {
        const uint32_t color = toSurfaceColor(surface, device.textColor);
        for (int t = 0; t < face->underlineThickness; ++t)
            for (int px = x; px < x + cx; ++px)
                if (inside(px, baseline + face->underlinePosition + t))
                    surface.at(px, baseline + face->underlinePosition + t) = color;
    }
    return cy;
}

} // namespace soft

int drawText(DeviceHandle device, const char* text, int length, Box* box, unsigned format) {
    if (!soft::isLiveDevice(device)) return 0;
    return soft::drawTextOnDevice(*device, text, length, box, format);
}

bool getTextExtent(DeviceHandle device, const char* text, int length, TextSize* size) {
    if (!soft::isLiveDevice(device)) return false;
    return soft::measureText(*device, text, length, size);
}

} // namespace platform
