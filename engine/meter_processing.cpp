// Block processing: pass the audio through and measure it band by band, sample by sample.
// What the editor reads (the averages, band outputs and sign flags) is published once per
// block, after its last sample: the display tolerates values at most one block old.

#include "engine/meter_effect.h"

#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// About 400 dB above full scale: far beyond any audio, yet small enough that no filter or
// accumulator sum can overflow at any usable sample rate.
constexpr float kLargestMeasurable = 1e20f;

constexpr float kLevelTime = 0.2f;
constexpr float kAntiPhaseTime = 0.3f;

bool channelsPresent(float** buffers) {
    return buffers && buffers[0] && buffers[1];
}

// measurable() of every sample, four at a time where SSE2 is there (every x86-64 CPU, and
// what the 32-bit build assumes).
void measureSamples(const float* in, float* out, std::int32_t frames) {
    std::int32_t n = 0;
#ifdef __SSE2__
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 limit = _mm_set1_ps(kLargestMeasurable);
    const __m128 infinity = _mm_set1_ps(HUGE_VALF);
    for (; n + 4 <= frames; n += 4) {
        const __m128 x = _mm_loadu_ps(in + n);
        const __m128 magnitude = _mm_andnot_ps(signBit, x);
        // Not a number compares false both ways and becomes 0, as infinity does.
        const __m128 inRange = _mm_cmple_ps(magnitude, limit);
        const __m128 tooLarge =
            _mm_and_ps(_mm_cmpgt_ps(magnitude, limit), _mm_cmplt_ps(magnitude, infinity));
        const __m128 limited = _mm_or_ps(_mm_and_ps(x, signBit), limit);
        _mm_storeu_ps(out + n, _mm_or_ps(_mm_and_ps(inRange, x), _mm_and_ps(tooLarge, limited)));
    }
#endif
    for (; n < frames; ++n)
        out[n] = MeterEffect::measurable(in[n]);
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

void MeterEffect::followSampleRate() {
    const float rate = currentSampleRate();
    if (rate == lastSampleRate || !isUsableSampleRate(rate)) return;
    lastSampleRate = rate;
    levelSmoothing = static_cast<float>(1.0 / (static_cast<double>(rate) * kLevelTime));
    antiPhaseSmoothing = static_cast<float>(1.0 / (static_cast<double>(rate) * kAntiPhaseTime));
}

void MeterEffect::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    if (sampleFrames <= 0 || !channelsPresent(inputs) || !channelsPresent(outputs)) return;

    // A rate change made since the last block takes effect here, on a block boundary: the
    // coefficient set and the smoothing factors alike.
    const FilterBankCoefficients& c = coefficients.acquire();
    designSampleRate.store(c.rate, std::memory_order_relaxed);
    followSampleRate();
    const double levelFactor = levelSmoothing;
    const double antiPhaseFactor = antiPhaseSmoothing;

    for (std::int32_t start = 0; start < sampleFrames; start += kMeasureChunk) {
        const std::int32_t frames =
            sampleFrames - start < kMeasureChunk ? sampleFrames - start : kMeasureChunk;
        const float* inL = inputs[0] + start;
        const float* inR = inputs[1] + start;
        float* outL = outputs[0] + start;
        float* outR = outputs[1] + start;
        // Measured from copies taken before the output is written: input and output may be the
        // same arrays.
        measureSamples(inL, measuredInput[kLeft], frames);
        measureSamples(inR, measuredInput[kRight], frames);
        for (std::int32_t n = 0; n < frames; ++n) {
            const float left = inL[n];
            const float right = inR[n];
            outL[n] = left;
            outR[n] = right;
        }
        kernel->run(lanes, c.lanes, measuredInput[kLeft], measuredInput[kRight], frames,
                    levelFactor, antiPhaseFactor);
    }
    publishBlock();
}

void MeterEffect::publishBlock() {
    for (int k = 0; k < kBandCount; ++k) {
        for (int ch = kLeft; ch <= kRight; ++ch) {
            const int lane = laneOf(ch, k);
            // Every lane value is a float held as a double: these conversions are exact.
            levelAverage[ch][k].store(static_cast<float>(lanes.levelAverage[lane]),
                                      std::memory_order_relaxed);
            bandOutput[ch][k] = static_cast<float>(lanes.outputBack(1, kUpperEdgeSection)[lane]);
            signFlag[ch][k] = bandOutput[ch][k] > 0.0f ? 1.0f : 0.0f;
        }
        signsDiffer[k] = signFlag[kLeft][k] != signFlag[kRight][k] ? 1.0f : 0.0f;
        antiPhaseAverage[k].store(static_cast<float>(lanes.antiPhaseAverage[k]),
                                  std::memory_order_relaxed);
    }
}
