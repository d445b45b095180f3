#include "importer/record_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "fakes/golden_text.h"
#include "importer/bg_record_groups.h"
#include "importer_process.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::GoldenFile;
using testing::WithCrLf;

// Gives `serial`, and with `cancel` leaves the cancel answer behind.
struct FixedSerial : SerialNumberSource {
  explicit FixedSerial(std::string serial, bool cancel = false) : serial(serial), cancel(cancel) {}
  std::string ResolveSerialNumber(ProcessContext& context) override {
    ++calls;
    if (cancel) context.dialogResult = DialogAnswer::kCancel;
    return serial;
  }
  std::string serial;
  bool cancel;
  int calls = 0;
};

class ConversionTest : public ::testing::Test, public testing::ImporterProcess {
 protected:
  // Converts the row text (CR LF) on two threads (every split taken, however small the
  // text) and on one, expects the same, and gives the one-thread result.
  ConversionResult Convert(std::string_view rows, std::string_view unit = "mg/dL") {
    FixedSerial serials("SN-4711");
    UseTwoThreads();
    const ConversionResult two = ConvertRows(*context, RowTable::FromText(rows), unit, serials);
    UseOneThread();
    ConversionResult one = ConvertRows(*context, RowTable::FromText(rows), unit, serials);
    EXPECT_TRUE(one.result == two.result);  // no dump of megabytes on a difference
    EXPECT_EQ(one.json, two.json);
    EXPECT_EQ(std::tie(one.rowCount, one.bgRecords, one.cgmReadings),
              std::tie(two.rowCount, two.bgRecords, two.cgmReadings));
    return one;
  }
};

// Row texts and the documents written from them: a day of mg/dL rows merged into records
// (the 07:45 record changed last, by the flag M1, so it comes last), mmol/L values with
// the static serial, the plain list (its file ends with an empty line: the list ends with
// a line break), CGM readings in time order beside carbohydrates.
TEST_F(ConversionTest, RowTextsGiveTheirDocuments) {
  const struct {
    std::string name, unit, settings, document, json = "";
  } kCases[] = {{"day", "mg/dL", "", "day.xml"},
                {"static_serial", "mmol/L", "[OXSW]\nXML-SNo-Static=1\n", "static_serial.xml"},
                {"list", "mmol/L", "[Driver]\nXML=0\n", "list.txt"},
                {"cgm", "mg/dL", "", "cgm.xml", "cgm.json"}};
  for (const auto& c : kCases) {
    std::ofstream(dir.File("TavrinPlugin.ini"), std::ios::binary) << WithCrLf(c.settings);
    const ConversionResult r =
        Convert(GoldenFile("importer/" + c.name + "_rows.txt") + "\r\n", c.unit);
    EXPECT_EQ(r.result, GoldenFile("importer/" + c.document)) << c.name;
    EXPECT_EQ(r.json, c.json.empty() ? "" : GoldenFile("importer/" + c.json)) << c.name;
    EXPECT_EQ(r.cgmReadings, c.json.empty() ? 0 : 3);
    EXPECT_FALSE(r.cancelled);
  }
  EXPECT_TRUE(ui.messages.empty());
}

// One store fed with every row in turn (one thread) against two stores, one per group of
// record keys, merged by the rows' places (two threads): see Convert.
TEST_F(ConversionTest, RecordsComeInTheOrderOfOnePassOverTheRows) {
  // Rows over several hours and days: records of both key groups, touched again and again,
  // and further records; then so many records that their lines are written in halves.
  const char* const kRows[] = {
      ";1;120", ";1b;99", ";3;45", ";4;2,5", ";4b;1",
      ";5;12",  ";2;NBZ", ";2;P1", ";8;Run", ";7;Messung mit Kontrolllösung 104 mg/dL"};
  for (const auto& [rowCount, minutes] : {std::pair{4000, 3u}, std::pair{9000, 60u}}) {
    std::mt19937 random(20261206);
    std::string rows;
    unsigned groups[2] = {0, 0};
    for (int i = 0; i < rowCount; ++i) {
      const unsigned day = 1 + random() % 3, hour = random() % 24, minute = random() % minutes;
      char date[32], time[32];
      std::snprintf(date, sizeof date, "2026-12-%02u", day);
      std::snprintf(time, sizeof time, "%02u:%02u", hour, minute);
      ++groups[BgRecordGroups::GroupOf(date, time)];
      rows +=
          date + 8 + std::string(".12.2026 ") + time + kRows[random() % std::size(kRows)] + "\r\n";
    }
    EXPECT_TRUE(groups[0] > 0 && groups[1] > 0);
    EXPECT_GT(Convert(rows).bgRecords, rowCount == 4000 ? 200 : 4000);
  }
}

// --- Questions before the conversion, and errors

TEST_F(ConversionTest, DataAgeAndSerialQuestions) {
  FixedSerial serials("SN-4711");
  const auto convert = [&](std::string_view rows, SerialNumberSource& source) {
    return ConvertRows(*context, RowTable::FromText(WithCrLf(rows)), "mg/dL", source);
  };
  // Cancel at the data-age question: no serial asked, no result.
  ConversionResult r = convert("05.03.2024 07:45;1;100\n", serials);
  EXPECT_TRUE(r.cancelled && r.result.empty() && context->dialogResult == DialogAnswer::kCancel);
  EXPECT_EQ(serials.calls, 0);
  // The range spans the readable stamps of rows with a code; one line is earliest and latest.
  ui.messageAnswers = {MessageResult::Ok, MessageResult::Ok};
  convert(
      "xx.03.2024 07:45;1;100\n10.11.2026 08:00;;100\n01.06.2026 09:00;1;100\n"
      "01.05.2026 10:00;1;100\n02.05.2026 10:00;1;100\n",
      serials);
  convert("05.03.2027 07:45;1;100\n", serials);
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_NE(ui.messages[1].text.find("01.05.2026 10:00"), std::string::npos);
  EXPECT_NE(ui.messages[2].text.find("05.03.2027 07:45"), std::string::npos);
  // No dated row asks nothing; an empty serial becomes "unknown"; an earlier cancel
  // does not end this run, a cancel in the serial step does.
  EXPECT_FALSE(convert("", serials).cancelled);
  EXPECT_EQ(ui.messages.size(), 3u);
  context->dialogResult = DialogAnswer::kCancel;
  FixedSerial empty("");
  r = convert("01.12.2026 07:45;1;100\n", empty);
  EXPECT_EQ(r.serialNumber, "unknown");
  EXPECT_NE(r.result.find("<DEVICE  Name=\"Tavrin App\" SN=\"unknown\""), std::string::npos);
  FixedSerial cancel("", true);
  r = convert("01.12.2026 07:45;1;100\n", cancel);
  EXPECT_TRUE(r.cancelled && r.result.empty() && context->dialogResult == DialogAnswer::kCancel);
}

TEST_F(ConversionTest, GlucoseOutsideTheSixteenBitRangeIsAnOverflow) {
  try {
    Convert("01.12.2026 07:45;1;100\r\n01.12.2026 07:46;1;32767.5\r\n");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Detail(), "Overflow: 01.12.2026 07:46;1;32767.5 (6)");
  }
  EXPECT_EQ(Convert("01.12.2026 07:45;1;-32768.5\r\n").bgRecords, 1);
}

TEST_F(ConversionTest, ManyValuesAtOneMinuteConvertInLinearTime) {
  std::string rows;
  constexpr int kRows = 50000;
  for (int i = 0; i < kRows; ++i)
    rows += "01.12.2026 00:00;1;" + std::to_string(100 + i % 50) + "\r\n";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Convert(rows).bgRecords, kRows);
  // Key suffixes probed one by one would take minutes.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
}

// --- Sorting

TEST(SortTexts, SortsByCodeUnitsWithoutQuadraticTime) {
  // U+1F600 is a surrogate pair in UTF-16 and sorts before U+FF21.
  std::vector<std::string> texts = {"b", "\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "B", ""};
  SortTexts(texts);
  EXPECT_EQ(texts, (std::vector<std::string>{"", "B", "b", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));
  std::mt19937 random(7);
  texts.resize(100000);
  for (std::string& text : texts) text = std::to_string(random() % 2000000);
  std::vector<std::string> expected = texts, same(100000, "2026-01-01T00:00:00Z_100");
  std::sort(expected.begin(), expected.end());
  const auto start = std::chrono::steady_clock::now();
  // Random, then sorted, then reversed entries; a poor pivot makes the latter quadratic.
  for (const bool reversed : {false, false, true}) {
    if (reversed) std::reverse(texts.begin(), texts.end());
    SortTexts(texts);
    EXPECT_TRUE(texts == expected);
  }
  SortTexts(same);
  // Quadratic behaviour would take hours.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
}

}  // namespace
}  // namespace tavrin
