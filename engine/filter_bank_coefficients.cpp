#include "engine/filter_bank_coefficients.h"

#include <cmath>

#include "engine/portable_math.h"

namespace {

// Section angle factors: 2 tunes to the centre, 1.782 and 2.244 to 2^(-1/6) and 2^(+1/6) of it.
constexpr float kSectionAngleFactor[kSectionCount] = {2.0f, 1.782f, 2.244f};
// 1 / (2 Q) with Q = 4.33.
constexpr float kHalfInverseQ = 0.11547344f;
constexpr double kSectionOffset = 1e-9;
constexpr double kOffsetRate = 44100.0;

// A second-order section v = 2 (a u - a u2 + g v1 - b v2) has its poles inside the unit
// circle exactly when |2b| < 1 and |2g| < 1 + 2b; checked on the floats the loop will use.
bool isStable(float beta, float gamma) {
    const double a1 = 2.0 * static_cast<double>(gamma);
    const double a2 = 2.0 * static_cast<double>(beta);
    return a2 < 1.0 && a2 > -1.0 && std::fabs(a1) < 1.0 + a2;
}

} // namespace

void FilterBankCoefficients::design(const float (&bandCentre)[kBandCount], float pi,
                                    float newRate) {
    rate = newRate;
    mutedSections = 0;
    const double fs = newRate;
    const double rateRatio = kOffsetRate / fs;
    sectionOffset = kSectionOffset * (rateRatio * rateRatio);
    for (int k = 0; k < kBandCount; ++k) {
        const double f = bandCentre[k];
        for (int s = 0; s < kSectionCount; ++s) {
            const double theta =
                f * static_cast<double>(pi) * static_cast<double>(kSectionAngleFactor[s]) / fs;
            const double t = portable::tan(theta * static_cast<double>(kHalfInverseQ));
            const double b = 0.5 * (1.0 - t) / (1.0 + t);
            const double g = (0.5 + b) * portable::cos(theta);
            const double a = (0.5 - static_cast<double>(static_cast<float>(b))) * 0.5;

            alpha[s][k] = static_cast<float>(a);
            beta[s][k] = static_cast<float>(b);
            gamma[s][k] = static_cast<float>(g);

            if (std::isfinite(t) && t > 0.0 && isStable(beta[s][k], gamma[s][k])) {
                runAlpha[s][k] = static_cast<float>(a);
                runNegAlpha[s][k] = static_cast<float>(-a);
                runGamma[s][k] = static_cast<float>(g);
                runNegBeta[s][k] = static_cast<float>(-b);
            } else {
                runAlpha[s][k] = 0.0f;
                runNegAlpha[s][k] = 0.0f;
                runGamma[s][k] = 0.0f;
                runNegBeta[s][k] = 0.0f;
                ++mutedSections;
            }
            for (int channel = 0; channel < 2; ++channel) {
                const int lane = laneOf(channel, k);
                lanes.alpha[s][lane] = runAlpha[s][k];
                lanes.negAlpha[s][lane] = runNegAlpha[s][k];
                lanes.gamma[s][lane] = runGamma[s][k];
                lanes.negBeta[s][lane] = runNegBeta[s][k];
                lanes.twiceAlpha[s][lane] = 2.0 * lanes.alpha[s][lane];
                lanes.twiceNegAlpha[s][lane] = 2.0 * lanes.negAlpha[s][lane];
                lanes.twiceGamma[s][lane] = 2.0 * lanes.gamma[s][lane];
                lanes.twiceNegBeta[s][lane] = 2.0 * lanes.negBeta[s][lane];
            }
        }
    }
    lanes.offset = sectionOffset;
}
