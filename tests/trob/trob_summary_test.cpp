// `trob analyse --summary`: the whole file per band, the phase-problem ranges and the exit
// status that a delivery script stops on, and many files at once, on files with known answers.

#include "tests/trob/trob_test_support.h"

#include <regex>

namespace {

using namespace trob_test;
namespace fs = std::filesystem;

struct Range {
    double start, end, maxSpread;
    std::vector<std::string> bands;
};

// The "phase_problems" array of the JSON object that starts at `from`.
std::vector<Range> phaseRanges(const std::string& json, std::size_t from = 0) {
    std::vector<Range> out;
    const auto begin = json.find("\"phase_problems\": [", from);
    if (begin == std::string::npos) return out;
    const auto end = json.find("]\n}", begin);
    const std::string list = json.substr(begin, end - begin);
    const std::regex range(
        R"(\{"start_s": ([^,]+), "end_s": ([^,]+), "max_spread": ([^,]+), "bands_hz": \[([^\]]*)\]\})");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), range);
         it != std::sregex_iterator(); ++it) {
        Range r{std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), {}};
        std::stringstream bands((*it)[4]);
        for (std::string b; std::getline(bands, b, ',');)
            r.bands.push_back(b.substr(b.find_first_not_of(' ')));
        out.push_back(r);
    }
    return out;
}

class TrobSummary : public TrobCli {
protected:
    // Noise in both channels; between `from` and `to` seconds the right one is inverted.
    fs::path invertedSegment(const std::string& name, double seconds, double from, double to) {
        const auto n = noise(seconds);
        return writeFile(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, seconds,
                         [&](int c, std::size_t i) {
                             const double t = i / 44100.0;
                             return c == 1 && t >= from && t < to ? -n[i] : n[i];
                         });
    }
    fs::path mono(const std::string& name, double seconds) {
        const auto n = noise(seconds, 11);
        return writeFile(name, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, seconds,
                         [&](int, std::size_t i) { return n[i]; });
    }
};

TEST_F(TrobSummary, AMonoFileIsCentredWithoutSpreadOrPhaseProblems) {
    const auto file = mono("mono.wav", 4.0);
    const TrobRun r = trob("analyse '" + file.string() + "' --summary --json --fail-on-phase");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& hz : bandCentres()) {
        EXPECT_EQ(jsonBandValue(r.out, hz, "balance_db_mean"), 0.0) << hz;
        EXPECT_EQ(jsonBandValue(r.out, hz, "left_lean_share"), 0.0) << hz;
        EXPECT_EQ(jsonBandValue(r.out, hz, "right_lean_share"), 0.0) << hz;
        EXPECT_EQ(jsonBandValue(r.out, hz, "spread_max"), 0.0) << hz;
        EXPECT_EQ(jsonBandValue(r.out, hz, "spread_over_half_share"), 0.0) << hz;
        const double mean = jsonBandValue(r.out, hz, "level_mean");
        EXPECT_GT(mean, 0.2) << hz;
        EXPECT_GE(jsonBandValue(r.out, hz, "level_p95"), mean) << hz;
        EXPECT_LE(jsonBandValue(r.out, hz, "level_p95"), 1.0) << hz;
    }
    EXPECT_NE(r.out.find("\"phase_threshold\": 0.6,"), std::string::npos);
    EXPECT_NE(r.out.find("\"min_duration_s\": 0.5,"), std::string::npos);
    EXPECT_NE(r.out.find("\"phase_problems\": []"), std::string::npos) << r.out;

    const TrobRun text = trob("analyse '" + file.string() + "' --summary");
    ASSERT_EQ(text.status, 0) << text.err;
    const auto rows = lines(text.out);
    ASSERT_EQ(rows.size(), 39u) << text.out;
    EXPECT_EQ(rows[4].rfind("   20 kHz", 0), 0u) << rows[4];
    EXPECT_EQ(rows[33].rfind("    25 Hz", 0), 0u) << rows[33];
    EXPECT_EQ(rows[35], "phase problems (spread above 0.6 for 0.5 s or more): none");
}

TEST_F(TrobSummary, AnInvertedSecondIsOneRangeInEveryBandAndFailsTheDelivery) {
    const auto file = invertedSegment("inverted.wav", 5.0, 2.0, 3.0);
    const TrobRun r = trob("analyse '" + file.string() + "' --summary --json --fail-on-phase");
    EXPECT_EQ(r.status, 3) << r.err;
    const auto ranges = phaseRanges(r.out);
    ASSERT_EQ(ranges.size(), 1u) << r.out;
    // The spread follows with 0.3 s: above 0.6 from about 0.27 s after the flip, below it
    // again about 0.14 s after the flip back.
    EXPECT_GT(ranges[0].start, 2.0);
    EXPECT_LT(ranges[0].start, 2.45);
    EXPECT_GT(ranges[0].end, 3.0);
    EXPECT_LT(ranges[0].end, 3.35);
    EXPECT_GT(ranges[0].maxSpread, 0.9);
    // The noise's 25 Hz band hovers about the signal floor: its stretches above it with a high
    // spread are too short to count.
    EXPECT_EQ(ranges[0].bands.size(), 29u);
    EXPECT_EQ(ranges[0].bands.front(), "20000");
    EXPECT_EQ(ranges[0].bands.back(), "31.5");
    for (const char* hz : {"31.5", "1000", "20000"}) {
        const double share = jsonBandValue(r.out, hz, "spread_over_half_share");
        EXPECT_GT(share, 0.15) << hz; // about 0.9 s of 5
        EXPECT_LT(share, 0.23) << hz;
        EXPECT_GT(jsonBandValue(r.out, hz, "spread_max"), 0.9) << hz;
    }

    const TrobRun text = trob("analyse '" + file.string() + "' --summary");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("phase problems (spread above 0.6 for 0.5 s or more): 1\n  0:02."),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("29 bands: 31.5 Hz - 20 kHz\n"), std::string::npos) << text.out;

    // Stricter criteria find nothing: the stretch is shorter than 1.5 s and never reaches 0.99.
    for (const char* strict : {"--min-duration 1.5", "--phase-threshold 0.99"}) {
        const TrobRun none =
            trob("analyse '" + file.string() + "' --summary --json --fail-on-phase " + strict);
        EXPECT_EQ(none.status, 0) << strict;
        EXPECT_TRUE(phaseRanges(none.out).empty()) << strict;
    }
    // Looser ones find the same range sooner and longer.
    const TrobRun loose =
        trob("analyse '" + file.string() + "' --summary --json --phase-threshold 0.3");
    const auto wide = phaseRanges(loose.out);
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_LT(wide[0].start, ranges[0].start);
    EXPECT_GT(wide[0].end, ranges[0].end);
}

TEST_F(TrobSummary, AFileIsReportedWholeByDefaultAndOneRunFeedsEveryOutput) {
    const auto file = invertedSegment("inverted.wav", 4.0, 1.5, 2.5);
    const fs::path csv = dir / "series.csv", png = dir / "picture.png", alone = dir / "alone.png";
    const TrobRun r = trob("analyse '" + file.string() + "' --json --csv '" + csv.string() +
                           "' --plot '" + png.string() + "' --width 640 --fail-on-phase");
    EXPECT_EQ(r.status, 3) << r.err;
    ASSERT_EQ(phaseRanges(r.out).size(), 1u) << r.out;
    EXPECT_EQ(r.out.find("\"taper\""), std::string::npos);
    // 4 s at 30 polls a second and the final reading, 30 bands each, and the header.
    EXPECT_EQ(lines(slurp(csv)).size(), 1u + 121u * 30u);
    // The picture is the one trob plot draws of the same file.
    const TrobRun plot =
        trob("plot '" + file.string() + "' --out '" + alone.string() + "' --width 640");
    ASSERT_EQ(plot.status, 0) << plot.err;
    ASSERT_TRUE(fs::exists(png));
    EXPECT_EQ(slurp(png), slurp(alone));

    const TrobRun last = trob("analyse '" + file.string() + "' --final --json --fail-on-phase");
    EXPECT_EQ(last.status, 3) << last.err;
    EXPECT_EQ(last.out.find("phase_problems"), std::string::npos);
    EXPECT_EQ(jsonBandValue(last.out, "1000", "taper"), 1.0) << last.out;
    EXPECT_EQ(trob("analyse '" + file.string() + "' --final --summary").status, 2);
    EXPECT_EQ(trob("analyse '" + file.string() + "' '" + file.string() + "' --plot '" +
                   png.string() + "'")
                  .status,
              2);
}

TEST_F(TrobSummary, LevelsInDecibelsOfFullScaleAndMonoLossOfASineAndItsInverse) {
    // A -6 dBFS 1 kHz sine in both channels; from 2 s on the right channel is inverted.
    const double a = std::pow(10.0, -6.0 / 20.0);
    for (const int rate : {44100, 96000}) {
        const auto file =
            writeFile("sine" + std::to_string(rate) + ".wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2,
                      rate, 4.0, [&](int c, std::size_t n) {
                          const float v = tone(1000, rate, n, a);
                          return c == 1 && n >= 2u * rate ? -v : v;
                      });
        const TrobRun r = trob("analyse '" + file.string() + "' --json --fail-on-phase");
        EXPECT_EQ(r.status, 3) << r.err;
        // Over the whole file: the levels of the mean amplitudes (less the meters' rise at the
        // start), the mid's half the time.
        EXPECT_NEAR(jsonBandValue(r.out, "1000", "left_db"), -6.0, 0.5) << rate;
        EXPECT_NEAR(jsonBandValue(r.out, "1000", "right_db"), -6.0, 0.5) << rate;
        EXPECT_NEAR(jsonBandValue(r.out, "1000", "mono_loss_db"), -6.0, 0.5) << rate;
        EXPECT_EQ(jsonBandValue(r.out, "1000", "worst_mono_loss_db"), -60.0) << rate;
        // Far from the tone there is no signal: no balance, spread or mono loss.
        for (const char* key : {"left_db", "right_db", "mono_loss_db", "worst_mono_loss_db",
                                "balance_db_mean", "spread_max", "spread_mean"})
            EXPECT_TRUE(std::isnan(jsonBandValue(r.out, "100", key))) << key << rate;
        EXPECT_EQ(jsonBandValue(r.out, "100", "signal_share"), 0.0);

        // The meters at the end of each half: alike, then opposite.
        const auto first = writeFile("first.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, 2.0,
                                     [&](int, std::size_t n) { return tone(1000, rate, n, a); });
        const TrobRun alike = trob("analyse '" + first.string() + "' --final --json");
        const TrobRun opposite = trob("analyse '" + file.string() + "' --final --json");
        for (const char* key : {"left_db", "right_db", "mid_db"})
            EXPECT_NEAR(jsonBandValue(alike.out, "1000", key), -6.0, 0.05) << key << rate;
        EXPECT_EQ(jsonBandValue(alike.out, "1000", "mono_loss_db"), 0.0);
        EXPECT_NEAR(jsonBandValue(opposite.out, "1000", "right_db"), -6.0, 0.05) << rate;
        EXPECT_EQ(jsonBandValue(opposite.out, "1000", "mono_loss_db"), -60.0);
        const auto table = lines(trob("analyse '" + first.string() + "' --final").out);
        ASSERT_EQ(table.size(), 37u);
        EXPECT_EQ(table[17].rfind("    1 kHz    -6.0   -6.0   -6.0    0.0    0.0  ", 0), 0u)
            << table[17];
        EXPECT_EQ(table[10].rfind("    5 kHz       \u2014      \u2014", 0), 0u) << table[10];
    }
}

TEST_F(TrobSummary, NearSilentNoiseOutOfPhaseRaisesNoAlarm) {
    // Noise at -80 dBFS, the right channel the inverse of the left.
    const auto n = noise(3.0);
    const auto file = writeFile("hiss.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 3.0,
                                [&](int c, std::size_t i) { return (c ? -1e-4f : 1e-4f) * n[i]; });
    const TrobRun r = trob("analyse '" + file.string() + "' --json --fail-on-phase");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(phaseRanges(r.out).empty());
    EXPECT_TRUE(std::isnan(jsonBandValue(r.out, "1000", "spread_max")));
    // The display values are still there: the meter's spread sees the inversion.
    const TrobRun last = trob("analyse '" + file.string() + "' --final --json");
    EXPECT_GT(jsonBandValue(last.out, "1000", "spread"), 0.9);
    EXPECT_TRUE(std::isnan(jsonBandValue(last.out, "1000", "mono_loss_db")));
}

TEST_F(TrobSummary, SixDecibelsMoreOnTheLeftAboveOneKilohertzOnly) {
    // A tone at every band centre; above 1 kHz the right channel has half the amplitude.
    const auto& centres = bandCentres();
    const auto file = writeFile("tilted.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 4.0,
                                [&](int c, std::size_t n) {
                                    float sum = 0.0f;
                                    for (const auto& hz : centres) {
                                        const double f = std::stod(hz);
                                        const double gain = c == 1 && f > 1000 ? 0.5 : 1.0;
                                        sum += tone(f, 44100, n, 0.03 * gain);
                                    }
                                    return sum;
                                });
    const TrobRun r = trob("analyse '" + file.string() + "' --summary --json");
    ASSERT_EQ(r.status, 0) << r.err;
    for (std::size_t k = 0; k < centres.size(); ++k) {
        const std::string& hz = centres[k];
        const double db = jsonBandValue(r.out, hz, "balance_db_mean");
        const double left = jsonBandValue(r.out, hz, "left_lean_share");
        EXPECT_EQ(jsonBandValue(r.out, hz, "right_lean_share"), 0.0) << hz;
        // Each tone alike in both channels; only where two bands' tones of different tilt
        // meet (1 and 1.25 kHz) do the signs differ now and then.
        EXPECT_LT(jsonBandValue(r.out, hz, "spread_max"), 0.06) << hz;
        if (std::stod(hz) >= 1600) {
            EXPECT_NEAR(db, -6.02, 0.3) << hz;
            EXPECT_GT(left, 0.97) << hz;
        } else if (std::stod(hz) <= 630) {
            EXPECT_NEAR(db, 0.0, 0.3) << hz;
            EXPECT_EQ(left, 0.0) << hz;
        }
    }
    EXPECT_TRUE(phaseRanges(r.out).empty());
}

TEST_F(TrobSummary, ManyFilesInParallelReportInOrderAndAFailureDoesNotStopTheOthers) {
    const auto a = invertedSegment("a.wav", 4.0, 2.0, 3.0);
    const auto b = mono("b.wav", 3.0);
    const fs::path broken = dir / "broken.wav";
    std::ofstream(broken) << "RIFF, but nothing a reader can use\n";
    const TrobRun soloA = trob("analyse '" + a.string() + "' --summary --json --fail-on-phase");
    const TrobRun soloB = trob("analyse '" + b.string() + "' --summary --json --fail-on-phase");
    ASSERT_EQ(soloA.status, 3) << soloA.err;
    ASSERT_EQ(soloB.status, 0) << soloB.err;

    const std::string three =
        "analyse '" + a.string() + "' '" + broken.string() + "' '" + b.string() + "' --summary";
    const TrobRun r = trob(three + " --json -j 2 --fail-on-phase");
    EXPECT_EQ(r.status, 1) << "a failed file outranks a phase problem\n" << r.err;
    EXPECT_NE(r.err.find("broken.wav"), std::string::npos) << r.err;
    // Each instance measures alone: the parallel reports are the solo ones to the bit.
    const std::string expected = "[\n" + soloA.out.substr(0, soloA.out.size() - 1) +
                                 ",\n{\n  \"source\": \"" + broken.string() +
                                 "\",\n  \"error\": \"'" + broken.string() +
                                 "' is not in a format trob can read";
    EXPECT_EQ(r.out.rfind(expected, 0), 0u) << r.out.substr(0, 400);
    const std::string tail = ",\n" + soloB.out.substr(0, soloB.out.size() - 1) + "\n]\n";
    ASSERT_GE(r.out.size(), tail.size());
    EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);

    const TrobRun text = trob(three + " -j 3");
    EXPECT_EQ(text.status, 1);
    const auto atA = text.out.find(a.string() + ": 4.000 s");
    const auto atBroken = text.out.find(broken.string() + ": not analysed: ");
    const auto atB = text.out.find(b.string() + ": 3.000 s");
    EXPECT_NE(atA, std::string::npos) << text.out;
    EXPECT_LT(atA, atBroken);
    EXPECT_LT(atBroken, atB);
    EXPECT_NE(atB, std::string::npos);

    // Readable files only: the phase problem in a.wav decides the status.
    const TrobRun good =
        trob("analyse '" + b.string() + "' '" + a.string() + "' --summary --fail-on-phase");
    EXPECT_EQ(good.status, 3) << good.err;
    const TrobRun tables = trob("analyse '" + b.string() + "' '" + a.string() + "' --final --json");
    EXPECT_EQ(tables.status, 0) << tables.err;
    EXPECT_EQ(tables.out.rfind("[\n{\n  \"source\": ", 0), 0u);
    EXPECT_EQ(tables.out.find("phase_problems"), std::string::npos);
}

} // namespace
