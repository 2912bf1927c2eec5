#pragma once
// The body every metering kernel shares, written once over a small set of vector operations.
// Each kernel file includes it with its own `Ops` (defined in that file's unnamed namespace and
// compiled for that file's instruction set) and instantiates runMeterBlock<Ops> there.
//
// Exactness. The plain loop computes, per section, in double precision from float values:
//
//     acc = alpha*u - alpha*u2 + gamma*y1 - beta*y2   (left to right, each step rounded)
//     y   = float(2*acc + offset)                      (the double sum rounded, then to float)
//
// and per band the level and anti-phase averages, accumulators and averages stored as floats.
// This body does the same operations in the same order on lanes of doubles that hold exactly
// those float values, so every conversion from float to double is exact and done once, and
// every rounding to float is a conversion to float and back:
//
// - `-alpha` and `-beta` are negated floats, so adding their products is subtracting the
//   products of alpha and beta, to the bit (signed zeros included).
// - A product of two floats is exact in double precision: 24 + 24 significant bits fit in 53,
//   and float exponents summed stay far inside the double range (no overflow, no subnormal).
//   So fma(c, v, acc) for float-valued c and v rounds once, exactly as the separate multiply
//   (exact) and add (rounded) do. Kernels with FMA use `Ops::mulAdd` only for such products
//   added to a double sum: the four coefficient terms of a section.
// - Doubling a double is exact, so fma(acc, 2, offset) rounds exactly as 2*acc + offset does.
// - Nothing else may fuse: 1.85*y (1.85 is a double, the product is rounded) and the smoothing
//   factor products are separate multiplies, and the files compile with -ffp-contract=off.
//
// The reference test compares every state variable of every kernel with the plain loop, bit
// for bit; that test, not this argument, is the proof.

#include "engine/meter_kernels.h"

template <class Ops>
void runMeterBlock(MeterLanes& st, const LaneCoefficients& c, const float* left, const float* right,
                   std::int32_t frames, double levelSmoothing, double antiPhaseSmoothing) {
    using V = typename Ops::V;
    constexpr int kWidth = Ops::kWidth;
    constexpr int kGroups = kLaneCount / kWidth;
    constexpr int kChannelGroups = kLanesPerChannel / kWidth;
    static_assert(kLanesPerChannel % kWidth == 0, "a vector never spans two channels");

    const V offset = Ops::set(c.offset);
    const V two = Ops::set(2.0);
    const V levelScale = Ops::set(1.85);
    const V levelFactor = Ops::set(levelSmoothing);
    const V antiPhaseFactor = Ops::set(antiPhaseSmoothing);
    const V one = Ops::set(1.0);

    double in1[2] = {st.input1[0], st.input1[1]};
    double in2[2] = {st.input2[0], st.input2[1]};

    for (std::int32_t n = 0; n < frames; ++n) {
        const double x[2] = {left[n], right[n]};
        V bandOut[kGroups];

#pragma GCC unroll 8
        for (int g = 0; g < kGroups; ++g) {
            const int lane = g * kWidth;
            const int channel = g < kChannelGroups ? 0 : 1;
            V u = Ops::set(x[channel]);
            V u2 = Ops::set(in2[channel]);
#pragma GCC unroll 3
            for (int s = 0; s < kSectionCount; ++s) {
                const V y1 = Ops::load(&st.output1[s][lane]);
                const V y2 = Ops::load(&st.output2[s][lane]);
                V acc = Ops::mul(Ops::load(&c.alpha[s][lane]), u);
                acc = Ops::mulAdd(Ops::load(&c.negAlpha[s][lane]), u2, acc);
                acc = Ops::mulAdd(Ops::load(&c.gamma[s][lane]), y1, acc);
                acc = Ops::mulAdd(Ops::load(&c.negBeta[s][lane]), y2, acc);
                const V y = Ops::roundToFloat(Ops::twiceAdd(acc, two, offset));
                Ops::store(&st.output2[s][lane], y1);
                Ops::store(&st.output1[s][lane], y);
                // This section's output two samples back is the next one's input two back.
                u = y;
                u2 = y2;
            }
            bandOut[g] = u;

            // Level: accumulator + |1.85 y| - average, then average = accumulator * factor.
            V sum =
                Ops::add(Ops::load(&st.levelAccumulator[lane]), Ops::abs(Ops::mul(levelScale, u)));
            sum = Ops::sub(sum, Ops::load(&st.levelAverage[lane]));
            const V accumulator = Ops::roundToFloat(sum);
            Ops::store(&st.levelAccumulator[lane], accumulator);
            Ops::store(&st.levelAverage[lane],
                       Ops::roundToFloat(Ops::mul(accumulator, levelFactor)));
        }

        // Anti-phase: 1 where exactly one of the band's two outputs is positive.
#pragma GCC unroll 4
        for (int g = 0; g < kChannelGroups; ++g) {
            const int lane = g * kWidth;
            const V differ = Ops::signsDiffer(bandOut[g], bandOut[g + kChannelGroups], one);
            V sum = Ops::add(Ops::load(&st.antiPhaseAccumulator[lane]), differ);
            sum = Ops::sub(sum, Ops::load(&st.antiPhaseAverage[lane]));
            const V accumulator = Ops::roundToFloat(sum);
            Ops::store(&st.antiPhaseAccumulator[lane], accumulator);
            Ops::store(&st.antiPhaseAverage[lane],
                       Ops::roundToFloat(Ops::mul(accumulator, antiPhaseFactor)));
        }

        in2[0] = in1[0];
        in2[1] = in1[1];
        in1[0] = x[0];
        in1[1] = x[1];
    }

    st.input1[0] = in1[0];
    st.input1[1] = in1[1];
    st.input2[0] = in2[0];
    st.input2[1] = in2[1];
}
