#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "importer/date_parsing.h"
#include "importer/locale_date.h"
#include "importer_process.h"
#include "shared/text.h"

namespace tavrin {
namespace {

using testing::At;

const RegionalSettings kDe = RegionalSettings::German();
const RegionalSettings kUs = RegionalSettings::EnglishUS();

RegionalSettings GermanWith(void (*change)(RegionalSettings&)) {
  RegionalSettings regional = kDe;
  change(regional);
  return regional;
}

std::string Text(const std::optional<DateTime>& value) {
  if (!value) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", value->year, value->month,
                value->day, value->hour, value->minute, value->second);
  return text;
}

// The readers of dates, month names and times against a table of texts and their values.
TEST(DateReading, TextsGiveTheirValues) {
  const std::map<std::string, RegionalSettings> regional = {
      {"de", kDe},
      {"us", kUs},
      {"symbols", GermanWith([](RegionalSettings& r) {
         r.amSymbol = "vorm.";
         r.pmSymbol = "nachm.";
         r.timeSeparator = ".";
       })},
      {"yearfirst", GermanWith([](RegionalSettings& r) {
         r.dateOrder = RegionalSettings::DateOrder::YearMonthDay;
       })},
      {"french", GermanWith([](RegionalSettings& r) { r.abbreviatedMonthNames[11] = "déc."; })}};
  for (const std::string& line : testing::GoldenLines("importer/date_texts.txt")) {
    const std::vector<std::string> f = SplitText(line, "|");
    const std::string reader = f[0].substr(0, f[0].find(' '));
    const std::string settings = f[0].substr(f[0].find(' ') + 1);
    std::string value;
    if (reader == "full") value = Text(ParseLocaleDateTime(f[1], regional.at(settings)));
    if (reader == "row") value = Text(ReadDateTime(f[1], f[2], regional.at(settings)));
    if (reader == "month") value = std::to_string(MonthFromName(f[1]));
    if (reader == "time") value = NormalizeTime(f[1]);
    EXPECT_EQ(value, f.back()) << line;
  }
  EXPECT_EQ(ParseLocaleDateTime("\xff\xfe\x80", kDe), std::nullopt);
  EXPECT_EQ(ParseLocaleDateTime(std::string_view("04.12.2026\0 07:05", 17), kDe), std::nullopt);
  EXPECT_EQ(MonthFromName("\xff\xfe"), -1);
  EXPECT_EQ(NormalizeTime(std::string(400, '9') + ":" + std::string(400, '9')), "99:39");
  for (int n = 0; n < 10000; ++n) {  // "HH:MM" as the general reading takes it with a blank
    const std::string time =
        std::to_string(100 + n / 100).substr(1) + ":" + std::to_string(100 + n % 100).substr(1);
    ASSERT_EQ(NormalizeTime(time), NormalizeTime(time + " ")) << time;
  }
  const auto dateOnly = ParseLocaleDateTimeParts("04.12.2026", kDe);
  ASSERT_TRUE(dateOnly && dateOnly->hasDate && !dateOnly->hasTime);
  const auto timeOnly = ParseLocaleDateTimeParts(" 7:05 PM", kUs);
  ASSERT_TRUE(timeOnly && !timeOnly->hasDate && timeOnly->hasTime);
  EXPECT_EQ(timeOnly->value, At(1899, 12, 30, 19, 5));
  // Any text: no exception, always a time of five characters.
  const std::string alphabet = "0123456789 :.,/-aApPDecJanFooäû\xff";
  std::mt19937 random(4122026);
  for (int round = 0; round < 3000; ++round) {
    std::string date(random() % 17, ' '), time(random() % 17, ' ');
    for (char& c : date) c = alphabet[random() % alphabet.size()];
    for (char& c : time) c = alphabet[random() % alphabet.size()];
    EXPECT_NO_THROW(ReadDateTime(date, time, kUs));
    EXPECT_EQ(NormalizeTime(time).size(), 5u);
  }
}

// The quick reading of row dates and times must give exactly what the full reading of
// "date time" gives, under every regional order and with awkward separators, also when
// one reader sees many rows in turn and reuses the last row's date.
TEST(LocaleDateTime, QuickRowReadingAgreesWithFullReading) {
  std::mt19937 random(4711);
  const auto pick = [&](const std::vector<std::string>& from) {
    return from[random() % from.size()];
  };
  const auto chance = [&](unsigned percent) { return random() % 100 < percent; };
  const std::vector<std::string> dayOrMonth = {"1",  "01", "4",  "09", "12", "13",  "25", "29",
                                               "30", "31", "32", "0",  "00", "123", ""};
  const std::vector<std::string> years = {"2026", "2024", "1900", "2000", "0099", "10000",
                                          "26",   "7",    "99",   "029",  ""};
  const std::vector<std::string> marks = {".", ".", "/", "-", ",", ":", " ", "x", ". ", "\t"};
  const std::vector<std::string> times = {
      "07:05",  "7:05",    "23:59", "24:00", "12:60", "7:5", "7:05:09", "07:05:60",
      "007:05", "7:05 PM", "7.05",  " 7:05", "7:05 ", "",    "7",       "12:10a"};
  const std::vector<RegionalSettings> settings = {
      kDe,
      kUs,
      RegionalSettings::EnglishUK(),
      GermanWith([](RegionalSettings& r) {
        r.dateOrder = RegionalSettings::DateOrder::YearMonthDay;
        r.dateSeparator = "-";
      }),
      GermanWith([](RegionalSettings& r) { r.timeSeparator = "."; }),
      GermanWith([](RegionalSettings& r) { r.dateSeparator = "1"; })};
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
  // Only the common numeric forms are taken; the rest is left to the full reading.
  NumericDateTimeReader reader(kDe);
  EXPECT_FALSE(reader.Read("Dec 4, 2026", "07:05").recognised);
  EXPECT_FALSE(reader.Read("04.12.2026", "7:05 PM").recognised);
  EXPECT_FALSE(ParseNumericDateTimeParts("04.12.2026", "07:05", settings[4]).recognised);
}

// --- The data-age question

TEST(CheckDataAge, WarnsAboutFutureAndOldDataAsTheSettingsSay) {
  testing::ImporterProcess process;
  testing::FakeUi& ui = process.ui;
  const auto check = [&process](const DateTime& earliest, const DateTime& latest) {
    return CheckDataAge(*process.context, earliest, latest);
  };
  ui.messageAnswers = {MessageResult::Cancel, MessageResult::Ok, MessageResult::Cancel};
  EXPECT_TRUE(check(At(2026, 11, 1, 6, 0), At(2026, 12, 5, 8, 0)));  // Cancel aborts
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, testing::GoldenFile("importer/future_data_message.txt"));
  EXPECT_EQ(std::tie(ui.messages[0].caption, ui.messages[0].buttons, ui.messages[0].icon),
            std::tuple("TavrinPlugin", MessageButtons::OkCancel, MessageIcon::Exclamation));
  // A minute ahead of the clock is the future too; OK continues.
  EXPECT_FALSE(check(At(2026, 12, 4), At(2026, 12, 4, 23, 36)));
  // Up to 31 days back nothing is said; 32 midnights between are too old.
  EXPECT_FALSE(check(At(2026, 10, 1), At(2026, 11, 3, 0, 0)));
  EXPECT_TRUE(check(At(2026, 1, 15, 6, 30), At(2026, 11, 2, 23, 59)));
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_TRUE(ui.messages[2].text.starts_with("Die Import-Daten enthielten auch Daten älteren"));
  EXPECT_NE(
      ui.messages[2].text.find("älteste Datensatz aus diesem Import ist vom 15.01.2026 06:30"),
      std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(process.dir.File("TavrinPlugin.ini")));  // not written

  const auto settings = [&process](const std::string& content) {
    std::ofstream(process.dir.File("TavrinPlugin.ini"), std::ios::binary) << content;
  };
  settings("[Config]\r\nNumDaysOldDataWarning=60\r\n");
  EXPECT_FALSE(check(At(2026, 10, 1), At(2026, 10, 5)));  // 60 days
  ui.messageAnswers = {MessageResult::Cancel};
  EXPECT_TRUE(check(At(2026, 10, 1), At(2026, 10, 4)));  // 61 days
  for (const char* off : {"0", "nein", "false"}) {
    settings(std::string("[Config]\r\nShowOldOrNewDataWarning=") + off);
    EXPECT_FALSE(check(At(2026, 12, 1), At(2027, 1, 1))) << off;
    EXPECT_FALSE(check(At(2020, 1, 1), At(2020, 2, 1))) << off;
  }
  EXPECT_EQ(ui.messages.size(), 4u);
}

}  // namespace
}  // namespace tavrin
