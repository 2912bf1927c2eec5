// The metering loop four lanes at a time with AVX2 and FMA. This file alone is compiled with
// -mavx2 -mfma; it is only called when the CPU has both.

#include "engine/meter_kernel_body.h"

#include <immintrin.h>

namespace {
struct Avx2Ops {
    using V = __m256d;
    using F = __m128;
    static constexpr int kWidth = 4;
    static F setFloats(float v) { return _mm_set1_ps(v); }
    static F toFloats(V a) { return _mm256_cvtpd_ps(a); }
    static V toDoubles(F a) { return _mm256_cvtps_pd(a); }
    static F mulFloats(F a, F b) { return _mm_mul_ps(a, b); }
    static V set(double v) { return _mm256_set1_pd(v); }
    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    // Only for a float-valued a and b: their product is exact, so the fused operation rounds
    // as the separate multiply and add do (see the body).
    static V mulAdd(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
    static V abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static V roundToFloat(V a) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(a)); }
    static V signsDiffer(V a, V b, V one) {
        const V zero = _mm256_setzero_pd();
        return _mm256_and_pd(
            _mm256_xor_pd(_mm256_cmp_pd(a, zero, _CMP_GT_OQ), _mm256_cmp_pd(b, zero, _CMP_GT_OQ)),
            one);
    }
};
} // namespace

void runMeterKernelAvx2(MeterLanes& state, const LaneCoefficients& coefficients, const float* left,
                        const float* right, std::int32_t frames, double levelSmoothing,
                        double antiPhaseSmoothing) {
    runMeterBlock<Avx2Ops>(state, coefficients, left, right, frames, levelSmoothing,
                           antiPhaseSmoothing);
}
