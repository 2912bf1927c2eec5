#include "test_signals.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace test_signals {

std::vector<float> sine(double frequency, double amplitude, double rate, std::size_t frames,
                        double phase) {
    std::vector<float> out(frames);
    for (std::size_t n = 0; n < frames; ++n)
        out[n] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * n / rate + phase));
    return out;
}

std::vector<float> noise(double amplitude, std::size_t frames, std::uint32_t seed) {
    std::vector<float> out(frames);
    std::uint32_t state = seed * 747796405u + 2891336453u;
    for (auto& v : out) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(amplitude * ((state >> 8) * (2.0 / 16777216.0) - 1.0));
    }
    return out;
}

std::vector<float> silence(std::size_t frames) {
    return std::vector<float>(frames, 0.0f);
}

std::vector<float> negated(const std::vector<float>& signal) {
    std::vector<float> out(signal.size());
    for (std::size_t n = 0; n < signal.size(); ++n)
        out[n] = -signal[n];
    return out;
}

std::vector<float> concat(std::initializer_list<std::vector<float>> parts) {
    std::vector<float> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Stereo mixedProgramme(double rate, double seconds) {
    const auto total = static_cast<std::size_t>(rate * seconds);
    const auto part = total / 10;
    Stereo s;
    auto add = [&](const std::vector<float>& l, const std::vector<float>& r) {
        s.left.insert(s.left.end(), l.begin(), l.end());
        s.right.insert(s.right.end(), r.begin(), r.end());
    };
    // 1: unrelated noise in both channels.
    add(noise(0.5, part, 1), noise(0.5, part, 2));
    // 2: a chord, different in each channel.
    {
        auto l = sine(100, 0.3, rate, part), r = sine(1000, 0.3, rate, part, 0.5);
        const auto l2 = sine(4000, 0.2, rate, part), r2 = sine(63, 0.4, rate, part);
        for (std::size_t n = 0; n < part; ++n) {
            l[n] += l2[n];
            r[n] += r2[n];
        }
        add(l, r);
    }
    // 3: a logarithmic sweep from 20 Hz to 20 kHz in the left channel, its echo in the right.
    {
        std::vector<float> l(part), r(part);
        double phase = 0.0;
        for (std::size_t n = 0; n < part; ++n) {
            const double f = 20.0 * std::pow(1000.0, static_cast<double>(n) / part);
            phase += 2.0 * std::numbers::pi * f / rate;
            l[n] = static_cast<float>(0.7 * std::sin(phase));
            r[n] = n >= 300 ? 0.5f * l[n - 300] : 0.0f;
        }
        add(l, r);
    }
    // 4: left only, right digitally silent.
    add(noise(0.8, part, 3), silence(part));
    // 5: anti-phase noise.
    {
        auto l = noise(0.6, part, 4);
        add(l, negated(l));
    }
    // 6: identical channels, loud and clipping.
    {
        auto l = noise(1.5, part, 5);
        for (auto& v : l)
            v = std::fmax(-1.0f, std::fmin(1.0f, v));
        add(l, l);
    }
    // 7: clicks and DC.
    {
        std::vector<float> l(part, 0.25f), r(part, -0.1f);
        for (std::size_t n = 0; n < part; n += 997) {
            l[n] = 1.0f;
            r[n] = -1.0f;
        }
        add(l, r);
    }
    // 8: digital silence, then a whisper near the smallest normal floats.
    {
        auto l = silence(part), r = silence(part);
        for (std::size_t n = part / 2; n < part; ++n) {
            l[n] = (n % 2 ? 1e-37f : -1e-37f);
            r[n] = static_cast<float>(1e-30 * std::sin(0.01 * n));
        }
        add(l, r);
    }
    // 9: a burst of non-finite and absurd samples inside music.
    {
        auto l = sine(440, 0.5, rate, part), r = noise(0.3, part, 6);
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        for (std::size_t n = part / 3; n < part / 3 + 64; ++n) {
            l[n] = (n % 3 == 0) ? nan : (n % 3 == 1 ? inf : -inf);
            r[n] = (n % 2) ? 3e38f : -1e25f;
        }
        add(l, r);
    }
    // 10: noise again, to see everything recover.
    add(noise(0.4, total - 9 * part, 7), noise(0.4, total - 9 * part, 8));
    return s;
}

} // namespace test_signals
