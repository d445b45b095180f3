#include "importer/row_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../../tools/export_generator.h"
#include "importer/export_reader.h"
#include "importer/record_conversion.h"
#include "importer_process.h"
#include "row_table_checks.h"
#include "shared/error.h"

namespace tavrin {
namespace {

struct FixedSerial : SerialNumberSource {
  std::string ResolveSerialNumber(ProcessContext&) override { return "SN-1"; }
};

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder,
                                           std::string_view extension = {}) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension)) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Everything a conversion gives back, or the error it ended in.
struct Outcome {
  ConversionResult result;
  std::optional<std::string> error;
};

// The rows handed to the conversion as the reader built them, against the same rows
// written as row text and read back line by line, as the conversion once took them: the
// documents, counts and errors must not differ, on one thread or two.
class RowTableEquivalence : public ::testing::Test, public testing::ImporterProcess {
 protected:
  void Settings(const std::string& content) {
    std::ofstream(context->paths.SettingsFilePath(), std::ios::binary) << content;
  }

  Outcome Convert(const RowTable& rows, std::string_view unit, bool twoThreads) {
    if (twoThreads) {
      UseTwoThreads();
    } else {
      UseOneThread();
    }
    Outcome outcome;
    FixedSerial serial;
    try {
      outcome.result = ConvertRows(*context, rows, unit, serial);
    } catch (const RuntimeError& error) {
      outcome.error = error.Detail();
    }
    return outcome;
  }

  void ExpectSameConversion(const RowTable& rows, std::string_view unit, const std::string& what) {
    testing::ExpectRowsReadAsTheirText(rows);
    ExpectSameConversion(rows, RowTable::FromText(rows.Text()), unit, what);
  }

  // `reference` converted on one thread is what `rows` must give on one thread and two.
  void ExpectSameConversion(const RowTable& rows, const RowTable& reference, std::string_view unit,
                            const std::string& what) {
    const Outcome expected = Convert(reference, unit, false);
    for (const bool twoThreads : {false, true}) {
      const Outcome got = Convert(rows, unit, twoThreads);
      ASSERT_EQ(got.error, expected.error) << what;
      const ConversionResult& a = got.result;
      const ConversionResult& b = expected.result;
      ASSERT_TRUE(a.result == b.result) << what << (twoThreads ? " (two threads)" : "");
      ASSERT_TRUE(a.json == b.json) << what;
      ASSERT_EQ(std::tie(a.cancelled, a.serialNumber, a.rowCount, a.bgRecords, a.cgmReadings,
                         a.dataAgeWarnings),
                std::tie(b.cancelled, b.serialNumber, b.rowCount, b.bgRecords, b.cgmReadings,
                         b.dataAgeWarnings))
          << what;
    }
  }

  // Reads the export (its first byte picking the regional settings when asked) and
  // compares both ways of handing its rows over, with the XML document and the plain list.
  void ExpectSameForExport(const std::string& bytes, const std::string& what,
                           bool regionalFromFirstByte = false) {
    static const RegionalSettings kChoices[] = {
        RegionalSettings::German(), RegionalSettings::EnglishUS(), RegionalSettings::EnglishUK()};
    platform.regional = regionalFromFirstByte && !bytes.empty()
                            ? kChoices[static_cast<unsigned char>(bytes[0]) % 3]
                            : RegionalSettings::German();
    std::optional<ExportReadResult> read;
    try {
      read = ReadExportText(*context, bytes);
    } catch (const RuntimeError&) {
      return;  // a file refused as a whole has no rows to hand over
    }
    const std::string unit = read->exportUnit.empty() ? "mg/dL" : read->exportUnit;
    for (const char* settings : {"", "[Driver]\r\nXML=0\r\n"}) {
      Settings(std::string("[Config]\r\nShowOldOrNewDataWarning=0\r\n") + settings);
      ExpectSameConversion(read->rows, unit, what + (*settings ? " (list)" : ""));
    }
  }
};

TEST_F(RowTableEquivalence, SampleGoldenAndGeneratedExports) {
  ExpectSameForExport(
      FileBytes(std::filesystem::path(TAVRIN_SOURCE_DIR) / "examples" / "sample-export.csv"),
      "sample");
  for (const auto& path : FilesIn(std::filesystem::path(TAVRIN_TEST_DATA) / "importer", ".csv")) {
    ExpectSameForExport(FileBytes(path), path.filename().string());
  }
  for (const auto& [rows, seed] :
       {std::pair{10, 1u}, std::pair{700, 2u}, std::pair{5000, 3u}, std::pair{20000, 20261130u}}) {
    tools::ExportGenerator generator(seed);
    std::string bytes = tools::ExportGenerator::Header();
    for (int i = 0; i < rows; ++i) generator.AppendRow(bytes);
    ExpectSameForExport(bytes, "generated " + std::to_string(rows) + "/" + std::to_string(seed));
  }
}

TEST_F(RowTableEquivalence, FuzzCorpusOfTheExportReader) {
  for (const auto& path : FilesIn(std::filesystem::path(TAVRIN_SOURCE_DIR) / "fuzz" / "corpus" /
                                  "fuzz_export_reader")) {
    ExpectSameForExport(FileBytes(path), path.filename().string(), true);
  }
}

// Row texts written by hand, whatever lines, fields and stamps they hold: the rows shared
// out to two threads by the group of their record key give what one thread gives.
TEST_F(RowTableEquivalence, FuzzCorpusOfTheRowConversion) {
  Settings("[Config]\r\nShowOldOrNewDataWarning=0\r\n");
  for (const auto& path : FilesIn(std::filesystem::path(TAVRIN_SOURCE_DIR) / "fuzz" / "corpus" /
                                  "fuzz_row_conversion")) {
    const std::string bytes = FileBytes(path);
    if (bytes.empty()) continue;
    const std::string_view unit = (bytes[0] & 0x10) ? "mmol/L" : "mg/dL";
    const RowTable rows = RowTable::FromText(std::string_view(bytes).substr(1));
    ExpectSameConversion(rows, rows, unit, path.filename().string());
  }
}

// Values that the row text's rules cut: a ";" ends the value the conversion sees, a CR LF
// in a note makes further lines, one of which reads as a glucose row of its own.
TEST_F(RowTableEquivalence, ValuesWithSeparatorsAndLineBreaks) {
  Settings("[Config]\r\nShowOldOrNewDataWarning=0\r\n");
  RowTable rows;
  rows.SetStamp(DateTime{2026, 12, 1, 8, 0, 0});
  rows.Add("1", "120");
  rows.Add("8", "Walk;30;o");
  rows.Add("7", "08:00: a;b");
  rows.Add("7", "08:00: first\r\nsecond");
  rows.Add("7", "08:00: x\r\n01.01.2021 10:00;1;500");
  rows.Add("7", "08:00: y\r\n02.01.2021 10:00;UDTCGMS;99\r\n");
  rows.SetStamp(DateTime{2026, 12, 1, 9, 0, 0});
  rows.Add("1", "99999");
  rows.SetStamp(DateTime{50, 12, 1, 9, 0, 0});
  rows.Add("1", "100");
  EXPECT_FALSE(rows.Exact());
  EXPECT_TRUE(rows.HasCgmMarker());
  EXPECT_EQ(rows.Range().lines, 11u);
  ExpectSameConversion(rows, "mg/dL", "cut values");

  RowTable exact;
  exact.SetStamp(DateTime{2026, 12, 1, 8, 0, 0});
  exact.Add("8", "udtcgms;30;o");  // reads as a marker in the row text
  exact.Add("1", "5");
  EXPECT_TRUE(exact.Exact());
  EXPECT_TRUE(exact.HasCgmMarker());
  ExpectSameConversion(exact, "mmol/L", "marker in a value");

  // Inside a value only between two ";" (letter case ignored); at its end it is none.
  for (const auto& [value, marker] :
       {std::pair{"07:00: a;UdtCgms;b", true}, std::pair{"07:00: a;UDTCGMS", false},
        std::pair{"07:00: UDTCGMS;", false}}) {
    RowTable note;
    note.SetStamp(DateTime{2026, 12, 1, 7, 0, 0});
    note.Add("7", value);
    EXPECT_EQ(note.HasCgmMarker(), marker) << value;
    ExpectSameConversion(note, "mg/dL", value);
  }
}

}  // namespace
}  // namespace tavrin

namespace tavrin {
namespace {

// A point in time from the reader is dated exactly when its stamp, written and read
// back, is: the common ones are taken as they are, the others go through the text.
TEST(RowTable, StampsAreDatedAsTheirTextReads) {
  for (const DateTime& when :
       {DateTime{2026, 12, 4, 7, 5, 0}, DateTime{99, 1, 1, 0, 0, 0}, DateTime{100, 1, 1, 0, 0, 0},
        DateTime{9999, 12, 31, 23, 59, 0}, DateTime{10000, 1, 1, 0, 0, 0},
        DateTime{-5, 1, 1, 0, 0, 0}, DateTime{2024, 2, 29, 12, 0, 0},
        DateTime{2023, 2, 29, 12, 0, 0}, DateTime{2026, 4, 31, 12, 0, 0},
        DateTime{2026, 1, 1, 24, 0, 0}, DateTime{2026, 1, 1, -7, 0, 0},
        DateTime{2026, 13, 1, 0, 0, 0}, DateTime{2026, 1, 1, 10, 7, 59}}) {
    RowTable rows;
    rows.SetStamp(when);
    rows.Add("1", "100");
    char stamp[32];
    const std::string line =
        std::string(stamp, FormatTimeStamp(stamp, sizeof stamp, when)) + ";1;100\r\n";
    const RowTable read = RowTable::FromText(line);
    ASSERT_EQ(read.Size(), 1u);
    EXPECT_EQ(rows.Text(), line) << line;
    EXPECT_EQ(rows[0].flags, read[0].flags) << line;
    EXPECT_TRUE(RowTable::When(rows[0]) == RowTable::When(read[0])) << line;
    EXPECT_TRUE(rows.Range() == read.Range()) << line;
  }
}

}  // namespace
}  // namespace tavrin
