#include "text/NumberText.h"

#include <gtest/gtest.h>

namespace harmoload {
namespace {

struct Conversion {
    const char* text;
    uint32_t hex;
    uint32_t decimal;
};

class NumberTextConversion : public testing::TestWithParam<Conversion> {};

TEST_P(NumberTextConversion, FollowsWcstoulWithThirtyTwoBits) {
    const Conversion& c = GetParam();
    EXPECT_EQ(HexTextValue(c.text), c.hex) << '"' << c.text << '"';
    EXPECT_EQ(DecimalTextValue(c.text), c.decimal) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Syntax, NumberTextConversion,
    testing::Values(
        // white space, sign and prefix
        Conversion{" \t\n\v\f\r12", 0x12, 12}, Conversion{"+10", 0x10, 10},
        Conversion{"0x1F", 0x1F, 0}, Conversion{"0X1f", 0x1F, 0},
        Conversion{"-0x10", 0xFFFFFFF0, 0}, Conversion{"0x", 0, 0}, Conversion{"0xg", 0, 0},
        Conversion{"x10", 0, 0},
        // the first other character ends the number
        Conversion{"12.5", 0x12, 12}, Conversion{"1-2", 1, 1}, Conversion{"7 8", 7, 7},
        Conversion{"12AB", 0x12AB, 12}, Conversion{"1g", 1, 1},
        // no digit at all
        Conversion{"", 0, 0}, Conversion{"-", 0, 0}, Conversion{"-.5", 0, 0},
        Conversion{"+ 1", 0, 0}, Conversion{"--1", 0, 0},
        // saturation, then negation modulo 2^32
        Conversion{"4294967295", 0xFFFFFFFF, 0xFFFFFFFF},
        Conversion{"4294967296", 0xFFFFFFFF, 0xFFFFFFFF}, Conversion{"FFFFFFFF", 0xFFFFFFFF, 0},
        Conversion{"100000000", 0xFFFFFFFF, 100000000},
        Conversion{"99999999999999999999999", 0xFFFFFFFF, 0xFFFFFFFF},
        Conversion{"-1", 0xFFFFFFFF, 0xFFFFFFFF}, Conversion{"-4294967295", 1, 1},
        Conversion{"-4294967296", 1, 1}, Conversion{"-1FFFFFFFF", 1, 0xFFFFFFFF},
        Conversion{"0000000000000000000001", 1, 1}));

TEST(NumberText, DecimalTestAcceptsDigitsFullStopsAndMinusSignsOnly) {
    EXPECT_TRUE(IsDecimalText(""));
    EXPECT_TRUE(IsDecimalText("0123456789"));
    EXPECT_TRUE(IsDecimalText("-1.2-."));
    EXPECT_FALSE(IsDecimalText("+1"));
    EXPECT_FALSE(IsDecimalText(" 1"));
    EXPECT_FALSE(IsDecimalText("1a"));
    EXPECT_FALSE(IsDecimalText("1\xC2\xB2"));  // superscript two is no digit
}

TEST(NumberText, HexTestAcceptsHexDigitsInEitherCaseOnly) {
    EXPECT_TRUE(IsHexText(""));
    EXPECT_TRUE(IsHexText("0123456789abcdefABCDEF"));
    EXPECT_FALSE(IsHexText("0x10"));
    EXPECT_FALSE(IsHexText("G"));
    EXPECT_FALSE(IsHexText("-1"));
    EXPECT_FALSE(IsHexText("1 "));
}

TEST(NumberText, ParseStoresTheValueAndRejectsOnlyAllOnes) {
    uint32_t value = 7;
    EXPECT_TRUE(ParseHexText("1000", value));
    EXPECT_EQ(value, 0x1000u);
    EXPECT_FALSE(ParseHexText("1FFFFFFFF", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_FALSE(ParseHexText("FFFFFFFF", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseDecimalText("junk", value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(ParseDecimalText("-1", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseDecimalText("4294967294", value));
    EXPECT_EQ(value, 4294967294u);
}

}  // namespace
}  // namespace harmoload
