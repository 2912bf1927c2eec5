// The meter query: turns the band averages into the five display values per band. The
// logarithm tables (level_tables.h) spare it any logarithm.

#include "engine/meter_effect.h"
#include "host/meter_interface.h"

#include <cmath>

#include "engine/portable_math.h"

namespace {
constexpr std::int32_t kFullScale = 32767;

// Coefficients of the balance curve: dB difference to distance from the centre.
constexpr double kBalance4 = 0.0001729349558;
constexpr double kBalance3 = 0.004932667999;
constexpr double kBalance2 = 0.1485249855;
constexpr double kBalance1 = 8.81863307;

// Truncates toward zero into 0..32767 without the undefined cases of a plain cast.
std::int32_t tableIndex(double position) {
    if (!(position > 0.0)) return 0;
    if (position >= kFullScale) return kFullScale;
    return static_cast<std::int32_t>(position);
}

double balanceCurve(double x) {
    const double x2 = x * x;
    const double x3 = x2 * x;
    const double x4 = x3 * x;
    return kBalance4 * x4 - kBalance3 * x3 - kBalance2 * x2 + kBalance1 * x;
}

// A level table value raised to a curve exponent. 1 raised to an infinite or undefined power
// is undefined here (C's pow would say 1), so a highlight curve of 0 lights nothing.
double curved(double base, double exponent) {
    if (!std::isfinite(exponent) && base == 1.0) return NAN;
    return portable::pow(base, exponent);
}

// Every meter value ends in 0..1; undefined values read 0.
float clampToUnit(double value) {
    if (!(value >= 0.0)) return 0.0f;
    if (value > 1.0) return 1.0f;
    return static_cast<float>(value);
}

// clampToUnit(curved(base, exponent)) to the bit. For a positive base the power is positive,
// +0 or +inf, and clamping its float is clamping the power, so the float alone is needed, and
// powToFloat makes it several times faster than pow makes the double.
float curvedToUnit(double base, double exponent) {
    if (base > 0.0 && (std::isfinite(exponent) || base != 1.0))
        return clampToUnit(portable::powToFloat(base, exponent));
    return clampToUnit(curved(base, exponent));
}
} // namespace

bool MeterEffect::carriesBand(int band) const {
    // The averages belong to the coefficient set in use, so its rate decides, not the one the
    // host may just have set.
    return 2.0 * static_cast<double>(bandCentre[band]) <
           static_cast<double>(designSampleRate.load(std::memory_order_relaxed));
}

float MeterEffect::getMeterValue(std::int32_t index) {
    if (index < kBalanceMeter || index >= kMeterEnd) return 0.0f;

    const int band = (index - kBalanceMeter) % kBandCount;
    if (!carriesBand(band)) {
        if (index < kLevelMeter) return 0.5f;
        if (index >= kTaperMeter && index < kHighlightMeter) return kUncarriedBandTaper;
        return 0.0f;
    }

    if (index >= kTaperMeter && index < kHighlightMeter)
        return clampToUnit(edgeTaper.load(std::memory_order_relaxed));

    const double left = levelAverage[kLeft][band].load(std::memory_order_relaxed);
    const double right = levelAverage[kRight][band].load(std::memory_order_relaxed);

    if (index < kLevelMeter) {
        std::int32_t qL = tableIndex(left * kFullScale);
        std::int32_t qR = tableIndex(right * kFullScale);
        if (qL < 2) qL = 1;
        if (qR < 2) qR = 1;
        const float difference = static_cast<float>(static_cast<double>(levelDbTable[qR]) -
                                                    static_cast<double>(levelDbTable[qL]));
        const double d = difference;
        return clampToUnit(d >= 0.0 ? 0.5 + 0.005 * balanceCurve(d)
                                    : 0.5 - 0.005 * balanceCurve(-d));
    }

    if (index >= kSpreadMeter && index < kTaperMeter) {
        const double antiPhase = antiPhaseAverage[band].load(std::memory_order_relaxed);
        return clampToUnit(antiPhase *
                           static_cast<double>(spreadGain.load(std::memory_order_relaxed)));
    }

    // Level and highlight share the table position: the table tops out when the two
    // averages add up to 0.5.
    const double base = levelNormTable[tableIndex((right + left) * (2.0 * kFullScale))];
    if (index < kSpreadMeter) {
        const double curve = levelCurve.load(std::memory_order_relaxed);
        return curvedToUnit(base, 1.0 / (2.0 * curve + 0.5));
    }
    const double curve = highlightCurve.load(std::memory_order_relaxed);
    return curvedToUnit(base, 1.0 / (2.0 * curve));
}
