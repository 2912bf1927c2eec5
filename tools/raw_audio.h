#pragma once
// Audio kept as interleaved float32 stereo frames, and read from a file of them (the form the
// Windows test host and its Linux checker share, with no audio library on Windows).

#include "tools/audio_source.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

class RawAudio : public AudioSource {
public:
    RawAudio(std::vector<float> samples, double rate) : data(std::move(samples)), rate(rate) {}
    double sampleRate() const override { return rate; }
    std::int64_t frameCount() const override { return static_cast<std::int64_t>(data.size() / 2); }
    std::int64_t read(float* left, float* right, std::int64_t frames) override {
        const std::int64_t count =
            std::max<std::int64_t>(0, std::min(frames, frameCount() - position));
        for (std::int64_t i = 0; i < count; ++i) {
            left[i] = data[static_cast<std::size_t>(2 * (position + i))];
            right[i] = data[static_cast<std::size_t>(2 * (position + i) + 1)];
        }
        position += count;
        return count;
    }

private:
    std::vector<float> data;
    double rate;
    std::int64_t position = 0;
};

// The whole frames of a file of little-endian float32 stereo frames; false when it cannot be
// read.
inline bool readRawAudio(const std::string& path, std::vector<float>& samples) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const auto bytes = static_cast<std::size_t>(in.tellg());
    in.seekg(0);
    samples.resize(bytes / (2 * sizeof(float)) * 2);
    in.read(reinterpret_cast<char*>(samples.data()),
            static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return static_cast<bool>(in);
}
