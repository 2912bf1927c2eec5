#pragma once
// Running trob as a user does, on files the tests write with libsndfile.

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace trob_test {

namespace fs = std::filesystem;

struct TrobRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class TrobCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("trob_cli_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    TrobRun trob(const std::string& args) { return piped("", args); }

    // trob with standard input from the shell command `feed` ("cat 'x.wav'"); none when empty.
    TrobRun piped(const std::string& feed, const std::string& args) {
        const fs::path out = dir / "stdout.txt", err = dir / "stderr.txt";
        const std::string command = (feed.empty() ? "" : feed + " | ") + "'" + TROB_PROGRAM + "' " +
                                    args + " >'" + out.string() + "' 2>'" + err.string() + "'" +
                                    (feed.empty() ? " </dev/null" : "");
        TrobRun r;
        const int raw = std::system(command.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    // Writes `channels` channels of `seconds` of audio; channel c gets `make(c, n)`.
    template <typename Make>
    fs::path writeFile(const std::string& name, int format, int channels, int rate, double seconds,
                       Make make) {
        const fs::path path = dir / name;
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
        if (!f) return path;
        const auto frames = static_cast<std::size_t>(rate * seconds);
        std::vector<float> data(frames * channels);
        for (std::size_t n = 0; n < frames; ++n)
            for (int c = 0; c < channels; ++c)
                data[n * channels + c] = make(c, n);
        sf_writef_float(f, data.data(), static_cast<sf_count_t>(frames));
        sf_close(f);
        return path;
    }

    fs::path dir;
};

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);)
        out.push_back(line);
    return out;
}

// The value of `key` in the JSON object of the band centred at `hz`, searching from `from`;
// NaN for null.
inline double jsonBandValue(const std::string& json, const std::string& hz, const std::string& key,
                            std::size_t from = 0) {
    const auto band = json.find("{\"centre_hz\": " + hz + ",", from);
    if (band == std::string::npos) return NAN;
    const auto end = json.find('}', band);
    const auto at = json.find("\"" + key + "\": ", band);
    if (at == std::string::npos || at > end) return NAN;
    if (json.compare(at + key.size() + 4, 4, "null") == 0) return NAN;
    return std::stod(json.substr(at + key.size() + 4));
}

inline float tone(double hz, int rate, std::size_t n, double amplitude = 0.5) {
    return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * n / rate));
}

// Band centres as the JSON writes them, 25 Hz first.
inline const std::vector<std::string>& bandCentres() {
    static const std::vector<std::string> centres = {
        "25",   "31.5", "40",   "50",   "63",   "80",   "100",   "125",   "160",   "200",
        "250",  "315",  "400",  "500",  "630",  "800",  "1000",  "1250",  "1600",  "2000",
        "2500", "3150", "4000", "5000", "6300", "8000", "10000", "12500", "16000", "20000"};
    return centres;
}

// The same white noise for every test: `seconds` of it at 44.1 kHz, peak 0.3.
inline std::vector<float> noise(double seconds, unsigned seed = 7) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-0.3f, 0.3f);
    std::vector<float> out(static_cast<std::size_t>(44100 * seconds));
    for (auto& v : out)
        v = uniform(generator);
    return out;
}

} // namespace trob_test
