#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "shared/date_time.h"
#include "shared/regional.h"

namespace tavrin {

// Which of day and month came first in a numeric date with day and month in either
// order ("09.11.2026", "11/13/2026"): kNone where they are equal, for a date led by a
// four-digit year (year-month-day by convention) and for dates with a month name.
enum class DayMonthOrder : unsigned char { kNone, kDayFirst, kMonthFirst };

// What the locale-aware conversion found in a text: the point in time, whether the text
// named a date, a time of day or both, and the order in which it gave day and month.
struct LocaleDateTimeParts {
  DateTime value;
  bool hasDate = false;
  bool hasTime = false;
  DayMonthOrder order = DayMonthOrder::kNone;
  // For a numeric date with the year last under a day-month or month-day locale: the one
  // order of its first two numbers that makes a date, when only one does (13.11.2026 can
  // only be day first); kNone when both or neither do. What the export proves about its
  // own order, whatever order the regional settings read it in.
  DayMonthOrder only = DayMonthOrder::kNone;
};

// Reads a text the way the user's regional settings read "date time", driven only by
// the given settings so that every platform reads it alike:
// - a date of three parts in the regional order of day, month and year, separated by
//   the regional date separator or by "/", "-" or "." (the same one twice); a first part
//   of four digits is a year and the date is read as year-month-day whatever the order;
//   when the regional order gives an impossible date, day and month are swapped;
// - or a date with a month name or abbreviation of the locale (letter case ignored, with
//   or without a trailing ".") in place of the month number, such as "4. Dezember 2026"
//   or "Dec 4, 2026";
// - years of four digits, or of one or two digits (00-29: 2000-2029, 30-99: 1930-1999);
// - a time "H:MM" or "H:MM:SS" with the regional time separator or ":", followed by the
//   regional AM/PM symbols or "AM", "PM", "A", "P" in any case;
// - a date alone (midnight) or a time alone (on 30 December 1899).
// Anything else, including impossible dates, out-of-range times, trailing text and an
// empty text, gives no result. Never throws.
std::optional<LocaleDateTimeParts> ParseLocaleDateTimeParts(std::string_view text,
                                                            const RegionalSettings& regional);

// ParseLocaleDateTimeParts on the date and time texts of a row joined by a blank, for the
// common numeric forms only, without joining them: a date of three runs of 1 to 4 digits
// with one punctuation character between them ("04.12.2026", "2026-12-04") and a time
// "H:MM" or "H:MM:SS" with ":" or no time at all. `recognised` is false for every other
// form and whenever the full reading could take another way (such as a date separator
// that is also the time separator); the caller then reads the joined text in full.
struct NumericDateTimeParts {
  bool recognised = false;
  std::optional<LocaleDateTimeParts> parts;
};
NumericDateTimeParts ParseNumericDateTimeParts(std::string_view dateText, std::string_view timeText,
                                               const RegionalSettings& regional);

// ParseNumericDateTimeParts for row after row under the same settings. An export has
// many rows a day, so the calendar date of the last date text is kept and reused while
// the text stays the same. Never throws; the settings must outlive the reader.
class NumericDateTimeReader {
 public:
  explicit NumericDateTimeReader(const RegionalSettings& regional);
  NumericDateTimeParts Read(std::string_view dateText, std::string_view timeText);

 private:
  // The calendar date of a date text into date_ (hour, minute and second zero; no value
  // for an impossible date); false when the text is not of the numeric form.
  bool ReadDate(std::string_view dateText);

  const RegionalSettings& regional_;
  bool digitInDateSeparator_ = false;
  // The last date text read (when it was short enough to keep) and what it gave.
  std::array<char, 16> lastText_{};
  std::size_t lastLength_ = 0;
  bool lastRecognised_ = false;
  std::optional<DateTime> date_;
  DayMonthOrder order_ = DayMonthOrder::kNone;
  DayMonthOrder only_ = DayMonthOrder::kNone;
};

// The point in time of ParseLocaleDateTimeParts.
std::optional<DateTime> ParseLocaleDateTime(std::string_view text,
                                            const RegionalSettings& regional);

}  // namespace tavrin
