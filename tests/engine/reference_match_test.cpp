// The engine against the plain reference loop: every state variable equal to the bit after
// ten seconds of mixed signals, at 44.1 kHz and at every rate the bank is redesigned for, in
// every kernel this CPU runs.

#include "meter_effect_probe.h"
#include "reference_meter.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// Lane values are doubles that must hold exactly the reference's float; comparing both as
// doubles checks that too.
std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

#define EXPECT_SAME_BITS(engine, reference, what)                                                  \
    do {                                                                                           \
        if (bits(static_cast<double>(engine)) != bits(static_cast<double>(reference))) {           \
            ADD_FAILURE() << e.kernelName() << " kernel, " << what << ": engine " << (engine)      \
                          << " reference " << (reference);                                         \
            ++mismatches;                                                                          \
        }                                                                                          \
    } while (0)

// Compares everything; returns the number of mismatches (reported individually, at most a
// screenful).
int compareState(const MeterEffectProbe& e, const ReferenceMeter& r) {
    int mismatches = 0;
    const FilterBankCoefficients& c = e.coefficientsInUse();
    EXPECT_EQ(c.mutedSections, 0);
    EXPECT_SAME_BITS(e.designRate(), r.designRate, "designSampleRate");
    EXPECT_EQ(c.sectionOffset, r.offset);
    EXPECT_EQ(c.lanes.offset, r.offset);
    EXPECT_SAME_BITS(e.lastRate(), r.lastRate, "lastSampleRate");
    EXPECT_SAME_BITS(e.levelFactor(), r.levelFactor, "levelSmoothing");
    EXPECT_SAME_BITS(e.antiPhaseFactor(), r.antiFactor, "antiPhaseSmoothing");
    for (int k = 0; k < 30 && mismatches < 20; ++k) {
        const std::string band = " band " + std::to_string(k);
        for (int s = 0; s < 3; ++s) {
            const std::string sec = band + " section " + std::to_string(s);
            EXPECT_SAME_BITS(c.alpha[s][k], r.alpha[s][k], "alpha" + sec);
            EXPECT_SAME_BITS(c.beta[s][k], r.beta[s][k], "beta" + sec);
            EXPECT_SAME_BITS(c.gamma[s][k], r.gamma[s][k], "gamma" + sec);
            EXPECT_SAME_BITS(c.runAlpha[s][k], r.alpha[s][k], "run alpha" + sec);
            EXPECT_SAME_BITS(c.runNegAlpha[s][k], -r.alpha[s][k], "run -alpha" + sec);
            EXPECT_SAME_BITS(c.runGamma[s][k], r.gamma[s][k], "run gamma" + sec);
            EXPECT_SAME_BITS(c.runNegBeta[s][k], -r.beta[s][k], "run -beta" + sec);
            for (int ch = 0; ch < 2; ++ch) {
                const int lane = laneOf(ch, k);
                EXPECT_SAME_BITS(c.lanes.alpha[s][lane], r.alpha[s][k], "lane alpha" + sec);
                EXPECT_SAME_BITS(c.lanes.negAlpha[s][lane], -r.alpha[s][k], "lane -alpha" + sec);
                EXPECT_SAME_BITS(c.lanes.gamma[s][lane], r.gamma[s][k], "lane gamma" + sec);
                EXPECT_SAME_BITS(c.lanes.negBeta[s][lane], -r.beta[s][k], "lane -beta" + sec);
            }
        }
        for (int ch = 0; ch < 2; ++ch) {
            const std::string where = band + (ch ? " right" : " left");
            const auto h = e.bandHistory(ch, k);
            EXPECT_SAME_BITS(h.x1, r.in1[ch][k], "x[n-1]" + where);
            EXPECT_SAME_BITS(h.x2, r.in2[ch][k], "x[n-2]" + where);
            for (int s = 0; s < 3; ++s) {
                EXPECT_SAME_BITS(h.y1[s], r.out1[ch][s][k], "y[n-1]" + where);
                EXPECT_SAME_BITS(h.y2[s], r.out2[ch][s][k], "y[n-2]" + where);
            }
            EXPECT_SAME_BITS(e.output(ch, k), r.bandOut[ch][k], "band output" + where);
            EXPECT_SAME_BITS(e.levelSum(ch, k), r.levelAcc[ch][k], "levelAccumulator" + where);
            EXPECT_SAME_BITS(e.levelRunning(ch, k), r.levelAvg[ch][k], "levelAverage" + where);
            EXPECT_SAME_BITS(e.level(ch, k), r.levelAvg[ch][k], "published levelAverage" + where);
            EXPECT_SAME_BITS(e.sign(ch, k), r.positive[ch][k], "sign flag" + where);
        }
        EXPECT_SAME_BITS(e.differ(k), r.differ[k], "differ flag" + band);
        EXPECT_SAME_BITS(e.antiPhaseSum(k), r.antiAcc[k], "antiPhaseAccumulator" + band);
        EXPECT_SAME_BITS(e.antiPhaseRunning(k), r.antiAvg[k], "antiPhaseAverage" + band);
        EXPECT_SAME_BITS(e.antiPhase(k), r.antiAvg[k], "published antiPhaseAverage" + band);
    }
    return mismatches;
}

using Engines = std::vector<std::unique_ptr<MeterEffectProbe>>;

// One engine per kernel this CPU runs; says which kernels it leaves out.
Engines engineForEveryKernel() {
    Engines engines;
    for (int i = 0; i < meterKernelCount(); ++i) {
        const MeterKernel& kernel = meterKernel(i);
        if (!meterKernelSupported(kernel)) {
            std::printf("[ SKIPPED  ] %s kernel: this CPU lacks its instructions\n", kernel.name);
            continue;
        }
        engines.push_back(makeProbe());
        engines.back()->useKernel(kernel);
    }
    return engines;
}

// Feeds the programme to the engines and the reference, in blocks of changing size, checking
// at a few points on the way so a mismatch is caught near where it starts.
void runAll(Engines& engines, ReferenceMeter& r, const test_signals::Stereo& s, std::size_t from,
            std::size_t to) {
    static const int kBlocks[] = {512, 1, 17, 64, 4096, 333, 128};
    std::vector<float> outL(4096), outR(4096);
    std::size_t n = from;
    int b = 0;
    std::size_t nextCheck = from + (to - from) / 4;
    while (n < to) {
        const std::size_t frames = std::min<std::size_t>(kBlocks[b++ % 7], to - n);
        float* in[2] = {const_cast<float*>(s.left.data() + n),
                        const_cast<float*>(s.right.data() + n)};
        float* out[2] = {outL.data(), outR.data()};
        for (auto& e : engines)
            e->processReplacing(in, out, static_cast<std::int32_t>(frames));
        for (std::size_t i = n; i < n + frames; ++i)
            r.step(s.left[i], s.right[i]);
        n += frames;
        if (n >= nextCheck && n < to) {
            for (auto& e : engines)
                ASSERT_EQ(compareState(*e, r), 0) << e->kernelName() << " after " << n << " frames";
            nextCheck += (to - from) / 4;
        }
    }
    for (auto& e : engines)
        ASSERT_EQ(compareState(*e, r), 0) << e->kernelName() << " after " << n << " frames";
}

class ReferenceMatch : public ::testing::TestWithParam<float> {};

TEST_P(ReferenceMatch, TenSecondsOfMixedSignalsMatchToTheBitInEveryKernel) {
    const float rate = GetParam();
    Engines engines = engineForEveryKernel();
    ASSERT_FALSE(engines.empty());
    ReferenceMeter reference;
    for (auto& e : engines)
        e->setSampleRate(rate);
    reference.setHostRate(rate);
    const auto programme = test_signals::mixedProgramme(rate);
    runAll(engines, reference, programme, 0, programme.left.size());
    // The programme really reached every band: nothing here is a match of two idle states.
    for (int k = 0; k < 30; ++k)
        EXPECT_GT(reference.levelAvg[0][k], 1e-4f) << "band " << k;
}

INSTANTIATE_TEST_SUITE_P(Rates, ReferenceMatch,
                         ::testing::Values(44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f,
                                           22050.0f, 32000.0f),
                         [](const auto& info) {
                             return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

class ReferenceMatchRateChanges : public ::testing::TestWithParam<int> {};

TEST_P(ReferenceMatchRateChanges, RedesignsBetweenBlocksMatchToTheBit) {
    const MeterKernel& kernel = meterKernel(GetParam());
    if (!meterKernelSupported(kernel))
        GTEST_SKIP() << kernel.name << " kernel: this CPU lacks its instructions";
    Engines engines;
    engines.push_back(makeProbe());
    engines.back()->useKernel(kernel);
    ReferenceMeter reference;
    const auto programme = test_signals::mixedProgramme(48000.0, 10.0);
    const std::size_t total = programme.left.size();
    // Histories and accumulators run on across each change; invalid rates change nothing.
    const float rates[] = {44100.0f, 48000.0f, 0.0f, 96000.0f, -1.0f, 44100.0f, 88200.0f};
    const std::size_t step = total / 7;
    for (int i = 0; i < 7; ++i) {
        engines[0]->setSampleRate(rates[i]);
        reference.setHostRate(rates[i]);
        runAll(engines, reference, programme, i * step, i == 6 ? total : (i + 1) * step);
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, ReferenceMatchRateChanges,
                         ::testing::Range(0, meterKernelCount()), [](const auto& info) {
                             return std::string(meterKernel(info.param).name);
                         });

TEST(MeterKernels, TheOverrideNamesAKernelTheCpuRunsOtherwiseTheFastestIsTaken) {
    const MeterKernel* fastest = nullptr;
    for (int i = 0; i < meterKernelCount(); ++i) {
        const MeterKernel& kernel = meterKernel(i);
        const bool supported = meterKernelSupported(kernel);
        EXPECT_EQ(findMeterKernel(kernel.name), supported ? &kernel : nullptr) << kernel.name;
        if (supported) {
            EXPECT_EQ(&pickMeterKernel(kernel.name), &kernel);
            fastest = &kernel;
        }
    }
    ASSERT_NE(fastest, nullptr);
    EXPECT_STREQ(meterKernel(0).name, "scalar");
    EXPECT_TRUE(meterKernelSupported(meterKernel(0)));
    EXPECT_EQ(&pickMeterKernel(nullptr), fastest);
    EXPECT_EQ(&pickMeterKernel("no-such-kernel"), fastest);
    EXPECT_EQ(&pickMeterKernel(""), fastest);
    EXPECT_EQ(&chosenMeterKernel(), &pickMeterKernel(std::getenv("TROB_KERNEL")));
    EXPECT_STREQ(makeProbe()->kernelName(), chosenMeterKernel().name);
#if defined(__x86_64__)
    // Every x86-64 CPU has SSE2.
    EXPECT_NE(findMeterKernel("sse2"), nullptr);
#endif
}

} // namespace
