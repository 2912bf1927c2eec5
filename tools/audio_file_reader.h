#pragma once
// An audio file read through libsndfile as float samples, mono or stereo.

#include "tools/audio_source.h"

#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

class AudioFileReader : public AudioSource {
public:
    AudioFileReader() = default;
    ~AudioFileReader() override;
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    // Opens the file; on failure returns false and `error()` says why in words for the user.
    bool open(const std::string& path);
    const std::string& error() const { return errorText; }

    int channels() const { return channelCount; }
    double sampleRate() const override { return rate; }
    std::int64_t frameCount() const override { return frames; }
    std::int64_t read(float* left, float* right, std::int64_t wanted) override;

private:
    SNDFILE* file = nullptr;
    int channelCount = 0;
    double rate = 0.0;
    std::int64_t frames = 0;
    std::vector<float> interleaved;
    std::string errorText;
};
