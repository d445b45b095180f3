#include "importer/export_reader.h"
#include "importer/row_table_checks.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../../tools/export_generator.h"
#include "formats/golden_file.h"
#include "importer/csv_fields.h"
#include "importer/export_encoding.h"
#include "importer/export_rows.h"
#include "importer/row_text.h"
#include "importer_process.h"
#include "shared/codepage.h"
#include "shared/error.h"
#include "shared/number_format.h"
#include "shared/text.h"
#include "shared/two_halves.h"
#include "shared/utf8.h"

namespace tavrin {
namespace {

using testing::ExpectRowsReadAsTheirText;
using testing::GoldenFile;
using Cells = std::vector<std::pair<int, std::string>>;

// A line of 36 fields with the given ones filled.
std::string Row(const Cells& cells) {
  std::vector<std::string> fields(36);
  for (const auto& [index, value] : cells) fields[index] = value;
  std::string line = fields[0];
  for (int i = 1; i < 36; ++i) line += ';' + fields[i];
  return line;
}

std::string Header() {
  return Row({{0, "Date"}, {1, "Time"}, {3, "Glucose (mg/dL)"}});
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

void ExpectSameRead(const ExportReadResult& a, const ExportReadResult& b) {
  ExpectRowsReadAsTheirText(a.rows);
  ExpectRowsReadAsTheirText(b.rows);
  EXPECT_TRUE(a.rows.Text() == b.rows.Text());  // no dump of megabytes on a difference
  EXPECT_EQ(std::tie(a.exportUnit, a.linesRead, a.rowsWithoutDate, a.skippedLineNumbers),
            std::tie(b.exportUnit, b.linesRead, b.rowsWithoutDate, b.skippedLineNumbers));
  EXPECT_TRUE(a.notedRows == b.notedRows);
}

class ExportReaderTest : public ::testing::Test, public testing::ImporterProcess {
 protected:
  // Reads the bytes on two threads (cut in halves wherever a line starts behind the
  // middle) and on one, expects the same, and gives the one-thread result, whose
  // progress the user interface keeps.
  ExportReadResult Read(std::string_view bytes, std::size_t pieceBytes = kExportPieceBytes) {
    UseTwoThreads();
    ui.progress.clear();
    const ExportReadResult two = ReadExportText(*context, bytes, pieceBytes);
    if (two.linesRead > 0) {
      EXPECT_EQ(ui.statusTexts.back(), "Importiere " + std::to_string(two.linesRead) + "...");
    }
    // The bar follows the bytes read, never goes back and ends full.
    for (std::size_t i = 1; i < ui.progress.size(); ++i) {
      EXPECT_LE(ui.progress[i - 1].done, ui.progress[i].done);
    }
    if (!ui.progress.empty()) {
      EXPECT_EQ(ui.progress.back().done, ui.progress.back().total);
    }
    ui.progress.clear();
    ui.statusTexts.clear();
    ui.doEventsCalls = 0;
    UseOneThread();
    ExportReadResult one = ReadExportText(*context, bytes, pieceBytes);
    ExpectSameRead(one, two);
    return one;
  }
  std::string TraceText() {
    std::ifstream in(context->trace.FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Reads the bytes from a file (on two threads, as the reader decides for a long file)
  // and from memory on one thread in one piece, and expects the same rows.
  ExportReadResult ExpectFileReadsLikeBytes(const std::string& bytes, long lines) {
    std::ofstream(dir.File("large.csv"), std::ios::binary) << bytes;
    context->threads = ThreadUse{};
    const ExportReadResult file = ReadExportFile(*context, dir.File("large.csv"));
    UseOneThread();
    ExpectSameRead(file, ReadExportText(*context, bytes, bytes.size()));
    EXPECT_EQ(file.linesRead, lines);
    return file;
  }
};

// --- Field splitting and number texts

// The field rules applied character by character, without any shortcut.
std::vector<std::string_view> ReferenceSplit(std::string_view line) {
  std::vector<std::string_view> fields;
  if (line.empty()) return fields;
  if (line.back() == ';') line.remove_suffix(1);
  bool inQuotes = false;
  for (std::size_t i = 0, start = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] == '"') inQuotes = !inQuotes;
    if (i < line.size() && (line[i] != ';' || inQuotes)) continue;
    std::string_view field = line.substr(start, i - start);
    if (i < line.size() && field.starts_with('"')) field.remove_prefix(1);
    if (i < line.size() && field.ends_with('"')) field.remove_suffix(1);
    fields.push_back(field);
    start = i + 1;
  }
  return fields;
}

TEST(CsvFields, SplittersAgreeWithTheRulesOnRandomLines) {
  std::mt19937 random(7);
  std::vector<std::string_view> fields;
  std::array<std::string_view, 7> leading;
  for (int n = 0; n < 4000; ++n) {
    // Every other line without quotes, so that every way through the splitters is taken.
    const std::string alphabet = n % 2 ? "ab;\" " : "ab;;c1 ";
    std::string line(random() % 48, ' ');
    for (char& c : line) c = alphabet[random() % alphabet.size()];
    const std::vector<std::string_view> expected = ReferenceSplit(line);
    SplitCsvFields(line, ';', fields);
    ASSERT_EQ(fields, expected) << line;
    SplitCsvFields(line, ';', fields, 3);
    ASSERT_TRUE(std::equal(fields.begin(), fields.end(), expected.begin())) << line;
    if (const std::optional<std::size_t> count = SplitPlainFields(line, ';', leading)) {
      ASSERT_EQ(*count, std::min<std::size_t>(expected.size(), 7)) << line;
      ASSERT_TRUE(std::equal(leading.begin(), leading.begin() + *count, expected.begin()));
    }
  }
}

TEST(ExportRules, NumericTextsAndTheUtf8Repair) {
  const auto de = RegionalSettings::German();
  for (const char* yes : {"112", " 5,5 ", "+ 2", "1.234,5", ",5"})
    EXPECT_TRUE(IsNumericText(yes, de));
  for (const char* no : {"", "HIGH", "5,5,5", ".5", "5-", "1,2.3"})
    EXPECT_FALSE(IsNumericText(no, de));
  EXPECT_TRUE(IsNumericText("1,234.5", RegionalSettings::EnglishUS()));
  EXPECT_EQ(RepairUtf8("MÃ¼de, frÃ¶hlich, SpaÃŸ, ÃœberÃ¤ndert, cafÃ©"),
            "Müde, fröhlich, Spaß, Überändert, café");
  testing::FakePlatform platform;  // the garbled letter behind words seen before, and many
  std::string words;
  for (char c = 'a'; c < 'm'; ++c) words += ";W\xF6rt" + std::string(1, c) + ";Fr\xFChst\xFC\x63k";
  EXPECT_FALSE(AnsiNeedsRepair(platform, words));
  EXPECT_TRUE(AnsiNeedsRepair(platform, words + ";M\xC3\xB6he"));
}

TEST(ExportRules, CarbsWithOneDecimalAreWrittenAsTheGeneralReadingWritesThem) {
  // The general reading: the amount as a single, times the factor, rounded to tenths.
  std::mt19937 random(11);
  ExportRow row;
  HeaderSettings header;
  for (int n = 0; n < 3000; ++n) {
    const std::string field = std::to_string(random() % (n % 2 ? 10000 : 100)) +
                              (n % 3 ? "," : ".") + std::to_string(random() % 10);
    const double factor = header.carbFactor = std::array{0, 1, 10, 12, 15, 99, 100}[n % 7];
    row[column::kCarbs] = field;
    RowTable rows;
    rows.SetStamp(DateTime{2026, 12, 4, 7, 5, 0});
    RowValueNotes notes;
    WriteRowLines(rows, row, header, false, RegionalSettings::German(), notes);
    const std::string written = rows.Text();
    const double grams = RoundTo(static_cast<double>(ParseDecimal(field)) * factor, 1);
    ASSERT_EQ(written, grams > 0 ? "04.12.2026 07:05;3;" + DoubleToText(grams, ",") + "\r\n" : "")
        << field << " * " << factor;
  }
}

// --- Header and rows

TEST_F(ExportReaderTest, HeaderChoosesTheSeparatorAndNeedsTwentyOneFields) {
  const std::string row = Row({{0, "04.12.2026"}, {1, "07:05"}, {3, "112"}});
  try {
    Read(Lines({"Date;Time;x;G (mg/dL)" + std::string(16, ';') + "x", row}));  // 20 fields
    FAIL() << "a short header was accepted";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Detail(), "Subscript out of range (9)");
  }
  EXPECT_TRUE(ui.statusTexts.empty());
  const auto r = Read(Lines({"Date;Time;x;G (mg/dL)" + std::string(17, ';') + "x", row}));
  EXPECT_EQ(r.rows.Text(), "04.12.2026 07:05;1;112\r\n");
  EXPECT_EQ(r.exportUnit, "mg/dL");
  // "date;" in lower case selects the comma: the header is one field and is rejected.
  EXPECT_THROW(Read(Lines({"date" + Header().substr(4), row})), RuntimeError);
  EXPECT_EQ(Read("").exportUnit, "");
  const auto lfOnly = Read(Header() + "\n" + row + "\n");  // without CR LF: all header
  EXPECT_EQ(lfOnly.rows.Text(), "");
  EXPECT_EQ(lfOnly.exportUnit, "mg/dL");
}

// Exports written by hand, one for each header and star-marker setting, against the row
// texts read from them.
TEST_F(ExportReaderTest, ExportsGiveTheirRowTexts) {
  for (const std::string name : {"plain", "german", "mmol", "english"}) {
    if (name == "english") platform.regional = RegionalSettings::EnglishUS();
    EXPECT_EQ(Read(GoldenFile("importer/" + name + ".csv")).rows.Text(),
              GoldenFile("importer/" + name + "_rows.txt") + "\r\n")
        << name;
  }
}

TEST_F(ExportReaderTest, RowsWithoutDateAreCountedAndTracedProgressIsShown) {
  const auto r = Read(Lines({
      Header(),
      Row({{0, "04.12.2026"}, {1, "07:05"}, {3, "100"}}),
      Row({{0, "gestern"}, {1, "10:00"}, {3, "120"}}),
      Row({{3, "130"}}),  // values without date and time
      Row({}),            // a blank row is not worth a note
      "",
      Row({{0, "Foo 1"}, {1, "11:00"}, {3, "140"}}),
  }));
  EXPECT_EQ(r.rows.Text(), "04.12.2026 07:05;1;100\r\n");
  EXPECT_EQ(r.linesRead, 6);
  EXPECT_EQ(r.rowsWithoutDate, 3);
  EXPECT_EQ(r.skippedLineNumbers, (std::vector<long>{3, 4, 7}));
  EXPECT_NE(TraceText().find("Rows without readable date skipped: 3 (lines 3, 4, 7)\r\n"),
            std::string::npos);
  EXPECT_EQ(ui.statusTexts, (std::vector<std::string>{"Importiere 6..."}));
  EXPECT_EQ(ui.doEventsCalls, 1);

  std::string many = Header() + "\r\n";
  for (int i = 0; i < 12; ++i) many += Row({{0, "x"}, {3, "1"}}) + "\r\n";
  const ExportReadResult all = Read(many, 200);
  EXPECT_EQ(all.skippedLineNumbers.size(), 10u);
  EXPECT_EQ(all.notedRows.size(), 12u);  // the import report names every one
  EXPECT_EQ(all.notedRows.back(), (NotedRow{13, RowNote::kNoReadableDate, 0}));
  EXPECT_NE(TraceText().find("skipped: 12 (lines 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, ...)"),
            std::string::npos);
  EXPECT_GE(ui.statusTexts.size(), 2u);  // a count after every piece of a few lines
  EXPECT_EQ(ui.statusTexts.back(), "Importiere 12...");
  Read(Header());  // a header alone reads no row and shows no count
  EXPECT_TRUE(ui.statusTexts.empty());
}

// --- Pieces, halves, encodings and files

// An export that exercises everything a cut between pieces or halves could disturb:
// quoted rows, ANSI letters, rows without a date, a long note, the star marker set by
// the last row and UTF-8 letters (to be repaired) only near the end.
std::string MixedExport(bool finalLineBreak) {
  std::string text = Header() + "\r\n";
  for (int i = 0; i < 40; ++i) {
    const std::string date = (i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1) + ".11.2026";
    text += Row({{0, date}, {1, "07:05"}, {3, std::to_string(90 + i)}, {4, "4"}}) + "\r\n";
    text += Row({{0, "\"" + date + "\""}, {1, "\"12:30\""}, {17, "\"Mittag; groß\""}}) + "\r\n";
    text += Utf8ToWindows1252(Row({{0, date}, {1, "18:00"}, {17, "Frühstück"}})) + "\r\n";
    if (i % 7 == 3) text += Row({{0, "gestern"}, {3, "5"}}) + "\r\n";
    if (i == 20) text += Row({{0, date}, {1, "19:00"}, {17, std::string(3000, 'x')}}) + "\r\n";
  }
  text += Utf8ToWindows1252(Row({{0, "12. März 2026"}, {1, "09:30"}, {3, "111"}})) + "\r\n";
  text += Row({{0, "01.12.2026"}, {1, "08:00"}, {17, "Müde, schön"}}) + "\r\n";
  text += Row({{0, "02.12.2026"}, {1, "08:00"}, {6, "1"}});
  return finalLineBreak ? text + "\r\n" : text;
}

// Lines are cut at every CR LF, so no field brings one along; a value that held one
// would be two lines to the conversion, and the table says so.
TEST(RowTable, ALineBreakInAValueMakesTheTableInexact) {
  for (const auto& [value, exact, lines] :
       {std::tuple{"08:00: a\rb\n", true, 1u}, std::tuple{"08:00: a\r\nb", false, 2u},
        std::tuple{"08:00: a\r\n\r\n01.12.2026 09:00;1;500", false, 2u}}) {
    RowTable rows;
    rows.SetStamp(DateTime{2026, 12, 1, 8, 0, 0});
    rows.Add("7", value);
    EXPECT_EQ(rows.Exact(), exact) << value;
    EXPECT_EQ(rows.Range().lines, lines) << value;
    EXPECT_TRUE(rows.Range() == RowTable::FromText(rows.Text()).Range()) << value;
    if (exact) ExpectRowsReadAsTheirText(rows);
  }
}

TEST_F(ExportReaderTest, ReadingInPiecesGivesTheSameResult) {
  for (const bool finalLineBreak : {true, false}) {
    const std::string text = MixedExport(finalLineBreak);
    const ExportReadResult whole = Read(text, text.size() + 1);
    ASSERT_EQ(whole.linesRead, 130);
    EXPECT_EQ(whole.rowsWithoutDate, 6);
    EXPECT_EQ(whole.skippedLineNumbers, (std::vector<long>{14, 36, 58, 81, 103, 125}));
    // The repair and the star marker, both settled by the last rows, reach the first.
    EXPECT_TRUE(
        whole.rows.Text().starts_with("01.11.2026 07:05;1;90\r\n01.11.2026 07:05;4;4*\r\n"));
    EXPECT_NE(whole.rows.Text().find("01.11.2026 18:00;7;18:00: Frühstück\r\n"), std::string::npos);
    EXPECT_NE(whole.rows.Text().find("01.12.2026 08:00;7;08:00: Müde, schön\r\n"),
              std::string::npos);
    EXPECT_NE(whole.rows.Text().find("12.03.2026 09:30;1;111\r\n"), std::string::npos);
    for (const std::size_t pieceBytes : {1, 2, 3, 7, 64, 500, 4000}) {
      SCOPED_TRACE(pieceBytes);
      ExpectSameRead(Read(text, pieceBytes), whole);
    }
  }
}

TEST_F(ExportReaderTest, AnsiUtf8AndByteOrderMarksGiveTheSameRows) {
  // Letters in several fields of a row, quoted, in columns not read and behind those used.
  const std::string utf8 =
      Lines({Header(), Row({{0, "04.12.2026"}, {1, "07:05"}, {17, "Müde, schön, Spaß"}}),
             "04.12.2026;07:06;Früh;;;;;;;ä;;;;30;mäßig;Rad;;\"Öl; é\";;Frühstück Ä;;;;;;ü"});
  const std::string expected =
      "04.12.2026 07:05;7;07:05: Müde, schön, Spaß\r\n04.12.2026 07:06;8;Rad;30;mäßig\r\n"
      "04.12.2026 07:06;7;07:06: Öl; é\r\n04.12.2026 07:06;6;FrühstückÄ\r\n";
  const std::string le = Utf8ToUtf16Bytes(utf8, ByteOrder::kLittleEndian),
                    be = Utf8ToUtf16Bytes(utf8, ByteOrder::kBigEndian);
  // UTF-16 is read with its mark and without one, in either byte order; one that ends in
  // half a character (a file cut short) is read all the same and said to be so.
  const struct {
    std::string bytes;
    bool halfCharacter;
  } cases[] = {
      {Utf8ToWindows1252(utf8), false},
      {utf8, false},
      {"\xEF\xBB\xBF" + utf8, false},
      {"\xFF\xFE" + le, false},
      {"\xFE\xFF" + be, false},
      {le, false},
      {be, false},
      {"\xFF\xFE" + le + "\n", true},
      {le + "\n", true},
      {be + "\n", true},
      {Utf8ToWindows1252(utf8) + "\n", false},
  };
  for (const auto& c : cases) {
    const ExportReadResult read = Read(c.bytes);
    EXPECT_EQ(read.rows.Text(), expected) << c.bytes.substr(0, 8);
    EXPECT_EQ(read.endsInHalfCharacter, c.halfCharacter) << c.bytes.substr(0, 8);
  }
  // Zero bytes beside the first four characters make UTF-16, and nothing else does.
  for (const auto& [bytes, order] : std::initializer_list<std::pair<std::string, Utf16Order>>{
           {std::string("D\0a\0t\0e\0", 8), Utf16Order::kLittleEndian},
           {std::string("\0D\0a\0t\0e", 8), Utf16Order::kBigEndian},
           {std::string("D\0a\0t\0", 6), Utf16Order::kNone},
           {std::string("D\0a\0t\0\xE4\0", 8), Utf16Order::kNone},
           {std::string("Date;Tim"), Utf16Order::kNone},
           {std::string("\0D\0a\0t\0\0", 8), Utf16Order::kNone}}) {
    EXPECT_EQ(UnmarkedUtf16Order(bytes), order) << bytes;
  }
  EXPECT_EQ(Read("\xEF\xBB\xBF").exportUnit, "");
  std::ofstream(dir.File("export.csv"), std::ios::binary) << "\xEF\xBB\xBF" + utf8;
  EXPECT_EQ(ReadExportFile(*context, dir.File("export.csv")).rows.Text(), expected);
  EXPECT_EQ(ReadExportFile(*context, dir.File("missing.csv")).exportUnit, "");
  try {
    ReadExportFile(*context, dir.Path());
    FAIL() << "a folder was read as an export";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 75);
  }
}

TEST_F(ExportReaderTest, LargeFilesReadLikeTheSameBytesInMemory) {
  // Several pieces of the file reader, a line longer than a piece and no final line break.
  std::string bytes = tools::ExportGenerator::Header();
  tools::ExportGenerator generator;
  for (int i = 0; i < 16000; ++i) {
    generator.AppendRow(bytes);
    if (i == 9000) bytes += Row({{0, "01.10.2026"}, {17, std::string(5 << 20, 'n')}}) + "\r\n";
  }
  bytes.resize(bytes.size() - 2);
  EXPECT_GT(ExpectFileReadsLikeBytes(bytes, 16001).rows.Text().size(), 5u << 20);

  // The reader cuts a long file behind the first CR LF from the middle on, reading 64 KiB
  // at a time: here that CR is the last byte of the first read and its LF the first of
  // the next.
  std::string rest;
  for (int i = 0; i < 22000; ++i) generator.AppendRow(rest);
  const std::string header = tools::ExportGenerator::Header();
  std::string longRow = Row({{0, "01.10.2026"}, {1, "10:00"}});
  longRow.insert(longRow.size() - 18, rest.size() + 131072 - header.size() - longRow.size(), 'n');
  const std::string straddling = header + longRow + "\r\n" + rest;
  ASSERT_EQ(header.size() + longRow.size(), straddling.size() / 2 + 65535);
  ExpectFileReadsLikeBytes(straddling, 22001);
}

}  // namespace
}  // namespace tavrin
