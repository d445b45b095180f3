#include "importer/record_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "fakes/golden_text.h"
#include "formats/xml_writer.h"
#include "importer/bg_record_groups.h"
#include "importer_process.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::WithCrLf;

// Gives `serial`, and with `cancel` leaves the cancel answer behind.
struct FixedSerial : SerialNumberSource {
  explicit FixedSerial(std::string serial, bool cancel = false) : serial(serial), cancel(cancel) {}
  std::string ResolveSerialNumber(ProcessContext& context) override {
    ++calls;
    if (cancel) context.dialogResult = "Cancel";
    return serial;
  }
  std::string serial;
  bool cancel;
  int calls = 0;
};

// The BG lines of a document, LF line ends (the lines around them are the XML writer's).
std::string Body(const std::string& document) {
  const std::size_t from = document.find("<BGDATA>\r\n") + 10;
  std::string body = document.substr(from, document.find("</BGDATA>") - from);
  std::erase(body, '\r');
  return body;
}

class ConversionTest : public ::testing::Test, public testing::ImporterProcess {
 protected:
  void WriteSettings(std::string_view text) {
    std::ofstream(dir.File("TavrinPlugin.ini"), std::ios::binary) << WithCrLf(text);
  }
  // Converts on two threads (every split taken, however small the text) and on one,
  // expects the same, and gives the one-thread result.
  ConversionResult Convert(std::string_view rows, std::string_view unit = "mg/dL") {
    FixedSerial serials("SN-4711");
    UseTwoThreads();
    const ConversionResult two = ConvertRows(*context, WithCrLf(rows), unit, serials);
    UseOneThread();
    ConversionResult one = ConvertRows(*context, WithCrLf(rows), unit, serials);
    EXPECT_TRUE(one.result == two.result);  // no dump of megabytes on a difference
    EXPECT_EQ(one.json, two.json);
    EXPECT_EQ(one.rowCount, two.rowCount);
    EXPECT_EQ(one.bgRecords, two.bgRecords);
    EXPECT_EQ(one.cgmReadings, two.cgmReadings);
    return one;
  }
};

// --- Whole documents

TEST_F(ConversionTest, MergesADayOfRowsIntoTheHostDocument) {
  const ConversionResult r = Convert(
      "01.12.2026 07:45;1;132\n"
      "01.12.2026 07:45;3;30\n"
      "01.12.2026 07:45;04;4,5\n"
      "01.12.2026 08:10;2;NBZ\n"
      "01.12.2026 08:10;2;S\n"
      "01.12.2026 08:10;1;95\n"
      "01.12.2026 08:10;1;101\n"
      "01.12.2026 12:00;3;10-20\n"
      "01.12.2026 12:00;5;6*\n"
      "01.12.2026 12:05;4b;2\n"
      "01.12.2026 12:30;7;12:30: Messung mit Kontrolllösung 112 mg/dL\n"
      "01.12.2026 13:00;0;5\n"
      "01.12.2026 13:00;IPBR;7\n"
      "01.12.2026 13:15;1b;88\n"
      "01.12.2026 13:20;8;75;1;o\n"
      "01.12.2026 13:25;6;abc\n"
      "01.12.2026 13:30;1;\n"
      "01.12.2026 07:45;2;P1\n");
  // The 07:45 record changed last (the flag M1), so it comes last.
  EXPECT_EQ(Body(r.result),
            "<BG Val=\"95\" Dt=\"2026-12-01\" Tm=\"08:10\" Evt=\"20, 29\" D=\"1\" />\n"
            "<BG Val=\"101\" Dt=\"2026-12-01\" Tm=\"08:10\" D=\"1\" />\n"
            "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"12:00\" Carb=\"15\" Ins2=\"6\" D=\"1\" />\n"
            "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"12:05\" Ins3=\"2\" D=\"1\" />\n"
            "<BG Val=\"112\" Dt=\"2026-12-01\" Tm=\"12:30\" D=\"1\" Ctrl=\"1\" />\n"
            "<BG Val=\"88\" Dt=\"2026-12-01\" Tm=\"13:15\" Flg=\"*\" D=\"1\" />\n"
            "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"13:20\" Evt=\"75\" D=\"1\" />\n"
            "<BG Val=\"132\" Dt=\"2026-12-01\" Tm=\"07:45\" Flg=\"M1\" Carb=\"30\" "
            "Ins1=\"4.5\" D=\"1\" />\n");
  EXPECT_FALSE(r.cancelled);
  EXPECT_EQ(r.json, "");
  EXPECT_EQ(r.serialNumber, "SN-4711");
  EXPECT_EQ(r.rowCount, 14);  // without 4b, 0, IPBR and the row without value
  EXPECT_EQ(r.bgRecords, 8);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ConversionTest, MmolValuesStaticSerialAndThePlainList) {
  WriteSettings("[OXSW]\nXML-SNo-Static=1\n");
  // 100 mg/dL is 5.5 mmol/L; 2.5 rounds to 2 (0.1 mmol/L), 3.5 to 4 (0.2 mmol/L).
  const ConversionResult mmol =
      Convert("02.12.2026 06:00;1;100\n02.12.2026 06:05;1;2.5\n02.12.2026 06:10;1;3.5\n", "mmol/L");
  EXPECT_EQ(Body(mmol.result),
            "<BG Val=\"5.5\" Dt=\"2026-12-02\" Tm=\"06:00\" D=\"1\" />\n"
            "<BG Val=\"0.1\" Dt=\"2026-12-02\" Tm=\"06:05\" D=\"1\" />\n"
            "<BG Val=\"0.2\" Dt=\"2026-12-02\" Tm=\"06:10\" D=\"1\" />\n");
  EXPECT_NE(mmol.result.find("<VTOXIX Type=\"0000\" SN=\"OXP-Tavrin \""), std::string::npos);
  EXPECT_NE(mmol.result.find("BGUnit=\"mmol/L\""), std::string::npos);
  WriteSettings("[Driver]\nXML=0\n");
  const ConversionResult list = Convert(
      "01.12.2026 07:45;04;4,5\n"
      "01.12.2026 07:45;1;132\n"
      "01.12.2026 07:50;0;1\n"
      "01.12.2026 07:50;ipbr;1\n"
      "01.12.2026 07:55;4b;2\n"
      "01.12.2026 08:00;1b;90\n"
      "01.12.2026 08:05;9;80\n",
      "mmol/L");
  EXPECT_EQ(list.result, WithCrLf("Tavrin App;SN-4711;4;mmol/L\n"
                                  "2026-12-01;07:45;4;4,5\n"
                                  "2026-12-01;07:45;1;7.3\n"
                                  "2026-12-01;08:00;1b;5\n"
                                  "2026-12-01;08:05;9;80\n"));
  EXPECT_EQ(list.bgRecords, 3);
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
          date + 8 + std::string(".12.2026 ") + time + kRows[random() % std::size(kRows)] + "\n";
    }
    EXPECT_TRUE(groups[0] > 0 && groups[1] > 0);
    EXPECT_GT(Convert(rows).bgRecords, rowCount == 4000 ? 200 : 4000);
  }
}

// --- CGM readings

TEST_F(ConversionTest, CgmRowsGiveAJsonStreamInTimeOrder) {
  const ConversionResult r = Convert(
      "01.12.2026 07:50;UDTCGMS;120\n"
      "01.12.2026 07:45;UDTCGMS;100\n"
      "01.12.2026 07:55;udtcgms;130\n");
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(r.cgmReadings, 3);
  EXPECT_EQ(r.rowCount, 0);
  EXPECT_NE(r.json.find("[[[0,\"2026-12-01T07:45:00Z\"],[1,104,\"NaN\"],[1,108,\"NaN\"],"
                        "[1,112,\"NaN\"],[1,116,\"NaN\"],[1,120,\"NaN\"],[1,122,\"NaN\"],"
                        "[1,124,\"NaN\"],[1,126,\"NaN\"],[1,128,\"NaN\"],[1,130,\"NaN\"]\r\n]]"),
            std::string::npos)
      << r.json;
  EXPECT_TRUE(r.json.ends_with("}"));
  // Carbohydrates beside CGM rows go into both documents.
  const ConversionResult both = Convert("01.12.2026 07:45;UDTCGMS;100\n01.12.2026 07:45;3;10+5\n");
  EXPECT_NE(both.json.find("\"carb\""), std::string::npos);
  EXPECT_EQ(Body(both.result),
            "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"07:45\" Carb=\"15\" D=\"1\" />\n");
}

// --- Questions before the conversion, and errors

TEST_F(ConversionTest, DataAgeAndSerialQuestions) {
  FixedSerial serials("SN-4711");
  const auto convert = [&](std::string_view rows, SerialNumberSource& source) {
    return ConvertRows(*context, WithCrLf(rows), "mg/dL", source);
  };
  // Cancel at the data-age question: no serial asked, no result.
  ConversionResult r = convert("05.03.2024 07:45;1;100\n", serials);
  EXPECT_TRUE(r.cancelled && r.result.empty() && context->dialogResult == "Cancel");
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
  context->dialogResult = "Cancel";
  FixedSerial empty("");
  r = convert("01.12.2026 07:45;1;100\n", empty);
  EXPECT_EQ(r.serialNumber, "unknown");
  EXPECT_NE(r.result.find("<DEVICE  Name=\"Tavrin App\" SN=\"unknown\""), std::string::npos);
  FixedSerial cancel("", true);
  r = convert("01.12.2026 07:45;1;100\n", cancel);
  EXPECT_TRUE(r.cancelled && r.result.empty() && context->dialogResult == "Cancel");
}

TEST_F(ConversionTest, GlucoseOutsideTheSixteenBitRangeIsAnOverflow) {
  try {
    Convert("01.12.2026 07:45;1;100\n01.12.2026 07:46;1;32767.5\n");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Detail(), "Overflow: 01.12.2026 07:46;1;32767.5 (6)");
  }
  EXPECT_EQ(Convert("01.12.2026 07:45;1;-32768.5\n").bgRecords, 1);
}

TEST_F(ConversionTest, ManyValuesAtOneMinuteConvertInLinearTime) {
  std::string rows;
  constexpr int kRows = 50000;
  for (int i = 0; i < kRows; ++i)
    rows += "01.12.2026 00:00;1;" + std::to_string(100 + i % 50) + "\n";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Convert(rows).bgRecords, kRows);
  // Key suffixes probed one by one would take minutes.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
}

// --- Sorting

TEST(SortTexts, SortsByCodeUnits) {
  // U+1F600 is a surrogate pair in UTF-16 and sorts before U+FF21.
  std::vector<std::string> texts = {"b", "\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "B", ""};
  SortTexts(texts);
  EXPECT_EQ(texts, (std::vector<std::string>{"", "B", "b", "\xF0\x9F\x98\x80", "\xEF\xBC\xA1"}));
  std::mt19937 random(7);
  texts.clear();
  for (int i = 0; i < 20000; ++i) texts.push_back(std::to_string(random() % 500));
  std::vector<std::string> expected = texts;
  std::sort(expected.begin(), expected.end());
  SortTexts(texts);
  EXPECT_EQ(texts, expected);
}

TEST(SortTexts, SortedReversedOrEqualEntriesTakeNoQuadraticTime) {
  std::vector<std::string> sorted(500000);
  for (std::size_t i = 0; i < sorted.size(); ++i) sorted[i] = std::to_string(1000000 + i);
  const auto start = std::chrono::steady_clock::now();
  for (const bool reversed : {false, true}) {
    std::vector<std::string> texts = sorted;
    if (reversed) std::reverse(texts.begin(), texts.end());
    SortTexts(texts);
    EXPECT_TRUE(texts == sorted);
  }
  std::vector<std::string> same(100000, "2026-01-01T00:00:00Z_100");
  SortTexts(same);
  // Quadratic behaviour would take hours.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
}

}  // namespace
}  // namespace tavrin
