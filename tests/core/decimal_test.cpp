// Decimal integers in text: whole fields, digit runs and the C library's leading-number rule.

#include <gtest/gtest.h>

#include <climits>

#include "core/decimal.h"

namespace {

TEST(Decimal, WholeIntegerWithSignAndBlanks) {
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("  -7 "), -7);
    EXPECT_EQ(parseInteger("+0"), 0);
    EXPECT_EQ(parseInteger("\t600\v\r\n"), 600);
    EXPECT_EQ(parseInteger("2147483647"), INT_MAX);
    EXPECT_EQ(parseInteger("-2147483648"), INT_MIN);
    for (const char* bad : {"", "   ", "-", "+", "12a", "a12", "1 2", "1.5", "0x10", "--1", "+-1", "-+1",
                            "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(parseInteger(bad).has_value()) << '"' << bad << '"';
}

TEST(Decimal, DigitsOnly) {
    EXPECT_EQ(parseDigits("0"), 0);
    EXPECT_EQ(parseDigits("007"), 7);
    EXPECT_EQ(parseDigits("2147483647"), INT_MAX);
    for (const char* bad : {"", "+7", "-7", " 7", "7 ", "7.old", "2147483648"})
        EXPECT_FALSE(parseDigits(bad).has_value()) << '"' << bad << '"';
}

TEST(Decimal, LeadingNumberAsTheCLibraryReadsIt) {
    EXPECT_EQ(leadingInteger("  800Hz"), 800);
    EXPECT_EQ(leadingInteger(" +10 ms"), 10);
    EXPECT_EQ(leadingInteger("-3"), -3);
    EXPECT_EQ(leadingInteger("1200 2"), 1200);
    for (const char* none : {"", "x", "-", "+-5", " - 5", "Hz800"})
        EXPECT_EQ(leadingInteger(none), 0) << '"' << none << '"';
    EXPECT_EQ(leadingInteger("99999999999999"), INT_MAX);
    EXPECT_EQ(leadingInteger("-99999999999999x"), INT_MIN);
    EXPECT_EQ(leadingInteger("-2147483648"), INT_MIN);
}

} // namespace
