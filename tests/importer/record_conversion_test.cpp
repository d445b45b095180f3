#include "importer/record_conversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../../tools/export_generator.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/golden_text.h"
#include "fakes/temp_dir.h"
#include "formats/program_version.h"
#include "formats/xml_writer.h"
#include "importer/bg_record_groups.h"
#include "importer/export_reader.h"
#include "platform/languages.h"
#include "platform/posix/openssl_crypto.h"
#include "platform/process_context.h"
#include "shared/error.h"

namespace tavrin {
namespace {

using testing::BitwiseMcrf4xx;
using testing::FakePlatform;
using testing::FakeUi;
using testing::TempDir;
using testing::WithCrLf;

// The finished document for a hand-written one with an empty CHECK element.
std::string WithCheckValue(const std::string& document) {
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04X", BitwiseMcrf4xx(document));
  std::string out = document;
  const std::string element = "<CHECK CRC=\"";
  out.insert(out.find(element) + element.size(), digits);
  return out;
}

std::string VersionText() {
  return std::to_string(kProgramVersion.major) + "." + std::to_string(kProgramVersion.minor) + "." +
         std::to_string(kProgramVersion.revision);
}

class FixedSerial : public SerialNumberSource {
 public:
  explicit FixedSerial(std::string serial, bool cancel = false)
      : serial_(std::move(serial)), cancel_(cancel) {}
  std::string ResolveSerialNumber(ProcessContext& context) override {
    ++calls;
    if (cancel_) context.dialogResult = "Cancel";
    return serial_;
  }
  int calls = 0;

 private:
  std::string serial_;
  bool cancel_;
};

// A process with its program in a temporary folder; "now" is 4 December 2026 23:35.
class ConversionTest : public ::testing::Test {
 protected:
  ConversionTest() {
    platform_.programPath = dir_.File("TavrinPlugin");
    platform_.crypto = &crypto_;
    context_ = std::make_unique<ProcessContext>(platform_, ui_);
    context_->languages = std::make_unique<Languages>(platform_, context_->paths, "DE");
  }

  void WriteSettings(std::string_view text) {
    std::ofstream(dir_.File("TavrinPlugin.ini"), std::ios::binary) << WithCrLf(text);
  }

  ConversionResult Convert(std::string_view rows, std::string_view unit = "mg/dL",
                           std::string serial = "SN-4711") {
    FixedSerial serials(std::move(serial));
    return ConvertRows(*context_, WithCrLf(rows), unit, serials);
  }

  TempDir dir_;
  OpenSslCrypto crypto_;
  FakePlatform platform_;
  FakeUi ui_;
  std::unique_ptr<ProcessContext> context_;
};

std::string Header(std::string_view serial, std::string_view unit) {
  const std::string v = VersionText();
  return "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
         "<?xml-stylesheet type=\"text/xls\" href=\"VTOXIXMT.xsl\" ?>\n"
         "<IMPORT>\n"
         "<VTOXIX Type=\"0000\" SN=\"" +
         std::string(serial) + "\" Ver=\"" + v +
         "\"/>\n"
         "<DEVICE  Name=\"Tavrin App\" SN=\"" +
         std::string(serial) + "\" ModelNum=\"" + v +
         "\" Dt=\"2026-12-04\" Tm=\"23:35\" BGUnit=\"" + std::string(unit) +
         "\" CarbUnit=\"g\" />\n"
         "<RECENTREC Dt=\"-\" Tm=\"-\" />\n"
         "<BGDATA>\n";
}

const std::string kTrailer = "</BGDATA>\n<CHECK CRC=\"\" />\n</IMPORT>";

// --- Whole documents

TEST_F(ConversionTest, MergesADayOfRowsIntoTheHostDocument) {
  const ConversionResult r = Convert(
      "01.12.2026 07:45;1;132\n"
      "01.12.2026 07:45;3;30\n"
      "01.12.2026 07:45;4;4,5\n"
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
      "01.12.2026 07:45;2;P1\n");
  // The 07:45 record changed last (the flag M1), so it comes last.
  const std::string expected = WithCheckValue(WithCrLf(
      Header("SN-4711", "mg/dL") +
      "<BG Val=\"95\" Dt=\"2026-12-01\" Tm=\"08:10\" Evt=\"20, 29\" D=\"1\" />\n"
      "<BG Val=\"101\" Dt=\"2026-12-01\" Tm=\"08:10\" D=\"1\" />\n"
      "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"12:00\" Carb=\"15\" Ins2=\"6\" D=\"1\" />\n"
      "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"12:05\" Ins3=\"2\" D=\"1\" />\n"
      "<BG Val=\"112\" Dt=\"2026-12-01\" Tm=\"12:30\" D=\"1\" Ctrl=\"1\" />\n"
      "<BG Val=\"88\" Dt=\"2026-12-01\" Tm=\"13:15\" Flg=\"*\" D=\"1\" />\n"
      "<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"13:20\" Evt=\"75\" D=\"1\" />\n"
      "<BG Val=\"132\" Dt=\"2026-12-01\" Tm=\"07:45\" Flg=\"M1\" Carb=\"30\" Ins1=\"4.5\" D=\"1\" "
      "/>\n" +
      kTrailer));
  EXPECT_EQ(r.result, expected);
  EXPECT_FALSE(r.cancelled);
  EXPECT_EQ(r.json, "");
  EXPECT_EQ(r.serialNumber, "SN-4711");
  EXPECT_EQ(r.rowCount, 14);  // without 4b, 0 and IPBR
  EXPECT_EQ(r.bgRecords, 8);
  EXPECT_EQ(ui_.messages.size(), 0u);
}

TEST_F(ConversionTest, WritesMmolValuesWithOneDecimalAndAStaticSerialWhenAsked) {
  WriteSettings("[OXSW]\nXML-SNo-Static=1\n");
  const ConversionResult r = Convert(
      "02.12.2026 06:00;1;100\n"
      "02.12.2026 06:05;1;90\n",
      "mmol/L");
  std::string header = Header("SN-4711", "mmol/L");
  header.replace(header.find("SN=\"SN-4711\""), 12, "SN=\"OXP-Tavrin \"");
  const std::string expected =
      WithCheckValue(WithCrLf(header +
                              "<BG Val=\"5.5\" Dt=\"2026-12-02\" Tm=\"06:00\" D=\"1\" />\n"
                              "<BG Val=\"5\" Dt=\"2026-12-02\" Tm=\"06:05\" D=\"1\" />\n" +
                              kTrailer));
  EXPECT_EQ(r.result, expected);
}

TEST_F(ConversionTest, EscapesValuesThatWouldBreakTheDocument) {
  const ConversionResult r = Convert("01.12.2026 07:45;1;<5 'lo'\n");
  EXPECT_NE(r.result.find("<BG Val=\"&lt;5 &apos;lo&apos;\" Dt=\"2026-12-01\""), std::string::npos);
}

TEST_F(ConversionTest, GivesThePlainListWhenTheXmlOutputIsOff) {
  WriteSettings("[Driver]\nXML=0\n");
  const ConversionResult r = Convert(
      "01.12.2026 07:45;04;4,5\n"
      "01.12.2026 07:45;1;132\n"
      "01.12.2026 07:50;0;1\n"
      "01.12.2026 07:50;ipbr;1\n"
      "01.12.2026 07:55;4b;2\n"
      "01.12.2026 08:00;1b;90\n"
      "01.12.2026 08:05;9;80\n",
      "mmol/L");
  EXPECT_EQ(r.result, WithCrLf("Tavrin App;SN-4711;4;mmol/L\n"
                               "2026-12-01;07:45;4;4,5\n"
                               "2026-12-01;07:45;1;7.3\n"
                               "2026-12-01;08:00;1b;5\n"
                               "2026-12-01;08:05;9;80\n"));
  EXPECT_EQ(r.bgRecords, 3);
}

TEST_F(ConversionTest, GivesNoDocumentWithoutBgRecords) {
  const ConversionResult r = Convert(
      "01.12.2026 07:45;6;text\n"
      "01.12.2026 07:50;0;1\n"
      "01.12.2026 07:55;2;--1\n");
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(r.rowCount, 2);
  EXPECT_EQ(r.bgRecords, 0);
}

TEST_F(ConversionTest, GeneratedExportReadsAndConvertsIntoAConsistentDocument) {
  tools::ExportGenerator generator;
  std::string file = tools::ExportGenerator::Header();
  for (int i = 0; i < 5000; ++i) generator.AppendRow(file);
  const ExportReadResult read = ReadExportText(*context_, file);
  ASSERT_EQ(read.exportUnit, "mg/dL");
  FixedSerial serials("SN-4711");
  const ConversionResult r = ConvertRows(*context_, read.rowText, read.exportUnit, serials);
  EXPECT_EQ(ui_.messages.size(), 0u);  // recent data: no age warning
  EXPECT_GT(r.rowCount, 5000);
  std::size_t lines = 0;
  for (std::size_t at = r.result.find("\r\n<BG "); at != std::string::npos;
       at = r.result.find("\r\n<BG ", at + 1)) {
    ++lines;
  }
  EXPECT_EQ(static_cast<long>(lines), r.bgRecords);
  const std::string unchecked = [&] {
    std::string document = r.result;
    const std::size_t at = document.find("<CHECK CRC=\"") + 12;
    document.erase(at, 4);
    return document;
  }();
  // The check value counts each character as one byte of the ANSI code page.
  EXPECT_EQ(platform_.Utf8ToAnsi(r.result), WithCheckValue(platform_.Utf8ToAnsi(unchecked)));
}

TEST_F(ConversionTest, RecordsComeInTheOrderOfOnePassOverTheRows) {
  // Rows over several hours and days: records of both key groups, touched again and again,
  // and further records; then so many records that their lines are written in two halves.
  struct Code {
    const char* code;
    int storeCode;
    const char* value;
  };
  const Code kCodes[] = {{"1", 1, "120"}, {"1b", -1, "99"},
                         {"3", 3, "45"},  {"4", 4, "2,5"},
                         {"4b", -2, "1"}, {"5", 5, "12"},
                         {"2", 2, "NBZ"}, {"2", 2, "P1"},
                         {"8", 8, "Run"}, {"7", 7, "Messung mit Kontrolllösung 104 mg/dL"}};
  for (const auto& [rowCount, minutes] : {std::pair{4000, 3u}, std::pair{9000, 60u}}) {
    std::mt19937 random(20261206);
    std::string rows;
    BgRecordStore reference(NoteLabels::FromContext(*context_));
    std::vector<unsigned> groups;
    for (int i = 0; i < rowCount; ++i) {
      const Code& c = kCodes[random() % std::size(kCodes)];
      const unsigned day = 1 + random() % 3, hour = random() % 24, minute = random() % minutes;
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "%02u.12.2026 %02u:%02u", day, hour, minute);
      rows += std::string(stamp) + ";" + c.code + ";" + c.value + "\n";
      char date[32], time[32];
      std::snprintf(date, sizeof date, "2026-12-%02u", day);
      std::snprintf(time, sizeof time, "%02u:%02u", hour, minute);
      reference.AddBgValue(date, time, c.storeCode, c.value, "mg/dL");
      groups.push_back(BgRecordGroups::GroupOf(date, time));
    }
    // Both groups are in use, so the records of two stores are merged.
    EXPECT_NE(std::count(groups.begin(), groups.end(), 0u), 0);
    EXPECT_NE(std::count(groups.begin(), groups.end(), 1u), 0);

    const ConversionResult r = Convert(rows);
    cStringBuilder expected;
    WriteBgRecords(reference.RecordTexts(), expected);
    const std::size_t from = r.result.find("<BG ");
    const std::size_t to = r.result.find("</BGDATA>");
    ASSERT_NE(to, std::string::npos);
    EXPECT_TRUE(r.result.substr(from, to - from) == expected.ToString()) << rowCount;
    EXPECT_EQ(r.bgRecords, static_cast<long>(reference.Count()));
    EXPECT_GT(r.bgRecords, rowCount == 4000 ? 200 : 4000);
  }
}

// --- CGM readings

TEST_F(ConversionTest, OnlyCgmRowsGiveAJsonStreamInTimeOrderAndNoXml) {
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
  EXPECT_NE(r.json.find("2026-12-01T07:55:00Z"), std::string::npos);
  EXPECT_EQ(r.json.substr(r.json.size() - 1), "}");
}

TEST_F(ConversionTest, CarbohydratesBesideCgmRowsGoIntoBothDocuments) {
  const ConversionResult r = Convert(
      "01.12.2026 07:45;UDTCGMS;100\n"
      "01.12.2026 07:45;3;10+5\n");
  EXPECT_NE(r.json.find("\"carb\""), std::string::npos);
  EXPECT_NE(r.result.find("<BG Val=\"---\" Dt=\"2026-12-01\" Tm=\"07:45\" Carb=\"15\" D=\"1\" />"),
            std::string::npos);
}

TEST_F(ConversionTest, RowTextWithoutCgmRowsGivesNoJson) {
  EXPECT_EQ(Convert("01.12.2026 07:45;1;100\n").json, "");
}

// --- Questions before the conversion

TEST_F(ConversionTest, CancelAtTheDataAgeQuestionEndsWithoutResult) {
  FixedSerial serials("SN-4711");
  const ConversionResult r =
      ConvertRows(*context_, WithCrLf("05.03.2024 07:45;1;100\n"), "mg/dL", serials);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(context_->dialogResult, "Cancel");
  EXPECT_EQ(serials.calls, 0);
  ASSERT_EQ(ui_.messages.size(), 1u);
}

TEST_F(ConversionTest, OneDataLineIsBothTheEarliestAndTheLatestMoment) {
  ui_.messageAnswers.push_back(MessageResult::Ok);
  Convert("05.03.2024 07:45;1;100\n");  // old data: the warning names the earliest
  ui_.messageAnswers.push_back(MessageResult::Ok);
  Convert("05.03.2027 07:45;1;100\n");  // future data: the warning names the latest
  ASSERT_EQ(ui_.messages.size(), 2u);
  EXPECT_NE(ui_.messages[0].text.find("05.03.2024 07:45"), std::string::npos);
  EXPECT_NE(ui_.messages[1].text.find("05.03.2027 07:45"), std::string::npos);
}

TEST_F(ConversionTest, RangeSpansAllRowsAndSkipsUnreadableStamps) {
  ui_.messageAnswers.push_back(MessageResult::Ok);
  Convert(
      "xx.03.2024 07:45;1;100\n"  // no date: not part of the range
      "10.11.2026 08:00;;100\n"   // no code: not part of the range
      "01.06.2026 09:00;1;100\n"
      "01.05.2026 10:00;1;100\n"
      "02.05.2026 10:00;1;100\n");
  ASSERT_EQ(ui_.messages.size(), 1u);
  EXPECT_NE(ui_.messages[0].text.find("01.05.2026 10:00"), std::string::npos);
}

TEST_F(ConversionTest, RowTextWithoutDatedRowsAsksNothing) {
  const ConversionResult r = Convert("");
  EXPECT_EQ(ui_.messages.size(), 0u);
  EXPECT_FALSE(r.cancelled);
  EXPECT_EQ(r.result, "");
}

TEST_F(ConversionTest, CancelInTheSerialStepEndsWithoutResult) {
  FixedSerial serials("", true);
  const ConversionResult r =
      ConvertRows(*context_, WithCrLf("01.12.2026 07:45;1;100\n"), "mg/dL", serials);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(r.result, "");
  EXPECT_EQ(context_->dialogResult, "Cancel");
}

TEST_F(ConversionTest, EmptySerialBecomesUnknown) {
  const ConversionResult r = Convert("01.12.2026 07:45;1;100\n", "mg/dL", "");
  EXPECT_EQ(r.serialNumber, "unknown");
  EXPECT_NE(r.result.find("<DEVICE  Name=\"Tavrin App\" SN=\"unknown\""), std::string::npos);
}

TEST_F(ConversionTest, CancelLeftByAnEarlierAttemptDoesNotEndThisRun) {
  context_->dialogResult = "Cancel";
  const ConversionResult r = Convert("01.12.2026 07:45;1;100\n");
  EXPECT_FALSE(r.cancelled);
  EXPECT_NE(r.result, "");
}

// --- Row values

TEST_F(ConversionTest, GlucoseOutsideTheSixteenBitRangeIsAnOverflow) {
  try {
    Convert("01.12.2026 07:45;1;32767.5\n");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 6);
  }
  EXPECT_NO_THROW(Convert("01.12.2026 07:45;1;-32768.5\n"));
}

TEST_F(ConversionTest, GlucoseRoundsHalfToEven) {
  // 2.5 mg/dL rounds to 2 (0.1 mmol/L), 3.5 to 4 (0.2 mmol/L).
  const ConversionResult r = Convert(
      "01.12.2026 07:45;1;2.5\n"
      "01.12.2026 07:50;1;3.5\n",
      "mmol/L");
  EXPECT_NE(r.result.find("Val=\"0.1\" Dt=\"2026-12-01\" Tm=\"07:45\""), std::string::npos);
  EXPECT_NE(r.result.find("Val=\"0.2\" Dt=\"2026-12-01\" Tm=\"07:50\""), std::string::npos);
}

TEST_F(ConversionTest, EmptyGlucoseInMmolIsSkippedNotZero) {
  const ConversionResult r = Convert("01.12.2026 07:45;1;\n", "mmol/L");
  EXPECT_EQ(r.bgRecords, 0);
  EXPECT_EQ(r.rowCount, 0);
}

TEST_F(ConversionTest, ManyValuesAtOneMinuteConvertInLinearTime) {
  std::string rows;
  constexpr int kRows = 50000;
  for (int i = 0; i < kRows; ++i)
    rows += "01.12.2026 00:00;1;" + std::to_string(100 + i % 50) + "\n";
  const auto start = std::chrono::steady_clock::now();
  const ConversionResult r = Convert(rows);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(r.bgRecords, kRows);
  EXPECT_LT(seconds, 10.0);  // key suffixes probed one by one would take minutes
}

// --- Units and sorting

TEST(ConvertBgUnit, ConvertsBetweenTheTwoUnitsOnly) {
  EXPECT_FLOAT_EQ(ConvertBgUnit(100, "mmol/l", "mg/dl"), 5.5f);
  EXPECT_FLOAT_EQ(ConvertBgUnit(132, "MMOL/L", "mg/dL"), 7.3f);
  EXPECT_FLOAT_EQ(ConvertBgUnit(5.5f, "mg/dl", "mmol/l"), 99.0f);
  EXPECT_FLOAT_EQ(ConvertBgUnit(100, "mg/dl", "mg/dl"), 100.0f);
  EXPECT_FLOAT_EQ(ConvertBgUnit(100, "g", "mg/dl"), 100.0f);
}

TEST(SortTexts, SortsByCodeUnits) {
  std::vector<std::string> texts = {
      "b", "a", "B", "", "ab", "a", "\xEF\xBC\xA1", "\xF0\x9F\x98\x80"};
  SortTexts(texts);
  // U+1F600 is a surrogate pair in UTF-16 and sorts before U+FF21.
  EXPECT_EQ(texts, (std::vector<std::string>{"", "B", "a", "a", "ab", "b", "\xF0\x9F\x98\x80",
                                             "\xEF\xBC\xA1"}));
}

TEST(SortTexts, SortsOnlyBetweenTheBounds) {
  std::vector<std::string> texts = {"z", "c", "b", "a", "0"};
  SortTexts(texts, 1, 3);
  EXPECT_EQ(texts, (std::vector<std::string>{"z", "a", "b", "c", "0"}));
}

TEST(SortTexts, AgreesWithAReferenceSortOnRandomInput) {
  std::mt19937 random(7);
  std::vector<std::string> texts;
  for (int i = 0; i < 20000; ++i) texts.push_back(std::to_string(random() % 500));
  std::vector<std::string> expected = texts;
  std::sort(expected.begin(), expected.end());
  SortTexts(texts);
  EXPECT_EQ(texts, expected);
}

TEST(SortTexts, HalfAMillionSortedOrReversedEntriesTakeNoQuadraticTime) {
  // One reading a minute, in time order.
  std::vector<std::string> sorted;
  constexpr int kCount = 500000;
  char buffer[48];
  for (int i = 0; i < kCount; ++i) {
    const int day = i / 1440;
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:00Z_%d", 2026 + day / 336,
                  1 + day / 28 % 12, 1 + day % 28, i / 60 % 24, i % 60, 100 + i % 7);
    sorted.emplace_back(buffer);
  }
  ASSERT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  std::vector<std::string> texts = sorted;
  const auto start = std::chrono::steady_clock::now();
  SortTexts(texts);
  EXPECT_TRUE(texts == sorted);
  std::reverse(texts.begin(), texts.end());
  SortTexts(texts);
  EXPECT_TRUE(texts == sorted);
  std::vector<std::string> same(kCount / 5, "2026-01-01T00:00:00Z_100");
  SortTexts(same);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 30.0);  // quadratic behaviour would take hours
}

}  // namespace
}  // namespace tavrin
