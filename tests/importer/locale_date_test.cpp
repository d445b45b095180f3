#include "importer/locale_date.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tavrin {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return DateTime{year, month, day, hour, minute, second};
}
std::optional<DateTime> German(std::string_view text) {
  return ParseLocaleDateTime(text, RegionalSettings::German());
}
std::optional<DateTime> US(std::string_view text) {
  return ParseLocaleDateTime(text, RegionalSettings::EnglishUS());
}

TEST(LocaleDateNumeric, RegionalOrderSeparatorsAndClock) {
  EXPECT_EQ(German("04.12.2026 07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(German("  4/12/2026   7:05:30 "), At(2026, 12, 4, 7, 5, 30));
  EXPECT_EQ(German("04-12-2026 7:05 PM"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(US("12/4/2026 7:05 PM"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(US("12.4.2026 12:10 AM"), At(2026, 12, 4, 0, 10));
  EXPECT_EQ(US("12/4/2026 12:10 pm"), At(2026, 12, 4, 12, 10));
  EXPECT_EQ(US("12/4/2026 7:05p"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(German("04.12/2026"), std::nullopt);  // two different separators
  EXPECT_EQ(German("04,12,2026"), std::nullopt);
  EXPECT_EQ(German("04 12 2026"), std::nullopt);
}

TEST(LocaleDateNumeric, RegionalSymbolsAndYearFirstOrder) {
  RegionalSettings regional = RegionalSettings::German();
  regional.amSymbol = "vorm.";
  regional.pmSymbol = "nachm.";
  regional.timeSeparator = ".";
  EXPECT_EQ(ParseLocaleDateTime("04.12.2026 7.05 nachm.", regional), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(ParseLocaleDateTime("04.12.2026 7.05.09 VORM.", regional), At(2026, 12, 4, 7, 5, 9));

  regional = RegionalSettings::German();
  regional.dateOrder = RegionalSettings::DateOrder::YearMonthDay;
  EXPECT_EQ(ParseLocaleDateTime("26-12-04 07:05", regional), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(ParseLocaleDateTime("26 Dez 4", regional), At(2026, 12, 4));
  EXPECT_EQ(ParseLocaleDateTime("04-12-2026", regional), std::nullopt);
}

TEST(LocaleDateNumeric, IsoDatesTwoDigitYearsAndSwappedDayMonth) {
  EXPECT_EQ(German("2026-12-04 07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(US("2026/12/04"), At(2026, 12, 4));
  EXPECT_EQ(German("1.1.29"), At(2029, 1, 1));
  EXPECT_EQ(German("1.1.30"), At(1930, 1, 1));
  EXPECT_EQ(German("1.1.7"), At(2007, 1, 1));
  EXPECT_EQ(German("1.1.026"), std::nullopt);
  EXPECT_EQ(US("25/12/2026"), At(2026, 12, 25));
  EXPECT_EQ(German("12.25.2026"), At(2026, 12, 25));
  EXPECT_EQ(US("13/25/2026"), std::nullopt);
}

TEST(LocaleDateNumeric, ImpossibleDatesAndTimesAreRejected) {
  for (const char* text :
       {"31.02.2026", "29.02.2026", "29.02.1900", "31.04.2026", "00.12.2026", "01.01.0099",
        "04.12.2026 24:00", "04.12.2026 07:60", "04.12.2026 07:05:60", "04.12.2026 13:05 PM",
        "04.12.2026 007:05", "04.12.2026 7"}) {
    EXPECT_EQ(German(text), std::nullopt) << text;
  }
  EXPECT_EQ(German("29.02.2024"), At(2024, 2, 29));
  EXPECT_EQ(German("29.02.2000"), At(2000, 2, 29));
}

TEST(LocaleDateParts, DateAloneIsMidnightAndTimeAloneIsOnTheBaseDate) {
  const auto dateOnly = ParseLocaleDateTimeParts("04.12.2026", RegionalSettings::German());
  ASSERT_TRUE(dateOnly);
  EXPECT_EQ(dateOnly->value, At(2026, 12, 4));
  EXPECT_TRUE(dateOnly->hasDate && !dateOnly->hasTime);

  const auto timeOnly = ParseLocaleDateTimeParts(" 7:05 PM", RegionalSettings::EnglishUS());
  ASSERT_TRUE(timeOnly);
  EXPECT_EQ(timeOnly->value, At(1899, 12, 30, 19, 5));
  EXPECT_TRUE(!timeOnly->hasDate && timeOnly->hasTime);
}

TEST(LocaleDateNames, MonthNamesOfTheLocaleOnly) {
  EXPECT_EQ(German("4. Dezember 2026 07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(German("Dez. 04, 2026 07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(German("Dez.04.2026"), At(2026, 12, 4));
  EXPECT_EQ(German("04-dez-26"), At(2026, 12, 4));
  EXPECT_EQ(German("1. MÄRZ 2026"), At(2026, 3, 1));
  EXPECT_EQ(US("December 4, 2026 7:05 PM"), At(2026, 12, 4, 19, 5));
  // Left to the export's own month-name reading.
  EXPECT_EQ(German("Dec 4 2026 7:05 PM"), std::nullopt);
  EXPECT_EQ(US("Dez. 04, 2026"), std::nullopt);

  RegionalSettings french = RegionalSettings::German();
  french.monthNames[11] = "décembre";
  french.abbreviatedMonthNames[11] = "déc.";
  EXPECT_EQ(ParseLocaleDateTime("4 déc. 2026", french), At(2026, 12, 4));
  EXPECT_EQ(ParseLocaleDateTime("4 DÉC 2026", french), At(2026, 12, 4));
}

TEST(LocaleDateGarbage, RejectedWithoutThrowing) {
  for (const std::string_view text : {"",
                                      "   ",
                                      "abc",
                                      "04.12",
                                      "04.12.2026x",
                                      "04.12.2026.1",
                                      "04.12.2026 07:05 x",
                                      "04.12.2026 07:05:",
                                      "04.12.2026 :05",
                                      "99999999999999999999.1.1",
                                      "04.12.2026 99999999999999999999:05",
                                      "\xff\xfe\x80",
                                      "31. Februar 2026",
                                      "Dezember 2026",
                                      "4. Foo 2026",
                                      "4 Dez Dez",
                                      "4Dez2026",
                                      "4. Dez 2026 2027",
                                      "4. Dez 123",
                                      "4 2026 Dez.07:05"}) {
    EXPECT_EQ(German(text), std::nullopt) << text;
  }
  EXPECT_EQ(German(std::string_view("04.12.2026\0 07:05", 17)), std::nullopt);
}

// Random texts shaped like dates, with out-of-range parts and stray pieces mixed in:
// whatever is accepted must be a real calendar date and time of day.
TEST(LocaleDateGarbage, AnythingAcceptedIsAValidPointInTime) {
  const std::vector<std::string> numbers = {"0",  "1",  "04",   "12",   "13",   "29",  "30",   "31",
                                            "59", "60", "2024", "2026", "1900", "123", "99999"};
  const std::vector<std::string> middles = {"02", "12", "13", "25", "Dez", "Dec", "März", "x"};
  const std::vector<std::string> separators = {".", "/", "-", ",", " ", ". ", ", ", ""};
  const std::vector<std::string> suffixes = {"", "", " PM", "am", " p", " x", ":", "\xff"};
  std::mt19937 random(20261204);
  const auto any = [&random](const std::vector<std::string>& pool) {
    return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
  };
  const auto chance = [&random](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  int accepted = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    if (chance(80)) {
      text = any(numbers) + any(separators) + any(middles) + any(separators) + any(numbers);
    }
    if (chance(70)) {
      text += (chance(90) ? " " : "") + any(numbers) + ":" + any(numbers);
      if (chance(30)) text += ":" + any(numbers);
      text += any(suffixes);
    }
    if (chance(10)) text.insert(text.size() / 2, any(suffixes));
    for (const RegionalSettings& regional :
         {RegionalSettings::German(), RegionalSettings::EnglishUS()}) {
      const auto parts = ParseLocaleDateTimeParts(text, regional);
      if (!parts) continue;
      ++accepted;
      const DateTime& v = parts->value;
      // Composing a real date and time again changes nothing.
      EXPECT_EQ(ComposeDateTime(v.year, v.month, v.day, v.hour, v.minute, v.second), v) << text;
      EXPECT_TRUE(v.year >= 100 && v.year <= 9999 && (parts->hasDate || parts->hasTime)) << text;
    }
  }
  EXPECT_GT(accepted, 100);
}

// The quick reading of row dates and times must give exactly what the full reading of
// "date time" gives, under every regional order and with awkward separators, also when
// one reader sees many rows in turn and reuses the last row's date.
TEST(LocaleDateNumeric, QuickRowReadingAgreesWithFullReading) {
  std::mt19937 random(4711);
  const auto pick = [&](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  const auto chance = [&](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  const std::vector<std::string> dayOrMonth = {"1",  "01", "4",  "09", "12", "13",  "25", "29",
                                               "30", "31", "32", "0",  "00", "123", ""};
  const std::vector<std::string> years = {"2026", "2024", "1900", "2000", "0099", "10000",
                                          "26",   "7",    "99",   "029",  ""};
  const std::vector<std::string> marks = {".", ".", "/", "-", ",", ":", " ", "x", ". ", "\t"};
  const std::vector<std::string> times = {
      "07:05",  "7:05",    "23:59", "24:00", "12:60", "7:5", "7:05:09", "07:05:60",
      "007:05", "7:05 PM", "7.05",  " 7:05", "7:05 ", "",    "7",       "12:10a"};

  std::vector<RegionalSettings> settings = {
      RegionalSettings::German(), RegionalSettings::EnglishUS(), RegionalSettings::EnglishUK()};
  RegionalSettings yearFirst = RegionalSettings::German();
  yearFirst.dateOrder = RegionalSettings::DateOrder::YearMonthDay;
  yearFirst.dateSeparator = "-";
  settings.push_back(yearFirst);
  RegionalSettings dottedClock = RegionalSettings::German();
  dottedClock.timeSeparator = ".";
  settings.push_back(dottedClock);
  RegionalSettings digitMark = RegionalSettings::German();
  digitMark.dateSeparator = "1";
  settings.push_back(digitMark);

  for (const RegionalSettings& regional : settings) {
    NumericDateTimeReader reader(regional);
    std::string date;
    int recognised = 0;
    for (int round = 0; round < 4000; ++round) {
      // Runs of rows on the same day, as in an export.
      if (date.empty() || chance(30)) {
        const std::string first = chance(20) ? pick(years) : pick(dayOrMonth);
        const std::string mark = pick(marks);
        date = first + mark + pick(dayOrMonth) + (chance(90) ? mark : pick(marks)) +
               (first.size() > 2 ? pick(dayOrMonth) : pick(years));
        if (chance(5)) date += pick(marks);
      }
      const std::string time = pick(times);
      const auto full = ParseLocaleDateTimeParts(date + " " + time, regional);
      for (const NumericDateTimeParts& quick :
           {reader.Read(date, time), ParseNumericDateTimeParts(date, time, regional)}) {
        if (!quick.recognised) continue;
        ++recognised;
        ASSERT_EQ(quick.parts.has_value(), full.has_value()) << date << " " << time;
        if (!full) continue;
        EXPECT_EQ(quick.parts->value, full->value) << date << " " << time;
        EXPECT_EQ(quick.parts->hasDate, full->hasDate) << date << " " << time;
        EXPECT_EQ(quick.parts->hasTime, full->hasTime) << date << " " << time;
      }
    }
    if (regional.dateSeparator != "1") {
      EXPECT_GT(recognised, 500);
    }
  }
}

TEST(LocaleDateNumeric, QuickRowReadingTakesTheCommonFormsOnly) {
  const RegionalSettings german = RegionalSettings::German();
  NumericDateTimeReader reader(german);
  const NumericDateTimeParts row = reader.Read("04.12.2026", "07:05");
  ASSERT_TRUE(row.recognised && row.parts);
  EXPECT_EQ(row.parts->value, At(2026, 12, 4, 7, 5));
  // The same date again, then an impossible one of the same length.
  EXPECT_EQ(reader.Read("04.12.2026", "23:59").parts->value, At(2026, 12, 4, 23, 59));
  const NumericDateTimeParts impossible = reader.Read("31.02.2026", "07:05");
  EXPECT_TRUE(impossible.recognised);
  EXPECT_FALSE(impossible.parts);
  EXPECT_FALSE(reader.Read("Dec 4, 2026", "07:05").recognised);
  EXPECT_FALSE(reader.Read("04.12.2026", "7:05 PM").recognised);
  RegionalSettings dottedClock = german;
  dottedClock.timeSeparator = ".";
  EXPECT_FALSE(ParseNumericDateTimeParts("04.12.2026", "07:05", dottedClock).recognised);
}

}  // namespace
}  // namespace tavrin
