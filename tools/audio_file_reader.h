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
    // The length the file's header gives; its data may end sooner. An Ogg stream whose end is
    // missing gives no length: the largest count.
    std::int64_t frameCount() const override { return frames; }
    // A file cut short reads up to where its data ends and then ends; damage inside the file
    // (bytes that do not decode, with more to come) is a read error.
    std::int64_t read(float* left, float* right, std::int64_t wanted) override;

    // The frames read so far.
    std::int64_t framesRead() const { return readCount; }
    // Once the end is read: whether the data ended before the length the header gives.
    bool truncated() const;

private:
    bool atEndOfFile() const;

    SNDFILE* file = nullptr;
    int descriptor = -1;
    int channelCount = 0;
    double rate = 0.0;
    std::int64_t frames = 0;
    // The length in the header where libsndfile reports a shorter one (a WAV file's data
    // chunk); -1 when the header gives none.
    std::int64_t declaredFrames = -1;
    bool lengthUnknown = false;
    bool lengthEstimated = false;
    bool ended = false;
    std::int64_t readCount = 0;
    std::vector<float> interleaved;
    std::string errorText;
};
