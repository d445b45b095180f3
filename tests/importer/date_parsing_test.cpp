#include "importer/date_parsing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/languages.h"
#include "platform/process_context.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::FakeUi;
using testing::TempDir;

DateTime At(int year, int month, int day, int hour = 0, int minute = 0) {
  return DateTime{year, month, day, hour, minute, 0};
}

std::optional<DateTime> ReadGerman(std::string_view date, std::string_view time) {
  return ReadDateTime(date, time, RegionalSettings::German());
}
std::optional<DateTime> ReadUS(std::string_view date, std::string_view time) {
  return ReadDateTime(date, time, RegionalSettings::EnglishUS());
}

// --- ReadDateTime

TEST(ReadDateTime, RegionalFormConvertsDirectly) {
  EXPECT_EQ(ReadGerman("04.12.2026", "07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(ReadUS("12/4/2026", "7:05 PM"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(ReadUS("2026-12-04", "19:05"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(ReadGerman("04.12.2026", ""), At(2026, 12, 4));
}

TEST(ReadDateTime, MonthNameDayYearWhenTheRegionalFormFails) {
  EXPECT_EQ(ReadGerman("Dec 4 2026", "7:05 PM"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(ReadUS("Dez. 04, 2026", "07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(ReadUS("szeptember 4 2026", "07:05"), At(2026, 9, 4, 7, 5));
  EXPECT_EQ(ReadGerman("août 15 2026", "12:10 AM"), At(2026, 8, 15, 0, 10));
  EXPECT_EQ(ReadGerman("Dec 4 2026", "12:10 PM"), At(2026, 12, 4, 12, 10));
  EXPECT_EQ(ReadGerman("Dec 4 2026", "7:05:59 pm"), At(2026, 12, 4, 19, 5));
  EXPECT_EQ(ReadGerman("Dec 4 2026", "12:10:30 AM"), At(2026, 12, 4, 0, 10));
  EXPECT_EQ(ReadGerman("Dec 4 2026", "7"), At(2026, 12, 4, 7, 0));
  // Halves round to the even neighbour.
  EXPECT_EQ(ReadGerman("Dec 4.5 2026", "07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(ReadGerman("Dec 5.5 2026", "07:05"), At(2026, 12, 6, 7, 5));
  EXPECT_EQ(ReadGerman("Dec 4 26", "07:05"), At(2026, 12, 4, 7, 5));
  EXPECT_EQ(ReadGerman("Dec 4 75", "07:05"), At(1975, 12, 4, 7, 5));
  EXPECT_EQ(ReadGerman("Dec 4 1e400", "07:05"), At(2001, 12, 4, 7, 5));  // reads "1"
}

TEST(ReadDateTime, MonthNameFormRollsOverLikeTheCalendar) {
  EXPECT_EQ(ReadGerman("Dec 32 2026", "07:05"), At(2027, 1, 1, 7, 5));
  EXPECT_EQ(ReadGerman("Dec 4 2026", "25:00"), At(2026, 12, 5, 1, 0));
  EXPECT_EQ(ReadGerman("Dec 4 2026", "7:75"), At(2026, 12, 4, 7, 15));
}

TEST(ReadDateTime, NoDate) {
  // Two or four blank-separated parts.
  EXPECT_EQ(ReadGerman("Dec 2026", "07:05"), std::nullopt);
  EXPECT_EQ(ReadGerman("Dec 4 2026 x", "07:05"), std::nullopt);
  EXPECT_EQ(ReadGerman("Dec  4 2026", "07:05"), std::nullopt);
  // A month in no table would otherwise move the row into another year.
  EXPECT_EQ(ReadGerman("Foo 4 2026", "07:05"), std::nullopt);
  // Read alone, a time lies on 30 December 1899.
  EXPECT_EQ(ReadGerman("", "07:05"), std::nullopt);
  EXPECT_EQ(ReadUS("", "7:05 PM"), std::nullopt);
  EXPECT_EQ(ReadGerman("07:05", ""), std::nullopt);
  // Beyond a 16-bit number or the date range.
  EXPECT_EQ(ReadGerman("Dec 4 99999", "07:05"), std::nullopt);
  EXPECT_EQ(ReadGerman("Dec 99999 2026", "07:05"), std::nullopt);
  EXPECT_EQ(ReadGerman("Dec 32000 9999", "07:05"), std::nullopt);
  EXPECT_EQ(ReadGerman("Dec 4 " + std::string(400, '9'), "07:05"), std::nullopt);
}

TEST(ReadDateTime, GarbageNeverThrows) {
  const std::string alphabet = "0123456789 :.,/-aApPDecJanFooäû\xff";
  std::mt19937 random(4122026);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 16);
  for (int round = 0; round < 3000; ++round) {
    std::string date;
    std::string time;
    for (int n = length(random); n > 0; --n) date += alphabet[pick(random)];
    for (int n = length(random); n > 0; --n) time += alphabet[pick(random)];
    EXPECT_NO_THROW(ReadGerman(date, time));
    EXPECT_NO_THROW(ReadUS(date, time));
    EXPECT_EQ(NormalizeTime(time).size(), 5u);
  }
}

// --- MonthFromName

TEST(MonthFromName, NamesOfManyLanguages) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"szeptember", 9}, {"août", 8},    {"AOÛT", 8},    {"AÔUT", 8},   {"mär", 3},
      {"  Dez. ", 12},   {"février", 2}, {"juillet", 7}, {"ožujak", 3}, {"Jänner", 1},
      {"április", 4},    {"déc.", 12},   {"ag", 8},      {"agosto", 8}, {"Ag.", -1},
      {"", -1},          {"Ja", -1},     {"Foo", -1},    {"szep", -1},  {"\xff\xfe", -1}};
  for (const auto& [name, month] : cases) EXPECT_EQ(MonthFromName(name), month) << name;
}

// --- NormalizeTime

TEST(NormalizeTime, TwentyFourHourClockFromManyForms) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"12:10 AM", "00:10"},
      {"12:10 PM", "12:10"},
      {"1:10 pm", "13:10"},
      {"23:59:59", "23:59"},
      {"7", "07:00"},
      {"7:75", "07:15"},
      {"7:120", "07:00"},
      {"123:05", "23:05"},
      {"", "00:00"},
      {"abc", "00:00"},
      {std::string(400, '9') + ":" + std::string(400, '9'), "99:39"}};
  for (const auto& [text, normalized] : cases) EXPECT_EQ(NormalizeTime(text), normalized) << text;
}

// --- CheckDataAge

class CheckDataAgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.programPath = dir.File("TavrinPlugin");
    platform.now = DateTime{2026, 12, 4, 23, 35, 8};
    context = std::make_unique<ProcessContext>(platform, ui);
    context->languages = std::make_unique<Languages>(platform, context->paths, "DE");
  }

  void WriteSettings(const std::string& content) {
    std::ofstream(dir.File("TavrinPlugin.ini"), std::ios::binary) << content;
  }
  std::string ReadSettings() {
    std::ifstream in(dir.File("TavrinPlugin.ini"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir;
  FakePlatform platform;
  FakeUi ui;
  std::unique_ptr<ProcessContext> context;
};

TEST_F(CheckDataAgeTest, FutureDataWarnsAndCancelAborts) {
  ui.messageAnswers = {MessageResult::Cancel, MessageResult::Ok};
  EXPECT_TRUE(CheckDataAge(*context, At(2026, 11, 1, 6, 0), At(2026, 12, 5, 8, 0)));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text,
            "Die Import-Daten enthielten auch Daten aus der Zukunft. Dies deutet "
            "möglicherweise darauf hin, dass Datum/Uhrzeit auf dem Gerät oder Ihrem Computer "
            "verstellt sind!\r\n\r\nSie finden deshalb möglicherweise die importierten Daten "
            "nicht im erwarteten Zeitraum. Der neueste Datensatz aus diesem Import ist vom "
            "05.12.2026 08:00:00!\r\n\r\nBitte kontrollieren Sie unbedingt die "
            "Geräteeinstellungen für Datum/Uhrzeit und korrigieren Sie ggf. die zu "
            "importierenden Daten.");
  EXPECT_EQ(ui.messages[0].caption, "TavrinPlugin");
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);

  // OK continues; a minute ahead of the clock is the future too.
  EXPECT_FALSE(CheckDataAge(*context, At(2026, 12, 4), At(2026, 12, 4, 23, 36)));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_NE(ui.messages[1].text.find("aus der Zukunft"), std::string::npos);
}

TEST_F(CheckDataAgeTest, OldDataWarnsAfterThirtyOneDays) {
  EXPECT_FALSE(CheckDataAge(*context, At(2026, 12, 1), DateTime{2026, 12, 4, 23, 35, 8}));
  EXPECT_FALSE(CheckDataAge(*context, At(2026, 10, 1), At(2026, 11, 3, 0, 0)));  // 31 days
  EXPECT_TRUE(ui.messages.empty());

  ui.messageAnswers = {MessageResult::Cancel, MessageResult::Ok};
  // Less than 32 full days, but 32 midnights lie between.
  EXPECT_TRUE(CheckDataAge(*context, At(2026, 1, 15, 6, 30), At(2026, 11, 2, 23, 59)));
  ASSERT_EQ(ui.messages.size(), 1u);
  const std::string& text = ui.messages[0].text;
  EXPECT_EQ(text.rfind("Die Import-Daten enthielten auch Daten älteren Datums.", 0), 0u);
  EXPECT_NE(text.find("verstellt sind!\r\n\r\nSie finden"), std::string::npos);
  EXPECT_NE(text.find("Der älteste Datensatz aus diesem Import ist vom 15.01.2026 06:30:00!"),
            std::string::npos);
  EXPECT_EQ(ui.messages[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);

  EXPECT_FALSE(CheckDataAge(*context, At(2026, 1, 15), At(2026, 2, 1)));  // OK continues
  EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(CheckDataAgeTest, ConfiguredAgeLimit) {
  WriteSettings("[Config]\r\nNumDaysOldDataWarning=60\r\n");
  EXPECT_FALSE(CheckDataAge(*context, At(2026, 10, 1), At(2026, 10, 5)));  // 60 days
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_TRUE(CheckDataAge(*context, At(2026, 10, 1), At(2026, 10, 4)));  // 61 days
  EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(CheckDataAgeTest, WarningsSwitchedOffShowNothing) {
  for (const char* off : {"0", "nein", "false"}) {
    WriteSettings(std::string("[Config]\r\nShowOldOrNewDataWarning=") + off + "\r\n");
    EXPECT_FALSE(CheckDataAge(*context, At(2026, 12, 1), At(2027, 1, 1))) << off;
    EXPECT_FALSE(CheckDataAge(*context, At(2020, 1, 1), At(2020, 2, 1))) << off;
  }
  EXPECT_TRUE(ui.messages.empty());
  WriteSettings("[Config]\r\nShowOldOrNewDataWarning=Ja\r\n");
  EXPECT_TRUE(CheckDataAge(*context, At(2026, 12, 1), At(2027, 1, 1)));
}

TEST_F(CheckDataAgeTest, SettingsFileIsNeverWritten) {
  ui.messageAnswers = {MessageResult::Ok};
  EXPECT_FALSE(CheckDataAge(*context, At(2026, 12, 1), At(2027, 1, 1)));
  EXPECT_EQ(ui.messages.size(), 1u);  // without a settings file the warning is on
  EXPECT_FALSE(std::filesystem::exists(dir.File("TavrinPlugin.ini")));

  const std::string settings =
      "[Config]\r\nLanguage=DE\r\nShowOldOrNewDataWarning=1\r\n\r\n[OXSW]\r\nXML-SNo-Static=0";
  WriteSettings(settings);
  CheckDataAge(*context, At(2026, 12, 1), At(2027, 1, 1));
  CheckDataAge(*context, At(2020, 1, 1), At(2020, 2, 1));
  EXPECT_EQ(ReadSettings(), settings);
}

}  // namespace
}  // namespace tavrin
