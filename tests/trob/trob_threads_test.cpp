// One file's analysis on several threads: every output the same to the byte as on one, under
// each metering kernel, whether the full-scale calibration ends inside the file or after it.

#include "tests/trob/trob_test_support.h"

namespace {

using namespace trob_test;

// Where two runs' outputs (report, series, picture) first differ, if they do.
::testing::AssertionResult sameOutputs(const std::vector<std::string>& a,
                                       const std::vector<std::string>& b) {
    const char* names[] = {"report", "CSV", "PNG"};
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        std::size_t at = 0;
        while (at < a[i].size() && at < b[i].size() && a[i][at] == b[i][at])
            ++at;
        return ::testing::AssertionFailure()
               << "the " << names[i] << " differs from byte " << at << " of " << a[i].size()
               << ": '" << a[i].substr(at, 40) << "' / '" << b[i].substr(at, 40) << "'";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(TrobCli, ThreadsChangeNoByteOfAnyOutputUnderAnyKernel) {
    // 4 kHz keeps it short: its 20 calibrated bands take 128000 frames of sine, which two
    // threads measure beside the first chunks of the file and three finish after its end.
    // Noise on both channels, inverted on the right, so that the quiet mid probe reads; a tone
    // on each side; a run of clipped samples for the delivery checks; a block that does not
    // divide a chunk.
    constexpr int kRate = 4000;
    std::mt19937 generator(11);
    std::uniform_real_distribution<float> uniform(-0.4f, 0.4f);
    std::vector<float> hiss(static_cast<std::size_t>(kRate * 40));
    for (float& v : hiss)
        v = uniform(generator);
    const auto wav = writeFile(
        "both.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate, 40.0, [&](int c, std::size_t n) {
            if (n >= 50000 && n < 50010) return c ? -1.0f : 1.0f;
            return c ? tone(300, kRate, n, 0.3) - hiss[n] : hiss[n] + tone(1250, kRate, n, 0.2);
        });
    const fs::path csv = dir / "series.csv", png = dir / "plot.png";
    const std::string analyse = "analyse '" + wav.string() + "' --block 300 --json --csv '" +
                                csv.string() + "' --plot '" + png.string() + "' ";
    // Every output of one run: the report, the series and the picture.
    auto outputs = [&](const std::string& threads) {
        const TrobRun r = trob(analyse + threads);
        EXPECT_EQ(r.status, 0) << threads << "\n" << r.err;
        EXPECT_NE(r.out.find("\"integrated_lufs\": -"), std::string::npos) << r.out;
        return std::vector<std::string>{r.out, slurp(csv), slurp(png)};
    };
    // A kernel this CPU lacks falls back to the fastest one it has: run again, same answer.
    for (const char* kernel : {"scalar", "sse2", "avx2", "avx512"}) {
        SCOPED_TRACE(kernel);
        setenv("TROB_KERNEL", kernel, 1);
        const auto one = outputs("--threads 1");
        ASSERT_GT(lines(one[1]).size(), 1200u) << "every 1/30 s";
        EXPECT_NE(one[0].find("\"clipped_samples\": 20"), std::string::npos) << one[0];
        EXPECT_TRUE(sameOutputs(outputs("--threads 2"), one));
        EXPECT_TRUE(sameOutputs(outputs("--threads 3"), one));
    }
    unsetenv("TROB_KERNEL");

    // Two files at once share the cores; each report is its solo one.
    const auto other = writeFile("other.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 8000, 3.0,
                                 [](int c, std::size_t n) { return tone(c ? 500 : 800, 8000, n); });
    const std::string both = "analyse '" + wav.string() + "' '" + other.string() + "' --json ";
    const TrobRun shared = trob(both + "-j 2");
    ASSERT_EQ(shared.status, 0) << shared.err;
    EXPECT_EQ(trob(both + "-j 1 --threads 1").out, shared.out);
    EXPECT_EQ(trob(both + "-j 2 --threads 3").out, shared.out);

    for (const char* wrong : {"0", "257", "1.5", "two"}) {
        const TrobRun r = trob(std::string("analyse --threads ") + wrong);
        EXPECT_EQ(r.status, 2) << wrong;
        EXPECT_NE(r.err.find("--threads needs a whole number of threads from 1 to 256"),
                  std::string::npos)
            << r.err;
    }
}

} // namespace
