// The Windows host's WAV reader against libsndfile: files of every kind it reads, written by
// libsndfile, must give exactly libsndfile's float samples.

#include "tools/audio_file_reader.h"
#include "tools/wav_reader.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Kind {
    const char* name;
    int format;
    int channels;
};

// Full-scale noise with the extremes, silence and small values among it; written as doubles
// so that every format gets its own rounding and clipping from libsndfile.
std::vector<double> testSignal(int channels, int frames) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> any(-1.0, 1.0);
    std::vector<double> samples(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t k = i % 97;
        samples[i] = k == 0 ? 1.0 : k == 1 ? -1.0 : k == 2 ? 0.0 : k == 3 ? 1e-7 : any(random);
    }
    return samples;
}

void writeWithLibsndfile(const fs::path& path, const Kind& kind, const std::vector<double>& s) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = kind.channels;
    info.format = kind.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    ASSERT_EQ(sf_writef_double(file, s.data(), static_cast<sf_count_t>(s.size() / kind.channels)),
              static_cast<sf_count_t>(s.size() / kind.channels));
    sf_close(file);
}

// Every frame of both readers, read in blocks of an awkward size.
void readAll(AudioSource& source, std::vector<float>& left, std::vector<float>& right) {
    constexpr int kBlock = 333;
    float l[kBlock], r[kBlock];
    for (;;) {
        const std::int64_t got = source.read(l, r, kBlock);
        ASSERT_GE(got, 0);
        if (got == 0) return;
        left.insert(left.end(), l, l + got);
        right.insert(right.end(), r, r + got);
    }
}

std::uint32_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

} // namespace

TEST(WavReader, GivesLibsndfilesSamplesForEveryFormat) {
    const Kind kinds[] = {
        {"pcm16-stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2},
        {"pcm24-stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2},
        {"pcm32-stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2},
        {"float-stereo", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},
        {"pcm8-mono", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1},
        {"pcm24-mono", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1},
        {"extensible-pcm24", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 2},
        {"extensible-float", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 2},
    };
    const fs::path dir =
        fs::temp_directory_path() / ("trob_wav_reader_" + std::to_string(getpid()));
    fs::create_directories(dir);
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const fs::path path = dir / (std::string(kind.name) + ".wav");
        const int frames = 10007;
        writeWithLibsndfile(path, kind, testSignal(kind.channels, frames));

        AudioFileReader theirs;
        ASSERT_TRUE(theirs.open(path.string())) << theirs.error();
        WavReader mine;
        ASSERT_TRUE(mine.open(path.string())) << mine.error();
        EXPECT_EQ(mine.channels(), theirs.channels());
        EXPECT_EQ(mine.sampleRate(), theirs.sampleRate());
        EXPECT_EQ(mine.frameCount(), theirs.frameCount());

        std::vector<float> ml, mr, tl, tr;
        readAll(mine, ml, mr);
        readAll(theirs, tl, tr);
        ASSERT_EQ(ml.size(), tl.size());
        int differing = 0;
        for (std::size_t i = 0; i < ml.size(); ++i)
            if (bitsOf(ml[i]) != bitsOf(tl[i]) || bitsOf(mr[i]) != bitsOf(tr[i])) ++differing;
        EXPECT_EQ(differing, 0);
        // Not a file of silence: the comparison saw real samples.
        EXPECT_NE(tl[5], 0.0f);
    }
    fs::remove_all(dir);
}

TEST(WavReader, RefusesWhatItCannotReadWithAReason) {
    const fs::path dir =
        fs::temp_directory_path() / ("trob_wav_refuse_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const auto attempt = [&](const std::string& name, const std::string& bytes) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        WavReader reader;
        const bool opened = reader.open(path.string());
        EXPECT_FALSE(opened) << name;
        EXPECT_FALSE(reader.error().empty()) << name;
        return reader.error();
    };
    EXPECT_NE(attempt("empty.wav", "").find("not a WAV file"), std::string::npos);
    EXPECT_NE(attempt("text.wav", "hello, this is not audio").find("not a WAV file"),
              std::string::npos);
    // A RIFF header with nothing after it, and a format chunk claiming far more than it holds.
    attempt("bare.wav", std::string("RIFF\x04\0\0\0WAVE", 12));
    attempt("short-fmt.wav", std::string("RIFF\x20\0\0\0WAVEfmt \xff\xff\0\0\x01\0", 22));
    // Six channels of 16-bit PCM.
    std::string six(
        "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x06\0\x80\xbb\0\0\0\0\0\0\x0c\0\x10\0data\0\0\0\0",
        44);
    EXPECT_NE(attempt("six.wav", six).find("channels"), std::string::npos);
    WavReader missing;
    EXPECT_FALSE(missing.open((dir / "no-such-file.wav").string()));
    fs::remove_all(dir);
}
