#pragma once

#include <optional>
#include <string_view>

#include "shared/date_time.h"
#include "shared/regional.h"

namespace tavrin {

// What the locale-aware conversion found in a text: the point in time, and whether the
// text named a date, a time of day or both.
struct LocaleDateTimeParts {
  DateTime value;
  bool hasDate = false;
  bool hasTime = false;
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

// The point in time of ParseLocaleDateTimeParts.
std::optional<DateTime> ParseLocaleDateTime(std::string_view text,
                                            const RegionalSettings& regional);

}  // namespace tavrin
