#pragma once
// Opens the engine's state to the tests: a MeterEffect whose protected fields can be read,
// and whose averages can be set to drive the meter query directly.

#include "engine/meter_effect.h"

#include <memory>
#include <vector>

class MeterEffectProbe : public MeterEffect {
public:
    MeterEffectProbe() : MeterEffect(nullptr) {}

    // The filter state of one band in one channel, as the engine holds it: doubles that must
    // each hold exactly a float.
    struct BandHistory {
        double x1;
        double x2;
        double y1[kSectionCount];
        double y2[kSectionCount];
    };

    using MeterEffect::kLeft;
    using MeterEffect::kRight;

    const FilterBankCoefficients& coefficientsInUse() const { return coefficients.current(); }
    float designRate() const { return designSampleRate.load(std::memory_order_relaxed); }
    float lastRate() const { return lastSampleRate; }
    float levelFactor() const { return levelSmoothing; }
    float antiPhaseFactor() const { return antiPhaseSmoothing; }

    float level(int channel, int band) const {
        return levelAverage[channel][band].load(std::memory_order_relaxed);
    }
    double levelSum(int channel, int band) const {
        return lanes.levelAccumulator[laneOf(channel, band)];
    }
    // The average the engine runs on, beside the published one `level` reads.
    double levelRunning(int channel, int band) const {
        return lanes.levelAverage[laneOf(channel, band)];
    }
    float antiPhase(int band) const {
        return antiPhaseAverage[band].load(std::memory_order_relaxed);
    }
    double antiPhaseSum(int band) const { return lanes.antiPhaseAccumulator[band]; }
    double antiPhaseRunning(int band) const { return lanes.antiPhaseAverage[band]; }
    float sign(int channel, int band) const { return signFlag[channel][band]; }
    float differ(int band) const { return signsDiffer[band]; }
    float output(int channel, int band) const { return bandOutput[channel][band]; }
    BandHistory bandHistory(int channel, int band) const {
        const int lane = laneOf(channel, band);
        BandHistory h{lanes.inputBack(1, channel), lanes.inputBack(2, channel), {}, {}};
        for (int s = 0; s < kSectionCount; ++s) {
            h.y1[s] = lanes.outputBack(1, s)[lane];
            h.y2[s] = lanes.outputBack(2, s)[lane];
        }
        return h;
    }
    const char* kernelName() const { return kernel->name; }
    void useKernel(const MeterKernel& k) { kernel = &k; }
    float dbTable(int i) const { return levelDbTable[i]; }
    float normTable(int i) const { return levelNormTable[i]; }
    const char* storedProgramName() const { return programName; }

    void setLevels(int band, float left, float right) {
        levelAverage[kLeft][band].store(left, std::memory_order_relaxed);
        levelAverage[kRight][band].store(right, std::memory_order_relaxed);
    }
    void setAntiPhase(int band, float value) {
        antiPhaseAverage[band].store(value, std::memory_order_relaxed);
    }

    // Feeds a stereo signal in blocks through processReplacing.
    void feed(const std::vector<float>& left, const std::vector<float>& right, int block = 512) {
        std::vector<float> outL(left.size()), outR(right.size());
        for (std::size_t start = 0; start < left.size(); start += block) {
            const auto frames =
                static_cast<std::int32_t>(std::min<std::size_t>(block, left.size() - start));
            float* in[2] = {const_cast<float*>(left.data()) + start,
                            const_cast<float*>(right.data()) + start};
            float* out[2] = {outL.data() + start, outR.data() + start};
            processReplacing(in, out, frames);
        }
    }
};

inline std::unique_ptr<MeterEffectProbe> makeProbe() {
    return std::make_unique<MeterEffectProbe>();
}
