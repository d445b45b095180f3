#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// --- The locale-aware reading of "date time"

TEST(LocaleDateTime, ReadsTheRegionalFormsOnly) {
  const RegionalSettings symbols = GermanWith([](RegionalSettings& r) {
    r.amSymbol = "vorm.";
    r.pmSymbol = "nachm.";
    r.timeSeparator = ".";
  });
  const RegionalSettings yearFirst = GermanWith(
      [](RegionalSettings& r) { r.dateOrder = RegionalSettings::DateOrder::YearMonthDay; });
  const RegionalSettings french =
      GermanWith([](RegionalSettings& r) { r.abbreviatedMonthNames[11] = "déc."; });
  const struct {
    std::string_view text;
    const RegionalSettings& regional;
    std::optional<DateTime> value;
  } kCases[] = {
      {"  4/12/2026   7:05:30 ", kDe, At(2026, 12, 4, 7, 5, 30)},
      {"04-12-2026 7:05 PM", kDe, At(2026, 12, 4, 19, 5)},
      {"12.4.2026 12:10 AM", kUs, At(2026, 12, 4, 0, 10)},
      {"12/4/2026 12:10 pm", kUs, At(2026, 12, 4, 12, 10)},
      {"12/4/2026 7:05p", kUs, At(2026, 12, 4, 19, 5)},
      {"04.12.2026 7.05.09 VORM.", symbols, At(2026, 12, 4, 7, 5, 9)},
      {"04.12.2026 7.05 nachm.", symbols, At(2026, 12, 4, 19, 5)},
      {"26 Dez 4", yearFirst, At(2026, 12, 4)},
      {"04-12-2026", yearFirst, std::nullopt},
      {"2026-12-04 07:05", kDe, At(2026, 12, 4, 7, 5)},  // a first part of four digits: ISO
      {"1.1.29", kDe, At(2029, 1, 1)},
      {"1.1.30", kDe, At(1930, 1, 1)},
      {"12.25.2026", kDe, At(2026, 12, 25)},  // day and month swapped
      {"29.02.2024", kDe, At(2024, 2, 29)},
      {"29.02.2000", kDe, At(2000, 2, 29)},
      {"4. Dezember 2026 07:05", kDe, At(2026, 12, 4, 7, 5)},
      {"Dez.04.2026", kDe, At(2026, 12, 4)},
      {"04-dez-26", kDe, At(2026, 12, 4)},
      {"1. MÄRZ 2026", kDe, At(2026, 3, 1)},
      {"4 DÉC 2026", french, At(2026, 12, 4)},
      {"December 4, 2026 7:05 PM", kUs, At(2026, 12, 4, 19, 5)},
      {"Dec 4 2026 7:05 PM", kDe, std::nullopt}};  // left to the export's own reading
  for (const auto& c : kCases)
    EXPECT_EQ(ParseLocaleDateTime(c.text, c.regional), c.value) << c.text;
  // Rejected, "|" between the texts.
  const std::string kRejected =
      "04.12/2026|04 12 2026|1.1.026|31.02.2026|29.02.1900|31.04.2026|00.12.2026|"
      "01.01.0099|04.12.2026 24:00|04.12.2026 07:60|04.12.2026 07:05:60|"
      "04.12.2026 13:05 PM|04.12.2026 007:05|04.12.2026 7|04.12.2026 07:05 x|"
      "04.12.2026 :05|99999999999999999999.1.1|\xff\xfe\x80|31. Februar 2026|"
      "Dezember 2026|4 Dez Dez|4. Dez 123|4 2026 Dez.07:05";
  for (const std::string& text : SplitText(kRejected, "|")) {
    EXPECT_EQ(ParseLocaleDateTime(text, kDe), std::nullopt) << text;
  }
  EXPECT_EQ(ParseLocaleDateTime(std::string_view("04.12.2026\0 07:05", 17), kDe), std::nullopt);
  const auto dateOnly = ParseLocaleDateTimeParts("04.12.2026", kDe);
  ASSERT_TRUE(dateOnly && dateOnly->hasDate && !dateOnly->hasTime);
  const auto timeOnly = ParseLocaleDateTimeParts(" 7:05 PM", kUs);
  ASSERT_TRUE(timeOnly && !timeOnly->hasDate && timeOnly->hasTime);
  EXPECT_EQ(timeOnly->value, At(1899, 12, 30, 19, 5));
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

// --- The export's own reading of row dates

TEST(ReadDateTime, RegionalFormFirstThenMonthNameDayYear) {
  const struct {
    std::string_view date;
    std::string_view time;
    std::optional<DateTime> value;
  } kCases[] = {{"04.12.2026", "", At(2026, 12, 4)},
                {"Dec 4 2026", "7:05:59 pm", At(2026, 12, 4, 19, 5)},
                {"szeptember 4 2026", "07:05", At(2026, 9, 4, 7, 5)},
                {"août 15 2026", "12:10 AM", At(2026, 8, 15, 0, 10)},
                {"Dec 4 2026", "7", At(2026, 12, 4, 7, 0)},
                {"Dec 4.5 2026", "07:05", At(2026, 12, 4, 7, 5)},  // halves to the even neighbour
                {"Dec 5.5 2026", "07:05", At(2026, 12, 6, 7, 5)},
                {"Dec 4 75", "07:05", At(1975, 12, 4, 7, 5)},
                {"Dec 4 1e400", "07:05", At(2001, 12, 4, 7, 5)},  // reads "1"
                {"Dec 32 2026", "7:75", At(2027, 1, 1, 7, 15)},   // rolls over like the calendar
                {"Dec 2026", "07:05", std::nullopt},
                {"Dec  4 2026", "07:05", std::nullopt},
                {"Foo 4 2026", "07:05", std::nullopt},  // would move the row into another year
                {"", "07:05", std::nullopt},            // a time alone lies on 30 December 1899
                {"07:05", "", std::nullopt},
                {"Dec 4 99999", "07:05", std::nullopt},
                {"Dec 32000 9999", "07:05", std::nullopt}};
  for (const auto& c : kCases) {
    EXPECT_EQ(ReadDateTime(c.date, c.time, kDe), c.value) << c.date << " " << c.time;
  }
  EXPECT_EQ(ReadDateTime("Dez. 04, 2026", "07:05", kUs), At(2026, 12, 4, 7, 5));
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

TEST(ReadDateTime, MonthNamesAndTimesOfDay) {
  const std::pair<std::string, int> kMonths[] = {
      {"AÔUT", 8}, {"mär", 3},  {"  Dez. ", 12}, {"ožujak", 3}, {"Jänner", 1},   {"április", 4},
      {"ag", 8},   {"Ag.", -1}, {"Ja", -1},      {"szep", -1},  {"\xff\xfe", -1}};
  for (const auto& [name, month] : kMonths) EXPECT_EQ(MonthFromName(name), month) << name;
  const std::pair<std::string, std::string> kTimes[] = {
      {"12:10 AM", "00:10"}, {"12:10 PM", "12:10"},
      {"1:10 pm", "13:10"},  {"23:59:59", "23:59"},
      {"7:120", "07:00"},    {"123:05", "23:05"},
      {"abc", "00:00"},      {std::string(400, '9') + ":" + std::string(400, '9'), "99:39"}};
  for (const auto& [text, normalized] : kTimes) EXPECT_EQ(NormalizeTime(text), normalized) << text;
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
  EXPECT_EQ(ui.messages[0].text,
            "Die Import-Daten enthielten auch Daten aus der Zukunft. Dies deutet "
            "möglicherweise darauf hin, dass Datum/Uhrzeit auf dem Gerät oder Ihrem Computer "
            "verstellt sind!\r\n\r\nSie finden deshalb möglicherweise die importierten Daten "
            "nicht im erwarteten Zeitraum. Der neueste Datensatz aus diesem Import ist vom "
            "05.12.2026 08:00:00!\r\n\r\nBitte kontrollieren Sie unbedingt die "
            "Geräteeinstellungen für Datum/Uhrzeit und korrigieren Sie ggf. die zu "
            "importierenden Daten.");
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
