#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "importer/locale_date.h"
#include "importer/row_table.h"
#include "shared/error.h"

namespace tavrin {

class ProcessContext;

// Why a data row of the export is named in the import report.
enum class RowNote : std::uint8_t {
  kNoReadableDate,  // skipped: the date or time could not be read
  kValuesRefused,   // a value left out: no number the program can hold
  kDayFirst,        // date read with the day before the month
  kMonthFirst,      // date read with the month before the day
  kDoseRefused,     // the combined dose of columns 8 and 7 left out: a part was refused
  kKeptAsText,      // a glucose text that states no number, imported as it stands
};

// One noted row: its file line number (1 = header), the note and, for the notes of a
// value, the number of values it stands for, the export column (0-based) and the value's
// text as the export holds it (for a dose, its parts joined by "+").
struct NotedRow {
  long line = 0;
  RowNote note = RowNote::kNoReadableDate;
  int values = 0;
  int column = -1;
  std::string text{};

  bool operator==(const NotedRow&) const = default;
};

// What the reader found in an export file.
struct ExportReadResult {
  RowTable rows;           // the rows of the RowText ("DD.MM.YYYY HH:NN;code;value" lines)
  std::string exportUnit;  // "mg/dL" or "mmol/L"; empty when the file was empty
  // The header's names of the columns the import reads, by column index (0-based); empty
  // for the others.
  std::vector<std::string> columnNames;
  long linesRead = 0;                    // data lines after the header (the progress count)
  long rowsWithoutDate = 0;              // rows skipped because their date could not be read
  std::vector<long> skippedLineNumbers;  // file line numbers (1 = header) of the first few
  // Values of numeric columns that were left out because they do not read as a number the
  // program can hold (an exponent form, a sign, a word, a value beyond the program's
  // number format or the 16-bit glucose range), and the lines of the first few rows.
  long valuesRefused = 0;
  long rowsWithRefusedValues = 0;
  std::vector<long> refusedLineNumbers;
  // Glucose texts that state no number ("HI", "<50"), imported as they stand, and the
  // lines of the first few.
  long glucoseKeptAsText = 0;
  std::vector<long> keptLineNumbers;
  // The export is UTF-16 with an odd number of bytes, as a file cut short is: its last
  // byte was read as U+FFFD.
  bool endsInHalfCharacter = false;
  // Header lines inside the data that read the values as the first header does (two
  // exports of one kind joined), passed over, and the lines of the first few.
  long headerLinesInData = 0;
  std::vector<long> headerLineNumbers;
  // Rows whose numeric date was read with the day before the month and with the month
  // before the day, counting only dates whose day and month differ.
  long datesDayFirst = 0;
  long datesMonthFirst = 0;
  // Numeric dates that can be read only day first (13.11.2026) and only month first
  // (11.13.2026), whatever the regional settings.
  long datesOnlyDayFirst = 0;
  long datesOnlyMonthFirst = 0;
  // The order of day and month that the export proves by its own dates (some can be read
  // only in that order, none only in the other) and in which all its numeric dates were
  // read, where the regional settings would have read another; kNone when the regional
  // order was kept.
  DayMonthOrder fileDateOrder = DayMonthOrder::kNone;
  // Every row without a readable date and every row with refused values, in file order;
  // when the dates mix the orders of day and month, also the first kMaxDateOrderNotes rows
  // read in the rarer order.
  std::vector<NotedRow> notedRows;
  // Whether the dates were not all read in one order of day and month, so some of them
  // may stand in the wrong month (a German date read month first under US settings
  // while another, with a day beyond 12, fell back to day first).
  bool MixedDateOrders() const { return datesDayFirst > 0 && datesMonthFirst > 0; }
};

// A header line inside the data that reads the values otherwise than the file's first
// line (another glucose unit, separator, carbohydrate factor or weight unit): two exports
// joined into one file, whose second part would be read in the first part's units. The
// file is refused, run-time error kErrHeaderInData; `Found` and `Expected` are what the
// two headers say (the unit, the separator or the column's name).
class HeaderInDataError : public RuntimeError {
 public:
  HeaderInDataError(long line, std::string found, std::string expected)
      : RuntimeError(kErrHeaderInData, "ReadExportFile",
                     "Line " + std::to_string(line) + " is a second header with other units (" +
                         found + " instead of " + expected + ")"),
        line_(line),
        found_(std::move(found)),
        expected_(std::move(expected)) {}
  long Line() const noexcept { return line_; }
  const std::string& Found() const noexcept { return found_; }
  const std::string& Expected() const noexcept { return expected_; }

 private:
  long line_;
  std::string found_;
  std::string expected_;
};

// How many line numbers of rows without a readable date, and of rows with refused values,
// are kept for the trace log.
inline constexpr std::size_t kMaxSkippedLineNumbers = 10;

// How many rows read in one order of day and month are noted, so that an export read
// wholly in one order costs little.
inline constexpr long kMaxDateOrderNotes = 1000;

// How many bytes the reader takes at a time, at least: a piece runs on to the end of its
// last line. A file is never held whole.
inline constexpr std::size_t kExportPieceBytes = std::size_t{2} << 20;

// Reads the app's CSV export into the rows of the RowText. The file is read in the ANSI
// code page, or as UTF-8 or UTF-16 when it starts with that byte-order mark (as
// spreadsheet programs save it); a UTF-8 file read as ANSI is repaired. A missing or
// empty file gives an empty result; a header with fewer than 21 fields throws
// RuntimeError 9 before any row is read; a file that exists but cannot be read, or is no
// regular file (a folder, a device), throws RuntimeError 75; a file written to or
// replaced while it is read throws RuntimeError kErrFileChanged, so that no result mixes
// two files; a header line inside the data with other units throws HeaderInDataError (one
// with the same units is passed over). Shows the progress in the status line and writes a
// trace line each when rows had to be skipped for want of a date, when values were
// refused and when the dates mix the orders of day and month. A long export is read in
// two halves at once unless context.threads says one thread; the result is the same.
ExportReadResult ReadExportFile(ProcessContext& context, const std::string& path);

// The same for the file's bytes already in memory, read in pieces of about pieceBytes
// bytes: the result does not depend on the size of the pieces.
ExportReadResult ReadExportText(ProcessContext& context, std::string_view bytes,
                                std::size_t pieceBytes = kExportPieceBytes);

}  // namespace tavrin
