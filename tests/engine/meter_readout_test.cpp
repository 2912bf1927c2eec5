// The meter query: the two tables, the five values per band with their parameters, the final
// clamp and indices outside the table.

#include "meter_effect_probe.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

constexpr int kBand = 7;
float balance(MeterEffectProbe& e) {
    return e.getMeterValue(MeterEffect::kBalanceMeter + kBand);
}
float level(MeterEffectProbe& e) {
    return e.getMeterValue(MeterEffect::kLevelMeter + kBand);
}
float highlight(MeterEffectProbe& e) {
    return e.getMeterValue(MeterEffect::kHighlightMeter + kBand);
}

TEST(MeterTables, EntriesAtTheEndsAndAroundTheSilenceCut) {
    auto e = makeProbe();
    EXPECT_EQ(e->dbTable(0), 0.0f);
    EXPECT_NEAR(e->dbTable(1), -34.31, 0.005);
    EXPECT_EQ(e->dbTable(32767), 56.0f);
    EXPECT_NEAR(e->dbTable(16384), 56.0 - 6.0206, 1e-3);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(e->normTable(i), 0.0f) << i;
    EXPECT_NEAR(e->normTable(50), -0.00588, 1e-5);
    EXPECT_NEAR(e->normTable(51), -0.00281, 1e-5);
    EXPECT_NEAR(e->normTable(52), 0.0002, 1e-5);
    EXPECT_EQ(e->normTable(32767), 1.0f);
    for (int i = 53; i < 32768; i += 97)
        EXPECT_GT(e->normTable(i), e->normTable(i - 1));
}

TEST(MeterQuery, IndicesOutsideTheMetersReadZero) {
    auto e = makeProbe();
    e->setParameter(MeterEffect::kEdgeTaper, 0.8f);
    for (int k = 0; k < 30; ++k)
        e->setLevels(k, 0.2f, 0.1f);
    for (int i : {INT_MIN, -1000, -1, 0, 5, 10, 161, 162, 1000, INT_MAX})
        EXPECT_EQ(e->getMeterValue(i), 0.0f) << i;
    EXPECT_EQ(e->getMeterValue(130), 0.8f);
    EXPECT_GT(e->getMeterValue(160), 0.0f - 1.0f);
    EXPECT_GT(e->getMeterValue(11), 0.0f);
}

TEST(MeterQuery, BalanceFollowsTheDecibelDifference) {
    auto e = makeProbe();
    e->setLevels(kBand, 0.1f, 0.1f);
    EXPECT_EQ(balance(*e), 0.5f);
    e->setLevels(kBand, 0.05f, 0.1f);
    EXPECT_NEAR(balance(*e), 0.7343, 1e-4);
    e->setLevels(kBand, 0.1f, 0.05f);
    EXPECT_NEAR(balance(*e), 0.2657, 1e-4);
    e->setLevels(kBand, 0.0f, 0.1f);
    EXPECT_EQ(balance(*e), 1.0f);
    e->setLevels(kBand, 0.1f, 0.0f);
    EXPECT_EQ(balance(*e), 0.0f);
    e->setLevels(kBand, 0.0f, 0.0f);
    EXPECT_EQ(balance(*e), 0.5f);
    // 3 dB moves a quarter of the way out, 18 dB reaches the edge.
    const float base = 0.01f;
    e->setLevels(kBand, base, base * std::pow(10.0f, 3.0f / 20.0f));
    EXPECT_NEAR(balance(*e), 0.625, 0.002);
    e->setLevels(kBand, base, base * std::pow(10.0f, 18.0f / 20.0f));
    EXPECT_NEAR(balance(*e), 1.0, 0.002);
    // Averages beyond full scale stay on the table.
    e->setLevels(kBand, 5.0f, 1e30f);
    EXPECT_EQ(balance(*e), 0.5f);
}

TEST(MeterQuery, LevelFollowsItsCurve) {
    auto e = makeProbe();
    e->setLevels(kBand, 0.125f, 0.125f);
    EXPECT_NEAR(level(*e), 0.92697, 1e-5);
    e->setLevels(kBand, 0.25f, 0.25f);
    EXPECT_EQ(level(*e), 1.0f);
    e->setLevels(kBand, 0.0f, 0.0f);
    EXPECT_EQ(level(*e), 0.0f);
    e->setLevels(kBand, 0.01f, 0.01f);
    EXPECT_NEAR(level(*e), 0.6305, 1e-4);
    e->setParameter(MeterEffect::kLevelCurve, 0.0f);
    EXPECT_NEAR(level(*e), 0.2507, 1e-4);
    e->setParameter(MeterEffect::kLevelCurve, 1.0f);
    EXPECT_NEAR(level(*e), 0.7583, 1e-4);
    // The slightly negative entries just above the silence cut never read below 0, whatever
    // the exponent.
    for (float curve : {0.25f, 0.5f, 0.75f}) {
        e->setParameter(MeterEffect::kLevelCurve, curve);
        for (float avg : {25.2f / 65534.0f, 25.7f / 65534.0f}) {
            e->setLevels(kBand, avg, avg);
            EXPECT_EQ(level(*e), 0.0f) << curve << " " << avg;
        }
    }
}

TEST(MeterQuery, HighlightIsDarkUntilItsCurveIsRaised) {
    auto e = makeProbe();
    for (float avg : {0.0f, 0.01f, 0.125f, 0.25f, 10.0f}) {
        e->setLevels(kBand, avg, avg);
        EXPECT_EQ(highlight(*e), 0.0f) << avg;
    }
    e->setParameter(MeterEffect::kHighlightCurve, 0.5f);
    e->setLevels(kBand, 0.125f, 0.125f);
    EXPECT_EQ(highlight(*e), e->normTable(16383));
    e->setLevels(kBand, 0.25f, 0.25f);
    EXPECT_EQ(highlight(*e), 1.0f);
}

TEST(MeterQuery, SpreadAndTaperAreScaledAndClamped) {
    auto e = makeProbe();
    e->setAntiPhase(kBand, 0.4f);
    const int spread = MeterEffect::kSpreadMeter + kBand;
    EXPECT_FLOAT_EQ(e->getMeterValue(spread), 0.4f);
    e->setParameter(MeterEffect::kSpreadGain, 0.5f);
    EXPECT_FLOAT_EQ(e->getMeterValue(spread), 0.2f);
    e->setAntiPhase(kBand, 0.8f);
    e->setParameter(MeterEffect::kSpreadGain, 2.0f);
    EXPECT_EQ(e->getMeterValue(spread), 1.0f);
    e->setParameter(MeterEffect::kSpreadGain, -1.0f);
    EXPECT_EQ(e->getMeterValue(spread), 0.0f);

    e->setParameter(MeterEffect::kEdgeTaper, 0.3f);
    for (int i = 101; i <= 130; ++i)
        EXPECT_EQ(e->getMeterValue(i), 0.3f) << i;
    e->setParameter(MeterEffect::kEdgeTaper, 1.5f);
    for (int i = 101; i <= 130; ++i)
        EXPECT_EQ(e->getMeterValue(i), 1.0f) << i;
    e->setParameter(MeterEffect::kEdgeTaper, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(e->getMeterValue(101), 0.0f);
    e->setParameter(MeterEffect::kEdgeTaper, -0.1f);
    EXPECT_EQ(e->getMeterValue(101), 0.0f);
}

TEST(MeterQuery, EveryValueStaysInTheUnitRangeForAnyParameters) {
    auto e = makeProbe();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float odd[] = {0.0f, -0.25f, -1.0f, 0.5f, 1.0f, 100.0f, nan, inf, -inf};
    const float averages[] = {0.0f, 1e-6f, 0.01f, 0.3f, 1e30f};
    for (float p : odd) {
        for (int index = MeterEffect::kSpreadGain; index <= MeterEffect::kHighlightCurve; ++index)
            e->setParameter(index, p);
        for (float l : averages)
            for (float r : averages) {
                e->setLevels(kBand, l, r);
                e->setAntiPhase(kBand, r);
                for (int i = 11; i < 161; i += 30) {
                    const float v = e->getMeterValue(i + kBand);
                    EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << i << " p=" << p << " l=" << l;
                }
            }
    }
}

} // namespace
