#pragma once
// The built-in demo: about ten seconds whose bands show every kind of reading: a mono low end
// in the centre, a 1 kHz tone in the right channel only, a left-leaning 4 kHz tone,
// anti-phase highs with long bars, and one loud band that lights the highlight.

#include "tools/audio_source.h"

class DemoSignal : public AudioSource {
public:
    // The highlight curve under which the loud band, and only it, reaches the highlight.
    static constexpr float kHighlightCurve = 0.2f;

    explicit DemoSignal(double rate, double seconds = 10.0);

    double sampleRate() const override { return rate; }
    std::int64_t frameCount() const override { return total; }
    std::int64_t read(float* left, float* right, std::int64_t frames) override;

private:
    double rate;
    std::int64_t total;
    std::int64_t position = 0;
};
