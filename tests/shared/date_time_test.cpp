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
  EXPECT_EQ(ComposeDateTime(2026, 0, 1, 0, 0, 0), D(2025, 12, 1));
  EXPECT_EQ(ComposeDateTime(2024, 3, 0, 0, 0, 0), D(2024, 2, 29));
  EXPECT_EQ(ComposeDateTime(2026, 12, 4, 24, 75, 0), D(2026, 12, 5, 1, 15, 0));
  EXPECT_EQ(ComposeDateTime(2026, 1, 1, 0, -1, 0), D(2025, 12, 31, 23, 59, 0));
  EXPECT_EQ(ComposeDateTime(2026, 12, 31, 23, 59, 60), D(2027, 1, 1));
}

TEST(SerialDates, CountDaysFromTheEpoch) {
  EXPECT_DOUBLE_EQ(ToSerial(D(2026, 12, 4, 12, 0, 0)), 46360.5);
  EXPECT_DOUBLE_EQ(ToSerial(D(1899, 12, 29, 6, 0, 0)), -1.25);  // the time still counts forward
  EXPECT_EQ(FromSerial(-1.25), D(1899, 12, 29, 6, 0, 0));
  EXPECT_EQ(FromSerial(0.99999999), D(1899, 12, 31));
  const DateTime t = D(2026, 12, 4, 23, 35, 8);
  EXPECT_EQ(FromSerial(ToSerial(t)), t);
  for (double bad : {std::nan(""), 1e300}) EXPECT_THROW(FromSerial(bad), RuntimeError);
}

TEST(DateDifferences, CountBoundariesCrossed) {
  EXPECT_EQ(MinutesBetween(D(2026, 12, 4, 10, 0, 59), D(2026, 12, 4, 10, 1, 0)), 1);
  EXPECT_EQ(MinutesBetween(D(2026, 12, 5, 0, 7), D(2026, 12, 4, 23, 50)), -17);
  EXPECT_EQ(DaysBetween(D(2026, 12, 4, 23, 59), D(2026, 12, 5, 0, 1)), 1);
  EXPECT_EQ(DaysBetween(D(2026, 11, 3, 12), D(2026, 12, 4, 11)), 31);
}

TEST(FormatDate, GeneralFormAndPictures) {
  const auto de = RegionalSettings::German();
  const auto us = RegionalSettings::EnglishUS();
  const DateTime t = D(2026, 12, 4, 23, 35, 8);
  EXPECT_EQ(FormatGeneralDate(t, de), "04.12.2026 23:35:08");
  EXPECT_EQ(FormatGeneralDate(t, us), "12/4/2026 11:35:08 PM");
  EXPECT_EQ(FormatGeneralDate(D(2026, 12, 4), de), "04.12.2026");
  EXPECT_EQ(FormatGeneralDate(D(1899, 12, 30, 7, 5, 0), de), "07:05:00");
  EXPECT_EQ(FormatGeneralDate(D(2026, 1, 2, 0, 30, 0), us), "1/2/2026 12:30:00 AM");
  // Day and month names (the English ones where the settings have none), one-digit years,
  // the first letter of the AM/PM symbol, and quoted literals.
  EXPECT_EQ(FormatWithPicture(t, "dddd, d. MMMM yyyy", de), "Freitag, 4. Dezember 2026");
  EXPECT_EQ(FormatWithPicture(D(2009, 3, 1), "ddd MMM y t", RegionalSettings{}), "Sun Mar 9 ");
  EXPECT_EQ(FormatWithPicture(t, "'Day' ddd d MMM 'It''s' yy-MM h:m:s t", us),
            "Day Fri 4 Dec It's 26-12 11:35:8 P");
}

}  // namespace
}  // namespace tavrin
