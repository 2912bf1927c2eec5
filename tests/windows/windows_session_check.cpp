// The Linux half of the Windows home's end-to-end tests: makes the audio the Windows test
// host plays, renders the same editor state on the headless home, and judges what the
// Windows session captured and recorded.
//
//   windows_session_check audio OUT.f32 RATE SECONDS
//   windows_session_check window CAPTURE.bmp AUDIO.f32 RATE SECONDS PICTURE_DIR
//   windows_session_check drag CALLS.txt PARAMETER
//   windows_session_check enlarged PLAIN.bmp ENLARGED.bmp SCALE PICTURE_STEM
//   windows_session_check same-drag PLAIN_CALLS.txt ENLARGED_CALLS.txt PARAMETER

#include "host/opcodes.h"
#include "resources/bmp_reader.h"
#include "tests/pictures/picture_compare.h"
#include "tools/demo_signal.h"
#include "tools/editor_render.h"
#include "tools/raw_audio.h"
#include "tools/windows_host/editor_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = EditorRenderer::kWidth;
constexpr int kHeight = EditorRenderer::kHeight;

struct Box {
    int left, top, right, bottom; // right and bottom exclusive
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The insides of the two value displays (their frames excluded): the only places where the
// platform's glyphs show. Everything else is drawn from the same pictures by the same rules.
constexpr Box kTextBoxes[] = {{227, 80, 255, 90}, {267, 80, 295, 90}};
constexpr std::uint32_t kDisplayBackground = 0x000000;

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int writeAudio(const std::string& path, double rate, double seconds) {
    DemoSignal demo(rate, seconds);
    std::vector<float> left(4096), right(4096), frames;
    for (;;) {
        const std::int64_t got = demo.read(left.data(), right.data(), 4096);
        if (got <= 0) break;
        for (std::int64_t i = 0; i < got; ++i) {
            frames.push_back(left[static_cast<std::size_t>(i)]);
            frames.push_back(right[static_cast<std::size_t>(i)]);
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(frames.data()),
              static_cast<std::streamsize>(frames.size() * sizeof(float)));
    return out ? 0 : 1;
}

// The box of the pixels that are not the display's background: where the glyphs' ink sits.
Box inkBox(const std::vector<std::uint32_t>& pixels, const Box& area) {
    Box ink{1 << 30, 1 << 30, -1, -1};
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            if (pixels[static_cast<std::size_t>(y * kWidth + x)] == kDisplayBackground) continue;
            ink.left = std::min(ink.left, x);
            ink.top = std::min(ink.top, y);
            ink.right = std::max(ink.right, x);
            ink.bottom = std::max(ink.bottom, y);
        }
    return ink;
}

int compareWindow(const std::string& capture, const std::string& audio, double rate, double seconds,
                  const std::string& pictureDir) {
    std::vector<std::uint8_t> bytes;
    DecodedPicture windows;
    if (!readFile(capture, bytes) || !readBmp(bytes.data(), bytes.size(), windows)) {
        std::printf("FAIL cannot read the capture %s\n", capture.c_str());
        return 1;
    }
    if (windows.width != kWidth || windows.height != kHeight) {
        std::printf("FAIL the capture is %d x %d, not %d x %d\n", windows.width, windows.height,
                    kWidth, kHeight);
        return 1;
    }
    std::vector<float> samples;
    if (!readRawAudio(audio, samples)) {
        std::printf("FAIL cannot read %s\n", audio.c_str());
        return 1;
    }
    RawAudio source(std::move(samples), rate);

    EditorRenderer renderer;
    if (!renderer.open(rate, RenderSettings{})) {
        std::printf("FAIL headless editor: %s\n", renderer.error().c_str());
        return 1;
    }
    // As the Windows session does it: the editor open, all the audio, then the idle calls.
    if (!renderer.play(source, seconds)) {
        std::printf("FAIL headless editor: %s\n", renderer.error().c_str());
        return 1;
    }
    std::vector<std::uint32_t> headless;
    for (int i = 0; i < kIdlesBeforeCapture; ++i)
        headless = renderer.idleAt(seconds);

    int outside = 0, outsideCompared = 0;
    Box differing{1 << 30, 1 << 30, -1, -1};
    std::vector<std::uint32_t> diff(headless.size(), 0xFFFFFF);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool text = std::any_of(std::begin(kTextBoxes), std::end(kTextBoxes),
                                          [&](const Box& b) { return b.contains(x, y); });
            const std::size_t i = static_cast<std::size_t>(y * kWidth + x);
            if (headless[i] == windows.pixels[i]) continue;
            diff[i] = text ? 0xFF8080 : 0x0000FF;
            if (text) continue;
            if (++outside <= 3)
                std::printf("  (%d, %d): headless %06x, Windows %06x\n", x, y, headless[i],
                            windows.pixels[i]);
            differing = {std::min(differing.left, x), std::min(differing.top, y),
                         std::max(differing.right, x + 1), std::max(differing.bottom, y + 1)};
        }
    outsideCompared = kWidth * kHeight;
    for (const Box& b : kTextBoxes)
        outsideCompared -= (b.right - b.left) * (b.bottom - b.top);
    std::printf("pixels outside the text boxes: %d compared, %d differ\n", outsideCompared,
                outside);

    int textFailures = 0;
    for (const Box& b : kTextBoxes) {
        const Box a = inkBox(headless, b), w = inkBox(windows.pixels, b);
        // The corpus's allowance for text: where the ink starts is exact to a pixel, where
        // the last glyph's ink ends may differ by two.
        const bool ok = a.right >= 0 && w.right >= 0 && std::abs(a.left - w.left) <= 1 &&
                        std::abs(a.top - w.top) <= 1 && std::abs(a.right - w.right) <= 2 &&
                        std::abs(a.bottom - w.bottom) <= 2;
        std::printf("text box at %d,%d: ink %d,%d-%d,%d headless, %d,%d-%d,%d Windows: %s\n",
                    b.left, b.top, a.left, a.top, a.right, a.bottom, w.left, w.top, w.right,
                    w.bottom, ok ? "ok" : "FAIL");
        textFailures += !ok;
    }
    // The Windows window is held to the headless rendering: the capture is the actual picture.
    pictures::writeComparison(pictureDir + "/window", kWidth, kHeight, windows.pixels, headless,
                              diff);
    const bool ok = outside == 0 && textFailures == 0;
    std::printf("%s: the captured window %s the headless rendering\n", ok ? "ok" : "FAIL",
                ok ? "equals" : "differs from");
    return ok ? 0 : 1;
}

int checkDrag(const std::string& callsPath, int parameter) {
    std::ifstream in(callsPath);
    if (!in) {
        std::printf("FAIL cannot read %s\n", callsPath.c_str());
        return 1;
    }
    // The parameter's calls in order: begin-edit, at least two automations (the press and
    // the drag to another value), end-edit, and nothing of it outside the edit.
    std::string sequence;
    std::vector<float> values;
    int opcode = 0, index = 0;
    long long value = 0;
    float opt = 0.0f;
    while (in >> opcode >> index >> value >> opt) {
        if (index != parameter) continue;
        if (opcode == audioMasterBeginEdit) sequence += 'B';
        if (opcode == audioMasterEndEdit) sequence += 'E';
        if (opcode == audioMasterAutomate) {
            sequence += 'A';
            values.push_back(opt);
        }
    }
    bool ok = sequence.size() >= 4 && sequence.front() == 'B' && sequence.back() == 'E' &&
              sequence.find_first_not_of('A', 1) == sequence.size() - 1;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    ok = ok && *high - *low > 0.2f;
    std::printf("parameter %d: %s (B begin-edit, A automation, E end-edit); values %g..%g: %s\n",
                parameter, sequence.c_str(), values.empty() ? 0.0 : double(*low),
                values.empty() ? 0.0 : double(*high), ok ? "ok" : "FAIL");
    return ok ? 0 : 1;
}

bool readCapture(const std::string& path, DecodedPicture& picture) {
    std::vector<std::uint8_t> bytes;
    if (readFile(path, bytes) && readBmp(bytes.data(), bytes.size(), picture)) return true;
    std::printf("FAIL cannot read the capture %s\n", path.c_str());
    return false;
}

// The enlarged capture shows every pixel of the plain one as a scale x scale block.
int compareEnlarged(const std::string& plainPath, const std::string& enlargedPath, int scale,
                    const std::string& pictureStem) {
    DecodedPicture plain, enlarged;
    if (!readCapture(plainPath, plain) || !readCapture(enlargedPath, enlarged)) return 1;
    if (scale < 1 || enlarged.width != plain.width * scale ||
        enlarged.height != plain.height * scale) {
        std::printf("FAIL the enlarged capture is %d x %d, not %d times %d x %d\n", enlarged.width,
                    enlarged.height, scale, plain.width, plain.height);
        return 1;
    }
    std::vector<std::uint32_t> expected(enlarged.pixels.size());
    int differing = 0;
    for (int y = 0; y < enlarged.height; ++y)
        for (int x = 0; x < enlarged.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y * enlarged.width + x);
            expected[i] =
                plain.pixels[static_cast<std::size_t>(y / scale * plain.width + x / scale)];
            if (expected[i] != enlarged.pixels[i] && ++differing <= 3)
                std::printf("  (%d, %d): plain %06x, enlarged %06x\n", x, y, expected[i],
                            enlarged.pixels[i]);
        }
    pictures::writeComparison(pictureStem, enlarged.width, enlarged.height, enlarged.pixels,
                              expected);
    std::printf("%s: the %dx capture %s %s the plain one enlarged (%d of %d pixels differ)\n",
                differing ? "FAIL" : "ok", scale, enlargedPath.c_str(),
                differing ? "differs from" : "equals", differing, enlarged.width * enlarged.height);
    return differing ? 1 : 0;
}

// The parameter's host calls, repeats of the same automation value taken as one (how often
// the editor polls an unmoved pointer depends on timing).
bool editCalls(const std::string& path, int parameter, std::vector<std::string>& calls) {
    std::ifstream in(path);
    if (!in) return false;
    int opcode = 0, index = 0;
    long long value = 0;
    float opt = 0.0f;
    while (in >> opcode >> index >> value >> opt) {
        if (index != parameter) continue;
        char line[64];
        if (opcode == audioMasterAutomate)
            std::snprintf(line, sizeof line, "automate %.9g", static_cast<double>(opt));
        else if (opcode == audioMasterBeginEdit)
            std::snprintf(line, sizeof line, "begin edit");
        else if (opcode == audioMasterEndEdit)
            std::snprintf(line, sizeof line, "end edit");
        else
            continue;
        if (calls.empty() || calls.back() != line) calls.emplace_back(line);
    }
    return true;
}

int compareDrags(const std::string& plainPath, const std::string& enlargedPath, int parameter) {
    std::vector<std::string> plain, enlarged;
    if (!editCalls(plainPath, parameter, plain) || !editCalls(enlargedPath, parameter, enlarged)) {
        std::printf("FAIL cannot read %s or %s\n", plainPath.c_str(), enlargedPath.c_str());
        return 1;
    }
    const bool same = !plain.empty() && plain == enlarged;
    std::printf("%s: parameter %d's host calls of the enlarged drag %s the plain drag's:\n",
                same ? "ok" : "FAIL", parameter, same ? "equal" : "differ from");
    for (std::size_t i = 0; i < std::max(plain.size(), enlarged.size()); ++i)
        std::printf("  %-24s %s\n", i < plain.size() ? plain[i].c_str() : "-",
                    i < enlarged.size() ? enlarged[i].c_str() : "-");
    return same ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "audio" && argc == 5)
        return writeAudio(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (command == "window" && argc == 7)
        return compareWindow(argv[2], argv[3], std::atof(argv[4]), std::atof(argv[5]), argv[6]);
    if (command == "drag" && argc == 4) return checkDrag(argv[2], std::atoi(argv[3]));
    if (command == "enlarged" && argc == 6)
        return compareEnlarged(argv[2], argv[3], std::atoi(argv[4]), argv[5]);
    if (command == "same-drag" && argc == 5)
        return compareDrags(argv[2], argv[3], std::atoi(argv[4]));
    std::fprintf(stderr, "usage: see the top of windows_session_check.cpp\n");
    return 2;
}
