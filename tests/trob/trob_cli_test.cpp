// `trob analyse` end to end: real files in, the table, JSON and CSV out, and every error a
// user can run into ending with a clear message and a non-zero status.

#include "tests/trob/trob_test_support.h"

#include <charconv>
#include <regex>

namespace {

using namespace trob_test;
namespace fs = std::filesystem;

TEST_F(TrobCli, DemoTableListsEveryBandFromTheTopDownAndLightsTheLoudBand) {
    const TrobRun r = trob("analyse");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 37u) << r.out;
    EXPECT_NE(rows[0].find("demo signal"), std::string::npos);
    EXPECT_EQ(rows[4].rfind("   20 kHz", 0), 0u) << rows[4];
    EXPECT_EQ(rows[33].rfind("    25 Hz", 0), 0u) << rows[33];
    int lit = 0;
    for (std::size_t i = 4; i < rows.size(); ++i)
        lit += rows[i].find('#') != std::string::npos;
    EXPECT_GE(lit, 1);
    // The right-only tone sits at the right edge of its row.
    EXPECT_EQ(rows[17].rfind("    1 kHz", 0), 0u) << rows[17];
    EXPECT_NE(rows[17].find("R>18"), std::string::npos) << rows[17];
    EXPECT_EQ(rows[17].back(), '=');
}

TEST_F(TrobCli, StereoFileJsonReportsAOneSidedToneAtTheFilesRate) {
    const auto wav =
        writeFile("right.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, 2.0,
                  [](int c, std::size_t n) { return c ? tone(1000, 48000, n) : 0.0f; });
    const TrobRun r = trob("analyse '" + wav.string() + "' --final --json --block 300");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"sample_rate\": 48000"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"block_size\": 300,\n  \"format\": 2,\n"), std::string::npos);
    EXPECT_EQ(jsonBandValue(r.out, "1000", "balance"), 1.0);
    EXPECT_GE(jsonBandValue(r.out, "1000", "balance_db"), 18.0);
    EXPECT_GT(jsonBandValue(r.out, "1000", "level"), 0.5);
    EXPECT_NEAR(jsonBandValue(r.out, "1000", "spread"), 0.5, 0.06);
    EXPECT_LT(jsonBandValue(r.out, "500", "level"), jsonBandValue(r.out, "1000", "level"));
}

TEST_F(TrobCli, MonoFlacFeedsBothChannelsAndParametersReachThePlugin) {
    SF_INFO probe{};
    probe.samplerate = 44100;
    probe.channels = 1;
    probe.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    const bool flac = sf_format_check(&probe);
    const auto file = writeFile(flac ? "mono.flac" : "mono.wav",
                                flac ? probe.format : SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100,
                                1.5, [](int, std::size_t n) { return tone(250, 44100, n, 0.8); });
    const TrobRun r =
        trob("analyse '" + file.string() +
             "' --final --json --edge-taper 0.3 --spread-gain 2 --highlight-curve 0.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(jsonBandValue(r.out, "250", "balance"), 0.5);
    EXPECT_EQ(jsonBandValue(r.out, "250", "spread"), 0.0);
    EXPECT_NEAR(jsonBandValue(r.out, "250", "taper"), 0.3, 1e-6);
    EXPECT_NEAR(jsonBandValue(r.out, "20000", "taper"), 0.3, 1e-6);
    EXPECT_GT(jsonBandValue(r.out, "250", "highlight"), 0.7);
}

TEST_F(TrobCli, CsvHoldsTheWholeSeriesAtThirtyPollsASecond) {
    const auto wav = writeFile("noise.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 2.0,
                               [](int c, std::size_t n) { return tone(c ? 440 : 660, 44100, n); });
    const fs::path csv = dir / "series.csv";
    const TrobRun r = trob("analyse '" + wav.string() + "' --csv '" + csv.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(slurp(csv));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], "time_s,band_hz,balance,level,spread,taper,highlight,left_db,right_db,"
                       "mid_db,mono_loss_db");
    // 2 s at 30 polls a second, plus the reading at the end; 30 bands each.
    const std::size_t polls = (rows.size() - 1) / 30;
    EXPECT_EQ((rows.size() - 1) % 30, 0u);
    EXPECT_GE(polls, 60u);
    EXPECT_LE(polls, 62u);
    // 1536 frames (three blocks) are the first to pass 1/30 s.
    EXPECT_EQ(rows[1].substr(0, rows[1].find(',', rows[1].find(',') + 1)), "0.034829933,20000");
    EXPECT_EQ(rows.back().rfind("2,25,", 0), 0u) << rows.back();
}

std::vector<std::string> fields(const std::string& row) {
    std::vector<std::string> out;
    std::stringstream s(row);
    for (std::string f; std::getline(s, f, ',');)
        out.push_back(f);
    if (!row.empty() && row.back() == ',') out.emplace_back();
    return out;
}

// True when `text` reads as a float whose shortest round-trip text is `text` itself.
::testing::AssertionResult isShortestFloat(const std::string& text) {
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return ::testing::AssertionFailure() << "'" << text << "' is not a number";
    char again[32];
    const auto r = std::to_chars(again, again + sizeof again, value);
    if (std::string(again, r.ptr) != text)
        return ::testing::AssertionFailure()
               << "'" << text << "' is not the shortest form of its float ('"
               << std::string(again, r.ptr) << "')";
    return ::testing::AssertionSuccess();
}

TEST_F(TrobCli, JsonAndCsvWriteShortestRoundTripFloatsThatAgreeBitForBit) {
    const auto wav = writeFile(
        "pair.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 1.5, [](int c, std::size_t n) {
            return tone(c ? 700 : 2900, 44100, n, 0.3) + tone(130, 44100, n, c ? 0.1 : 0.4);
        });
    const fs::path csv = dir / "series.csv";
    // 0.123456789 is a float whose six-digit form (0.123457) reads back as another float.
    const std::string args = "analyse '" + wav.string() +
                             "' --final --json --edge-taper 0.123456789 --csv '" + csv.string() +
                             "'";
    const TrobRun r = trob(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"taper\": 0.12345679,"), std::string::npos) << r.out;

    const std::regex jsonNumber(R"(": (-?[0-9][0-9.eE+-]*))");
    int numbers = 0;
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), jsonNumber);
         it != std::sregex_iterator(); ++it, ++numbers)
        EXPECT_TRUE(isShortestFloat((*it)[1])) << "in the JSON";
    EXPECT_GE(numbers, 30 * 7);

    const auto rows = lines(slurp(csv));
    ASSERT_GT(rows.size(), 31u);
    for (std::size_t i = 1; i < rows.size(); ++i)
        for (const auto& f : fields(rows[i]))
            ASSERT_TRUE(f.empty() || isShortestFloat(f)) << "CSV row " << i << ": " << rows[i];
    // The last 30 rows are the final reading, which the JSON reports: the same texts.
    for (std::size_t i = rows.size() - 30; i < rows.size(); ++i) {
        const auto f = fields(rows[i]);
        ASSERT_EQ(f.size(), 11u) << rows[i];
        const std::string band =
            "{\"centre_hz\": " + f[1] + ", \"balance\": " + f[2] + ", \"balance_db\": ";
        const auto at = r.out.find(band);
        ASSERT_NE(at, std::string::npos) << band;
        auto orNull = [](const std::string& v) { return v.empty() ? "null" : v; };
        const std::string rest =
            ", \"level\": " + f[3] + ", \"spread\": " + f[4] + ", \"taper\": " + f[5] +
            ", \"highlight\": " + f[6] + ", \"left_db\": " + orNull(f[7]) +
            ", \"right_db\": " + orNull(f[8]) + ", \"mid_db\": " + orNull(f[9]) +
            ", \"mono_loss_db\": " + orNull(f[10]) + "}";
        EXPECT_NE(r.out.find(rest, at), std::string::npos) << rows[i];
    }

    // A second run prints the same bytes.
    const std::string first = slurp(csv);
    const TrobRun again = trob(args);
    EXPECT_EQ(again.out, r.out);
    EXPECT_EQ(slurp(csv), first);
}

TEST_F(TrobCli, AFileWithoutAudioFramesIsAnError) {
    const auto wav = writeFile("empty.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 0.0,
                               [](int, std::size_t) { return 0.0f; });
    const TrobRun r = trob("analyse '" + wav.string() + "' --json");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("empty.wav' holds no audio frames"), std::string::npos) << r.err;
}

// At 8 kHz the bands from 4 kHz up lie at or above half the rate: they have no values, where
// a 1 kHz tone used to light the 6.3 to 12.5 kHz bands almost fully.
TEST_F(TrobCli, BandsAnEightKilohertzFileCannotCarryHaveNoValues) {
    const auto wav =
        writeFile("low.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, 2.0,
                  [](int c, std::size_t n) { return tone(1000, 8000, n, c ? 0.3 : 0.5); });
    const std::string file = "'" + wav.string() + "'";
    const fs::path csv = dir / "low.csv";
    const TrobRun json = trob("analyse " + file + " --final --json --csv '" + csv.string() + "'");
    const TrobRun table = trob("analyse " + file + " --final");
    const TrobRun summary = trob("analyse " + file + " --json");
    ASSERT_EQ(json.status + table.status + summary.status, 0) << json.err << table.err;
    const auto rows = lines(table.out);
    const auto csvRows = lines(slurp(csv));
    ASSERT_GE(rows.size(), 34u) << table.out;
    ASSERT_GT(csvRows.size(), 30u);
    for (int k = 0; k < 30; ++k) {
        const std::string& hz = bandCentres()[static_cast<std::size_t>(k)];
        const std::string band = "{\"centre_hz\": " + hz + ", ";
        // Four header lines, then the bands from 20 kHz down.
        const std::string& row = rows[static_cast<std::size_t>(33 - k)];
        const std::string& last = csvRows[csvRows.size() - 30 + static_cast<std::size_t>(29 - k)];
        int dashes = 0;
        for (auto at = row.find("\u2014"); at != std::string::npos; at = row.find("\u2014", at + 1))
            ++dashes;
        if (k < 22) {
            // Carried, if silent: the position, level and spread are numbers.
            EXPECT_LE(dashes, 5) << row;
            EXPECT_EQ(jsonBandValue(json.out, hz, "taper"), 1.0) << hz;
            continue;
        }
        EXPECT_NE(json.out.find(band + "\"balance\": null, \"balance_db\": null, \"level\": null, "
                                       "\"spread\": null, \"taper\": null, \"highlight\": null, "
                                       "\"left_db\": null"),
                  std::string::npos)
            << hz;
        EXPECT_NE(summary.out.find(band +
                                   "\"left_db\": null, \"right_db\": null, \"mid_db\": null, "
                                   "\"mono_loss_db\": null, \"worst_mono_loss_db\": null, "
                                   "\"signal_share\": null, \"level_mean\": null"),
                  std::string::npos)
            << hz;
        // A dash in each of the four dB and five value columns, and an empty axis.
        EXPECT_EQ(dashes, 9) << row;
        EXPECT_EQ(row.find_first_of("0123456789=#", 10), std::string::npos) << row;
        EXPECT_EQ(last.substr(last.find(',')), "," + hz + ",,,,,,,,,") << last;
    }
    EXPECT_GT(jsonBandValue(json.out, "1000", "level"), 0.9);
}

TEST_F(TrobCli, DemoAtAnotherRate) {
    const TrobRun r = trob("analyse --rate 96000 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"sample_rate\": 96000"), std::string::npos);
    EXPECT_EQ(jsonBandValue(r.out, "1000", "balance"), 1.0);
    EXPECT_GT(jsonBandValue(r.out, "250", "highlight"), 0.7);
}

TEST_F(TrobCli, ErrorsAreClearAndEndWithANonZeroStatus) {
    struct Case {
        std::string args;
        int status;
        std::string says;
    };
    fs::path text = dir / "notes.txt";
    std::ofstream(text) << "not audio at all\n";
    const auto surround = writeFile("six.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6, 44100, 0.1,
                                    [](int, std::size_t) { return 0.1f; });
    const auto slow = writeFile("slow.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 100, 1.0,
                                [](int, std::size_t) { return 0.1f; });
    const Case cases[] = {
        {"analyse '" + (dir / "missing.wav").string() + "'", 1, "No such file"},
        {"analyse '" + dir.string() + "'", 1, "is a directory"},
        {"analyse '" + text.string() + "'", 1, "not in a format"},
        {"analyse '" + surround.string() + "'", 1, "has 6 channels"},
        {"analyse '" + slow.string() + "'", 1, "sample rate of 100 Hz"},
        {"analyse --plugin '" + (dir / "none.so").string() + "'", 1, "plug-in not usable"},
        {"analyse --plugin '" + text.string() + "'", 1, "plug-in not usable"},
        {"analyse --csv '" + (dir / "no/such/dir/x.csv").string() + "'", 1, "cannot write"},
        {"analyse --bogus", 2, "unknown option"},
        {"analyse --block 0", 2, "--block"},
        {"analyse --block 12.5", 2, "--block"},
        {"analyse --rate nan", 2, "--rate"},
        {"analyse --rate 0", 2, "--rate"},
        {"analyse --level-curve", 2, "--level-curve"},
        {"analyse --edge-taper inf", 2, "--edge-taper"},
        {"analyse --level-curve -0.5", 2, "--level-curve needs a number from 0 to 1"},
        {"analyse --highlight-curve 1e39", 2, "--highlight-curve needs a number from 0 to 1"},
        {"render --spread-gain 1e39", 2, "--spread-gain needs a number from 0 to 100"},
        {"plot --out picture.jpg", 2, "'picture.jpg' must have a name ending in .png"},
        {"analyse --plot picture", 2, "'picture' must have a name ending in .png"},
        {"analyse '" + surround.string() + "' --rate 48000", 2, "demo signal only"},
        {"analyse a.wav b.wav --csv x.csv", 2, "--csv takes the series of one FILE"},
        {"analyse --phase-threshold 1.5", 2, "--phase-threshold"},
        {"analyse --min-duration -1", 2, "--min-duration"},
        {"analyse -j 0", 2, "-j"},
        {"analyse --jobs 2.5", 2, "--jobs"},
        {"analyse --out x.png", 2, "--out belongs to plot"},
        {"plot", 2, "plot needs --out"},
        {"plot a.wav b.wav --out x.png", 2, "one FILE"},
        {"plot --out x.png --width 100", 2, "--width"},
        {"plot --out x.png --summary", 2, "belong to analyse"},
        {"plot --out '" + (dir / "no/such/dir/x.png").string() + "'", 1, "cannot write"},
        {"frobnicate", 2, "unknown command"},
        {"", 2, "usage"},
    };
    for (const auto& c : cases) {
        const TrobRun r = trob(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_EQ(r.out, "") << c.args;
    }
    const TrobRun help = trob("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: trob analyse"), std::string::npos);
}

} // namespace

// Every command reads an option it shares with the others from the same table entry: the same
// name, range and message, and the same line in its help. A value may also be joined to its
// option with '=', -j takes its number in the same word, and after -- every word is a file.
TEST_F(TrobCli, EveryCommandReadsTheSharedOptionsAlike) {
    struct Command {
        std::string words, prefix;
    };
    const Command commands[] = {{"analyse", "trob: "},
                                {"plot --out x.png", "trob: "},
                                {"render", "trob render: "},
                                {"view --mute", "trob view: "}};
    struct Case {
        std::string args, says;
    };
    const Case cases[] = {
        {"--block 0", "--block needs a whole number of frames from 1 to 1048576"},
        {"--block=10x", "--block needs a whole number of frames from 1 to 1048576"},
        {"--block 2e6", "--block needs a whole number of frames from 1 to 1048576"},
        {"--rate=nan", "--rate needs a sample rate from 1000 to 10000000 Hz"},
        {"--rate 999.5", "--rate needs a sample rate from 1000 to 10000000 Hz"},
        {"--spread-gain 1e39", "--spread-gain needs a number from 0 to 100"},
        {"--level-curve=-0.5", "--level-curve needs a number from 0 to 1"},
        {"--edge-taper", "--edge-taper needs a number from 0 to 1"},
        {"--highlight-curve ' 0.5'", "--highlight-curve needs a number from 0 to 1"},
        {"--mute=yes", "unknown option '--mute'"},
    };
    const std::string helpLines[] = {
        "\n  --block N                frames per processing block (1 to 1048576, default 512)\n",
        "\n  --rate HZ                ",
        "(1000 to 10000000 Hz,",
        "default 44100)\n",
        "\n  --edge-taper X           parameter 12, the edge taper (0 to 1, default 1)\n",
        "\n  --version                print the program's version\n"};
    for (const Command& command : commands) {
        for (const Case& c : cases) {
            const TrobRun r = trob(command.words + " " + c.args);
            const bool muteIsView = c.args == "--mute=yes" && command.prefix == "trob view: ";
            const std::string says = muteIsView ? "--mute takes no value" : c.says;
            EXPECT_EQ(r.status, 2) << command.words << " " << c.args;
            EXPECT_EQ(r.err, command.prefix + says + "\n(try '" +
                                 command.prefix.substr(0, command.prefix.size() - 2) +
                                 " --help')\n")
                << command.words << " " << c.args;
            EXPECT_EQ(r.out, "") << command.words << " " << c.args;
        }
        const TrobRun help = trob(command.words + " --help");
        EXPECT_EQ(help.status, 0) << command.words;
        for (const std::string& line : helpLines)
            EXPECT_NE(help.out.find(line), std::string::npos) << command.words << ": " << line;
        const TrobRun version = trob(command.words + " --version");
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.out, "trob " TROB_VERSION "\n") << command.words;
    }
    EXPECT_EQ(trob("--version").out, "trob " TROB_VERSION "\n");

    // -j4 and --jobs=2 take their numbers; both missing files are tried and reported.
    for (const char* jobs : {"-j4", "-j 4", "--jobs=2"}) {
        const TrobRun r = trob(std::string("analyse ") + jobs + " '" + (dir / "a.wav").string() +
                               "' '" + (dir / "b.wav").string() + "'");
        EXPECT_EQ(r.status, 1) << jobs << "\n" << r.err;
        EXPECT_NE(r.err.find("a.wav"), std::string::npos) << jobs << "\n" << r.err;
        EXPECT_NE(r.err.find("b.wav"), std::string::npos) << jobs << "\n" << r.err;
    }

    // A file whose name begins with '-' after --; the values given with '=' reach the run.
    writeFile("-tone.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 0.5,
              [](int, std::size_t n) { return tone(1000, 44100, n); });
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    const TrobRun r = trob("analyse --final --json --block=256 --edge-taper=0.25 -- -tone.wav");
    fs::current_path(before);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"source\": \"-tone.wav\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"block_size\": 256,"), std::string::npos) << r.out;
    EXPECT_EQ(jsonBandValue(r.out, "1000", "taper"), 0.25);
}
