#include "shared/number_format.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(NumberFormat, SingleHasSevenSignificantDigits) {
  EXPECT_EQ(SingleToText(0.1f, ","), "0,1");
  EXPECT_EQ(SingleToText(5.0f, "."), "5");
  EXPECT_EQ(SingleToText(-2.5f, "."), "-2.5");
  EXPECT_EQ(SingleToText(1.0f / 3.0f, "."), "0.3333333");
  EXPECT_EQ(SingleToText(1234567.0f, "."), "1234567");
  EXPECT_EQ(SingleToText(12345678.0f, "."), "1.234568E+07");
  EXPECT_EQ(SingleToText(-0.0f, "."), "0");
  EXPECT_EQ(SingleToText(0.0001f, ","), "0,0001");
  EXPECT_EQ(SingleToText(0.00001f, ","), "1E-05");
}

TEST(NumberFormat, DoubleHasFifteenSignificantDigits) {
  EXPECT_EQ(DoubleToText(0.00001, "."), "1E-05");
  EXPECT_EQ(DoubleToText(0.1 + 0.2, "."), "0.3");
  EXPECT_EQ(DoubleToText(1.0 / 3.0, ","), "0,333333333333333");
  EXPECT_EQ(DoubleToText(1.5e20, "."), "1.5E+20");
  EXPECT_EQ(DoubleToText(123456789012345678.0, "."), "1.23456789012346E+17");
  EXPECT_EQ(DoubleToText(100.0, "."), "100");
}

}  // namespace
}  // namespace tavrin
