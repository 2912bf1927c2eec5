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

#include <utility>

// The schedule. The bank is 64 independent lanes of three sections in series, and each section
// is a recurrence: its output waits for its own output of the sample before, through three
// multiply-adds and two conversions. Run lane group by lane group across a block, every
// section's recent outputs and the lane's averages stay in registers from one sample to the
// next, and nothing is loaded or stored per sample but the input and the coefficients.
//
// Two things keep the CPU busy on the recurrences. Each pass runs Ops::kPairs groups of the
// left channel with the same groups of the right side by side: independent chains, and the
// left and right outputs of a band the anti-phase count needs at hand. And the loop is skewed:
// step n runs the centre sections of sample n, the lower-edge sections of sample n-1, the
// upper-edge sections of sample n-2 and the averages of sample n-3. These four stages take
// only results of earlier steps, never of each other, so a step is four short chains rather
// than one long one and the CPU can overlap the steps. Every value is computed exactly as the
// plain loop computes it; only the order in which independent work is done differs. At the end
// of a block each section's last two outputs go back to the ring in MeterLanes, where the next
// block and the readout find them.
#define TROB_INLINE [[gnu::always_inline]] inline
#define TROB_INLINE_LAMBDA __attribute__((always_inline))

template <class Ops> class MeterBlock {
public:
    using V = typename Ops::V;
    using F = typename Ops::F;
    static constexpr int kWidth = Ops::kWidth;
    static constexpr int kPairs = Ops::kPairs;
    static constexpr int kChains = 2 * kPairs;
    static constexpr int kChannelGroups = kLanesPerChannel / kWidth;
    static_assert(kLanesPerChannel % kWidth == 0, "a vector never spans two channels");
    static_assert(kChannelGroups % kPairs == 0, "the passes cover every group");

    MeterBlock(MeterLanes& state, const LaneCoefficients& coefficients, const float* left,
               const float* right, double levelSmoothing, double antiPhaseSmoothing)
        : st(state), c(coefficients), input{left, right}, first(state.samples),
          levelFactor(static_cast<float>(levelSmoothing)),
          antiPhaseFactor(static_cast<float>(antiPhaseSmoothing)) {}

    void run(std::int32_t frames) {
        if (frames <= 0) return;
        for (int g = 0; g < kChannelGroups; g += kPairs)
            runPass(g, frames);
        // The input ring: the last two samples of each channel.
        const std::uint32_t last = first + static_cast<std::uint32_t>(frames) - 1u;
        for (int channel = 0; channel < 2; ++channel) {
            const double previous = st.input[slot(first - 1u)][channel];
            st.input[slot(last)][channel] = input[channel][frames - 1];
            st.input[slot(last - 1u)][channel] =
                frames >= 2 ? static_cast<double>(input[channel][frames - 2]) : previous;
        }
        st.samples = last + 1u;
    }

private:
    static int slot(std::uint32_t sample) { return static_cast<int>(sample & 3u); }

    template <int N, class Body> TROB_INLINE static void unrolled(Body&& body) {
        [&]<int... I>(std::integer_sequence<int, I...>) TROB_INLINE_LAMBDA {
            (body(std::integral_constant<int, I>{}), ...);
        }(std::make_integer_sequence<int, N>{});
    }

    // Groups g .. g + kPairs - 1 of both channels through the whole block. Chain 2j is group
    // g + j of the left channel, chain 2j + 1 the same group of the right. All indices into the
    // state below are constants, so the compiler keeps it in registers.
    void runPass(int g, std::int32_t frames) {
        const LaneCoefficients& k = c;
        const int base = g * kWidth;
        const auto laneOf = [base](int i) { return (i & 1) * kLanesPerChannel + base + (i / 2) * kWidth; };
        const int back1 = slot(first - 1u);
        const int back2 = slot(first - 2u);
        // Per chain and section its outputs, latest first: the last three, of which a section
        // reads its own last two and the next section the first and the third.
        V y[kChains][kSectionCount][3];
        V levelSum[kChains], levelAverage[kChains];
        V antiSum[kPairs], antiAverage[kPairs];
        // Per channel the last two inputs, latest first.
        V x[2][2];
        unrolled<kChains>([&](auto i) {
            const int l = laneOf(i);
            unrolled<kSectionCount>([&](auto s) {
                y[i][s][0] = Ops::load(&st.output[s][back1][l]);
                y[i][s][1] = Ops::load(&st.output[s][back2][l]);
                y[i][s][2] = y[i][s][1];
            });
            levelSum[i] = Ops::load(&st.levelAccumulator[l]);
            levelAverage[i] = Ops::load(&st.levelAverage[l]);
        });
        unrolled<kPairs>([&](auto j) {
            antiSum[j] = Ops::load(&st.antiPhaseAccumulator[laneOf(2 * j)]);
            antiAverage[j] = Ops::load(&st.antiPhaseAverage[laneOf(2 * j)]);
        });
        unrolled<2>([&](auto channel) {
            x[channel][0] = Ops::set(st.input[back1][channel]);
            x[channel][1] = Ops::set(st.input[back2][channel]);
        });
        // Each pass's coefficients, doubled (exactly: see the top of the file).
        V twice[kChains][kSectionCount][4];
        unrolled<kChains>([&](auto i) {
            const int l = laneOf(i);
            unrolled<kSectionCount>([&](auto s) {
                const double* const from[4] = {&k.alpha[s][l], &k.negAlpha[s][l], &k.gamma[s][l],
                                               &k.negBeta[s][l]};
                unrolled<4>([&](auto t) { twice[i][s][t] = Ops::add(Ops::load(from[t]), Ops::load(from[t])); });
            });
        });
        const V offset = Ops::set(k.offset);
        const V levelScale = Ops::set(1.85);
        const V one = Ops::set(1.0);
        const F levelF = Ops::setFloats(levelFactor);
        const F antiF = Ops::setFloats(antiPhaseFactor);

        // One section: v = (2 alpha) u - (2 alpha) u2 + (2 gamma) v1 - (2 beta) v2 + offset,
        // rounded to float; then v becomes the section's latest output.
        const auto section = [&](auto i, auto s, V u, V u2) TROB_INLINE_LAMBDA {
            const V(&t)[4] = twice[i][s];
            V(&h)[3] = y[i][s];
            V acc = Ops::mul(t[0], u);
            acc = Ops::mulAdd(t[1], u2, acc);
            acc = Ops::mulAdd(t[2], h[0], acc);
            acc = Ops::mulAdd(t[3], h[1], acc);
            const V v = Ops::roundToFloat(Ops::add(acc, offset));
            h[2] = h[1];
            h[1] = h[0];
            h[0] = v;
        };
        // Sample n: the centre sections on the measured inputs.
        const auto centreSections = [&](std::int32_t n) TROB_INLINE_LAMBDA {
            unrolled<2>([&](auto channel) {
                const V u = Ops::set(static_cast<double>(input[channel][n]));
                unrolled<kPairs>([&](auto j) {
                    section(std::integral_constant<int, 2 * j + channel>{},
                            std::integral_constant<int, kCentreSection>{}, u, x[channel][1]);
                });
                x[channel][1] = x[channel][0];
                x[channel][0] = u;
            });
        };
        // Section s on the latest output of section s-1, whose output two samples before that
        // is this section's input two samples back.
        const auto laterSections = [&](auto s) TROB_INLINE_LAMBDA {
            unrolled<kChains>(
                [&](auto i) { section(i, s, y[i][s - 1][0], y[i][s - 1][2]); });
        };
        // Accumulator + term - average, rounded to float; then average = accumulator * factor.
        const auto average = [](V term, V& accumulator, V& average, F factor) TROB_INLINE_LAMBDA {
            const F rounded = Ops::toFloats(Ops::sub(Ops::add(accumulator, term), average));
            accumulator = Ops::toDoubles(rounded);
            average = Ops::toDoubles(Ops::mulFloats(rounded, factor));
        };
        // The level (term |1.85 y|) and anti-phase (term 1 where exactly one of the band's two
        // outputs is positive) averages of the latest band outputs.
        const auto averages = [&]() TROB_INLINE_LAMBDA {
            unrolled<kChains>([&](auto i) {
                average(Ops::abs(Ops::mul(levelScale, y[i][kUpperEdgeSection][0])), levelSum[i],
                        levelAverage[i], levelF);
            });
            unrolled<kPairs>([&](auto j) {
                average(Ops::signsDiffer(y[2 * j][kUpperEdgeSection][0],
                                         y[2 * j + 1][kUpperEdgeSection][0], one),
                        antiSum[j], antiAverage[j], antiF);
            });
        };
        constexpr auto lower = std::integral_constant<int, kLowerEdgeSection>{};
        constexpr auto upper = std::integral_constant<int, kUpperEdgeSection>{};
        // Step n runs a stage on sample n - stage when that is a sample of the block. The stages
        // run latest first: each reads the outputs of the one before as they were at the end of
        // the previous step.
        const auto partialStep = [&](std::int32_t n) TROB_INLINE_LAMBDA {
            if (n >= 3 && n - 3 < frames) averages();
            if (n >= 2 && n - 2 < frames) laterSections(upper);
            if (n >= 1 && n - 1 < frames) laterSections(lower);
            if (n < frames) centreSections(n);
        };

        std::int32_t n = 0;
        for (; n < 3 && n < frames; ++n)
            partialStep(n);
        for (; n < frames; ++n) {
            averages();
            laterSections(upper);
            laterSections(lower);
            centreSections(n);
        }
        for (; n < frames + 3; ++n)
            partialStep(n);

        const std::uint32_t last = first + static_cast<std::uint32_t>(frames) - 1u;
        unrolled<kChains>([&](auto i) {
            const int l = laneOf(i);
            unrolled<kSectionCount>([&](auto s) {
                Ops::store(&st.output[s][slot(last)][l], y[i][s][0]);
                Ops::store(&st.output[s][slot(last - 1u)][l], y[i][s][1]);
            });
            Ops::store(&st.levelAccumulator[l], levelSum[i]);
            Ops::store(&st.levelAverage[l], levelAverage[i]);
        });
        unrolled<kPairs>([&](auto j) {
            Ops::store(&st.antiPhaseAccumulator[laneOf(2 * j)], antiSum[j]);
            Ops::store(&st.antiPhaseAverage[laneOf(2 * j)], antiAverage[j]);
        });
    }

    MeterLanes& st;
    const LaneCoefficients& c;
    const float* const input[2];
    const std::uint32_t first; // the number of the block's first sample
    const float levelFactor;
    const float antiPhaseFactor;
};

template <class Ops>
void runMeterBlock(MeterLanes& st, const LaneCoefficients& c, const float* left, const float* right,
                   std::int32_t frames, double levelSmoothing, double antiPhaseSmoothing) {
    MeterBlock<Ops>(st, c, left, right, levelSmoothing, antiPhaseSmoothing).run(frames);
}
