// The metering loop eight lanes at a time with AVX-512 (foundation instructions only). This
// file alone is compiled with -mavx512f; it is only called when the CPU has it.

#include "engine/meter_kernel_body.h"

#include <immintrin.h>

namespace {
struct Avx512Ops {
    using V = __m512d;
    using F = __m256;
    static constexpr int kWidth = 8;
    // The zero-masked conversions with every lane selected are the plain ones; GCC 12 takes
    // the plain forms' undefined pass-through operand for an uninitialised read.
    static F setFloats(float v) { return _mm256_set1_ps(v); }
    static F toFloats(V a) { return _mm512_maskz_cvtpd_ps(0xFF, a); }
    static V toDoubles(F a) { return _mm512_maskz_cvtps_pd(0xFF, a); }
    static F mulFloats(F a, F b) { return _mm256_mul_ps(a, b); }
    static V set(double v) { return _mm512_set1_pd(v); }
    static V load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, V v) { _mm512_storeu_pd(p, v); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    // Only for a float-valued a and b: their product is exact, so the fused operation rounds
    // as the separate multiply and add do (see the body).
    static V mulAdd(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
    static V abs(V a) { return _mm512_abs_pd(a); }
    static V roundToFloat(V a) { return toDoubles(toFloats(a)); }
    static V signsDiffer(V a, V b, V one) {
        const V zero = _mm512_setzero_pd();
        const __mmask8 differ = static_cast<__mmask8>(_mm512_cmp_pd_mask(a, zero, _CMP_GT_OQ) ^
                                                      _mm512_cmp_pd_mask(b, zero, _CMP_GT_OQ));
        return _mm512_maskz_mov_pd(differ, one);
    }
};
} // namespace

void runMeterKernelAvx512(MeterLanes& state, const LaneCoefficients& coefficients,
                          const float* left, const float* right, std::int32_t frames,
                          double levelSmoothing, double antiPhaseSmoothing) {
    runMeterBlock<Avx512Ops>(state, coefficients, left, right, frames, levelSmoothing,
                             antiPhaseSmoothing);
}
