#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importer/row_text.h"
#include "shared/date_time.h"

namespace tavrin {

// "DD.MM.YYYY HH:NN" into `out`, which has room for `room` characters (at least 32);
// returns the length. A year outside 0 to 9999 is written with as many digits as it has.
std::size_t FormatTimeStamp(char* out, std::size_t room, const DateTime& when);

// The rows of an export as the conversion takes them, in file order: each line of the
// row text ("DD.MM.YYYY HH:NN;code;value") as its point in time, its code and its value,
// in flat arrays (16 bytes a row, the texts of codes and values in one arena). The row
// text itself is made from the table only where it is shown or compared (AppendLine,
// Text), byte for byte as the reader would have written it.
//
// A row whose stamp StampTime does not read keeps its stamp's text (it counts as a line,
// but is never converted). The conversion sees a value up to its first ";", as the row
// text's third field ends there (ConvertedValue). A value holding a CR LF, which the row
// text's rules cut into further lines, is kept whole; such a row is cut by those rules
// where it is converted (SplitRows), and the table is then not Exact().
class RowTable {
 public:
  struct Row {
    std::uint32_t at = 0;  // where the row's texts start in the arena
    std::uint32_t valueLength = 0;
    // The point in time when kDated.
    std::uint16_t year = 0;
    std::uint16_t minuteOfDay = 0;  // hour * 60 + minute
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t codeLength = 0;  // unless kLengths
    std::uint8_t flags = 0;
  };
  static constexpr std::uint8_t kDated = 1;    // the stamp names a real point in time
  static constexpr std::uint8_t kGroup1 = 2;   // its record key falls into group 1
  static constexpr std::uint8_t kLengths = 4;  // the arena holds the stamp's text: first its
                                               // length and the code's (32 bits each)
  static constexpr std::uint8_t kSplits = 8;   // the value holds a CR LF

  // The rows of a row text as the conversion reads it line by line (NextRow): a value
  // ends at a ";", and the fields behind it are not kept.
  static RowTable FromText(std::string_view rowText);

  // The stamp of the rows added next.
  void SetStamp(const DateTime& when);
  // A row of the current stamp. Throws RuntimeError 7 when the table cannot grow.
  void Add(std::string_view code, std::string_view value);
  // The rows of a text behind this one.
  void Append(const RowTable& other);
  // Room for the rows of an export of this many bytes: memory reserved and never used
  // costs address space only.
  void Reserve(std::uint64_t exportBytes);

  std::size_t Size() const { return rows_.size(); }
  bool Empty() const { return rows_.empty(); }
  const Row& operator[](std::size_t i) const { return rows_[i]; }
  std::string_view Code(const Row& row) const;
  std::string_view Value(const Row& row) const;
  // The value as the row text's third field: up to its first ";".
  std::string_view ConvertedValue(const Row& row) const {
    const std::string_view value = Value(row);
    return value.substr(0, value.find(';'));
  }
  static DateTime When(const Row& row) {
    return DateTime{row.year, row.month, row.day, row.minuteOfDay / 60, row.minuteOfDay % 60, 0};
  }
  static unsigned Group(const Row& row) { return (row.flags & kGroup1) != 0 ? 1u : 0u; }
  // Memory held by the arena, for the choice of threads.
  std::size_t ArenaBytes() const { return arena_.size(); }

  // The row's line of the row text, without its line break, appended to `out`.
  void AppendLine(const Row& row, std::string& out) const;
  // The row text: every row's line and CR LF.
  std::string Text() const;

  // The earliest and latest point in time of the dated lines with a code, and the number
  // of lines, as the row text's rules read them.
  const DateRange& Range() const { return range_; }
  // Whether every row is one line of the row text (none kSplits).
  bool Exact() const { return exact_; }
  // Whether the row text holds ";UDTCGMS;" (letter case ignored): CGM readings, or a
  // value that reads as such a marker.
  bool HasCgmMarker() const { return cgmMarker_; }

  // The lines the row text's rules cut a line into (empty lines left out), each split
  // into its fields; the views point into `line`.
  static std::vector<RowFields> SplitRows(std::string_view line);

 private:
  std::size_t StampLength(const Row& row) const;
  std::string_view StampText(const Row& row) const;
  void AddRow(Row row, std::string_view stampText, std::string_view code, std::string_view value);
  void Survey(const Row& row, std::string_view code, std::string_view value);

  std::vector<Row> rows_;
  std::string arena_;
  DateRange range_;
  bool exact_ = true;
  bool cgmMarker_ = false;
  std::string scratch_;  // a line composed for the survey of a row that needs its text
  // The current stamp: its numbers and flags, and its text when StampTime cannot read it
  // (stampLength_ 0 otherwise).
  Row stamp_;
  char stampText_[32] = {};
  std::size_t stampLength_ = 0;
  std::uint32_t hour_ = 0;  // the stamp's date and hour that hourGroup_ belongs to
  std::uint8_t hourGroup_ = 0;
};

}  // namespace tavrin
