// What the importer refuses rather than guess at: numbers the program cannot hold,
// characters no XML document may carry, rows without a real point in time; and what it
// must not lose or mix: lines that end in LF alone, dates in two orders, an export that
// changes while it is read.
#include <gtest/gtest.h>

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
  ExportReadResult Read(const std::string& rows) {
    const std::string bytes = tools::ExportGenerator::Header() + rows;
    UseOneThread();
    const ExportReadResult whole = ReadExportText(*context, bytes, bytes.size());
    UseTwoThreads();
    for (const std::size_t pieceBytes : {1, 7}) {
      const ExportReadResult part = ReadExportText(*context, bytes, pieceBytes);
      EXPECT_EQ(std::tie(part.rowText, part.skippedLineNumbers, part.refusedLineNumbers),
                std::tie(whole.rowText, whole.skippedLineNumbers, whole.refusedLineNumbers));
    }
    return whole;
  }
};

TEST_F(RefusalsTest, NumbersTheProgramCannotHoldAreRefusedCountedAndNamed) {
  const std::pair<Cells, std::string> kCases[] = {
      // clang-format off
      {{{4, "99999999999"}}, ""}, {{{4, "1e30"}}, ""}, {{{4, "1E+11"}}, ""}, {{{5, "NaN"}}, ""},
      {{{5, "Infinity"}}, ""}, {{{5, "0x1F"}}, ""}, {{{5, "\uFF11\uFF12"}}, ""}, {{{5, "1.2.3"}}, ""},
      {{{6, "+2"}}, ""}, {{{20, "-80"}}, ""}, {{{11, "99999999"}}, ""}, {{{3, "1e30"}}, ""},
      {{{3, "40000"}}, ""}, {{{3, "Kontrolle"}}, ""}, {{{7, "1e3"}, {8, "4"}}, ""},
      {{{13, "1e3"}, {15, "Run"}}, ""},
      {{{5, "1.234,5"}}, "5;1234,5"}, {{{3, "1.234,5"}}, "1;1234,5"}, {{{5, "9999999"}}, "5;9999999"},
      {{{3, "32767"}}, "1;32767"}, {{{13, "1.5"}, {15, "Run"}}, "8;Run;1.5;o"},
      // clang-format on
  };
  for (const auto& [cells, line] : kCases) {
    const ExportReadResult r = Read(Row(cells));
    EXPECT_EQ(r.rowText, line.empty() ? "" : "04.12.2026 07:05;" + line + "\r\n")
        << cells[0].second;
    EXPECT_EQ(r.valuesRefused, line.empty() ? 1 : 0) << cells[0].second;
  }
  std::string mmol = tools::ExportGenerator::Header();
  mmol.replace(mmol.find("mg/dL"), 5, "mmol/L");
  EXPECT_EQ(ReadExportText(*context, mmol + Row({{3, "1818,6"}})).valuesRefused, 1);

  // US settings read 09.11. month first and fall back to day first for 13.11.
  platform.regional = RegionalSettings::EnglishUS();
  const ExportReadResult r = Read(Row({{0, "09.11.2026"}, {4, "1e30"}}) + Row({{0, "13.11.2026"}}) +
                                  Row({{0, "11.13.2026"}, {5, "-1"}, {6, "abc"}}));
  EXPECT_EQ(r.refusedLineNumbers, (std::vector<long>{2, 4}));
  EXPECT_EQ(std::tie(r.datesDayFirst, r.datesMonthFirst), std::make_tuple(1L, 2L));
  const std::string trace = ReadFileBytes(context->trace.FilePath()).value_or("");
  EXPECT_NE(trace.find("Unreadable or out-of-range values skipped: 3 (lines 2, 4)\r\n"),
            std::string::npos);
  EXPECT_NE(trace.find("Dates in mixed day/month order: 1 rows read day first, 2 month first"),
            std::string::npos);
  platform.regional = RegionalSettings::German();
  EXPECT_FALSE(Read(Row({{0, "09.11.2026"}}) + Row({{0, "13.11.2026"}})).MixedDateOrders());
}

TEST_F(RefusalsTest, LinesEndingInLineFeedAloneAreReadAsLines) {
  std::string rows =
      Row({{3, "100"}}) + Row({{17, "\"a\nb\""}}) + Row({{0, "x"}, {3, "5"}}) + Row({{3, "120"}});
  rows.erase(rows.find("\r\n"), 1);  // the first row and the third end in LF alone
  rows.erase(rows.find("\r\n", rows.find("\r\n") + 2), 1);
  const ExportReadResult r = Read(rows);
  EXPECT_EQ(
      r.rowText,
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
    EXPECT_EQ(ReadExportFile(reading, path).rowText, "04.12.2026 07:05;1;100\r\n");
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

struct FixedSerial : SerialNumberSource {
  std::string ResolveSerialNumber(ProcessContext&) override { return "S\x01<N>\xEF\xBF\xBE\xFF"; }
};

TEST_F(RefusalsTest, NoCharacterThatXmlForbidsReachesADocument) {
  FixedSerial serial;
  const ConversionResult r = ConvertRows(*context,
                                         "01.12.2026 07:45;1;1\x02"
                                         "2\r\n01.12.2026 07:45;3;4\r\n01.12.2026\x0B"
                                         "07:46;1;100\r\n32.01.2026 07:47;1;100\r\n"
                                         "01.12.2026 24:00;1;100\r\n01.12.2026 07:48;UDTCGMS;100",
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
