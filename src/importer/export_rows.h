#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importer/export_numbers.h"
#include "importer/row_table.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/regional.h"

namespace tavrin {

// The rules of the export's header and of the row text written from its rows.

// A data row is padded to the columns the import uses; the export's later columns (up to
// 36) are never looked at, so splitting stops behind the weight column.
inline constexpr std::size_t kRowFields = 21;

// Column indexes of the export.
namespace column {
enum : std::size_t {
  kDate = 0,
  kTime = 1,
  kGlucose = 3,
  kBolus = 4,       // code 4, marked with "*" when the star marker is on
  kBasal = 5,       // code 5
  kCorrection = 6,  // code 4; a positive amount anywhere switches the star marker on
  kInsulinSecond = 7,
  kInsulinFirst = 8,  // 8 and 7 make one code-4 value "first+second"
  kCarbs = 11,
  kActivityDuration = 13,
  kActivityIntensity = 14,
  kActivityKind = 15,
  kNote = 17,
  kTag = 19,
  kWeight = 20,
};

// Whether the text of a column is read (the columns above; keep both lists alike). The
// others only count as set or empty, so their letters need no conversion.
constexpr bool IsReadColumn(std::size_t index) {
  constexpr std::uint32_t kRead =
      1u << kDate | 1u << kTime | 1u << kGlucose | 1u << kBolus | 1u << kBasal | 1u << kCorrection |
      1u << kInsulinSecond | 1u << kInsulinFirst | 1u << kCarbs | 1u << kActivityDuration |
      1u << kActivityIntensity | 1u << kActivityKind | 1u << kNote | 1u << kTag | 1u << kWeight;
  return index < 32 && ((kRead >> index) & 1u) != 0;
}
}  // namespace column

// The fields 0 to 20 of one data row; missing fields are empty.
using ExportRow = std::array<std::string_view, kRowFields>;

// Runs one step of a row; a run-time error in it (a value the program cannot hold, a
// trace line that cannot be written) skips only that step, and the row goes on with the
// next one. Anything else, running out of memory or a fault of the program, is no fault of
// the row and ends the read.
template <typename Step>
void SkipOnError(Step&& step) {
  try {
    step();
  } catch (const RuntimeError&) {
  }
}

// Settings taken from the header row.
struct HeaderSettings {
  char separator = ',';
  std::string exportUnit;  // "mg/dL" or "mmol/L"
  bool mmol = false;
  double carbFactor = 1;  // export carbohydrate units to grams
  bool pounds = false;
  // The header's names of the columns the import reads (trimmed, without quotes), so
  // that a report can name a column as the export does.
  std::array<std::string, kRowFields> columnNames{};
};

// The settings of a header line (UTF-8). Throws RuntimeError 9 for a header with fewer
// than 21 fields.
HeaderSettings ReadHeader(std::string_view header, const RegionalSettings& regional);

// Whether the data lines of a text switch the star marker on: column 6 carries a
// positive amount, or a row has fewer than seven fields (an empty line counts). Lines are
// those of NextLineView with loneLineFeeds.
bool SetsStarMarker(std::string_view text, char separator, bool loneLineFeeds);

// The same for one row as SplitRow gave it, with the number of fields it returned: the
// reader answers the question while it splits the rows anyway.
bool RowSetsStarMarker(const ExportRow& row, std::size_t fieldCount);

// Splits a data row into `row`; `scratch` serves lines that need the quote rules. Returns
// how many fields the line has (at most kRowFields).
std::size_t SplitRow(std::string_view line, char separator, ExportRow& row,
                     std::vector<std::string_view>& scratch);

// What became of a value that did not go into the row text as the number it states.
enum class ValueFate : std::uint8_t {
  kRefused,      // no number the program can hold: left out
  kDoseRefused,  // a part of the combined dose of columns 8 and 7 refused: the whole dose
                 // is left out, since one part alone would understate it
  kKeptAsText,   // a glucose text that states no number: written as it stands
};

// One such value of a row: the column it stands in and its text as written (a view of
// the row's field, valid while the row's fields are).
struct ValueNote {
  ValueFate fate = ValueFate::kRefused;
  std::uint8_t column = 0;
  std::uint8_t values = 1;  // values it stands for: a dose counts each of its parts
  std::string_view text;
};

// The values of one row that WriteRowLines refused or kept as text; at most one note per
// value written, so the fixed room always suffices.
struct RowValueNotes {
  static constexpr std::size_t kRoom = 10;
  std::array<ValueNote, kRoom> items{};
  std::size_t count = 0;
  int refused = 0;     // values left out; a refused dose counts each of its parts
  int keptAsText = 0;  // glucose texts written as they stand

  void Add(ValueFate fate, std::size_t column, std::string_view text, int values = 1);
  bool Empty() const { return count == 0; }
  // For the next row; the items past count are never read.
  void Clear() { count = 0, refused = 0, keptAsText = 0; }
};

// Writes the lines of a row (its fields 0 to 20, read with a date) in their fixed order:
// codes 2 and 1, 3, 4 (columns 8+7, then 4 and 6), 5, 8, 7, 6 and 9. A numeric field
// (glucose, carbohydrates, insulin, activity duration, weight, each number of the blood
// pressure) is written only when it reads as a number the program can hold: digits with
// at most one "." or "," as decimal separator, or a whole part grouped in threes by a
// regional thousands separator that is neither "." nor ","; no sign, exponent,
// hexadecimal form, other digits, second separator or word; not so large or so small
// that the program's number format would write it in exponent form, and glucose within
// the 16-bit range the conversion holds. Any other value is refused: no line, and a note
// in `notes`. A glucose text in mg/dL that states no number at all (neither a number
// form above nor one of the meter's words "high", "low" ...) is written as it stands
// and noted as kept; in mmol/L it is refused, since its conversion would invent a value.
// A dose of columns 8 and 7 with a refused part is left out whole.
void WriteRowLines(RowTable& rows, const ExportRow& row, const HeaderSettings& header,
                   bool starMarker, const RegionalSettings& regional, RowValueNotes& notes);

// The combined dose of columns 8 and 7 as the export states it: the non-empty parts
// joined by "+" (the text a kDoseRefused note stands for).
std::string DoseText(const ExportRow& row);

}  // namespace tavrin
