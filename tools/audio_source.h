#pragma once
// Where `trob analyse` takes its audio from: a file or the built-in demo signal.

#include <cstdint>

class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual double sampleRate() const = 0;
    // Total length in frames; may be 0.
    virtual std::int64_t frameCount() const = 0;
    // Reads up to `frames` stereo frames (mono sources feed both channels); returns how many
    // were read, 0 at the end, -1 on a read error.
    virtual std::int64_t read(float* left, float* right, std::int64_t frames) = 0;
};
