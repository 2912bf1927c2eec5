// The metering loop two lanes at a time with SSE2, which every x86-64 CPU has and the 32-bit
// build assumes. SSE2 has no fused multiply-add: products and sums are separate, as in the
// plain loop.

#include "engine/meter_kernel_body.h"

#include <emmintrin.h>

namespace {
struct Sse2Ops {
    using V = __m128d;
    using F = __m128;
    static constexpr int kWidth = 2;
    // Floats in the low two lanes.
    static F setFloats(float v) { return _mm_set1_ps(v); }
    static F toFloats(V a) { return _mm_cvtpd_ps(a); }
    static V toDoubles(F a) { return _mm_cvtps_pd(a); }
    static F mulFloats(F a, F b) { return _mm_mul_ps(a, b); }
    static V set(double v) { return _mm_set1_pd(v); }
    static V load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, V v) { _mm_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V mulAdd(V a, V b, V c) { return _mm_add_pd(_mm_mul_pd(a, b), c); }
    static V abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static V roundToFloat(V a) { return _mm_cvtps_pd(_mm_cvtpd_ps(a)); }
    static V signsDiffer(V a, V b, V one) {
        const V zero = _mm_setzero_pd();
        return _mm_and_pd(_mm_xor_pd(_mm_cmpgt_pd(a, zero), _mm_cmpgt_pd(b, zero)), one);
    }
};
} // namespace

void runMeterKernelSse2(MeterLanes& state, const LaneCoefficients& coefficients, const float* left,
                        const float* right, std::int32_t frames, double levelSmoothing,
                        double antiPhaseSmoothing) {
    runMeterBlock<Sse2Ops>(state, coefficients, left, right, frames, levelSmoothing,
                           antiPhaseSmoothing);
}
