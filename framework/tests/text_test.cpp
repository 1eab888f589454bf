#include "tvx/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tvx {
namespace {

struct NumberCase {
  double value;
  const char* text;
};

class NumberTextTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTextTest, MatchesTheListingForm) {
  EXPECT_EQ(NumberText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberTextTest,
    ::testing::Values(
        NumberCase{8.25, "8.25"}, NumberCase{0.5, "0.5"}, NumberCase{-1, "-1"}, NumberCase{0, "0"},
        NumberCase{-0.0, "0"}, NumberCase{120, "120"}, NumberCase{4294967295.0, "4294967295"},
        NumberCase{-2147483633.0, "-2147483633"}, NumberCase{-4278190080.0, "-4278190080"},
        NumberCase{static_cast<double>(8.4f), "8.39999961853027"}, NumberCase{1e-05, "1E-05"},
        NumberCase{1.4012984643248171e-45, "1.40129846432482E-45"}, NumberCase{1e15, "1E+15"},
        NumberCase{123456789012345.0, "123456789012345"},
        NumberCase{std::numeric_limits<double>::infinity(), "Infinity"},
        NumberCase{-std::numeric_limits<double>::infinity(), "-Infinity"},
        NumberCase{std::nan(""), "NaN"}));

// "%.15G" as std::to_chars writes it (its general form with 15 digits, the exponent's letter
// raised), a conversion of its own, is the reference for every finite number: whole and
// fractional, tiny and huge, the values single-precision font sizes widen to, and bit patterns
// at random.
TEST(NumberText, AgreesWithG15) {
  std::vector<double> values = {0.1,
                                1.0 / 3,
                                2.0 / 3,
                                99999999999999.9,
                                999999999999999.0,
                                1e15 - 0.5,
                                1e16,
                                123456789e-20,
                                -5e-324,
                                1.7976931348623157e308,
                                1e-4,
                                9.99999999999999e-5,
                                0.0001,
                                12.5,
                                -0.75};
  for (const float f : {8.25f, 8.4f, 9.75f, 10.2f, 13.8f, 72.05f})
    values.push_back(f);
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 20000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (std::isfinite(value)) values.push_back(value);
    values.push_back(static_cast<double>(static_cast<std::int32_t>(random())) / 10000);
  }
  for (const double value : values) {
    if (value == 0) continue;
    char expected[64];
    char* const end =
        std::to_chars(expected, expected + sizeof expected, value, std::chars_format::general, 15)
            .ptr;
    std::replace(expected, end, 'e', 'E');
    ASSERT_EQ(NumberText(value), std::string(expected, end))
        << "bits " << std::bit_cast<std::uint64_t>(value);
  }
}

TEST(HexText, UpperCaseWithoutLeadingZeros) {
  EXPECT_EQ(HexText(0), "0");
  EXPECT_EQ(HexText(255), "FF");
  EXPECT_EQ(HexText(65535), "FFFF");
  EXPECT_EQ(HexText(65536), "10000");
  EXPECT_EQ(HexText(65537), "10001");
  EXPECT_EQ(HexText(2147483663.0), "8000000F");
  EXPECT_EQ(HexText(4294967295.0), "FFFFFFFF");
  EXPECT_EQ(HexText(1234), "4D2");
  // The largest number below 2^64 exactly; from 2^64 on, all 64 bits set.
  EXPECT_EQ(HexText(18446744073709549568.0), "FFFFFFFFFFFFF800");
  EXPECT_EQ(HexText(18446744073709551616.0), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(HexText(1e300), "FFFFFFFFFFFFFFFF");
}

TEST(Colour, ListingTextAndStoredNumber) {
  EXPECT_EQ(ColourChars(255).ToString(), "&H000000FF&");
  EXPECT_EQ(ColourChars(0).ToString(), "&H00000000&");
  EXPECT_EQ(ColourChars(4294967295u).ToString(), "&HFFFFFFFF&");
  EXPECT_EQ(ColourChars(2147483663u).ToString(), "&H8000000F&");
  EXPECT_EQ(ColourChars(0x00ABCDEF).ToString(), "&H00ABCDEF&");
  EXPECT_EQ(SignedColour(255, 2147483647), 255);
  EXPECT_EQ(SignedColour(4294967295u, 2147483647), -1);
  EXPECT_EQ(SignedColour(2147483663u, 2147483647), -2147483633);
  EXPECT_EQ(SignedColour(16777216, 16777215), -4278190080);
}

TEST(Signed, TwoComplementReadings) {
  EXPECT_EQ(Signed16(0xFF10), -240);
  EXPECT_EQ(Signed16(32767), 32767);
  EXPECT_EQ(Signed16(32768), -32768);
  EXPECT_EQ(Signed32(0xFFFFFF1F), -225);
  EXPECT_EQ(Signed32(2147483647), 2147483647);
}

TEST(QuotedValue, DoublesInnerQuotes) {
  EXPECT_EQ(QuotedValue(""), "\"\"");
  EXPECT_EQ(QuotedValue("a\"b"), "\"a\"\"b\"");
  EXPECT_EQ(QuotedValue("\xE9"), "\"\xE9\"");
  EXPECT_EQ(QuotedValue("\"\"x\""), "\"\"\"\"\"x\"\"\"");
  EXPECT_EQ(QuotedValue(std::string("a\0\"", 3)), std::string("\"a\0\"\"\"", 6));
}

TEST(LongToSingle, Ieee754Patterns) {
  EXPECT_EQ(NumberText(LongToSingle(0x41040000)), "8.25");
  EXPECT_EQ(NumberText(LongToSingle(0x41400000)), "12");
  EXPECT_EQ(NumberText(LongToSingle(0x41066666)), "8.39999961853027");
  EXPECT_EQ(NumberText(LongToSingle(0x3F000000)), "0.5");
  EXPECT_EQ(NumberText(LongToSingle(0x80000000)), "0");
  EXPECT_EQ(NumberText(LongToSingle(0x00000001)), "1.40129846432482E-45");
  EXPECT_EQ(NumberText(LongToSingle(0x7F800000)), "Infinity");
  EXPECT_EQ(NumberText(LongToSingle(0xFF800000)), "-Infinity");
  EXPECT_EQ(NumberText(LongToSingle(0x7FC00000)), "NaN");
}

}  // namespace
}  // namespace tvx
