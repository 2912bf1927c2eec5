#pragma once
// A WAV file read without libsndfile (which the Windows builds lack): PCM of 8, 16, 24 or 32
// bits and 32-bit float, plain or WAVE_FORMAT_EXTENSIBLE, mono or stereo. The samples are
// exactly the floats libsndfile gives for the same file (each integer sample is converted to
// float and scaled by a power of two, as libsndfile does).

#include "tools/audio_source.h"

#include <cstdio>
#include <string>
#include <vector>

class WavReader : public AudioSource {
public:
    WavReader() = default;
    ~WavReader() override;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // Opens the file; on failure returns false and `error()` says why.
    bool open(const std::string& path);
    const std::string& error() const { return errorText; }

    int channels() const { return channelCount; }
    double sampleRate() const override { return rate; }
    std::int64_t frameCount() const override { return frames; }
    std::int64_t read(float* left, float* right, std::int64_t wanted) override;

private:
    bool fail(const std::string& text);

    std::FILE* file = nullptr;
    int channelCount = 0;
    int bytesPerSample = 0;
    bool isFloat = false;
    double rate = 0.0;
    std::int64_t frames = 0;
    std::int64_t position = 0;
    std::vector<unsigned char> bytes;
    std::string errorText;
};
