// The five value-to-text helpers.

#include "test_effects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

struct Formatter {
    DefaultEffect effect;
    char text[64];

    std::string floatText(float v) {
        return run([&] { effect.formatFloat(v, text); });
    }
    std::string integer(std::int32_t v) {
        return run([&] { effect.formatInteger(v, text); });
    }
    std::string decibels(float v) {
        return run([&] { effect.formatDecibels(v, text); });
    }
    std::string hertz(float v) {
        return run([&] { effect.formatHertz(v, text); });
    }
    std::string ms(float v) {
        return run([&] { effect.formatMilliseconds(v, text); });
    }

    template <typename F> std::string run(F f) {
        std::memset(text, '#', sizeof text);
        f();
        EXPECT_LE(std::strlen(text), 8u) << "at most 8 characters";
        return text;
    }
};

TEST(FormatFloat, DocumentedExamples) {
    Formatter f;
    EXPECT_EQ(f.floatText(0.5f), "0.500000");
    EXPECT_EQ(f.floatText(12.25f), "12.25000");
    EXPECT_EQ(f.floatText(-3.0f), "-3.00000");
    EXPECT_EQ(f.floatText(1234567.0f), "1234567.");
    EXPECT_EQ(f.floatText(0.0f), "0.000000");
    EXPECT_EQ(f.floatText(100000000.0f), "Huge!");
    EXPECT_EQ(f.floatText(-10000000.0f), "Huge!");
}

TEST(FormatFloat, DigitsAreTruncatedNotRounded) {
    Formatter f;
    EXPECT_EQ(f.floatText(0.9999999f), "0.999999");
    EXPECT_EQ(f.floatText(-0.75f), "-0.75000");
    EXPECT_EQ(f.floatText(999999.9f), "999999.8"); // stored as 999999.875
}

TEST(FormatFloat, NeverDropsTheLeadingDigit) {
    Formatter f;
    // The largest values whose integer digits still fit beside sign and point.
    EXPECT_EQ(f.floatText(9999999.0f), "9999999.");
    EXPECT_EQ(f.floatText(-999999.0f), "-999999.");
    // One digit more would have lost its leading digit: such values are too big to show.
    EXPECT_EQ(f.floatText(10000000.0f), "Huge!");
    EXPECT_EQ(f.floatText(99999999.0f), "Huge!");
    EXPECT_EQ(f.floatText(-1000000.0f), "Huge!");
    EXPECT_EQ(f.floatText(-9999999.0f), "Huge!");
    EXPECT_EQ(f.floatText(INFINITY), "Huge!");
    EXPECT_EQ(f.floatText(-INFINITY), "Huge!");
    EXPECT_EQ(f.floatText(NAN), "NaN");
}

TEST(FormatInteger, PaddedToSevenAndCut) {
    Formatter f;
    EXPECT_EQ(f.integer(42), "     42");
    EXPECT_EQ(f.integer(100000000), "Huge!");
    EXPECT_EQ(f.integer(99999999), "99999999");
    EXPECT_EQ(f.integer(-5), "     -5");
    EXPECT_EQ(f.integer(-123456789), "-1234567");
}

TEST(FormatDerived, DecibelsHertzMilliseconds) {
    Formatter f;
    EXPECT_EQ(f.decibels(0.0f), "-oo");
    EXPECT_EQ(f.decibels(-1.0f), "-oo");
    EXPECT_EQ(f.decibels(NAN), "-oo");
    EXPECT_EQ(f.decibels(1.0f), "0.000000");
    EXPECT_EQ(f.decibels(10.0f), "20.00000");
    EXPECT_EQ(f.hertz(0.0f), "0.000000");
    EXPECT_EQ(f.hertz(441.0f), "100.0000");
    EXPECT_EQ(f.ms(44100.0f), "1000.000");
    f.effect.setSampleRate(0.0f);
    EXPECT_EQ(f.ms(1.0f), "Huge!");
}

TEST(FormatDerived, DecibelsGoThroughTheVirtualFormatFloat) {
    struct Marked : DefaultEffect {
        void formatFloat(float, char* text) override { std::strcpy(text, "marked"); }
    } effect;
    char text[16];
    effect.formatDecibels(2.0f, text);
    EXPECT_STREQ(text, "marked");
    effect.formatHertz(2.0f, text);
    EXPECT_STREQ(text, "marked");
}

} // namespace
