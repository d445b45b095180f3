// What the importer refuses rather than guess at: numbers the program cannot hold,
// characters no XML document may carry, rows without a real point in time; and what it
// must not lose or mix: lines that end in LF alone, dates in two orders, an export that
// changes while it is read.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "../../tools/export_generator.h"
#include "fakes/well_formed.h"
#include "importer/export_reader.h"
#include "importer/record_conversion.h"
#include "importer_process.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

using Cells = std::vector<std::pair<int, std::string>>;

// A data row of 21 fields, CR LF, on 04.12.2026 at 07:05 unless the cells say otherwise.
std::string Row(Cells cells) {
  cells.insert(cells.begin(), {{0, "04.12.2026"}, {1, "07:05"}});
  std::vector<std::string> fields(21);
  for (const auto& [index, value] : cells) fields[index] = value;
  std::string line;
  for (const std::string& field : fields) line += field + ";";
  return line + "\r\n";
}

class RefusalsTest : public ::testing::Test, public testing::ImporterProcess {
 protected:
  // Reads the rows behind a header whole on one thread, and in halves in pieces of 1 and
  // 7 bytes; all three must agree.
  // Rows with letters beyond ASCII are written as UTF-8 with its byte-order mark.
  ExportReadResult Read(const std::string& rows) {
    const bool ascii = std::all_of(rows.begin(), rows.end(), [](char c) { return c >= 0; });
    const std::string bytes =
        (ascii ? "" : "\xEF\xBB\xBF") + tools::ExportGenerator::Header() + rows;
    UseOneThread();
    const ExportReadResult whole = ReadExportText(*context, bytes, bytes.size());
    UseTwoThreads();
    for (const std::size_t pieceBytes : {1, 7}) {
      const ExportReadResult part = ReadExportText(*context, bytes, pieceBytes);
      EXPECT_EQ(part.rows.Text(), whole.rows.Text());
      EXPECT_EQ(std::tie(part.skippedLineNumbers, part.refusedLineNumbers),
                std::tie(whole.skippedLineNumbers, whole.refusedLineNumbers));
    }
    return whole;
  }
};

// What a value becomes: its row text line, or refused (line "") or kept as text.
struct ValueCase {
  Cells cells;
  std::string line;  // the row text line without stamp; empty when nothing is written
  int refused = 0;
  int kept = 0;
};

// The same cases under German and US regional settings: none depends on the separators.
TEST_F(RefusalsTest, NumbersTheProgramCannotHoldAreRefusedAndGlucoseTextsKept) {
  const ValueCase kCases[] = {
      // clang-format off
      // Numbers the program cannot hold or read as the number they state.
      {{{4, "99999999999"}}, "", 1}, {{{4, "1e30"}}, "", 1}, {{{4, "1E+11"}}, "", 1},
      {{{5, "NaN"}}, "", 1}, {{{5, "Infinity"}}, "", 1}, {{{5, "0x1F"}}, "", 1},
      {{{5, "\uFF11\uFF12"}}, "", 1}, {{{5, "1.2.3"}}, "", 1}, {{{6, "+2"}}, "", 1},
      {{{20, "-80"}}, "", 1}, {{{11, "99999999"}}, "", 1}, {{{15, "Run"}, {13, "1e3"}}, "", 1},
      // Two separators: grouping is never guessed at, whatever the regional settings.
      {{{5, "1.234,5"}}, "", 1}, {{{5, "1,234.5"}}, "", 1}, {{{11, "1.200,5"}}, "", 1},
      {{{20, "1,200.5"}}, "", 1}, {{{3, "1.200,5"}}, "", 1}, {{{3, "1,200.5"}}, "", 1},
      // Glucose that states a number the conversion cannot hold or read.
      {{{3, "1e30"}}, "", 1}, {{{3, "40000"}}, "", 1}, {{{3, "+120"}}, "", 1},
      {{{3, "- 5"}}, "", 1}, {{{3, "0x78"}}, "", 1}, {{{3, "NaN"}}, "", 1},
      {{{3, "\uFF11\uFF12\uFF10"}}, "", 1}, {{{3, "1..2"}}, "", 1}, {{{3, "1 2"}}, "", 1},
      {{{3, "40000 mg/dL"}}, "", 1}, {{{3, "1e3 mg/dL"}}, "", 1},
      // Glucose texts that state no number go in as they stand.
      {{{3, "HI"}}, "1;HI", 0, 1}, {{{3, " HIGH"}}, "1; HIGH", 0, 1},
      {{{3, "E\u20133"}}, "1;E\u20133", 0, 1}, {{{3, "<50"}}, "1;<50", 0, 1},
      {{{3, ">600"}}, "1;>600", 0, 1}, {{{3, "120&"}}, "1;120&", 0, 1}, {{{3, "5-"}}, "1;5-", 0, 1},
      {{{3, "(120)"}}, "1;(120)", 0, 1}, {{{3, "120 mg/dL"}}, "1;120 mg/dL", 0, 1},
      {{{3, "Kontrolle"}}, "1;Kontrolle", 0, 1},
      // The meter's words and numbers as before.
      {{{3, "High"}}, "1;600"}, {{{3, "32767"}}, "1;32767"}, {{{3, "1,200"}}, "1;1,200"},
      {{{5, "9999999"}}, "5;9999999"}, {{{13, "1.5"}, {15, "Run"}}, "8;Run;1.5;o"},
      // A dose of two parts with a refused part is missing whole, both parts counted.
      {{{7, "1e3"}, {8, "4"}}, "", 2}, {{{7, "2"}, {8, "1,2,3"}}, "", 2}, {{{8, "0x4"}}, "", 1},
      {{{7, "2"}}, "4;2"}, {{{7, "2"}, {8, "4"}}, "4;4+2"},
      // The blood pressure: its numbers checked, a tag that is no number kept.
      {{{19, "120 / 80"}}, "6;120/80"}, {{{19, "P1"}}, "6;P1"}, {{{19, "120"}}, "6;120"},
      {{{19, "1E2/80"}}, "", 1}, {{{19, "120/0x50"}}, "", 1}, {{{19, "+120/80"}}, "", 1},
      {{{19, "\uFF11\uFF12\uFF10/\uFF18\uFF10"}}, "", 1}, {{{19, "120/80/70"}}, "", 1},
      // clang-format on
  };
  for (const RegionalSettings& regional :
       {RegionalSettings::German(), RegionalSettings::EnglishUS()}) {
    platform.regional = regional;
    for (const ValueCase& c : kCases) {
      Cells cells = c.cells;
      cells.insert(cells.begin(), {0, "04.04.2026"});  // the same in either order
      const ExportReadResult r = Read(Row(cells));
      const std::string what = c.cells[0].second + " " + regional.decimalSeparator;
      EXPECT_EQ(r.rows.Text(), c.line.empty() ? "" : "04.04.2026 07:05;" + c.line + "\r\n") << what;
      EXPECT_EQ(std::tie(r.valuesRefused, r.glucoseKeptAsText),
                std::make_tuple(long{c.refused}, long{c.kept}))
          << what;
      // Each refusal and each kept text is named with its column and text; a dose once.
      ASSERT_EQ(r.notedRows.size(), c.refused > 0 || c.kept > 0 ? 1u : 0u) << what;
      if (r.notedRows.empty()) continue;
      const NotedRow& note = r.notedRows[0];
      std::string dose[2];  // columns 8 and 7
      for (const auto& [index, text] : c.cells) {
        if (index == 8 || index == 7) dose[8 - index] = text;
      }
      const bool isDose = !dose[0].empty() || !dose[1].empty();
      EXPECT_EQ(note.note, isDose   ? RowNote::kDoseRefused
                           : c.kept ? RowNote::kKeptAsText
                                    : RowNote::kValuesRefused)
          << what;
      EXPECT_EQ(note.column, isDose ? 8 : c.cells.back().first) << what;
      const std::string doseText =
          dose[0] + (!dose[0].empty() && !dose[1].empty() ? "+" : "") + dose[1];
      EXPECT_EQ(note.text, isDose ? doseText : c.cells.back().second) << what;
    }
  }
}

TEST_F(RefusalsTest, GlucoseTextsInMmolAreRefusedSinceTheirConversionWouldInventAValue) {
  std::string header = tools::ExportGenerator::Header();
  header.replace(header.find("mg/dL"), 5, "mmol/L");
  const std::pair<std::string, std::string> kCases[] = {
      {"HI", ""},     {"<50", ""},     {">600", ""},      {"120&", ""},
      {"1818,6", ""}, {"5,5", "1;99"}, {"high", "1;600"}, {"Lo", "2;--1\r\n04.12.2026 07:05;1;20"}};
  for (const auto& [glucose, line] : kCases) {
    const ExportReadResult r = ReadExportText(*context, header + Row({{3, glucose}}));
    EXPECT_EQ(r.rows.Text(), line.empty() ? "" : "04.12.2026 07:05;" + line + "\r\n") << glucose;
    EXPECT_EQ(std::tie(r.valuesRefused, r.glucoseKeptAsText),
              std::make_tuple(line.empty() ? 1L : 0L, 0L))
        << glucose;
  }
}

struct FixedSerial : SerialNumberSource {
  explicit FixedSerial(std::string serial) : serial_(std::move(serial)) {}
  std::string ResolveSerialNumber(ProcessContext&) override { return serial_; }
  std::string serial_;
};

// A kept text reaches the document escaped, and the plain list as it stands.
TEST_F(RefusalsTest, KeptGlucoseTextsReachTheDocumentAndThePlainList) {
  const ExportReadResult r = Read(Row({{3, "<50 & \x01"}}) + Row({{1, "07:06"}, {3, "HI"}}));
  FixedSerial serial("SN");
  const ConversionResult xml = ConvertRows(*context, r.rows, "mg/dL", serial);
  EXPECT_EQ(testing::XmlFault(xml.result), "");
  EXPECT_NE(xml.result.find("<BG Val=\"&lt;50 &amp; \uFFFD\" Dt=\"2026-12-04\" Tm=\"07:05\""),
            std::string::npos);
  EXPECT_NE(xml.result.find("<BG Val=\"HI\" Dt=\"2026-12-04\" Tm=\"07:06\""), std::string::npos);
  std::ofstream(dir.File("TavrinPlugin.ini"), std::ios::binary) << "[Driver]\r\nXML=0\r\n";
  EXPECT_EQ(ConvertRows(*context, r.rows, "mg/dL", serial).result,
            "Tavrin App;SN;2;mg/dL\r\n2026-12-04;07:05;1;<50 & \x01\r\n2026-12-04;07:06;1;HI\r\n");
}

// An export proves its order of day and month when some of its dates can be read only in
// one order and none only in the other: then all its dates are read in that order.
TEST_F(RefusalsTest, TheDateOrderAFileProvesIsUsedForAllItsDates) {
  const auto dated = [](const char* date) { return Row({{0, date}, {3, "100"}}); };
  const std::string dayFirst = dated("09.11.2026") + dated("13.11.2026");
  const std::string monthFirst = dated("11.09.2026") + dated("11.13.2026");
  const struct {
    RegionalSettings regional;
    std::string rows;
    std::string stamps;  // the first row's stamp
    DayMonthOrder imposed;
    bool mixed;
  } kCases[] = {
      {RegionalSettings::EnglishUS(), dayFirst, "09.11.2026", DayMonthOrder::kDayFirst, false},
      {RegionalSettings::German(), monthFirst, "09.11.2026", DayMonthOrder::kMonthFirst, false},
      // The regional order already is the proven one: read as always.
      {RegionalSettings::German(), dayFirst, "09.11.2026", DayMonthOrder::kNone, false},
      {RegionalSettings::EnglishUS(), monthFirst, "09.11.2026", DayMonthOrder::kNone, false},
      // Proving neither: as the regional settings read it; proving both: the warning.
      {RegionalSettings::EnglishUS(), dated("09.11.2026"), "11.09.2026", DayMonthOrder::kNone,
       false},
      {RegionalSettings::EnglishUS(), dayFirst + dated("11.13.2026"), "11.09.2026",
       DayMonthOrder::kNone, true},
  };
  for (const auto& c : kCases) {
    platform.regional = c.regional;
    const ExportReadResult r = Read(c.rows);
    EXPECT_EQ(r.rows.Text().substr(0, 10), c.stamps) << c.rows;
    EXPECT_EQ(r.fileDateOrder, c.imposed) << c.rows;
    EXPECT_EQ(r.MixedDateOrders(), c.mixed) << c.rows;
    const std::string trace =
        ReadFileBytes(context->trace.FilePath(), kMaxDocumentFileBytes).value_or("");
    const bool traced =
        trace.find(
            "Date order taken from the export: day first (1 dates can only be read day "
            "first, none month first)") != std::string::npos;
    EXPECT_EQ(traced, c.imposed == DayMonthOrder::kDayFirst) << c.rows;
    std::filesystem::remove(context->trace.FilePath());
  }
  // The bundled sample's rows at the same points in time on both sides of the ocean.
  const auto stamps = [](const std::string& rowText) {
    std::string out;
    for (std::size_t at = 0; at < rowText.size(); at = rowText.find('\n', at) + 1) {
      out += rowText.substr(at, 16) + "|";
    }
    return out;
  };
  const std::string sample =
      *ReadFileBytes(TAVRIN_SOURCE_DIR "/examples/sample-export.csv", kMaxDocumentFileBytes);
  platform.regional = RegionalSettings::German();
  const std::string german = stamps(ReadExportText(*context, sample).rows.Text());
  platform.regional = RegionalSettings::EnglishUS();
  const ExportReadResult us = ReadExportText(*context, sample);
  EXPECT_TRUE(stamps(us.rows.Text()) == german);
  EXPECT_EQ(std::tie(us.datesOnlyDayFirst, us.datesOnlyMonthFirst, us.datesMonthFirst),
            std::make_tuple(103L, 0L, 0L));
}

// The app writes its notes in its own language: the labels of every shipped language are
// known, the user interface's first, so a file gives the same records in every language.
TEST_F(RefusalsTest, ControlSolutionNotesAreKnownInEveryShippedLanguage) {
  std::filesystem::copy(TAVRIN_SOURCE_DIR "/resources/Language", dir.File("Language"));
  const std::string rows =
      "04.12.2026 07:05;7;07:05: Messung mit Kontrolllösung 114 mg/dL\r\n"
      "04.12.2026 07:06;7;07:06: Measurement with control solution 99 mg/dL\r\n"
      "04.12.2026 07:07;7;07:07: Marked measurement (e.g. control solution, other person "
      "etc.): 101 mg/dL\r\n"
      "04.12.2026 07:08;7;07:08: Kontrolle 5 mg/dL\r\n";  // no label: no value
  FixedSerial serial("SN");
  std::string first;
  for (const char* language : {"DE", "EN"}) {
    context->languages = std::make_unique<Languages>(platform, context->paths, language);
    const ConversionResult r = ConvertRows(*context, RowTable::FromText(rows), "mg/dL", serial);
    for (const char* record : {"Val=\"114\" Dt=\"2026-12-04\" Tm=\"07:05\" D=\"1\" Ctrl=\"1\"",
                               "Val=\"99\" Dt=\"2026-12-04\" Tm=\"07:06\" D=\"1\" Ctrl=\"1\"",
                               "Val=\"101\" Dt=\"2026-12-04\" Tm=\"07:07\" D=\"1\" Ctrl=\"1\""}) {
      EXPECT_NE(r.result.find(record), std::string::npos) << language << " " << record;
    }
    EXPECT_EQ(r.bgRecords, 3) << language;
    const std::string records = r.result.substr(r.result.find("<BGDATA>"));
    if (first.empty()) first = records;
    EXPECT_EQ(records, first) << language;
  }
}

// The date comes from the date field alone, and the counts and lines of what was left out
// reach the trace log.
TEST_F(RefusalsTest, ADateFieldIsReadOnItsOwnAndWhatWasLeftOutIsTraced) {
  const ExportReadResult r =
      Read(Row({{0, "4. 12."}, {1, "12"}, {3, "100"}}) + Row({{0, "4. 12. 2026"}, {3, "101"}}) +
           Row({{3, "1e30"}, {4, "-1"}}) + Row({{3, "HI"}}));
  EXPECT_EQ(r.rows.Text(), "04.12.2026 07:05;1;101\r\n04.12.2026 07:05;1;HI\r\n");
  EXPECT_EQ(r.skippedLineNumbers, (std::vector<long>{2}));
  const std::string trace =
      ReadFileBytes(context->trace.FilePath(), kMaxDocumentFileBytes).value_or("");
  for (const char* line : {"Rows without readable date skipped: 1 (lines 2)\r\n",
                           "Unreadable or out-of-range values skipped: 2 (lines 4)\r\n",
                           "Glucose texts kept as text: 1 (lines 5)\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line;
  }
}

TEST_F(RefusalsTest, LinesEndingInLineFeedAloneAreReadAsLines) {
  std::string rows =
      Row({{3, "100"}}) + Row({{17, "\"a\nb\""}}) + Row({{0, "x"}, {3, "5"}}) + Row({{3, "120"}});
  rows.erase(rows.find("\r\n"), 1);  // the first row and the third end in LF alone
  rows.erase(rows.find("\r\n", rows.find("\r\n") + 2), 1);
  const ExportReadResult r = Read(rows);
  EXPECT_EQ(
      r.rows.Text(),
      "04.12.2026 07:05;1;100\r\n04.12.2026 07:05;7;07:05: a\nb\r\n04.12.2026 07:05;1;120\r\n");
  EXPECT_EQ(r.skippedLineNumbers, (std::vector<long>{4}));
}

// Changes the export once, while the reader shows its progress.
struct ChangingUi : testing::FakeUi {
  std::function<void()> change;
  void DoEvents() override {
    if (change) std::exchange(change, nullptr)();
  }
};

TEST_F(RefusalsTest, AnExportChangedOrReplacedWhileItIsReadStopsTheRead) {
  ChangingUi changing;
  ProcessContext reading(platform, changing);
  reading.languages = std::make_unique<Languages>(platform, reading.paths, "DE");
  const std::string path = dir.File("export.csv"), other = dir.File("other.csv");
  const std::string bytes = tools::ExportGenerator::Header() + Row({{3, "100"}});
  for (const bool replace : {false, true}) {
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(ReadExportFile(reading, path).rows.Text(), "04.12.2026 07:05;1;100\r\n");
    std::error_code openFileStays;  // Windows does not replace a file that is open
    changing.change = [&] {
      std::ofstream(replace ? other : path, std::ios::app) << Row({{3, "200"}});
      if (replace) std::filesystem::rename(other, path, openFileStays);
    };
    std::ofstream(other, std::ios::binary) << bytes;
    try {
      ReadExportFile(reading, path);
      EXPECT_TRUE(openFileStays) << "a changed export was read";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Detail(), "File changed while it was read: " + path + " (1001)");
    }
  }
}

// Two exports joined into one file: a header line inside the data that reads the values
// as the first header does is passed over; one with another unit (in either order), another
// separator, carbohydrate factor or weight unit refuses the file, naming the line, in
// every way the text is read.
TEST_F(RefusalsTest, AHeaderLineInsideTheDataIsRecognised) {
  const std::string mg = tools::ExportGenerator::Header();
  const auto with = [&](std::string_view from, std::string_view to) {
    std::string header = mg;
    header.replace(header.find(from), from.size(), to);
    return header;
  };
  const std::string mmol = with("(mg/dL)", "(mmol/L)");
  const std::string rows = Row({{3, "5,5"}}) + Row({{1, "08:00"}, {3, "7,2"}});
  const struct {
    std::string text;
    long line;  // of the refused header; 0: read, the header passed over
    std::string found, expected;
  } cases[] = {
      {mg + rows + mg + rows, 0, "", ""},
      {mmol + rows + mmol + rows, 0, "", ""},
      {mg + rows + "\"Date\";\"Time\"" + mg.substr(9) + rows, 0, "", ""},
      {mg + rows + mmol + rows, 4, "mmol/L", "mg/dL"},
      {mmol + rows + mg + rows, 4, "mg/dL", "mmol/L"},
      {mg + rows + rows + mmol, 6, "mmol/L", "mg/dL"},
      {mg + rows + with("(g)", "(BE 12)") + rows, 4, "Carbohydrates (BE 12)", "Carbohydrates (g)"},
      {mg + rows + with("(kg)", "(lbs)") + rows, 4, "Weight (lbs)", "Weight (kg)"},
      {mg + rows + "Date,Time,Tag,Glucose (mg/dL)" + std::string(30, ',') + "\r\n" + rows, 4, ",",
       ";"},
      {mg + rows + "Date;Time;Glucose (mmol/L)\r\n" + rows, 4, "Date;Time;Glucose (mmol/L)",
       "mg/dL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    for (const bool oneThread : {true, false}) {
      for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{7}, c.text.size()}) {
        oneThread ? UseOneThread() : UseTwoThreads();
        try {
          const ExportReadResult read = ReadExportText(*context, c.text, pieceBytes);
          EXPECT_EQ(c.line, 0) << "a header with other units was read over";
          EXPECT_EQ(read.headerLinesInData, 1);
          EXPECT_EQ(read.headerLineNumbers, std::vector<long>{4});
          EXPECT_EQ(read.rowsWithoutDate, 0);
          EXPECT_EQ(read.rows.Size(), 4u);
        } catch (const HeaderInDataError& e) {
          EXPECT_EQ(std::make_tuple(e.Line(), e.Found(), e.Expected()),
                    std::make_tuple(c.line, c.found, c.expected));
          EXPECT_EQ(e.Number(), kErrHeaderInData);
        }
      }
    }
  }
}

TEST_F(RefusalsTest, NoCharacterThatXmlForbidsReachesADocument) {
  FixedSerial serial("S\x01<N>\xEF\xBF\xBE\xFF");
  const ConversionResult r =
      ConvertRows(*context,
                  RowTable::FromText("01.12.2026 07:45;1;1\x02"
                                     "2\r\n01.12.2026 07:45;3;4\r\n01.12.2026\x0B"
                                     "07:46;1;100\r\n32.01.2026 07:47;1;100\r\n"
                                     "01.12.2026 24:00;1;100\r\n01.12.2026 07:48;UDTCGMS;100"),
                  "mg/dL", serial);
  EXPECT_EQ(testing::XmlFault(r.result) + testing::JsonFault(r.json), "");
  EXPECT_NE(r.result.find("<VTOXIX Type=\"0000\" SN=\"S\uFFFD&lt;N&gt;\uFFFD\uFFFD\""),
            std::string::npos);
  // The rows without a real point in time are left out; the rest make one record.
  EXPECT_NE(r.result.find("<BGDATA>\r\n<BG Val=\"1\uFFFD"
                          "2\" Dt=\"2026-12-01\" Tm=\"07:45\" Carb=\"4\" D=\"1\" />\r\n</BGDATA>"),
            std::string::npos);
}

}  // namespace
}  // namespace tavrin
