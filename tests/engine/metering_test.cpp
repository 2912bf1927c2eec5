// Block processing: the pass-through, the level and anti-phase averages, the smoothing
// factors, and what non-finite input does to them.

#include "host/meter_interface.h"
#include "meter_effect_probe.h"
#include "test_signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace {

using namespace test_signals;

std::uint32_t bits(float v) {
    return std::bit_cast<std::uint32_t>(v);
}

TEST(BlockProcessing, EmptyOrNegativeBlocksTouchNothing) {
    auto e = makeProbe();
    std::vector<float> inL(8, 0.5f), inR(8, -0.5f), outL(8, 7.0f), outR(8, 7.0f);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    for (std::int32_t frames : {0, -1, -512}) {
        e->processReplacing(in, out, frames);
        e->process(in, out, frames);
    }
    EXPECT_EQ(outL, std::vector<float>(8, 7.0f));
    EXPECT_EQ(outR, std::vector<float>(8, 7.0f));
    EXPECT_EQ(e->lastRate(), 0.0f) << "nothing was measured";
    // Missing buffers are no crash either.
    e->processReplacing(nullptr, out, 8);
    float* half[2] = {inL.data(), nullptr};
    e->processReplacing(half, out, 8);
    e->process(in, nullptr, 8);
    EXPECT_EQ(outL, std::vector<float>(8, 7.0f));
}

TEST(BlockProcessing, ProcessReplacesTheOutputAndMeasuresNothing) {
    auto e = makeProbe();
    auto l = noise(0.5, 1000, 1), r = noise(0.5, 1000, 2);
    e->feed(l, r);
    std::vector<float> outL(1000, 3.0f), outR(1000, -3.0f);
    float* in[2] = {l.data(), r.data()};
    float* out[2] = {outL.data(), outR.data()};
    std::vector<float> before;
    for (int i = 0; i < 161; ++i)
        before.push_back(e->getMeterValue(i));
    e->process(in, out, 1000);
    EXPECT_EQ(outL, l);
    EXPECT_EQ(outR, r);
    for (int i = 0; i < 161; ++i)
        EXPECT_EQ(e->getMeterValue(i), before[i]) << i;
}

TEST(BlockProcessing, OutputIsTheInputEvenInPlaceAndTheMeasurementIsTheSame) {
    auto separate = makeProbe(), inPlace = makeProbe();
    const auto s = mixedProgramme(44100, 1.0);
    separate->feed(s.left, s.right);
    std::vector<float> l = s.left, r = s.right;
    for (std::size_t n = 0; n < l.size(); n += 512) {
        float* io[2] = {l.data() + n, r.data() + n};
        inPlace->processReplacing(
            io, io, static_cast<std::int32_t>(std::min<std::size_t>(512, l.size() - n)));
    }
    // Bit for bit, non-finite samples included.
    EXPECT_EQ(std::memcmp(l.data(), s.left.data(), l.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(r.data(), s.right.data(), r.size() * sizeof(float)), 0);
    for (int k = 0; k < 30; ++k) {
        EXPECT_EQ(bits(separate->level(0, k)), bits(inPlace->level(0, k)));
        EXPECT_EQ(bits(separate->antiPhase(k)), bits(inPlace->antiPhase(k)));
    }
}

TEST(Metering, SmoothingFactorsFollowTheRateFromTheFirstSampleOn) {
    auto e = makeProbe();
    EXPECT_EQ(e->levelFactor(), 0.0f);
    EXPECT_EQ(e->antiPhaseFactor(), 0.0f);
    e->feed(silence(1), silence(1));
    EXPECT_EQ(e->lastRate(), 44100.0f);
    EXPECT_EQ(e->levelFactor(), static_cast<float>(1.0 / (44100.0 * 0.2f)));
    EXPECT_EQ(e->antiPhaseFactor(), static_cast<float>(1.0 / (44100.0 * 0.3f)));
    e->setSampleRate(48000.0f);
    e->feed(silence(1), silence(1));
    EXPECT_EQ(e->lastRate(), 48000.0f);
    EXPECT_EQ(e->levelFactor(), static_cast<float>(1.0 / (48000.0 * 0.2f)));
    EXPECT_EQ(e->antiPhaseFactor(), static_cast<float>(1.0 / (48000.0 * 0.3f)));
}

TEST(Metering, LevelOfA1000HzSineSettlesNear059TimesItsAmplitude) {
    for (double amplitude : {1.0, 0.25}) {
        auto e = makeProbe();
        e->feed(sine(1000, amplitude, 44100, 44100 * 2), sine(1000, amplitude, 44100, 44100 * 2));
        EXPECT_NEAR(e->level(0, 16) / amplitude, 1.85 * 0.5 * 2.0 / std::numbers::pi, 0.015);
        EXPECT_EQ(bits(e->level(0, 16)), bits(e->level(1, 16)));
        // A time constant of 0.2 s: after 0.2 s of a step the average covers about 63 %.
        auto f = makeProbe();
        f->feed(sine(1000, amplitude, 44100, 8820), sine(1000, amplitude, 44100, 8820));
        EXPECT_NEAR(f->level(0, 16) / e->level(0, 16), 0.63, 0.05);
    }
}

// Where a silent band output settles: the last section's response to its own offset.
double silenceOffset(const MeterEffectProbe& e, int k) {
    const auto& c = e.coefficientsInUse();
    return 1e-9 / (1.0 - 2.0 * c.gamma[kUpperEdgeSection][k] + 2.0 * c.beta[kUpperEdgeSection][k]);
}

TEST(Metering, IdenticalInvertedAndOneSidedChannels) {
    const auto music = noise(0.5, 44100 * 3, 5);
    {
        auto e = makeProbe();
        e->feed(music, music);
        for (int k = 0; k < 30; ++k) {
            EXPECT_EQ(e->antiPhase(k), 0.0f) << k;
            EXPECT_EQ(e->differ(k), 0.0f) << k;
            EXPECT_EQ(bits(e->level(0, k)), bits(e->level(1, k))) << k;
        }
    }
    {
        auto e = makeProbe();
        e->feed(music, negated(music));
        for (int k = 0; k < 30; ++k) {
            EXPECT_GT(e->antiPhase(k), 0.95f) << k;
            // Equal but for the small positive offset every section adds.
            EXPECT_NEAR(e->level(0, k), e->level(1, k),
                        4.0 * silenceOffset(*e, k) + 1e-5 * e->level(0, k))
                << k;
        }
    }
    {
        auto e = makeProbe();
        e->feed(music, silence(music.size()));
        for (int k = 0; k < 30; ++k) {
            EXPECT_NEAR(e->antiPhase(k), 0.5f, 0.08f) << k;
            EXPECT_EQ(e->sign(1, k), 1.0f) << "the silent side sits at its positive offset";
            EXPECT_NEAR(e->level(1, k), 1.85 * silenceOffset(*e, k), 0.01 * silenceOffset(*e, k))
                << k;
            EXPECT_GT(e->level(0, k), 10.0f * e->level(1, k)) << k;
        }
    }
}

TEST(Metering, NonFiniteSamplesAreMeasuredAsSilenceAndPassedOnUnchanged) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto before = noise(0.5, 22050, 21), after = sine(440, 0.5, 44100, 44100);
    auto burst = noise(0.5, 300, 22);
    for (std::size_t n = 0; n < burst.size(); ++n)
        burst[n] = n % 3 == 0 ? nan : (n % 3 == 1 ? inf : -inf);
    const auto poisoned = concat({before, burst, after});
    const auto clean = concat({before, silence(burst.size()), after});

    auto a = makeProbe(), b = makeProbe();
    std::vector<float> outL(poisoned.size()), outR(poisoned.size());
    std::vector<float> inR = poisoned;
    std::reverse(inR.begin(), inR.end()); // the burst reaches the right channel elsewhere
    auto cleanR = clean;
    std::reverse(cleanR.begin(), cleanR.end());
    for (std::size_t n = 0; n < poisoned.size(); n += 256) {
        const auto frames =
            static_cast<std::int32_t>(std::min<std::size_t>(256, poisoned.size() - n));
        float* in[2] = {const_cast<float*>(poisoned.data()) + n, inR.data() + n};
        float* out[2] = {outL.data() + n, outR.data() + n};
        a->processReplacing(in, out, frames);
    }
    b->feed(clean, cleanR);
    EXPECT_EQ(std::memcmp(outL.data(), poisoned.data(), outL.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(outR.data(), inR.data(), outR.size() * sizeof(float)), 0);
    for (int k = 0; k < 30; ++k)
        for (int ch = 0; ch < 2; ++ch) {
            EXPECT_EQ(bits(a->level(ch, k)), bits(b->level(ch, k))) << k;
            EXPECT_EQ(bits(a->levelSum(ch, k)), bits(b->levelSum(ch, k))) << k;
            const auto ha = a->bandHistory(ch, k);
            const auto hb = b->bandHistory(ch, k);
            EXPECT_EQ(std::memcmp(&ha, &hb, sizeof ha), 0) << k;
            EXPECT_EQ(bits(a->antiPhase(k)), bits(b->antiPhase(k))) << k;
        }
    EXPECT_GT(a->level(0, 16), 0.0f);
}

TEST(Metering, AbsurdlyLargeSamplesCannotOverflowAnyState) {
    auto e = makeProbe();
    e->setSampleRate(192000.0f);
    auto l = noise(1.0, 192000, 31), r = noise(1.0, 192000, 32);
    for (auto& v : l)
        v = v > 0 ? std::numeric_limits<float>::max() : -3e38f;
    for (auto& v : r)
        v *= 1e30f;
    e->feed(l, r);
    for (int k = 0; k < 30; ++k)
        for (int ch = 0; ch < 2; ++ch) {
            const auto h = e->bandHistory(ch, k);
            for (double v : {h.x1, h.x2, h.y1[0], h.y1[1], h.y1[2], h.y2[0], h.y2[1], h.y2[2],
                             e->levelSum(ch, k), static_cast<double>(e->level(ch, k))})
                ASSERT_TRUE(std::isfinite(v)) << "band " << k;
        }
    for (int i = 0; i < 161; ++i) {
        const float v = e->getMeterValue(i);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << i;
    }
    EXPECT_EQ(e->getMeterValue(MeterEffect::kLevelMeter + 16), 1.0f);
}

// A band centred at or above half the rate holds only aliases: a 1 kHz tone at 8 kHz lit the
// 6.3 to 12.5 kHz bands almost fully, and at 22.05 kHz the 20 kHz band. Such bands read as
// silence, marked as not carried; every other band reads what its averages say.
TEST(Metering, BandsAtOrAboveHalfTheRateReadSilenceAndTheOthersTheirAverages) {
    struct Case {
        float rate;
        int firstUncarried;
    };
    const Case cases[] = {
        {8000.0f, 22}, {16000.0f, 25}, {22050.0f, 27}, {32000.0f, 28}, {44100.0f, 30}};
    for (const Case& c : cases) {
        auto e = makeProbe();
        auto twin = makeProbe(); // at 44.1 kHz every band is carried
        for (auto* effect : {e.get(), twin.get()})
            effect->setParameter(MeterEffect::kHighlightCurve, 0.5f);
        e->setSampleRate(c.rate);
        const auto n = static_cast<std::size_t>(c.rate);
        e->feed(sine(1000, 0.5, c.rate, n),
                concat({noise(0.5, n / 2, 7), sine(1000, 0.5, c.rate, n - n / 2)}));
        EXPECT_GT(e->getMeterValue(MeterEffect::kLevelMeter + 16), 0.8f) << c.rate;
        for (int k = 0; k < 30; ++k) {
            const std::string where = std::to_string(c.rate) + " Hz, band " + std::to_string(k);
            ASSERT_TRUE(std::isfinite(e->level(0, k)) && std::isfinite(e->level(1, k)) &&
                        std::isfinite(e->antiPhase(k)))
                << where;
            twin->setLevels(k, e->level(0, k), e->level(1, k));
            twin->setAntiPhase(k, e->antiPhase(k));
            const bool carried = k < c.firstUncarried;
            const float expected[5] = {0.5f, 0.0f, 0.0f, kUncarriedBandTaper, 0.0f};
            for (int group = 0; group < 5; ++group) {
                const int index = MeterEffect::kBalanceMeter + 30 * group + k;
                const float want = carried ? twin->getMeterValue(index) : expected[group];
                EXPECT_EQ(bits(e->getMeterValue(index)), bits(want)) << where << " index " << index;
            }
        }
    }
}

} // namespace
