#include "shared/date_time.h"

#include <gtest/gtest.h>

#include <cmath>

#include "shared/error.h"

namespace tavrin {
namespace {

DateTime D(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return {y, mo, d, h, mi, s};
}

TEST(ComposeDateTime, EveryPartRollsOver) {
  EXPECT_EQ(ComposeDateTime(2026, 12, 32, 0, 0, 0), D(2027, 1, 1));
  EXPECT_EQ(ComposeDateTime(2026, 13, 1, 0, 0, 0), D(2027, 1, 1));
  EXPECT_EQ(ComposeDateTime(2026, 0, 1, 0, 0, 0), D(2025, 12, 1));
  EXPECT_EQ(ComposeDateTime(2026, -1, 1, 0, 0, 0), D(2025, 11, 1));
  EXPECT_EQ(ComposeDateTime(2026, 3, 0, 0, 0, 0), D(2026, 2, 28));
  EXPECT_EQ(ComposeDateTime(2024, 3, 0, 0, 0, 0), D(2024, 2, 29));
  EXPECT_EQ(ComposeDateTime(2026, 12, 4, 25, 0, 0), D(2026, 12, 5, 1, 0, 0));
  EXPECT_EQ(ComposeDateTime(2026, 12, 4, 7, 75, 0), D(2026, 12, 4, 8, 15, 0));
  EXPECT_EQ(ComposeDateTime(2026, 1, 1, 0, -1, 0), D(2025, 12, 31, 23, 59, 0));
  EXPECT_EQ(ComposeDateTime(2026, 12, 31, 23, 59, 60), D(2027, 1, 1));
}

TEST(SerialDates, CountDaysFromTheEpoch) {
  EXPECT_DOUBLE_EQ(ToSerial(D(1899, 12, 30)), 0.0);
  EXPECT_DOUBLE_EQ(ToSerial(D(2026, 1, 1)), 46023.0);
  EXPECT_DOUBLE_EQ(ToSerial(D(2026, 12, 4, 12, 0, 0)), 46360.5);
  EXPECT_DOUBLE_EQ(ToSerial(D(1899, 12, 29, 6, 0, 0)), -1.25);  // the time still counts forward
  EXPECT_EQ(FromSerial(-1.25), D(1899, 12, 29, 6, 0, 0));
  EXPECT_EQ(FromSerial(46360.5), D(2026, 12, 4, 12, 0, 0));
  EXPECT_EQ(FromSerial(0.99999999), D(1899, 12, 31));
  const DateTime t = D(2026, 12, 4, 23, 35, 8);
  EXPECT_EQ(FromSerial(ToSerial(t)), t);
  EXPECT_THROW(FromSerial(std::nan("")), RuntimeError);
  EXPECT_THROW(FromSerial(1e300), RuntimeError);
}

TEST(DateDifferences, CountBoundariesCrossed) {
  EXPECT_EQ(MinutesBetween(D(2026, 12, 4, 10, 0, 59), D(2026, 12, 4, 10, 1, 0)), 1);
  EXPECT_EQ(MinutesBetween(D(2026, 12, 4, 23, 50), D(2026, 12, 5, 0, 7)), 17);
  EXPECT_EQ(MinutesBetween(D(2026, 12, 5, 0, 7), D(2026, 12, 4, 23, 50)), -17);
  EXPECT_EQ(DaysBetween(D(2026, 12, 4, 23, 59), D(2026, 12, 5, 0, 1)), 1);
  EXPECT_EQ(DaysBetween(D(2026, 11, 3, 12), D(2026, 12, 4, 11)), 31);
}

TEST(FormatGeneralDate, ShortDateAndLongTime) {
  const auto de = RegionalSettings::German();
  const auto us = RegionalSettings::EnglishUS();
  EXPECT_EQ(FormatGeneralDate(D(2026, 12, 4, 23, 35, 8), de), "04.12.2026 23:35:08");
  EXPECT_EQ(FormatGeneralDate(D(2026, 12, 4, 23, 35, 8), us), "12/4/2026 11:35:08 PM");
  EXPECT_EQ(FormatGeneralDate(D(2026, 12, 4), de), "04.12.2026");
  EXPECT_EQ(FormatGeneralDate(D(1899, 12, 30, 7, 5, 0), de), "07:05:00");
  EXPECT_EQ(FormatGeneralDate(D(2026, 1, 2, 0, 30, 0), us), "1/2/2026 12:30:00 AM");
}

TEST(FormatWithPicture, NamesNumbersAndLiterals) {
  const auto de = RegionalSettings::German();
  const auto us = RegionalSettings::EnglishUS();
  const DateTime t = D(2026, 12, 4, 23, 35, 8);
  EXPECT_EQ(FormatWithPicture(t, "dddd, d. MMMM yyyy", de), "Freitag, 4. Dezember 2026");
  EXPECT_EQ(FormatWithPicture(t, "ddd MMM", us), "Fri Dec");
  EXPECT_EQ(FormatWithPicture(t, "yy-M-d h:m:s t", us), "26-12-4 11:35:8 P");
  EXPECT_EQ(FormatWithPicture(D(2009, 3, 1), "y yy", us), "9 09");
  EXPECT_EQ(FormatWithPicture(t, "'Day' dd 'It''s' HH", de), "Day 04 It's 23");
  EXPECT_EQ(FormatWithPicture(t, "MMM", RegionalSettings{}), "Dec");  // names missing
}

}  // namespace
}  // namespace tavrin
