#pragma once
// Signals the engine tests feed: plain, deterministic, made in code.

#include <cstdint>
#include <vector>

namespace test_signals {

std::vector<float> sine(double frequency, double amplitude, double rate, std::size_t frames,
                        double phase = 0.0);
// Uniform white noise in [-amplitude, amplitude] from a fixed seed.
std::vector<float> noise(double amplitude, std::size_t frames, std::uint32_t seed);
std::vector<float> silence(std::size_t frames);
std::vector<float> negated(const std::vector<float>& signal);
std::vector<float> concat(std::initializer_list<std::vector<float>> parts);

// Ten seconds of everything a meter meets: noise, sines, sweeps, one-sided, anti-phase,
// identical channels, clicks, DC, digital silence, a near-denormal whisper and a short burst
// of non-finite samples. Left and right differ.
struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};
Stereo mixedProgramme(double rate, double seconds = 10.0);

} // namespace test_signals
