// `trob plot`: the picture's size, its labels and the colours at places whose answer is known.

#include "tests/trob/trob_test_support.h"

#include <png.h>

#include <regex>

namespace {

using namespace trob_test;
namespace fs = std::filesystem;

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    struct Pixel {
        int r, g, b;
    };
    Pixel at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

bool readPng(const fs::path& path, Picture& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

int jsonInt(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stoi(json.substr(at + key.size() + 4));
}

struct Panel {
    int left, top, right, bottom, rowHeight;
};

Panel jsonPanel(const std::string& json, const std::string& name) {
    const std::regex panel(
        "\"" + name +
        R"(": \{"left": (\d+), "top": (\d+), "right": (\d+), "bottom": (\d+), "row_height": (\d+)\})");
    std::smatch m;
    if (!std::regex_search(json, m, panel)) return {-1, -1, -1, -1, -1};
    return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4]), std::stoi(m[5])};
}

// How many pixels of the box are lit like text on the dark ground, and how many of those are
// only partly covered (the anti-aliased edges FreeType draws).
std::pair<int, int> textPixels(const Picture& p, int left, int top, int right, int bottom) {
    int lit = 0, partial = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, p.height); ++y)
        for (int x = std::max(left, 0); x < std::min(right, p.width); ++x) {
            const auto c = p.at(x, y);
            const int grey = (c.r + c.g + c.b) / 3;
            lit += grey > 90;
            partial += grey > 50 && grey < 150;
        }
    return {lit, partial};
}

class TrobPlot : public TrobCli {};

TEST_F(TrobPlot, ThePictureShowsBalanceLevelSpreadAndThePhaseProblem) {
    // 0-2 s: 12 dB more on the left; 2-4 s: mono; 4-6 s: the right channel inverted.
    const auto n = noise(6.0, 3);
    const auto file = writeFile("story.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 6.0,
                                [&](int c, std::size_t i) {
                                    const double t = i / 44100.0;
                                    if (c == 0) return n[i];
                                    return t < 2.0 ? 0.25f * n[i] : t < 4.0 ? n[i] : -n[i];
                                });
    const fs::path png = dir / "story.png";
    const TrobRun r =
        trob("plot '" + file.string() + "' --out '" + png.string() + "' --width 900 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    Picture p;
    ASSERT_TRUE(readPng(png, p));
    EXPECT_EQ(p.width, 900);
    EXPECT_EQ(jsonInt(r.out, "width"), 900);
    EXPECT_EQ(p.height, jsonInt(r.out, "height"));
    EXPECT_GT(p.height, 500);
    EXPECT_LT(p.height, 900);
    EXPECT_EQ(jsonInt(r.out, "phase_problems"), 1);

    const Panel balance = jsonPanel(r.out, "balance_panel");
    const Panel spread = jsonPanel(r.out, "spread_panel");
    const Panel strip = jsonPanel(r.out, "phase_strip");
    ASSERT_GT(balance.left, 0) << r.out;
    ASSERT_GT(spread.top, balance.bottom);
    ASSERT_GT(strip.top, balance.bottom);
    ASSERT_LT(strip.bottom, spread.top);
    EXPECT_EQ(balance.bottom - balance.top, 30 * balance.rowHeight);
    EXPECT_EQ(spread.bottom - spread.top, 30 * spread.rowHeight);
    auto x = [&](double t) {
        return balance.left + static_cast<int>(t / 6.0 * (balance.right - balance.left));
    };
    // Band 16 (1 kHz) is the fourteenth row from the top.
    const int row1k = balance.top + 13 * balance.rowHeight + balance.rowHeight / 2;
    const int spread1k = spread.top + 13 * spread.rowHeight + spread.rowHeight / 2;

    const auto left = p.at(x(1.1), row1k);
    EXPECT_GT(left.b, left.r + 80) << "left-heavy: the left hue";
    const auto centre = p.at(x(3.1), row1k);
    EXPECT_NEAR(centre.r, centre.g, 6) << "centred: grey";
    EXPECT_NEAR(centre.g, centre.b, 6);
    EXPECT_GT(centre.r, 60) << "and lit by the level";
    const auto calm = p.at(x(3.1), spread1k);
    EXPECT_LT(calm.r + calm.g + calm.b, 90) << "no spread: dark";
    const auto opposite = p.at(x(5.1), spread1k);
    EXPECT_GT(opposite.r, 200) << "opposite channels: red";
    EXPECT_LT(opposite.g, 120);
    const auto marked = p.at(x(5.1), (strip.top + strip.bottom) / 2);
    const auto unmarked = p.at(x(3.1), (strip.top + strip.bottom) / 2);
    EXPECT_GT(marked.r, 200);
    EXPECT_LT(marked.g, 90);
    EXPECT_LT(unmarked.r, 90);
    // The top right corner of the right-hand bands is empty ground.
    const auto ground = p.at(p.width - 3, 3);
    EXPECT_LT(ground.r + ground.g + ground.b, 120);

    // Labels: band centres to the left of the rows, times in m:ss under the spread panel.
    const auto bandLabel = textPixels(p, balance.left - 40, row1k - 6, balance.left - 5, row1k + 6);
    EXPECT_GT(bandLabel.first, 8);
    EXPECT_GT(bandLabel.second, 3);
    const auto timeLabel =
        textPixels(p, x(2.0) - 16, spread.bottom + 6, x(2.0) + 16, spread.bottom + 22);
    EXPECT_GT(timeLabel.first, 10);
    EXPECT_GT(timeLabel.second, 3);
    // Between two labels the axis is empty.
    const auto gap = textPixels(p, x(2.5) - 8, spread.bottom + 6, x(2.5) + 8, spread.bottom + 22);
    EXPECT_EQ(gap.first, 0);

    // Without --width the picture is sized for a screen, and the line says what was written.
    const TrobRun plain = trob("plot '" + file.string() + "' --out '" + png.string() + "'");
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_TRUE(readPng(png, p));
    EXPECT_EQ(p.width, 1200);
    EXPECT_NE(plain.out.find(": 1200 x "), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("1 phase problem\n"), std::string::npos) << plain.out;
}

// At 8 kHz the eight bands from 4 kHz up lie at or above half the rate: their rows in both
// panels are left blank, in the picture's ground colour, unlike the black of a silent band.
TEST_F(TrobPlot, RowsOfBandsTheRateCannotCarryAreLeftBlank) {
    const auto file = writeFile("low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, 2.0,
                                [](int, std::size_t i) { return tone(1000, 8000, i); });
    const fs::path png = dir / "low.png";
    const TrobRun r = trob("plot '" + file.string() + "' --out '" + png.string() + "' --json");
    ASSERT_EQ(r.status, 0) << r.err;
    Picture p;
    ASSERT_TRUE(readPng(png, p));
    const auto ground = p.at(p.width - 3, 3);
    auto isGround = [&](int x, int y) {
        const auto c = p.at(x, y);
        return c.r == ground.r && c.g == ground.g && c.b == ground.b;
    };
    for (const Panel& panel :
         {jsonPanel(r.out, "balance_panel"), jsonPanel(r.out, "spread_panel")}) {
        ASSERT_GT(panel.rowHeight, 1) << r.out;
        for (int row = 0; row < 30; ++row) {
            // Time ticks cross every row; everything else of a blank row is ground.
            int blank = 0;
            const int y = panel.top + row * panel.rowHeight + panel.rowHeight / 2;
            for (int x = panel.left; x < panel.right; ++x)
                blank += isGround(x, y);
            const int width = panel.right - panel.left;
            if (row < 8)
                EXPECT_GT(blank, width * 95 / 100) << "row " << row;
            else
                EXPECT_EQ(blank, 0) << "row " << row;
        }
    }
}

struct TextBox {
    std::string text;
    int left, top, right, bottom;
};

std::vector<TextBox> jsonTexts(const std::string& json) {
    std::vector<TextBox> out;
    const std::regex box(
        R"re(\{"text": "((?:[^"\\]|\\.)*)", "left": (-?\d+), "top": (-?\d+), "right": (-?\d+), "bottom": (-?\d+)\})re");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), box);
         it != std::sregex_iterator(); ++it)
        out.push_back({(*it)[1], std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4]),
                       std::stoi((*it)[5])});
    return out;
}

TEST_F(TrobPlot, AtTheNarrowestWidthNoTextsOverlapAndTheLevelsMatchTheReport) {
    // A long name, a long file at a high rate and several phase problems: the longest header.
    const int rate = 192000;
    const fs::path wav = writeFile(
        "a recording with a very long name from the evening session, take 12, final mix.wav",
        SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, rate, 4.0, [&](int c, std::size_t n) {
            const bool opposed = (n / (rate / 2)) % 2 == 0; // half a second each way
            return tone(1000, rate, n, 0.3) * (c == 1 && opposed ? -1.0f : 1.0f) +
                   tone(100, rate, n, c ? 0.05 : 0.2);
        });
    const fs::path png = dir / "narrow.png";
    const TrobRun r = trob("plot '" + wav.string() + "' --out '" + png.string() +
                           "' --width 480 --min-duration 0.1 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    const int width = jsonInt(r.out, "width"), height = jsonInt(r.out, "height");
    EXPECT_EQ(width, 480);
    EXPECT_GT(jsonInt(r.out, "phase_problems"), 1);
    const std::vector<TextBox> texts = jsonTexts(r.out);
    ASSERT_GT(texts.size(), 90u);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TextBox& a = texts[i];
        EXPECT_TRUE(a.left >= 0 && a.top >= 0 && a.right <= width && a.bottom <= height)
            << "'" << a.text << "' leaves the picture";
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const TextBox& b = texts[j];
            EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom &&
                         b.top < a.bottom)
                << "'" << a.text << "' overlaps '" << b.text << "'";
        }
    }
    // The title is the name cut short.
    const auto title = std::find_if(texts.begin(), texts.end(), [](const TextBox& t) {
        return t.text.rfind("a recording with", 0) == 0;
    });
    ASSERT_NE(title, texts.end());
    EXPECT_EQ(title->text.substr(title->text.size() - 3), "\xE2\x80\xA6"); // an ellipsis

    // Beside the rows, from 25 Hz up: each band's mid level as the report gives it, rounded.
    const TrobRun report = trob("analyse '" + wav.string() + "' --json");
    ASSERT_EQ(report.status, 0) << report.err;
    const auto header = std::find_if(texts.begin(), texts.end(),
                                     [](const TextBox& t) { return t.text == "mid dB"; });
    ASSERT_GE(texts.end() - header, 31);
    for (int k = 0; k < 30; ++k) {
        const double mid = jsonBandValue(report.out, bandCentres()[k], "mid_db");
        const std::string shown = header[1 + k].text;
        const std::string expected =
            std::isnan(mid) ? std::string("\xE2\x80\x93") : std::to_string(std::lround(mid));
        EXPECT_EQ(shown, expected) << bandCentres()[k];
        if (k) {
            EXPECT_LE(header[1 + k].bottom, header[k].top);
        }
    }
}

TEST_F(TrobPlot, AFileThatCannotBeReadGivesItsErrorAndNoPicture) {
    const fs::path text = dir / "notes.txt";
    std::ofstream(text) << "not audio\n";
    const fs::path png = dir / "none.png";
    const TrobRun r = trob("plot '" + text.string() + "' --out '" + png.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not in a format"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(png));
}

} // namespace
