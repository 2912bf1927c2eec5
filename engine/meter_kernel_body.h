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
// - The coefficients come doubled (LaneCoefficients::twiceAlpha and the rest): a doubled
//   float is exact in double, and doubling commutes with every rounding on the way, since no
//   sum comes near the top of the double range and none is subnormal (every product of two
//   floats, and so every sum of them, is a multiple of 2^-298 and either zero or larger than
//   the smallest normal double). So each partial sum is exactly twice the plain loop's, and
//   the section ends in one rounded add, 2*acc + offset, instead of a multiply and an add.
// - Nothing else may fuse: 1.85*y (1.85 is a double, the product is rounded) is a separate
//   multiply, and the files compile with -ffp-contract=off.
// - An average is float(accumulator * factor) of two floats. Their double product is exact, so
//   rounding it to float is the one correct rounding of the exact product, which is what a
//   float multiply gives: the averages are float products of the float accumulators (a
//   conversion fewer each).
//
// The reference test compares every state variable of every kernel with the plain loop, bit
// for bit; that test, not this argument, is the proof.

#include "engine/meter_kernels.h"

// The schedule. Per sample the work is a long chain: three sections in series, then the
// averages, each step waiting for the rounding of the one before. Run sample by sample, the
// CPU can overlap little of one sample with the next. So the loop is skewed: step i runs the
// centre sections of sample i, the lower-edge sections of sample i-1, the upper-edge sections
// of sample i-2 and the averages of sample i-3. These four stages depend only on results of
// earlier steps, never on each other, and every value is computed exactly as before. Each
// block fills the pipeline at its start and drains it at its end, so between blocks the state
// is complete. Section outputs keep the last four samples in a ring, indexed by the sample
// number modulo 4.
template <class Ops> class MeterPipeline {
public:
    using V = typename Ops::V;
    static constexpr int kWidth = Ops::kWidth;
    // The groups of a channel that hold a band: narrow kernels skip the padding lanes, whose
    // state nothing reads.
    static constexpr int kChannelGroups = (kBandCount + kWidth - 1) / kWidth;
    static_assert(kLanesPerChannel % kWidth == 0, "a vector never spans two channels");
    static_assert(kChannelGroups * kWidth <= kLanesPerChannel, "groups stay in their channel");

    MeterPipeline(MeterLanes& state, const LaneCoefficients& coefficients, const float* left,
                  const float* right, double levelSmoothing, double antiPhaseSmoothing)
        : st(state), c(coefficients), left(left), right(right), first(state.samples),
          offset(Ops::set(coefficients.offset)), levelScale(Ops::set(1.85)),
          levelFactor(Ops::setFloats(static_cast<float>(levelSmoothing))),
          antiPhaseFactor(Ops::setFloats(static_cast<float>(antiPhaseSmoothing))),
          one(Ops::set(1.0)) {}

    void run(std::int32_t frames) {
        std::int32_t i = 0;
        for (; i < 3 && i < frames; ++i)
            partialStep(i, frames);
        for (; i < frames; ++i) {
            centreSections(i);
            laterSections(kLowerEdgeSection, i - 1);
            laterSections(kUpperEdgeSection, i - 2);
            averages(i - 3);
            // The state lives in memory from one step to the next: without this the compiler
            // keeps copies of it in registers, spills them and stores every value twice.
            asm volatile("" ::: "memory");
        }
        for (; i < frames + 3; ++i)
            partialStep(i, frames);
        st.samples = first + static_cast<std::uint32_t>(frames);
    }

private:
    static int slot(std::uint32_t sample) { return static_cast<int>(sample & 3u); }

    void partialStep(std::int32_t i, std::int32_t frames) {
        if (i < frames) centreSections(i);
        if (i >= 1 && i - 1 < frames) laterSections(kLowerEdgeSection, i - 1);
        if (i >= 2 && i - 2 < frames) laterSections(kUpperEdgeSection, i - 2);
        if (i >= 3 && i - 3 < frames) averages(i - 3);
    }

    // One section: v = 2 (alpha u - alpha u2 + gamma v1 - beta v2) + offset, rounded to float,
    // with the doubling done in the coefficients.
    V section(int s, int lane, V u, V u2, const double* v1, const double* v2) const {
        V acc = Ops::mul(Ops::load(&c.twiceAlpha[s][lane]), u);
        acc = Ops::mulAdd(Ops::load(&c.twiceNegAlpha[s][lane]), u2, acc);
        acc = Ops::mulAdd(Ops::load(&c.twiceGamma[s][lane]), Ops::load(v1), acc);
        acc = Ops::mulAdd(Ops::load(&c.twiceNegBeta[s][lane]), Ops::load(v2), acc);
        return Ops::roundToFloat(Ops::add(acc, offset));
    }

    // Block sample j: the centre sections on the measured inputs.
    void centreSections(std::int32_t j) {
        const std::uint32_t n = first + static_cast<std::uint32_t>(j);
        const double x[2] = {left[j], right[j]};
        const double x2[2] = {st.input[slot(n - 2)][0], st.input[slot(n - 2)][1]};
        st.input[slot(n)][0] = x[0];
        st.input[slot(n)][1] = x[1];
        double(*const y)[kLaneCount] = st.output[kCentreSection];
        for (int channel = 0; channel < 2; ++channel) {
            const V u = Ops::set(x[channel]);
            const V u2 = Ops::set(x2[channel]);
#pragma GCC unroll 4
            for (int g = 0; g < kChannelGroups; ++g) {
                const int lane = channel * kLanesPerChannel + g * kWidth;
                Ops::store(&y[slot(n)][lane],
                           section(kCentreSection, lane, u, u2, &y[slot(n - 1)][lane],
                                   &y[slot(n - 2)][lane]));
            }
        }
    }

    // Block sample j: section s on the outputs of section s-1. This section's input two samples
    // back is the previous section's output two samples back.
    void laterSections(int s, std::int32_t j) {
        const std::uint32_t n = first + static_cast<std::uint32_t>(j);
        const double(*const u)[kLaneCount] = st.output[s - 1];
        double(*const y)[kLaneCount] = st.output[s];
#pragma GCC unroll 2
        for (int channel = 0; channel < 2; ++channel) {
#pragma GCC unroll 8
            for (int g = 0; g < kChannelGroups; ++g) {
                const int lane = channel * kLanesPerChannel + g * kWidth;
                Ops::store(&y[slot(n)][lane],
                           section(s, lane, Ops::load(&u[slot(n)][lane]),
                                   Ops::load(&u[slot(n - 2)][lane]), &y[slot(n - 1)][lane],
                                   &y[slot(n - 2)][lane]));
            }
        }
    }

    // Block sample j: the level and anti-phase averages of the band outputs.
    void averages(std::int32_t j) {
        const std::uint32_t n = first + static_cast<std::uint32_t>(j);
        const double* const y = st.output[kUpperEdgeSection][slot(n)];
#pragma GCC unroll 2
        for (int channel = 0; channel < 2; ++channel) {
#pragma GCC unroll 8
            for (int g = 0; g < kChannelGroups; ++g) {
                const int lane = channel * kLanesPerChannel + g * kWidth;
                // Level: accumulator + |1.85 y| - average, then average = accumulator * factor.
                V sum = Ops::add(Ops::load(&st.levelAccumulator[lane]),
                                 Ops::abs(Ops::mul(levelScale, Ops::load(&y[lane]))));
                sum = Ops::sub(sum, Ops::load(&st.levelAverage[lane]));
                const auto accumulator = Ops::toFloats(sum);
                Ops::store(&st.levelAccumulator[lane], Ops::toDoubles(accumulator));
                Ops::store(&st.levelAverage[lane],
                           Ops::toDoubles(Ops::mulFloats(accumulator, levelFactor)));
            }
        }
        // Anti-phase: 1 where exactly one of the band's two outputs is positive.
#pragma GCC unroll 4
        for (int g = 0; g < kChannelGroups; ++g) {
            const int lane = g * kWidth;
            const V differ =
                Ops::signsDiffer(Ops::load(&y[lane]), Ops::load(&y[lane + kLanesPerChannel]), one);
            V sum = Ops::add(Ops::load(&st.antiPhaseAccumulator[lane]), differ);
            sum = Ops::sub(sum, Ops::load(&st.antiPhaseAverage[lane]));
            const auto accumulator = Ops::toFloats(sum);
            Ops::store(&st.antiPhaseAccumulator[lane], Ops::toDoubles(accumulator));
            Ops::store(&st.antiPhaseAverage[lane],
                       Ops::toDoubles(Ops::mulFloats(accumulator, antiPhaseFactor)));
        }
    }

    MeterLanes& st;
    const LaneCoefficients& c;
    const float* const left;
    const float* const right;
    const std::uint32_t first; // the number of the block's first sample
    const V offset;
    const V levelScale;
    const typename Ops::F levelFactor;
    const typename Ops::F antiPhaseFactor;
    const V one;
};

template <class Ops>
void runMeterBlock(MeterLanes& st, const LaneCoefficients& c, const float* left, const float* right,
                   std::int32_t frames, double levelSmoothing, double antiPhaseSmoothing) {
    MeterPipeline<Ops>(st, c, left, right, levelSmoothing, antiPhaseSmoothing).run(frames);
}
