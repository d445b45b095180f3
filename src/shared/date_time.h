#pragma once

#include <compare>
#include <string>

#include "shared/regional.h"

namespace tavrin {

// A local calendar date and time of day, to the second.
struct DateTime {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 takes the 0 of a defaulted <=> for null
  auto operator<=>(const DateTime&) const = default;
};

// Days since 30 December 1899 with the time of day as the fraction: the serial form of
// dates that the rest of the program counts with (day differences, minute gaps).
double ToSerial(const DateTime& value);

// Whether the year of the proleptic Gregorian calendar has a 29 February.
constexpr bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}
// The number of days of the month (1-12) in the year.
int DaysInMonth(int year, int month);
// Days since 1 January 1970 of a proleptic Gregorian date (month 1-12).
long long DaysFromCivil(long long year, long long month, long long day);
DateTime FromSerial(double serial);

// Composes a date and time from parts that may lie out of range; they roll over the way
// calendar arithmetic does (day 32 of a month is the first of the next month, month 13
// is January of the next year, month 0 is December of the year before, hour 25 is 01:00
// of the next day).
DateTime ComposeDateTime(int year, int month, int day, int hour, int minute, int second);

// Whole minutes from a to b (negative when b is earlier), counted as minute boundaries
// crossed: the seconds of both values are ignored.
long long MinutesBetween(const DateTime& a, const DateTime& b);

// Days from a to b counted as midnights crossed (the times of day are ignored).
long long DaysBetween(const DateTime& a, const DateTime& b);

// Formats with a Windows-style picture (see RegionalSettings): d dd ddd dddd, M MM MMM
// MMMM, y yy yyyy, h hh H HH, m mm s ss, t tt; text in single quotes is literal ('' is
// a quote); other characters stand for themselves.
std::string FormatWithPicture(const DateTime& value, const std::string& picture,
                              const RegionalSettings& regional);

// The platform's default conversion of a date to text (the "general date" form): the short
// date and the long time of the regional settings, separated by a blank; a value without
// a time of day shows only the date, and a value on 30 December 1899 only the time.
std::string FormatGeneralDate(const DateTime& value, const RegionalSettings& regional);

}  // namespace tavrin
