// `trob analyse`'s delivery checks: peaks, loudness, clipping, DC offset and NaN samples
// from the same pass as the bands, and `--fail-on` turning them into exit status 3.

#include "tests/trob/trob_test_support.h"

#include <regex>

namespace {

using namespace trob_test;
namespace fs = std::filesystem;

double member(const std::string& json, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\"" + key + "\": (\\[?)(-?[0-9.e+-]+|null)")))
        return NAN;
    return m[2] == "null" ? NAN : std::stod(m[2]);
}

TEST_F(TrobCli, DeliveryFactsAndTheChecksThatFailOnThem) {
    // Left: a -20 dBFS tone on a DC offset of 0.01, three samples in a row at full scale and
    // two that are not numbers. Right: the tone alone.
    const auto file = writeFile("master.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 3.0,
                                [](int c, std::size_t n) {
                                    const float v = tone(1000, 44100, n, 0.1);
                                    if (c == 1) return v;
                                    if (n >= 30000 && n < 30003) return 1.0f;
                                    if (n == 50000 || n == 50001) return NAN;
                                    return v + 0.01f;
                                });
    const TrobRun r = trob("analyse '" + file.string() + "' --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(member(r.out, "duration_s"), 3.0, 1e-6);
    EXPECT_NEAR(member(r.out, "sample_peak_dbfs"), 0.0, 1e-6);
    EXPECT_NE(r.out.find("\"clipped_samples\": 3, \"clip_runs\": 1,"), std::string::npos) << r.out;
    EXPECT_NEAR(member(r.out, "dc_offset"), 0.01, 1e-4);
    EXPECT_EQ(member(r.out, "non_finite_samples"), 2.0);
    EXPECT_NE(r.out.find("\"failed_checks\": []"), std::string::npos);

    struct Case {
        std::string list;
        int status;
        std::string says;
    };
    for (const Case& c :
         {Case{"clip", 3, "fails clip: 3 clipped samples in 1 run(s)"},
          Case{"nan", 3, "fails nan: 2 samples are NaN or infinite"},
          Case{"true-peak", 3, "fails true-peak: "}, Case{"true-peak=1", 0, ""},
          Case{"mono-loss,phase,truncated", 0, ""}, Case{"loudness", 2, "--fail-on knows phase"},
          Case{"true-peak=x", 2, "needs a number"}, Case{"mono-loss=3", 2, "from -60 to 0 dB"}}) {
        const TrobRun f = trob("analyse '" + file.string() + "' --json --fail-on " + c.list);
        EXPECT_EQ(f.status, c.status) << c.list << "\n" << f.err;
        if (!c.says.empty()) {
            EXPECT_NE(f.err.find(c.says), std::string::npos) << f.err;
        }
        if (c.status == 3) {
            EXPECT_NE(f.out.find("\"failed_checks\": [\"" + c.says.substr(6)), std::string::npos)
                << f.out;
        }
    }
    // Opposite channels lose everything in a mono sum.
    const auto inverted = writeFile("inverted.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 2.0,
                                    [](int c, std::size_t n) {
                                        const float v = tone(1000, 44100, n, 0.1);
                                        return c ? -v : v;
                                    });
    const TrobRun m = trob("analyse '" + inverted.string() + "' --fail-on mono-loss=-6");
    EXPECT_EQ(m.status, 3);
    EXPECT_NE(m.err.find("mono-loss: the 1 kHz band loses 60.0 dB summed to mono (limit 6.0 dB)"),
              std::string::npos)
        << m.err;
}

// What ffmpeg's ebur128 filter says of a file: integrated loudness, loudness range and true
// peak, as it prints them (one decimal).
struct Ebur128 {
    double integrated = NAN, range = NAN, truePeak = NAN;
};

Ebur128 ffmpegLoudness(const fs::path& file, const fs::path& dir) {
    const fs::path log = dir / "ffmpeg.txt";
    const std::string command = "ffmpeg -hide_banner -nostats -i '" + file.string() +
                                "' -filter_complex ebur128=peak=true -f null - >'" + log.string() +
                                "' 2>&1";
    Ebur128 e;
    if (std::system(command.c_str()) != 0) return e;
    const std::string text = slurp(log);
    const auto summary = text.rfind("Summary:");
    if (summary == std::string::npos) return e;
    const std::string tail = text.substr(summary);
    std::smatch m;
    if (std::regex_search(tail, m, std::regex(R"(I:\s+(-?[0-9.]+) LUFS)")))
        e.integrated = std::stod(m[1]);
    if (std::regex_search(tail, m, std::regex(R"(LRA:\s+(-?[0-9.]+) LU)")))
        e.range = std::stod(m[1]);
    if (std::regex_search(tail, m, std::regex(R"(Peak:\s+(-?[0-9.]+) dBFS)")))
        e.truePeak = std::stod(m[1]);
    return e;
}

TEST_F(TrobCli, LoudnessAndTruePeakAgreeWithFfmpeg) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP()
            << "ffmpeg is not installed: the comparison with its ebur128 filter is skipped";
    const auto hiss = noise(8.0, 3);
    const std::vector<fs::path> files = {
        // Stereo noise, uneven between the channels.
        writeFile("noise.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 8.0,
                  [&](int c, std::size_t n) { return hiss[n] * (c ? 0.5f : 1.0f); }),
        // A tone 10 dB louder after four seconds, at 48 kHz in 24 bits: a loudness range.
        writeFile("steps.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 48000, 8.0,
                  [](int c, std::size_t n) {
                      const double a = n < 4u * 48000 ? 0.05 : 0.158;
                      return tone(c ? 997 : 3000, 48000, n, a);
                  }),
        // Mono, a tone whose peaks fall between the samples.
        writeFile("mono.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100, 6.0,
                  [](int, std::size_t n) { return tone(1837.5 * 0.93, 44100, n, 0.7); }),
    };
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path& file = files[i];
        const Ebur128 ref = ffmpegLoudness(file, dir);
        ASSERT_FALSE(std::isnan(ref.integrated)) << file;
        const TrobRun r = trob("analyse '" + file.string() + "' --json");
        ASSERT_EQ(r.status, 0) << r.err;
        const double integrated = member(r.out, "integrated_lufs");
        const double range = member(r.out, "loudness_range_lu");
        const double truePeak = member(r.out, "true_peak_dbtp");
        // ffmpeg prints one decimal: its rounding comes on top of the 0.1 LU and 0.2 dB.
        EXPECT_NEAR(integrated, ref.integrated, 0.1 + 0.05) << file;
        EXPECT_NEAR(range, ref.range, 0.1 + 0.05) << file;
        // Near the Nyquist frequency the two oversamplers part (full-band noise reads about
        // 1 dB apart): the true peaks are compared on the tones.
        if (i > 0) {
            EXPECT_NEAR(truePeak, ref.truePeak, 0.2 + 0.05) << file;
        }
        std::printf(
            "%s: trob %.3f LUFS, %.3f LU, %.3f dBTP; ffmpeg %.1f LUFS, %.1f LU, %.1f dBTP\n",
            file.filename().c_str(), integrated, range, truePeak, ref.integrated, ref.range,
            ref.truePeak);
    }
}

} // namespace
