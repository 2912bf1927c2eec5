// Block processing: pass the audio through and measure it band by band, sample by sample.

#include "engine/meter_effect.h"

#include <cmath>

namespace {
// About 400 dB above full scale: far beyond any audio, yet small enough that no filter or
// accumulator sum can overflow at any usable sample rate.
constexpr float kLargestMeasurable = 1e20f;

constexpr double kLevelScale = 1.85;
constexpr float kLevelTime = 0.2f;
constexpr float kAntiPhaseTime = 0.3f;

bool channelsPresent(float** buffers) {
    return buffers && buffers[0] && buffers[1];
}
} // namespace

float MeterEffect::measurable(float sample) {
    if (std::fabs(sample) <= kLargestMeasurable) return sample;
    if (std::isnan(sample) || std::isinf(sample)) return 0.0f;
    return std::copysign(kLargestMeasurable, sample);
}

void MeterEffect::process(float** inputs, float** outputs, std::int32_t sampleFrames) {
    if (sampleFrames <= 0 || !channelsPresent(inputs) || !channelsPresent(outputs)) return;
    for (std::int32_t n = 0; n < sampleFrames; ++n) {
        const float left = inputs[0][n];
        const float right = inputs[1][n];
        outputs[0][n] = left;
        outputs[1][n] = right;
    }
}

float MeterEffect::filterBand(const FilterBankCoefficients& c, int k, BandHistory& h, float x) {
    float input = x;
    float inputTwoBack = h.x2;
    h.x2 = h.x1;
    h.x1 = x;
    for (int s = 0; s < kSectionCount; ++s) {
        const double sum = static_cast<double>(c.runAlpha[s][k]) * input +
                           static_cast<double>(c.runNegAlpha[s][k]) * inputTwoBack +
                           static_cast<double>(c.runGamma[s][k]) * h.y1[s] +
                           static_cast<double>(c.runNegBeta[s][k]) * h.y2[s];
        const float output = static_cast<float>(2.0 * sum + c.sectionOffset);
        // This section's output two samples back is the next section's input two samples back.
        inputTwoBack = h.y2[s];
        h.y2[s] = h.y1[s];
        h.y1[s] = output;
        input = output;
    }
    return input;
}

void MeterEffect::followSampleRate() {
    const float rate = currentSampleRate();
    if (rate == lastSampleRate || !isUsableSampleRate(rate)) return;
    lastSampleRate = rate;
    levelSmoothing = static_cast<float>(1.0 / (static_cast<double>(rate) * kLevelTime));
    antiPhaseSmoothing = static_cast<float>(1.0 / (static_cast<double>(rate) * kAntiPhaseTime));
}

void MeterEffect::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    if (sampleFrames <= 0 || !channelsPresent(inputs) || !channelsPresent(outputs)) return;

    // A rate change made since the last block takes effect here, on a block boundary.
    const FilterBankCoefficients& c = coefficients.acquire();
    designSampleRate.store(c.rate, std::memory_order_relaxed);

    for (std::int32_t n = 0; n < sampleFrames; ++n) {
        const float left = inputs[0][n];
        const float right = inputs[1][n];
        // Written before measuring: input and output may be the same arrays.
        outputs[0][n] = left;
        outputs[1][n] = right;
        currentSample[kLeft] = measurable(left);
        currentSample[kRight] = measurable(right);

        followSampleRate();
        const double levelFactor = levelSmoothing;
        const double antiPhaseFactor = antiPhaseSmoothing;

        for (int k = 0; k < kBandCount; ++k) {
            const float yL = filterBand(c, k, history[kLeft][k], currentSample[kLeft]);
            const float yR = filterBand(c, k, history[kRight][k], currentSample[kRight]);
            bandOutput[kLeft][k] = yL;
            bandOutput[kRight][k] = yR;

            for (int ch = kLeft; ch <= kRight; ++ch) {
                const double y = ch == kLeft ? yL : yR;
                const double average = levelAverage[ch][k].load(std::memory_order_relaxed);
                levelAccumulator[ch][k] =
                    static_cast<float>(static_cast<double>(levelAccumulator[ch][k]) +
                                       std::fabs(kLevelScale * y) - average);
                levelAverage[ch][k].store(
                    static_cast<float>(static_cast<double>(levelAccumulator[ch][k]) * levelFactor),
                    std::memory_order_relaxed);
            }

            signFlag[kLeft][k] = yL > 0.0f ? 1.0f : 0.0f;
            signFlag[kRight][k] = yR > 0.0f ? 1.0f : 0.0f;
            signsDiffer[k] = signFlag[kLeft][k] != signFlag[kRight][k] ? 1.0f : 0.0f;

            const double antiPhase = antiPhaseAverage[k].load(std::memory_order_relaxed);
            antiPhaseAccumulator[k] = static_cast<float>(
                static_cast<double>(antiPhaseAccumulator[k]) + signsDiffer[k] - antiPhase);
            antiPhaseAverage[k].store(
                static_cast<float>(static_cast<double>(antiPhaseAccumulator[k]) * antiPhaseFactor),
                std::memory_order_relaxed);
        }
    }
}
