// Compares the corpus as the soft raster drew it with the corpus as GDI drew it.
// Usage: corpus_compare SOFT_DIRECTORY GDI_DIRECTORY FAILURE_DIRECTORY
// Prints one line per case; writes NAME.actual.png (soft), .expected.png (GDI) and
// .difference.png of every case that differs;
// exits 1 when a case fails its bar.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/drawing/corpus.h"
#include "tests/pictures/picture_compare.h"

namespace {

// Cases that are not yet pixel-exact, each with the agreement it must keep. Everything else
// must match exactly, and no allowance may go below the floor.
struct Allowance {
    const char* name;
    double minimum;
};
constexpr double kAgreementFloor = 99.5;
// Empty: every shape case matches GDI pixel for pixel.
constexpr std::array<Allowance, 0> kApproximate{};

constexpr bool allAboveFloor() {
    for (const Allowance& a : kApproximate)
        if (a.minimum < kAgreementFloor) return false;
    return true;
}
static_assert(allAboveFloor(), "no corpus case may agree with GDI on less than 99.5 %");

double allowedMinimum(const std::string& name) {
    for (const Allowance& a : kApproximate)
        if (name == a.name) return a.minimum;
    return 100.0;
}

struct InkBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// The box of the clearly inked pixels: dark text on the white surface.
InkBox inkBox(const RenderedCase& r) {
    InkBox box;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const uint32_t p = r.pixels[size_t(y) * size_t(r.width) + size_t(x)];
            if ((p & 0xFF) + (p >> 8 & 0xFF) + (p >> 16 & 0xFF) >= 3 * 128) continue;
            box.left = std::min(box.left, x);
            box.top = std::min(box.top, y);
            box.right = std::max(box.right, x);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

void writeFailure(const std::string& dir, const std::string& name, const RenderedCase& soft,
                  const RenderedCase& gdi) {
    // The soft raster is held to GDI: its rendering is the actual picture, GDI's the expected.
    pictures::writeComparison(dir + "/" + name, soft.width, soft.height, soft.pixels, gdi.pixels);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: corpus_compare SOFT_DIR GDI_DIR FAILURE_DIR\n");
        return 2;
    }
    int failures = 0;
    std::printf("%-28s %10s  %s\n", "case", "agreement", "result");
    for (const CorpusCase& c : corpusCases()) {
        RenderedCase soft, gdi;
        if (!readRendered(argv[1], c.name, soft) || !readRendered(argv[2], c.name, gdi) ||
            soft.width != gdi.width || soft.height != gdi.height) {
            std::printf("%-28s %10s  FAIL (missing or unreadable rendering)\n", c.name.c_str(),
                        "-");
            ++failures;
            continue;
        }
        if (c.text) {
            // Glyphs differ between rasterisers; the extent and where the ink sits must not.
            const int width = soft.notes.empty() ? -1 : soft.notes[0];
            const int gdiWidth = gdi.notes.empty() ? -2 : gdi.notes[0];
            const int length = soft.notes.size() > 1 ? soft.notes[1] : 0;
            const InkBox a = inkBox(soft), b = inkBox(gdi);
            const bool extentOk = std::abs(width - gdiWidth) <= std::max(1, length);
            // Where the text starts is exact to a pixel; where its last glyph's ink ends may
            // differ by the rasterisers' outlines (two pixels).
            const bool inkOk = std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 &&
                               std::abs(a.right - b.right) <= 2 &&
                               std::abs(a.bottom - b.bottom) <= 2;
            std::printf("%-28s %10s  %s (width %d vs %d; ink %d,%d-%d,%d vs %d,%d-%d,%d)\n",
                        c.name.c_str(), "text", extentOk && inkOk ? "ok" : "FAIL", width, gdiWidth,
                        a.left, a.top, a.right, a.bottom, b.left, b.top, b.right, b.bottom);
            if (!(extentOk && inkOk)) {
                writeFailure(argv[3], c.name, soft, gdi);
                ++failures;
            }
            continue;
        }
        size_t same = 0;
        for (size_t i = 0; i < soft.pixels.size(); ++i)
            same += soft.pixels[i] == gdi.pixels[i];
        const double agreement = 100.0 * double(same) / double(soft.pixels.size());
        const bool notesOk = soft.notes == gdi.notes;
        const bool ok = notesOk && agreement >= allowedMinimum(c.name);
        std::printf("%-28s %9.3f%%  %s%s\n", c.name.c_str(), agreement,
                    same == soft.pixels.size() ? "exact"
                    : ok                       ? "within its allowance"
                                               : "FAIL",
                    notesOk ? "" : " (read-back values differ)");
        if (same != soft.pixels.size() || !notesOk) writeFailure(argv[3], c.name, soft, gdi);
        if (!ok) ++failures;
    }
    std::printf("%d case(s) failed\n", failures);
    return failures ? 1 : 0;
}
