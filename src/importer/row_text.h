#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "shared/date_time.h"

namespace tavrin {

// The rules of the row text ("DD.MM.YYYY HH:NN;code;value" lines, CR LF each) as the
// conversion reads it.

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
  // The same from the point in time StampTime read (a year of four digits).
  explicit RecordStamp(const DateTime& when);
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

}  // namespace tavrin
