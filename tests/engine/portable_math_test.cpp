// The engine's own maths against the platform's, and against identities that a correctly
// rounded function must meet exactly.

#include "engine/portable_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

std::int64_t orderedBits(double d) {
    std::int64_t i;
    std::memcpy(&i, &d, sizeof i);
    return i < 0 ? std::numeric_limits<std::int64_t>::min() - i : i;
}

// How many doubles lie between a and b.
std::int64_t ulpsApart(double a, double b) {
    const std::int64_t d = orderedBits(a) - orderedBits(b);
    return d < 0 ? -d : d;
}

struct Lcg {
    std::uint64_t state = 42;
    double unit() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) / 9007199254740992.0;
    }
};

// Correctly rounded results lie within half an ulp, the platform's within `platformUlps` (one
// for glibc's sin, cos, tan and pow, two for its log10): the two may differ by that, never
// more; and on the dense grid seldom at all.
template <typename Mine, typename Theirs>
void expectCloseToPlatform(const char* name, Mine mine, Theirs theirs, double low, double high,
                           int platformUlps = 1) {
    Lcg random;
    constexpr int kCount = 200000;
    int differing = 0;
    for (int i = 0; i < kCount; ++i) {
        const double x = low + (high - low) * random.unit();
        const double a = mine(x), b = theirs(x);
        ASSERT_LE(ulpsApart(a, b), platformUlps)
            << name << "(" << x << "): " << a << " against " << b;
        if (a != b) ++differing;
    }
    EXPECT_LT(differing, kCount / 3) << name;
}

} // namespace

TEST(PortableMath, TrigonometryAgreesWithThePlatformWithinOneUlp) {
    expectCloseToPlatform(
        "sin", portable::sin, [](double x) { return std::sin(x); }, -20, 20);
    expectCloseToPlatform(
        "cos", portable::cos, [](double x) { return std::cos(x); }, -20, 20);
    expectCloseToPlatform(
        "tan", portable::tan, [](double x) { return std::tan(x); }, -20, 20);
    // The demo signal's arguments reach 8e5.
    expectCloseToPlatform(
        "sin", portable::sin, [](double x) { return std::sin(x); }, -1e6, 1e6);
    expectCloseToPlatform(
        "cos", portable::cos, [](double x) { return std::cos(x); }, -1e6, 1e6);
    // Small arguments and those near the quadrant boundaries.
    expectCloseToPlatform(
        "tan", portable::tan, [](double x) { return std::tan(x); }, -1e-6, 1e-6);
    expectCloseToPlatform(
        "cos", portable::cos, [](double x) { return std::cos(x); }, 1.5707, 1.5709);
}

TEST(PortableMath, LogarithmAgreesWithThePlatformAndIsExactOnPowersOfTen) {
    expectCloseToPlatform(
        "log10", portable::log10, [](double x) { return std::log10(x); }, 1e-5, 1.0, 2);
    expectCloseToPlatform(
        "log10", portable::log10, [](double x) { return std::log10(x); }, 0.5, 2.0, 2);
    expectCloseToPlatform(
        "log10", portable::log10, [](double x) { return std::log10(x); }, 1.0, 1e300, 2);
    double power = 1.0;
    for (int k = 0; k <= 22; ++k) { // 10^k is exact up to 10^22
        EXPECT_EQ(portable::log10(power), k);
        power *= 10.0;
    }
    EXPECT_EQ(portable::log10(1.0), 0.0);
    EXPECT_EQ(portable::log10(0.0), -HUGE_VAL);
    EXPECT_TRUE(std::isnan(portable::log10(-1.0)));
    EXPECT_EQ(portable::log10(HUGE_VAL), HUGE_VAL);
    EXPECT_LE(ulpsApart(portable::log10(0x1p-1074), std::log10(0x1p-1074)), 1);
}

TEST(PortableMath, PowerIsExactWhereTheResultIsAProductOrARoot) {
    Lcg random;
    for (int i = 0; i < 100000; ++i) {
        const double x = random.unit() * 4.0;
        if (x == 0.0) continue;
        EXPECT_EQ(portable::pow(x, 1.0), x) << x;
        EXPECT_EQ(portable::pow(x, 2.0), x * x) << x;
        EXPECT_EQ(portable::pow(x, 0.5), std::sqrt(x)) << x;
        EXPECT_EQ(portable::pow(x, -1.0), 1.0 / x) << x;
        const float f = static_cast<float>(x);
        // A float cubed has at most 72 bits; its nearest double is the product rounded once.
        const double cube = static_cast<double>(f) * static_cast<double>(f) * f;
        EXPECT_LE(ulpsApart(portable::pow(f, 3.0), cube), 1) << f;
    }
}

TEST(PortableMath, PowerAgreesWithThePlatformOnTheCurvesAndBeyond) {
    Lcg random;
    for (int i = 0; i < 200000; ++i) {
        const double x = random.unit();
        const double y = 0.4 + 1.6 * random.unit();
        ASSERT_LE(ulpsApart(portable::pow(x, y), std::pow(x, y)), 1) << x << " " << y;
        const double wideX = random.unit() * 2.0;
        const double wideY = (random.unit() * 2.0 - 1.0) * 300.0;
        ASSERT_LE(ulpsApart(portable::pow(wideX, wideY), std::pow(wideX, wideY)), 1)
            << wideX << " " << wideY;
    }
    // Results in the subnormal range are rounded once.
    for (int i = 0; i < 20000; ++i) {
        const double x = 0.5 + 0.5 * random.unit();
        const double y = 1074.0 / -std::log2(x) * (0.98 + 0.03 * random.unit());
        ASSERT_LE(ulpsApart(portable::pow(x, y), std::pow(x, y)), 1) << x << " " << y;
    }
}

// powToFloat is the float of pow to the bit: on the meter curves over the whole level table,
// on wide random arguments, at and next to points halfway between two floats (where the
// short path must give way), and at the special values.
TEST(PortableMath, PowerToFloatIsThePowersFloat) {
    const auto same = [](double x, double y) {
        const float fast = portable::powToFloat(x, y);
        const float slow = static_cast<float>(portable::pow(x, y));
        std::uint32_t a, b;
        std::memcpy(&a, &fast, sizeof a);
        std::memcpy(&b, &slow, sizeof b);
        return a == b || (std::isnan(fast) && std::isnan(slow));
    };
    constexpr float kStep = 3.0518509e-05f;
    std::vector<float> table(32768);
    for (int i = 1; i < 32768; ++i)
        table[i] = static_cast<float>(
            (56.0 + 20.0 * portable::log10(i * static_cast<double>(kStep))) * 0.017857142857142856);
    for (int c = 0; c <= 40; ++c) {
        const float curve = c / 40.0f;
        const double level = 1.0 / (2.0 * curve + 0.5), highlight = 1.0 / (2.0 * curve);
        for (int q = 50; q < 32768; ++q) {
            ASSERT_TRUE(same(table[q], level)) << q << " " << level;
            if (c > 0) {
                ASSERT_TRUE(same(table[q], highlight)) << q << " " << highlight;
            }
        }
    }
    Lcg random;
    for (int i = 0; i < 100000; ++i) {
        const double x = random.unit() * 2.0, y = (random.unit() * 2.0 - 1.0) * 300.0;
        ASSERT_TRUE(same(x, y)) << x << " " << y;
        const double wideX =
            std::ldexp(random.unit(), static_cast<int>(random.unit() * 2000) - 1000);
        const double wideY = (random.unit() * 2.0 - 1.0) * 70000.0 * random.unit();
        ASSERT_TRUE(same(wideX, wideY)) << wideX << " " << wideY;
        // m is halfway between two floats (25 bits), m^2 has at most 50: its square root is a
        // tie, and the doubles next to m^2 lie a hair either side of one.
        const double m = (0x800000 + std::floor(random.unit() * 0x800000)) * 2.0 + 1.0;
        const double square = std::ldexp(m * m, -50 - 2 * static_cast<int>(random.unit() * 100));
        for (const double x2 :
             {square, std::nextafter(square, 0.0), std::nextafter(square, HUGE_VAL)})
            ASSERT_TRUE(same(x2, 0.5)) << x2;
    }
    const double inf = HUGE_VAL, nan = NAN;
    for (const double x : {0.0, -0.0, -0.5, -2.0, 1.0, 0x1p-1074, 0x1p-1030, inf, -inf, nan})
        for (const double y : {0.0, 0.5, 1.0, 3.0, -3.0, 2.0, 1e6, -1e6, inf, -inf, nan})
            EXPECT_TRUE(same(x, y)) << x << " " << y;
}

TEST(PortableMath, SpecialValuesFollowTheCLibrary) {
    const double inf = HUGE_VAL;
    const double cases[][2] = {{0.0, 2.0},   {0.0, -2.0},   {-0.0, 3.0}, {-0.0, -3.0}, {-2.0, 3.0},
                               {-2.0, 2.0},  {1.0, NAN},    {NAN, 0.0},  {0.5, inf},   {0.5, -inf},
                               {2.0, inf},   {-1.0, inf},   {inf, -1.0}, {-inf, 3.0},  {-inf, 2.0},
                               {1e300, 2.0}, {1e-300, 2.0}, {0.25, 0.5}};
    for (const auto& c : cases) {
        const double mine = portable::pow(c[0], c[1]);
        const double theirs = std::pow(c[0], c[1]);
        EXPECT_EQ(std::signbit(mine), std::signbit(theirs)) << c[0] << " " << c[1];
        if (std::isnan(theirs))
            EXPECT_TRUE(std::isnan(mine)) << c[0] << " " << c[1];
        else
            EXPECT_EQ(mine, theirs) << c[0] << " " << c[1];
    }
    EXPECT_TRUE(std::isnan(portable::pow(-2.0, 0.5)));
    EXPECT_TRUE(std::isnan(portable::sin(inf)));
    EXPECT_TRUE(std::isnan(portable::cos(-inf)));
    EXPECT_TRUE(std::isnan(portable::tan(NAN)));
    EXPECT_EQ(portable::sin(-0.0), -0.0);
    EXPECT_TRUE(std::signbit(portable::sin(-0.0)));
    EXPECT_EQ(portable::cos(0.0), 1.0);
}

// What the engine builds from them: the level tables, the curves and the filter bank's
// coefficients, made with the platform's functions and with the engine's, to the bit.
TEST(PortableMath, EngineTablesEqualThoseOfThePlatformsFunctions) {
    constexpr float kStep = 3.0518509e-05f;
    std::vector<float> mineTable(32768), theirsTable(32768);
    for (int i = 1; i < 32768; ++i) {
        const double x = i * static_cast<double>(kStep);
        const float mine = static_cast<float>(56.0 + 20.0 * portable::log10(x));
        const float theirs = static_cast<float>(56.0 + 20.0 * std::log10(x));
        ASSERT_EQ(mine, theirs) << i;
        mineTable[i] =
            static_cast<float>((56.0 + 20.0 * portable::log10(x)) * 0.017857142857142856);
        theirsTable[i] = static_cast<float>((56.0 + 20.0 * std::log10(x)) * 0.017857142857142856);
        ASSERT_EQ(mineTable[i], theirsTable[i]) << i;
    }
    for (int c = 1; c <= 40; ++c) {
        const double e = 1.0 / (2.0 * (c / 40.0f) + 0.5);
        for (int q = 52; q < 32768; ++q)
            ASSERT_EQ(static_cast<float>(portable::pow(mineTable[q], e)),
                      static_cast<float>(std::pow(theirsTable[q], e)))
                << q << " " << e;
    }
    const float centres[] = {25, 63, 250, 1000, 4000, 12500, 20000};
    const float factors[] = {2.0f, 1.782f, 2.244f};
    for (int rate = 1000; rate <= 384000; rate += 97) {
        for (const float f : centres) {
            for (const float factor : factors) {
                const double theta =
                    f * static_cast<double>(3.1415927f) * static_cast<double>(factor) / rate;
                const double x = theta * static_cast<double>(0.11547344f);
                const double mineT = portable::tan(x), theirsT = std::tan(x);
                const double mineB = 0.5 * (1.0 - mineT) / (1.0 + mineT);
                const double theirsB = 0.5 * (1.0 - theirsT) / (1.0 + theirsT);
                ASSERT_EQ(static_cast<float>(mineB), static_cast<float>(theirsB))
                    << rate << " " << f;
                ASSERT_EQ(static_cast<float>((0.5 + mineB) * portable::cos(theta)),
                          static_cast<float>((0.5 + theirsB) * std::cos(theta)))
                    << rate << " " << f;
            }
        }
    }
}
