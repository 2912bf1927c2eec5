#pragma once
// The drawing corpus: the cases that the soft raster and the system's GDI (under Wine) both
// render, so that their pictures can be compared pixel by pixel.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DrawContext;

// Picture resource ids of the test pictures.
inline constexpr int kTilesPicture = 1001;
inline constexpr int kOddPicture = 1002;
inline constexpr int kTopDownPicture = 1003;

struct CorpusCase {
    std::string name;
    int width;
    int height;
    // Text is compared by its extents and ink box only; everything else pixel for pixel.
    bool text;
    // Draws the case; numbers pushed onto `notes` (text extents) are compared too.
    std::function<void(DrawContext& context, std::vector<int>& notes)> draw;
};

const std::vector<CorpusCase>& corpusCases();

struct RenderedCase {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // ColorRef, rows from the top
    std::vector<int> notes;
};

// Renders one case on a fresh white memory surface through the platform's drawing layer.
RenderedCase renderCase(const CorpusCase& c);

// The case files: a binary PPM picture and a text file of the notes.
bool writeRendered(const std::string& directory, const std::string& name, const RenderedCase& r);
bool readRendered(const std::string& directory, const std::string& name, RenderedCase& r);
