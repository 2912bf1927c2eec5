// The third-octave bank: its design, what a sine does to it, its silence offset, and its
// redesign whenever the host sets a new rate.

#include "meter_effect_probe.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace {

using test_signals::sine;

struct Expected {
    int section;
    double beta, gamma, alpha;
};

TEST(FilterBankDesign, BandsOf1000HzAnd20kHzAt44100Hz) {
    auto e = makeProbe();
    const FilterBankCoefficients& c = e->coefficientsInUse();
    EXPECT_EQ(c.rate, 44100.0f);
    EXPECT_EQ(c.mutedSections, 0);
    const Expected band16[] = {{kCentreSection, 0.4838127, 0.9738442, 0.0080937},
                               {kLowerEdgeSection, 0.4855519, 0.9776213, 0.0072241},
                               {kUpperEdgeSection, 0.4818732, 0.9693542, 0.0090634}};
    for (const auto& x : band16) {
        EXPECT_NEAR(c.beta[x.section][16], x.beta, 1e-7) << "section " << x.section;
        EXPECT_NEAR(c.gamma[x.section][16], x.gamma, 1e-7) << "section " << x.section;
        EXPECT_NEAR(c.alpha[x.section][16], x.alpha, 1e-7) << "section " << x.section;
    }
    // Above Nyquist, computed with the same formulas.
    EXPECT_NEAR(c.beta[kUpperEdgeSection][29], 0.2210180, 1e-7);
    EXPECT_NEAR(c.gamma[kUpperEdgeSection][29], -0.7199051, 1e-7);
    EXPECT_NEAR(c.alpha[kUpperEdgeSection][29], 0.1394910, 1e-7);
    // The run-time set is the design set with the negations ready.
    for (int s = 0; s < 3; ++s)
        for (int k = 0; k < 30; ++k) {
            EXPECT_EQ(c.runAlpha[s][k], c.alpha[s][k]);
            EXPECT_EQ(c.runNegAlpha[s][k], -c.alpha[s][k]);
            EXPECT_EQ(c.runGamma[s][k], c.gamma[s][k]);
            EXPECT_EQ(c.runNegBeta[s][k], -c.beta[s][k]);
        }
}

// Peak band output over the last `frames` of a steady sine.
double settledPeak(MeterEffectProbe& e, int band, double frequency, double amplitude, float rate) {
    const auto n = static_cast<std::size_t>(rate);
    e.feed(sine(frequency, amplitude, rate, n), sine(frequency, amplitude, rate, n));
    const auto tail =
        sine(frequency, amplitude, rate, 2048, 2.0 * std::numbers::pi * frequency * n / rate);
    double peak = 0.0;
    std::vector<float> out(1);
    for (float x : tail) {
        float l = x, r = x;
        float* in[2] = {&l, &r};
        float* o[2] = {out.data(), out.data()};
        e.processReplacing(in, o, 1);
        peak = std::max(peak, std::fabs(static_cast<double>(e.output(0, band))));
    }
    return peak;
}

TEST(FilterBankResponse, SineOf1000HzPassesBand16AtHalfAmplitudeAndNotItsOctaveNeighbours) {
    for (double amplitude : {0.5, 0.01}) {
        auto e16 = makeProbe(), e13 = makeProbe(), e19 = makeProbe();
        EXPECT_NEAR(settledPeak(*e16, 16, 1000, amplitude, 44100) / amplitude, 0.5, 0.02);
        EXPECT_LT(settledPeak(*e13, 13, 1000, amplitude, 44100), 0.004 * amplitude);
        EXPECT_LT(settledPeak(*e19, 19, 1000, amplitude, 44100), 0.004 * amplitude);
    }
}

TEST(FilterBankResponse, SilenceSettlesAtThePositiveOffsetInBothChannels) {
    auto e = makeProbe();
    e->feed(test_signals::silence(44100 * 8), test_signals::silence(44100 * 8));
    const auto& c = e->coefficientsInUse();
    for (int k : {0, 16, 29}) {
        const double expected =
            1e-9 / (1.0 - 2.0 * c.gamma[kUpperEdgeSection][k] + 2.0 * c.beta[kUpperEdgeSection][k]);
        EXPECT_NEAR(e->output(0, k), expected, expected * 1e-2) << "band " << k;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(e->output(0, k)),
                  std::bit_cast<std::uint32_t>(e->output(1, k)));
        EXPECT_GT(e->sign(0, k), 0.0f);
    }
    EXPECT_NEAR(e->output(0, 16), 4e-8, 0.5e-8);
    EXPECT_NEAR(e->output(0, 0), 6e-5, 1e-5);
}

TEST(FilterBankResponse, SilenceReadsAsSilenceAtEveryRate) {
    EXPECT_EQ(makeProbe()->coefficientsInUse().sectionOffset, 1e-9);
    for (float rate : {44100.0f, 96000.0f, 192000.0f}) {
        auto e = makeProbe();
        e->setSampleRate(rate);
        const auto n = static_cast<std::size_t>(rate * 6);
        e->feed(test_signals::silence(n), test_signals::silence(n), 4096);
        for (int k = 0; k < 30; ++k) {
            EXPECT_EQ(e->getMeterValue(MeterEffect::kLevelMeter + k), 0.0f) << rate << " " << k;
            EXPECT_EQ(e->getMeterValue(MeterEffect::kBalanceMeter + k), 0.5f) << rate << " " << k;
            EXPECT_GT(e->output(0, k), 0.0f) << "the offset keeps silent bands positive";
        }
        // The lowest band's offset stays where it is at 44.1 kHz.
        EXPECT_NEAR(e->output(0, 0), 6.2e-5, 1.5e-5) << rate;
    }
}

int loudestBand(const MeterEffectProbe& e) {
    int best = 0;
    for (int k = 1; k < 30; ++k)
        if (e.level(0, k) > e.level(0, best)) best = k;
    return best;
}

class FilterBankRedesign : public ::testing::TestWithParam<float> {};

TEST_P(FilterBankRedesign, SineOf1000HzLandsInBand16) {
    const float rate = GetParam();
    auto e = makeProbe();
    e->setSampleRate(rate);
    EXPECT_EQ(e->designRate(), 44100.0f) << "the new set is taken up by the next block";
    const auto n = static_cast<std::size_t>(rate * 1.5);
    e->feed(sine(1000, 0.5, rate, n), sine(1000, 0.5, rate, n));
    EXPECT_EQ(e->designRate(), rate);
    EXPECT_EQ(e->coefficientsInUse().rate, rate);
    EXPECT_EQ(loudestBand(*e), 16);
    // The level reads what it reads at 44.1 kHz: 1.85 * 0.5 * 2/pi * A, about 0.59 A.
    EXPECT_NEAR(e->level(0, 16), 0.59 * 0.5, 0.01);
    EXPECT_LT(e->level(0, 13), 0.02 * e->level(0, 16));
    EXPECT_LT(e->level(0, 19), 0.02 * e->level(0, 16));
}

INSTANTIATE_TEST_SUITE_P(Rates, FilterBankRedesign,
                         ::testing::Values(44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f),
                         [](const auto& info) {
                             return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

bool sameCoefficients(const FilterBankCoefficients& a, const FilterBankCoefficients& b) {
    return a.rate == b.rate && std::memcmp(a.alpha, b.alpha, sizeof a.alpha) == 0 &&
           std::memcmp(a.beta, b.beta, sizeof a.beta) == 0 &&
           std::memcmp(a.gamma, b.gamma, sizeof a.gamma) == 0 &&
           std::memcmp(a.runAlpha, b.runAlpha, sizeof a.runAlpha) == 0 &&
           std::memcmp(a.runNegAlpha, b.runNegAlpha, sizeof a.runNegAlpha) == 0 &&
           std::memcmp(a.runGamma, b.runGamma, sizeof a.runGamma) == 0 &&
           std::memcmp(a.runNegBeta, b.runNegBeta, sizeof a.runNegBeta) == 0;
}

FilterBankCoefficients designedFor(float rate) {
    auto e = makeProbe();
    e->setSampleRate(rate);
    e->feed(test_signals::silence(1), test_signals::silence(1));
    return e->coefficientsInUse();
}

TEST(FilterBankRedesign, QuickSuccessionOfRatesEndsWithTheLastOne) {
    const auto at44 = makeProbe()->coefficientsInUse();
    const auto at96 = designedFor(96000.0f);
    // Two changes before any block: the last one wins, including a return to 44.1 kHz.
    {
        auto e = makeProbe();
        e->setSampleRate(48000.0f);
        e->setSampleRate(96000.0f);
        e->feed(test_signals::silence(8), test_signals::silence(8));
        EXPECT_TRUE(sameCoefficients(e->coefficientsInUse(), at96));
        EXPECT_EQ(e->designRate(), 96000.0f);
    }
    {
        auto e = makeProbe();
        e->setSampleRate(48000.0f);
        e->setSampleRate(44100.0f);
        e->feed(test_signals::silence(8), test_signals::silence(8));
        EXPECT_TRUE(sameCoefficients(e->coefficientsInUse(), at44));
        EXPECT_EQ(e->designRate(), 44100.0f);
    }
    // Many changes between blocks: every block uses the rate set before it, and going back
    // to 44.1 kHz restores the original coefficients exactly.
    {
        auto e = makeProbe();
        for (float rate : {48000.0f, 96000.0f, 48000.0f, 192000.0f, 44100.0f, 96000.0f}) {
            e->setSampleRate(rate);
            e->feed(test_signals::silence(4), test_signals::silence(4));
            EXPECT_EQ(e->designRate(), rate);
            EXPECT_EQ(e->lastRate(), rate);
        }
        EXPECT_TRUE(sameCoefficients(e->coefficientsInUse(), at96));
        e->setBlockSizeAndSampleRate(256, 44100.0f);
        e->feed(test_signals::silence(4), test_signals::silence(4));
        EXPECT_TRUE(sameCoefficients(e->coefficientsInUse(), at44));
        EXPECT_EQ(e->currentBlockSize(), 256);
    }
}

TEST(FilterBankRedesign, UnusableRatesKeepTheLastUsableOne) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto e = makeProbe();
    e->setSampleRate(48000.0f);
    e->feed(sine(1000, 0.5, 48000, 4800), sine(1000, 0.5, 48000, 4800));
    const float levelFactor = e->levelFactor();
    for (float rate : {0.0f, -0.0f, -48000.0f, nan, inf, -inf, 1e-45f, 1.0f, 3e38f}) {
        e->setSampleRate(rate);
        e->setBlockSizeAndSampleRate(512, rate);
        EXPECT_EQ(e->currentSampleRate(), 48000.0f) << rate;
        e->feed(sine(1000, 0.5, 48000, 480), sine(1000, 0.5, 48000, 480));
        EXPECT_EQ(e->designRate(), 48000.0f) << rate;
        EXPECT_EQ(e->levelFactor(), levelFactor) << rate;
        EXPECT_TRUE(std::isfinite(e->level(0, 16))) << rate;
    }
    EXPECT_EQ(loudestBand(*e), 16);
}

TEST(FilterBankRedesign, BandsBeyondWhatALowRateCanHoldReadSilenceInsteadOfOverflowing) {
    // At 8 kHz the sections of the top bands are tuned so far above Nyquist that their
    // coefficients would be unstable; those sections are switched off.
    auto e = makeProbe();
    e->setSampleRate(8000.0f);
    e->feed(test_signals::noise(0.9, 8000 * 20, 11), test_signals::noise(0.9, 8000 * 20, 12));
    EXPECT_GT(e->coefficientsInUse().mutedSections, 0);
    for (int k = 0; k < 30; ++k) {
        for (int ch = 0; ch < 2; ++ch) {
            const auto h = e->bandHistory(ch, k);
            EXPECT_TRUE(std::isfinite(h.x1) && std::isfinite(h.y1[0]) && std::isfinite(h.y1[1]) &&
                        std::isfinite(h.y1[2]))
                << "band " << k;
            EXPECT_TRUE(std::isfinite(e->levelSum(ch, k))) << "band " << k;
        }
        EXPECT_GE(e->getMeterValue(MeterEffect::kBalanceMeter + k), 0.0f);
    }
    EXPECT_LT(e->level(0, 29), 1e-6f);
    EXPECT_GT(e->level(0, 20), 1e-3f); // bands below Nyquist still measure
    // Every usual rate keeps every section.
    for (float rate :
         {11025.0f, 16000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 384000.0f})
        EXPECT_EQ(designedFor(rate).mutedSections, 0) << rate;
}

} // namespace
