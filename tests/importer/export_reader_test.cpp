#include "importer/export_reader.h"
#include "importer/csv_fields.h"
#include "importer/export_encoding.h"
#include "importer/export_rows.h"

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "../../tools/export_generator.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/process_context.h"
#include "shared/codepage.h"
#include "shared/error.h"
#include "shared/utf8.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::FakeUi;
using testing::TempDir;

using Cells = std::initializer_list<std::pair<int, std::string>>;

// A header of `count` fields: Date, Time, and the three unit-bearing names at 3, 11, 20.
std::string Header(char sep, const std::string& glucose = "Glucose (mg/dL)",
                   const std::string& carbs = "Carbohydrates (g)",
                   const std::string& weight = "Weight (kg)", int count = 36) {
  std::string h = "Date";
  for (int i = 1; i < count; ++i) {
    h += sep;
    h += i == 1 ? "Time" : i == 3 ? glucose : i == 11 ? carbs : i == 20 ? weight : "Col";
  }
  return h;
}

// A data row of 36 fields with the given cells filled.
std::string Row(char sep, Cells cells) {
  std::vector<std::string> fields(36);
  for (const auto& [index, value] : cells) fields[index] = value;
  std::string line = fields[0];
  for (int i = 1; i < 36; ++i) line += sep + fields[i];
  return line;
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

class ExportReaderTest : public ::testing::Test {
 protected:
  ExportReaderTest() {
    platform.programPath = dir.File("TavrinPlugin");
    context = std::make_unique<ProcessContext>(platform, ui);
    context->languages = std::make_unique<Languages>(platform, context->paths, "DE");
  }

  ExportReadResult Read(std::string_view bytes) { return ReadExportText(*context, bytes); }
  // One German semicolon row on 04.12.2026 07:05 below the standard header.
  std::string ReadRow(Cells cells, const std::string& header = Header(';')) {
    std::vector<std::pair<int, std::string>> all{{0, "04.12.2026"}, {1, "07:05"}};
    all.insert(all.end(), cells.begin(), cells.end());
    std::vector<std::string> fields(36);
    for (const auto& [index, value] : all) fields[index] = value;
    std::string line = fields[0];
    for (int i = 1; i < 36; ++i) line += ';' + fields[i];
    return Read(Lines({header, line})).rowText;
  }
  std::string TraceText() {
    std::ifstream in(context->trace.FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TempDir dir;
  FakePlatform platform;
  FakeUi ui;
  std::unique_ptr<ProcessContext> context;
};

constexpr const char* kStamp = "04.12.2026 07:05";
std::string L(const std::string& codeAndValue) {
  return std::string(kStamp) + ";" + codeAndValue + "\r\n";
}

// --- Splitting and small text procedures

void SplitCsvLine(std::string_view line, char sep, std::vector<std::string>& out) {
  std::vector<std::string_view> views;
  SplitCsvFields(line, sep, views);
  out.assign(views.begin(), views.end());
}

TEST(SplitCsvLineTest, FollowsTheExportsQuotingRules) {
  std::vector<std::string> f{"left", "over", "from", "before"};
  SplitCsvLine("", ';', f);
  EXPECT_TRUE(f.empty());
  SplitCsvLine("a;b;", ';', f);
  EXPECT_EQ(f, (std::vector<std::string>{"a", "b"}));
  SplitCsvLine(";", ';', f);
  EXPECT_EQ(f, (std::vector<std::string>{""}));
  SplitCsvLine("\"x;y\";\"\"\"q\"\"\";\"last\"", ';', f);
  EXPECT_EQ(f, (std::vector<std::string>{"x;y", "\"\"q\"\"", "\"last\""}));
  SplitCsvLine("\";b", ';', f);  // the lone quote opens a field that never closes
  EXPECT_EQ(f, (std::vector<std::string>{"\";b"}));
}

// The splitting rules, applied character by character without any shortcut.
std::vector<std::string> ReferenceSplit(std::string line, char sep) {
  std::vector<std::string> fields;
  if (line.empty()) return fields;
  if (line.back() == sep) line.pop_back();
  bool inQuotes = false;
  std::string field;
  for (char c : line) {
    if (c == sep && !inQuotes) {
      if (!field.empty() && field.front() == '"') field.erase(0, 1);
      if (!field.empty() && field.back() == '"') field.pop_back();
      fields.push_back(field);
      field.clear();
      continue;
    }
    if (c == '"') inQuotes = !inQuotes;
    field += c;
  }
  fields.push_back(field);
  return fields;
}

TEST(SplitCsvLineTest, AgreesWithTheRulesOnRandomLines) {
  std::mt19937 random(7);
  std::vector<std::string> fields;
  for (int n = 0; n < 4000; ++n) {
    // Every other line without quotes, so that both ways through the splitter are taken.
    const std::string alphabet = n % 2 ? "ab;\" " : "ab;;c1 ";
    std::string line(random() % 48, ' ');
    for (char& c : line) c = alphabet[random() % alphabet.size()];
    SplitCsvLine(line, ';', fields);
    ASSERT_EQ(fields, ReferenceSplit(line, ';')) << line;
  }
}

TEST(TextProceduresTest, StripQuotesAndRepair) {
  EXPECT_EQ(StripQuotes("  \" \"Weight (lbs)\" \"  "), "Weight (lbs)");
  EXPECT_EQ(StripQuotes("\"\""), "");
  EXPECT_EQ(RepairUtf8("MÃ¼de, frÃ¶hlich, SpaÃŸ, ÃœberÃ¤ndert, cafÃ©"),
            "Müde, fröhlich, Spaß, Überändert, café");
}

TEST(TextProceduresTest, NumericTestFollowsTheRegionalSettings) {
  const auto de = RegionalSettings::German();
  const auto us = RegionalSettings::EnglishUS();
  for (const char* yes : {"112", " 5,5 ", "-1", "+ 2", "1.234,5", "5.5", ",5"}) {
    EXPECT_TRUE(IsNumericText(yes, de)) << yes;
  }
  for (const char* no : {"", "  ", "HIGH", "5,5,5", "1..2", ".5", "5-", "12 mg", "1,2.3"}) {
    EXPECT_FALSE(IsNumericText(no, de)) << no;
  }
  EXPECT_TRUE(IsNumericText("5.5", us));
  EXPECT_TRUE(IsNumericText("1,234.5", us));
  EXPECT_FALSE(IsNumericText("1.2,3", us));
}

// --- Header, separator and whole-file decisions

TEST_F(ExportReaderTest, SeparatorIsChosenByTheFirstHeaderField) {
  const std::string row = Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {3, "112"}});
  EXPECT_EQ(Read(Lines({Header(';'), row})).rowText, L("1;112"));
  std::string quoted = "\"Date\"" + Header(';').substr(4);
  EXPECT_EQ(Read(Lines({quoted, row})).rowText, L("1;112"));
  const std::string commaRow = Row(',', {{0, "04.12.2026"}, {1, "07:05"}, {3, "112"}});
  EXPECT_EQ(Read(Lines({Header(','), commaRow})).rowText, L("1;112"));
  // "date;" in lower case selects the comma: the header is one field and is rejected.
  std::string lower = "date" + Header(';').substr(4);
  EXPECT_THROW(Read(Lines({lower, row})), RuntimeError);
}

TEST_F(ExportReaderTest, HeaderNeedsTwentyOneFields) {
  const std::string row = Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {3, "112"}});
  try {
    Read(Lines({Header(';', "Glucose (mg/dL)", "Carbs (g)", "Weight (kg)", 20), row}));
    FAIL() << "a 20-field header was accepted";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 9);
    EXPECT_EQ(e.Description(), "Subscript out of range");
  }
  EXPECT_TRUE(ui.statusTexts.empty());
  const auto r = Read(Lines({Header(';', "A (mg/dL)", "B", "C", 21), row}));
  EXPECT_EQ(r.rowText, L("1;112"));
  EXPECT_EQ(r.exportUnit, "mg/dL");
}

TEST_F(ExportReaderTest, EmptyAndLineFeedOnlyFiles) {
  const auto empty = Read("");
  EXPECT_EQ(empty.rowText, "");
  EXPECT_EQ(empty.exportUnit, "");
  std::string lfOnly =
      Header(';') + "\n" + Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {3, "99"}}) + "\n";
  const auto r = Read(lfOnly);
  EXPECT_EQ(r.rowText, "");
  EXPECT_EQ(r.linesRead, 0);
  EXPECT_EQ(r.exportUnit, "mg/dL");
}

// --- Values of a row

TEST_F(ExportReaderTest, GlucoseUnitsAndOutOfRangeWords) {
  EXPECT_EQ(ReadRow({{3, "5,5"}}, Header(';', "Glucose (mmol/L)")), L("1;99"));
  EXPECT_EQ(ReadRow({{3, "5.5"}}, Header(';', "Glucose (mmol/L)")), L("1;99"));
  EXPECT_EQ(ReadRow({{3, "HIGH"}}), L("1;600"));
  EXPECT_EQ(ReadRow({{3, "hoch"}}), L("1;600"));
  EXPECT_EQ(ReadRow({{3, "Lo"}}), L("2;--1") + L("1;20"));
  EXPECT_EQ(ReadRow({{3, "Niedrig"}}), L("2;--1") + L("1;20"));
  EXPECT_EQ(ReadRow({{3, " high"}}), L("1; high"));  // no trimming before the comparison
  EXPECT_EQ(ReadRow({{3, "118"}}), L("1;118"));
}

TEST_F(ExportReaderTest, CarbohydrateFactorFromTheHeader) {
  EXPECT_EQ(ReadRow({{11, "45"}}), L("3;45"));
  EXPECT_EQ(ReadRow({{11, "2,5"}}, Header(';', "Glucose (mg/dL)", " Carbs (BE 12) ")), L("3;30"));
  EXPECT_EQ(ReadRow({{11, "2"}}, Header(';', "Glucose (mg/dL)", "Carbs (KE 10)")), L("3;20"));
  EXPECT_EQ(ReadRow({{11, "1,25"}}, Header(';', "Glucose (mg/dL)", "Carbs (BE)")), L("3;1,3"));
  EXPECT_EQ(ReadRow({{11, "0"}}), "");
  EXPECT_EQ(ReadRow({{11, "0,04"}}), "");  // rounds to 0
}

TEST_F(ExportReaderTest, InsulinColumnsAndTheStarMarker) {
  EXPECT_EQ(ReadRow({{8, "4"}, {7, "2"}}), L("4;4+2"));
  EXPECT_EQ(ReadRow({{7, "2"}}), L("4;2"));
  EXPECT_EQ(ReadRow({{8, "3,50"}}), L("4;3,5"));
  EXPECT_EQ(ReadRow({{4, "6"}, {5, "12"}}), L("4;6") + L("5;12"));
  // 0,5 reads as 0 in the plain numeric reading and leaves the marker off; 1 sets it.
  EXPECT_EQ(ReadRow({{4, "6"}, {6, "0,5"}}), L("4;6") + L("4;0,5"));
  EXPECT_EQ(ReadRow({{4, "6"}, {6, "1"}}), L("4;6*") + L("4;1"));
  // A positive amount in a later row, or an empty line, sets it for the whole file.
  const std::string first = Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {4, "6"}});
  const std::string later = Row(';', {{0, "04.12.2026"}, {1, "08:00"}, {6, "2"}});
  EXPECT_EQ(Read(Lines({Header(';'), first, later})).rowText,
            L("4;6*") + "04.12.2026 08:00;4;2\r\n");
  EXPECT_EQ(Read(Lines({Header(';'), first, ""})).rowText, L("4;6*"));
  EXPECT_EQ(Read(Lines({Header(';'), first})).rowText, L("4;6"));
}

TEST_F(ExportReaderTest, AmountsAreWrittenInTheNumberFormat) {
  EXPECT_EQ(ReadRow({{5, "007"}}), L("5;7"));
  EXPECT_EQ(ReadRow({{5, "0.250"}}), L("5;0,25"));
  EXPECT_EQ(ReadRow({{5, " 4 "}}), L("5;4"));
  EXPECT_EQ(ReadRow({{5, "-2"}}), L("5;-2"));
  EXPECT_EQ(ReadRow({{5, "0,00001"}}), L("5;1E-05"));
  EXPECT_EQ(ReadRow({{5, "1234567"}}), L("5;1234567"));
  EXPECT_EQ(ReadRow({{5, "12345678"}}), L("5;1,234568E+07"));
  EXPECT_EQ(ReadRow({{5, "abc"}}), L("5;0"));
}

TEST_F(ExportReaderTest, ActivityNoteTagAndWeight) {
  EXPECT_EQ(ReadRow({{13, "30"}, {15, "Jogging"}}), L("8;Jogging;30;o"));
  EXPECT_EQ(ReadRow({{13, "30"}, {14, "hoch"}, {15, "Jogging"}}), L("8;Jogging;30;hoch"));
  EXPECT_EQ(ReadRow({{14, "hoch"}, {15, "Jogging"}}), "");
  EXPECT_EQ(ReadRow({{17, "Pizza"}}), L("7;07:05: Pizza"));
  EXPECT_EQ(ReadRow({{19, " Before meal "}}), L("6;Beforemeal"));
  EXPECT_EQ(ReadRow({{20, "80,5"}}), L("9;80,5"));
  EXPECT_EQ(ReadRow({{20, "80"}}, Header(';', "G (mg/dL)", "C (g)", "\"Weight (LBS)\"")),
            L("9;176,368"));
}

TEST_F(ExportReaderTest, LinesOfARowComeInTheirFixedOrder) {
  const std::string text = ReadRow({{3, "lo"},
                                    {4, "1"},
                                    {5, "10"},
                                    {6, "2"},
                                    {7, "3"},
                                    {8, "4"},
                                    {11, "20"},
                                    {13, "15"},
                                    {14, "mittel"},
                                    {15, "Rad"},
                                    {17, "Test"},
                                    {19, "P 1"},
                                    {20, "70"}});
  EXPECT_EQ(text, L("2;--1") + L("1;20") + L("3;20") + L("4;4+3") + L("4;1*") + L("4;2") +
                      L("5;10") + L("8;Rad;15;mittel") + L("7;07:05: Test") + L("6;P1") +
                      L("9;70"));
}

TEST_F(ExportReaderTest, EnglishSettingsAmPmAndMonthNames) {
  platform.regional = RegionalSettings::EnglishUS();
  const std::string header = "\"Date\",\"Time\"" + Header(',').substr(9);
  const std::string text = Lines({
      header,
      Row(',', {{0, "12/4/2026"}, {1, "7:05 pm"}, {3, "104"}, {17, "After dinner"}}),
      Row(',', {{0, "\"Dec 5, 2026\""}, {1, "\"12:10 AM\""}, {4, "1.5"}}),
      Row(',', {{0, "Dez. 06 2026"}, {1, "1:10 pm"}, {20, "80"}}),
  });
  EXPECT_EQ(Read(text).rowText,
            "04.12.2026 19:05;1;104\r\n"
            "04.12.2026 19:05;7;19:05: After dinner\r\n"
            "05.12.2026 00:10;4;1.5\r\n"
            "06.12.2026 13:10;9;80\r\n");
  const std::string pounds = Lines({Header(',', "G (mg/dL)", "C (g)", "Weight (lbs)"),
                                    Row(',', {{0, "12/4/2026"}, {1, "7:05"}, {20, "80"}})});
  EXPECT_EQ(Read(pounds).rowText, L("9;176.368"));
}

TEST_F(ExportReaderTest, GermanExportEndToEnd) {
  const std::string text = Lines({
      Header(';', "Blutzucker (mg/dL)", "Kohlenhydrate (BE 12)", "Gewicht (kg)"),
      Row(';', {{0, "03.12.2026"}, {1, "06:45"}, {3, "98"}, {5, "14"}, {20, "81,2"}}),
      Row(';', {{0, "03.12.2026"}, {1, "07:10"}, {3, "121"}, {4, "4,5"}, {11, "4"}}),
      Row(';', {{0, "03.12.2026"}, {1, "12:30"}, {11, "0"}, {17, "Mittag, wenig"}}),
      Row(';', {{0, "03.12.2026"}, {1, "23:59"}, {3, "HIGH"}, {6, "2"}}),
  });
  const auto r = Read(text);
  EXPECT_EQ(r.rowText,
            "03.12.2026 06:45;1;98\r\n"
            "03.12.2026 06:45;5;14\r\n"
            "03.12.2026 06:45;9;81,2\r\n"
            "03.12.2026 07:10;1;121\r\n"
            "03.12.2026 07:10;3;48\r\n"
            "03.12.2026 07:10;4;4,5*\r\n"
            "03.12.2026 12:30;7;12:30: Mittag, wenig\r\n"
            "03.12.2026 23:59;1;600\r\n"
            "03.12.2026 23:59;4;2\r\n");
  EXPECT_EQ(r.exportUnit, "mg/dL");
  EXPECT_EQ(r.linesRead, 4);
  EXPECT_EQ(r.rowsWithoutDate, 0);
}

// --- Rows without a date, progress and trace

TEST_F(ExportReaderTest, RowsWithoutDateAreCountedAndTraced) {
  const auto r = Read(Lines({
      Header(';'),
      Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {3, "100"}}),
      Row(';', {{0, "gestern"}, {1, "10:00"}, {3, "120"}}),
      Row(';', {{3, "130"}}),  // values without date and time
      Row(';', {}),            // a blank row is not worth a note
      "",
      Row(';', {{0, "Foo 1"}, {1, "11:00"}, {3, "140"}}),
  }));
  EXPECT_EQ(r.rowText, L("1;100"));
  EXPECT_EQ(r.linesRead, 6);
  EXPECT_EQ(r.rowsWithoutDate, 3);
  EXPECT_EQ(r.skippedLineNumbers, (std::vector<long>{3, 4, 7}));
  EXPECT_NE(TraceText().find("Rows without readable date skipped: 3 (lines 3, 4, 7)\r\n"),
            std::string::npos);
  EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"Importiere 6..."}));
}

TEST_F(ExportReaderTest, TraceListsTenLineNumbersAndNothingWhenAllRowsRead) {
  Read(Lines({Header(';'), Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {3, "100"}})}));
  EXPECT_EQ(TraceText().find("Rows without"), std::string::npos);
  std::string text = Header(';') + "\r\n";
  for (int i = 0; i < 12; ++i) text += Row(';', {{0, "x"}, {3, "1"}}) + "\r\n";
  const auto r = Read(text);
  EXPECT_EQ(r.rowsWithoutDate, 12);
  EXPECT_EQ(r.skippedLineNumbers.size(), 10u);
  EXPECT_NE(TraceText().find("skipped: 12 (lines 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, ...)"),
            std::string::npos);
}

TEST_F(ExportReaderTest, ProgressShowsRisingCountsAndTheFinalCount) {
  std::string text = Header(';') + "\r\n";
  for (int i = 0; i < 300; ++i) text += "\r\n";  // empty rows count as well
  EXPECT_EQ(Read(text).linesRead, 300);
  EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"Importiere 300..."}));
  EXPECT_EQ(ui.doEventsCalls, 1);

  // Read in pieces of about 100 lines: a count after every two pieces.
  ui.statusTexts.clear();
  EXPECT_EQ(ReadExportText(*context, text, 200).linesRead, 300);
  EXPECT_GE(ui.statusTexts.size(), 2u);
  EXPECT_EQ(ui.statusTexts.back(), "Importiere 300...");

  ui.statusTexts.clear();
  Read(Header(';'));  // a header alone reads no row and shows no count
  EXPECT_TRUE(ui.statusTexts.empty());
}

// An export that exercises everything a cut between pieces could disturb: quoted rows,
// ANSI letters, rows without a date, a long note, the star marker set by the last row
// and UTF-8 letters (to be repaired) only near the end.
std::string MixedExport(bool finalLineBreak) {
  std::string text = Header(';') + "\r\n";
  for (int i = 0; i < 40; ++i) {
    const std::string day = (i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1);
    const std::string date = day + ".11.2026";
    text += Row(';', {{0, date}, {1, "07:05"}, {3, std::to_string(90 + i)}, {4, "4"}}) + "\r\n";
    text +=
        Row(';', {{0, "\"" + date + "\""}, {1, "\"12:30\""}, {17, "\"Mittag; groß\""}}) + "\r\n";
    text += Utf8ToWindows1252(Row(';', {{0, date}, {1, "18:00"}, {17, "Frühstück"}})) + "\r\n";
    if (i % 7 == 3) text += Row(';', {{0, "gestern"}, {3, "5"}}) + "\r\n";
    if (i == 20) text += Row(';', {{0, date}, {1, "19:00"}, {17, std::string(3000, 'x')}}) + "\r\n";
  }
  text += Utf8ToWindows1252(Row(';', {{0, "12. März 2026"}, {1, "09:30"}, {3, "111"}})) + "\r\n";
  text += Row(';', {{0, "01.12.2026"}, {1, "08:00"}, {17, "Müde, schön"}}) + "\r\n";
  text += Row(';', {{0, "02.12.2026"}, {1, "08:00"}, {6, "1"}});
  if (finalLineBreak) text += "\r\n";
  return text;
}

TEST_F(ExportReaderTest, ReadingInPiecesGivesTheSameResult) {
  for (const bool finalLineBreak : {true, false}) {
    const std::string text = MixedExport(finalLineBreak);
    const ExportReadResult whole = ReadExportText(*context, text, text.size() + 1);
    ASSERT_EQ(whole.linesRead, 130);
    EXPECT_EQ(whole.rowsWithoutDate, 6);
    EXPECT_EQ(whole.skippedLineNumbers, (std::vector<long>{14, 36, 58, 81, 103, 125}));
    // The repair and the star marker, both settled by the last rows, reach the first.
    EXPECT_TRUE(whole.rowText.starts_with("01.11.2026 07:05;1;90\r\n01.11.2026 07:05;4;4*\r\n"));
    EXPECT_NE(whole.rowText.find("01.11.2026 18:00;7;18:00: Frühstück\r\n"), std::string::npos);
    EXPECT_NE(whole.rowText.find("01.12.2026 08:00;7;08:00: Müde, schön\r\n"), std::string::npos);
    EXPECT_NE(whole.rowText.find("12.03.2026 09:30;1;111\r\n"), std::string::npos);
    for (const std::size_t pieceBytes : {1, 2, 3, 7, 64, 500, 4000}) {
      const ExportReadResult pieces = ReadExportText(*context, text, pieceBytes);
      EXPECT_EQ(pieces.rowText, whole.rowText) << pieceBytes;
      EXPECT_EQ(pieces.linesRead, whole.linesRead) << pieceBytes;
      EXPECT_EQ(pieces.rowsWithoutDate, whole.rowsWithoutDate) << pieceBytes;
      EXPECT_EQ(pieces.skippedLineNumbers, whole.skippedLineNumbers) << pieceBytes;
    }
  }
}

// --- Encodings and files

class ExportEncodingTest : public ExportReaderTest {
 protected:
  const std::string utf8 =
      Lines({Header(';'),
             Row(';', {{0, "04.12.2026"}, {1, "07:05"}, {17, "Müde nach Spaß, Kontrollösung"}})});
  const std::string expected = L("7;07:05: Müde nach Spaß, Kontrollösung");

  ExportReadResult ExpectFileReadsLikeBytes(const std::string& bytes, long lines);

  static std::string Utf16Bytes(std::string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t u : Utf8ToUtf16(text)) {
      const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      bytes += bigEndian ? hi : lo;
      bytes += bigEndian ? lo : hi;
    }
    return bytes;
  }
};

TEST_F(ExportEncodingTest, AnsiFileAndByteOrderMarksGiveTheSameRows) {
  EXPECT_EQ(Read(Utf8ToWindows1252(utf8)).rowText, expected);
  EXPECT_EQ(Read("\xEF\xBB\xBF" + utf8).rowText, expected);
  EXPECT_EQ(Read(Utf16Bytes(utf8, false)).rowText, expected);
  EXPECT_EQ(Read(Utf16Bytes(utf8, true)).rowText, expected);
  EXPECT_EQ(Read("\xEF\xBB\xBF").exportUnit, "");
}

TEST_F(ExportEncodingTest, Utf8ReadAsAnsiIsRepaired) {
  EXPECT_EQ(Read(utf8).rowText, expected);
}

TEST_F(ExportEncodingTest, ReadsFilesFromDisk) {
  const std::string path = dir.File("export.csv");
  std::ofstream(path, std::ios::binary) << Utf8ToWindows1252(utf8);
  EXPECT_EQ(ReadExportFile(*context, path).rowText, expected);
  EXPECT_EQ(ReadExportFile(*context, dir.File("missing.csv")).exportUnit, "");
  try {
    ReadExportFile(*context, dir.Path());
    FAIL() << "a folder was read as an export";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 75);
  }
}

// Reads the bytes from a file (in halves and pieces) and from memory in one piece, and
// expects the same rows.
ExportReadResult ExportEncodingTest::ExpectFileReadsLikeBytes(const std::string& bytes,
                                                              long lines) {
  const std::string path = dir.File("large.csv");
  std::ofstream(path, std::ios::binary) << bytes;
  ExportReadResult file = ReadExportFile(*context, path);
  const ExportReadResult memory = ReadExportText(*context, bytes, bytes.size());
  EXPECT_EQ(file.linesRead, lines);
  EXPECT_EQ(file.linesRead, memory.linesRead);
  EXPECT_EQ(file.rowsWithoutDate, memory.rowsWithoutDate);
  EXPECT_TRUE(file.rowText == memory.rowText);
  return file;
}

TEST_F(ExportEncodingTest, LargeFilesReadLikeTheSameBytesInMemory) {
  // Several pieces of the file reader, a line longer than a piece and no final line break.
  std::string bytes = tools::ExportGenerator::Header();
  tools::ExportGenerator generator;
  for (int i = 0; i < 16000; ++i) {
    generator.AppendRow(bytes);
    if (i == 9000)
      bytes +=
          Row(';', {{0, "01.10.2026"}, {1, "10:00"}, {17, std::string(5 << 20, 'n')}}) + "\r\n";
  }
  bytes.resize(bytes.size() - 2);
  EXPECT_GT(ExpectFileReadsLikeBytes(bytes, 16001).rowText.size(), 5u << 20);
}

TEST_F(ExportEncodingTest, FileCutInHalvesWhereALineBreakStraddlesTwoReads) {
  // The reader cuts a long file behind the first CR LF from the middle on, reading 64 KiB
  // at a time: here that CR is the last byte of the first read and its LF the first of
  // the next.
  tools::ExportGenerator generator;
  std::string rest;
  for (int i = 0; i < 22000; ++i) generator.AppendRow(rest);
  const std::string header = tools::ExportGenerator::Header();
  std::string longRow = Row(';', {{0, "01.10.2026"}, {1, "10:00"}, {17, ""}});
  // The CR behind the long row stands at size / 2 + 65535 when it stands at rest + 131072.
  longRow.insert(longRow.size() - 18, rest.size() + 131072 - header.size() - longRow.size(), 'n');
  const std::string bytes = header + longRow + "\r\n" + rest;
  ASSERT_EQ(header.size() + longRow.size(), bytes.size() / 2 + 65535);
  ExpectFileReadsLikeBytes(bytes, 22001);
}

// --- The bundled sample export

TEST_F(ExportReaderTest, SampleExportReadsCompletely) {
  std::ifstream in(std::string(TAVRIN_SOURCE_DIR) + "/examples/sample-export.csv",
                   std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  const auto r = Read(bytes);
  EXPECT_EQ(r.exportUnit, "mg/dL");
  EXPECT_EQ(r.linesRead, 126);
  EXPECT_EQ(r.rowsWithoutDate, 0);
  for (const char* block : {
           "09.11.2026 18:36;1;114\r\n09.11.2026 18:36;3;60\r\n09.11.2026 18:36;4;4*\r\n",
           "11.11.2026 19:40;1;600\r\n11.11.2026 19:40;4;2\r\n"
           "11.11.2026 19:40;7;19:40: Messgerät zeigt HIGH, Pizza\r\n",
           "13.11.2026 19:10;1;141\r\n13.11.2026 19:10;3;95\r\n13.11.2026 19:10;4;5+3,5\r\n"
           "13.11.2026 19:10;7;19:10: Pizza, Bolus verzögert\r\n13.11.2026 "
           "19:10;6;Beforedinner\r\n",
           "16.11.2026 06:55;1;104\r\n16.11.2026 06:55;5;14\r\n16.11.2026 06:55;6;Fasting\r\n"
           "16.11.2026 06:55;9;78,4\r\n",
           "17.11.2026 03:15;2;--1\r\n17.11.2026 03:15;1;20\r\n17.11.2026 03:15;3;8\r\n"
           "17.11.2026 03:15;7;03:15: Hypo, 2 Traubenzucker\r\n17.11.2026 03:15;6;Night\r\n",
           "19.11.2026 08:05;1;112\r\n19.11.2026 08:05;7;08:05: Gekennzeichnete Messung (z.B. "
           "Kontrollösung, andere Person etc.): 112 mg/dL\r\n",
           "21.11.2026 15:30;1;96\r\n21.11.2026 15:30;8;Cycling;45;medium\r\n",
           "24.11.2026 17:30;1;118\r\n24.11.2026 17:30;7;17:30: Messung mit Kontrolllösung 118 "
           "mg/dL\r\n",
       }) {
    EXPECT_NE(r.rowText.find(block), std::string::npos) << block;
  }
}

}  // namespace
}  // namespace tavrin
