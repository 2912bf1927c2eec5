#include "tools/demo_signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/portable_math.h"

DemoSignal::DemoSignal(double sampleRate, double seconds)
    : rate(sampleRate), total(static_cast<std::int64_t>(std::llround(sampleRate * seconds))) {}

std::int64_t DemoSignal::read(float* left, float* right, std::int64_t frames) {
    const std::int64_t count = std::min(frames, total - position);
    const double w = 2.0 * std::numbers::pi / rate;
    for (std::int64_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(position + i);
        // A gentle fade-in so the bars grow rather than jump.
        const double fade = std::min(1.0, t / (0.25 * rate));
        const double low = 0.1 * portable::sin(w * 50.0 * t) + 0.08 * portable::sin(w * 80.0 * t);
        const double loud = 0.8 * portable::sin(w * 250.0 * t);
        const double rightTone = 0.2 * portable::sin(w * 1000.0 * t);
        const double leaning = 0.2 * portable::sin(w * 4000.0 * t);
        // Anti-phase highs: opposite in the two channels.
        const double highs =
            0.08 * portable::sin(w * 8000.0 * t) + 0.08 * portable::sin(w * 12500.0 * t);
        left[i] = static_cast<float>(fade * (low + loud + leaning + highs));
        right[i] = static_cast<float>(fade * (low + loud + rightTone + 0.5 * leaning - highs));
    }
    position += count;
    return count;
}
