#include <gtest/gtest.h>

#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {
namespace {

TEST(Val, ReadsLeadingDigits) {
  EXPECT_DOUBLE_EQ(Val("  12 34abc"), 1234.0);
  EXPECT_DOUBLE_EQ(Val("1.5.6"), 1.5);
  EXPECT_DOUBLE_EQ(Val("04,"), 4.0);
  EXPECT_DOUBLE_EQ(Val("x1"), 0.0);
  EXPECT_DOUBLE_EQ(Val(""), 0.0);
}

TEST(ParseDecimal, AcceptsCommaOrPointAndSign) {
  EXPECT_FLOAT_EQ(ParseDecimal("1,5"), 1.5f);
  EXPECT_FLOAT_EQ(ParseDecimal("1.5"), 1.5f);
  EXPECT_FLOAT_EQ(ParseDecimal(" - 2,25 "), -2.25f);
  EXPECT_FLOAT_EQ(ParseDecimal("3,05"), 3.05f);
  EXPECT_FLOAT_EQ(ParseDecimal("12"), 12.0f);
  EXPECT_FLOAT_EQ(ParseDecimal(",5"), 0.5f);
  EXPECT_FLOAT_EQ(ParseDecimal(""), 0.0f);
  EXPECT_FLOAT_EQ(ParseDecimal("abc"), 0.0f);
}

TEST(ParseDecimal, FractionIsScaledByItsCharacterCount) {
  // The first "." separates; the fraction text "234,5" reads as 234 over 10^5.
  EXPECT_FLOAT_EQ(ParseDecimal("1.234,5"), 1.00234f);
  EXPECT_FLOAT_EQ(ParseDecimal("0." + std::string(400, '0') + "1"), 0.0f);
}

TEST(ParseDecimal, TooLargeRaisesOverflow) {
  try {
    ParseDecimal(std::string(50, '9'));
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 6);
  }
}

TEST(RoundTo, RoundsHalfUp) {
  EXPECT_DOUBLE_EQ(RoundTo(2.25, 1), 2.3);
  EXPECT_DOUBLE_EQ(RoundTo(-2.25, 1), -2.2);
  EXPECT_DOUBLE_EQ(RoundTo(4.0, 1), 4.0);
  EXPECT_DOUBLE_EQ(RoundTo(1234.5, 0), 1235.0);
}

TEST(CleanAmount, MarksRangesAndSums) {
  EXPECT_EQ(CleanAmount("12*", "."), "12");
  EXPECT_EQ(CleanAmount("3-5", "."), "4");
  EXPECT_EQ(CleanAmount("2+3", "."), "5");
  EXPECT_EQ(CleanAmount("5>", "."), "5");
  EXPECT_EQ(CleanAmount("1,5-2", ","), "1,8");  // (1.5 + 2) / 2 = 1.75 rounds to 1.8
  EXPECT_EQ(CleanAmount("1.5+1,25", "."), "2.75");
  EXPECT_EQ(CleanAmount("7-", "."), "7");
  EXPECT_EQ(CleanAmount("-4", "."), "-4");
  EXPECT_EQ(CleanAmount("2,5", "."), "2.5");
  EXPECT_EQ(CleanAmount("", "."), "0");
}

TEST(CleanAmount, LeadingGreaterThanIsNotAMark) {
  // Only a ">" at the end is a mark; a leading one makes the text unreadable as a number.
  EXPECT_EQ(CleanAmount(">5", "."), "0");
}

}  // namespace
}  // namespace tavrin
