// The metering loop one lane at a time: the kernel every build has, and the measure of the
// vector kernels' speed.

#include "engine/meter_kernel_body.h"

#include <cmath>

namespace {
struct ScalarOps {
    using V = double;
    using F = float;
    static constexpr int kWidth = 1;
    static F setFloats(float v) { return v; }
    static F toFloats(V a) { return static_cast<float>(a); }
    static V toDoubles(F a) { return static_cast<double>(a); }
    static F mulFloats(F a, F b) { return a * b; }
    static V set(double v) { return v; }
    static V load(const double* p) { return *p; }
    static void store(double* p, V v) { *p = v; }
    static V add(V a, V b) { return a + b; }
    static V sub(V a, V b) { return a - b; }
    static V mul(V a, V b) { return a * b; }
    // No fused operation here: the product is rounded (exactly, see the body) and then added.
    static V mulAdd(V a, V b, V c) { return a * b + c; }
    static V abs(V a) { return std::fabs(a); }
    static V roundToFloat(V a) { return static_cast<double>(static_cast<float>(a)); }
    static V signsDiffer(V a, V b, V one) { return (a > 0.0) != (b > 0.0) ? one : 0.0; }
};
} // namespace

void runMeterKernelScalar(MeterLanes& state, const LaneCoefficients& coefficients,
                          const float* left, const float* right, std::int32_t frames,
                          double levelSmoothing, double antiPhaseSmoothing) {
    runMeterBlock<ScalarOps>(state, coefficients, left, right, frames, levelSmoothing,
                             antiPhaseSmoothing);
}
