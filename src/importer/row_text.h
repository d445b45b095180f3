#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shared/date_time.h"

namespace tavrin {

struct ThreadUse;

// The rules of the row text ("DD.MM.YYYY HH:NN;code;value" lines, CR LF each) as the
// conversion reads it, and the survey of its rows that the conversion needs before it
// asks its questions.

// The three fields of a row: the parts before the first and second ";" and the part
// after the second up to a third; missing fields are empty.
struct RowFields {
  std::string_view field[3];
};

// The next CR LF line from position on, split into its fields; position moves behind the
// line break, or to the end of the text for the last line. False for an empty line.
bool NextRow(std::string_view text, std::size_t& position, RowFields& row);

// The point in time of a row stamp "DD.MM.YYYY HH:NN"; anything behind the form is not
// looked at. None unless the stamp has the form and names a real date (year 100 or
// later) and time of day: the record's date and time are taken from the stamp's digits,
// and nothing else may reach the document.
std::optional<DateTime> StampTime(std::string_view stamp);

// The record date "YYYY-MM-DD" and time "HH:NN" of a stamp that StampTime has read,
// taken from its fixed positions.
struct RecordStamp {
  explicit RecordStamp(std::string_view stamp);
  std::string_view Date() const { return {date, sizeof date}; }
  std::string_view Time() const { return {time, sizeof time}; }

  char date[10];
  char time[5];
};

struct DateRange {
  DateTime earliest{2100, 1, 1, 0, 0, 0};
  DateTime latest{1900, 1, 1, 0, 0, 0};
  bool found = false;
  std::size_t lines = 0;

  // A dated line's point in time.
  void Include(const DateTime& when);
  void Add(const DateRange& other);
  bool operator==(const DateRange&) const = default;
};

// What the first pass over the rows finds: the earliest and latest point in time of the
// rows that carry a date and a code (lines whose stamp cannot be read do not count), the
// number of lines, and the rows that carry a value, by the group of their record key
// (BgRecordGroups::GroupOf): the offsets of their lines in the row text, in row order.
struct RowSurvey {
  DateRange range;
  std::array<std::vector<std::uint64_t>, 2> groups;

  // The survey of the text behind the one surveyed, which starts at `offset`.
  void Add(const RowSurvey& other, std::uint64_t offset = 0);
  bool operator==(const RowSurvey&) const = default;
};

// The first pass over the row text, with the groups when `grouped`; a long text is read
// in two halves at once unless `threads` says one thread.
RowSurvey SurveyRows(const ThreadUse& threads, std::string_view rowText, bool grouped);

// The survey of a row text gathered while it is written, line by line, so that the
// conversion need not read the text once more for it. It equals SurveyRows(text, true)
// of the text written unless a value holds a line break of the row text: then the text
// must be surveyed after all (Exact() is false).
class RowSurveyor {
 public:
  // The stamp of the lines that follow.
  void SetStamp(std::string_view stamp);
  // A line of the current stamp with this code and value, written at `offset` of the text.
  void Line(std::uint64_t offset, char code, std::string_view value);

  // Room for the rows of an export of this many bytes, so that the lists seldom grow:
  // memory reserved and never used costs address space only.
  void Reserve(std::uint64_t exportBytes);

  bool Exact() const { return exact_; }
  RowSurvey& Survey() { return survey_; }

 private:
  RowSurvey survey_;
  std::optional<DateTime> when_;
  unsigned group_ = 0;
  char hour_[16] = {};  // the stamp's date and hour that group_ belongs to
  std::size_t hourLength_ = 0;
  bool exact_ = true;
};

}  // namespace tavrin
