#include "shared/date_time.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "shared/error.h"

namespace tavrin {

namespace {

constexpr long long kSecondsPerDay = 86400;

long long FloorDiv(long long a, long long b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
long long FloorMod(long long a, long long b) {
  return a - FloorDiv(a, b) * b;
}

void CivilFromDays(long long z, long long& y, int& m, int& d) {
  z += 719468;
  const long long era = FloorDiv(z, 146097);
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

const long long kSerialEpoch = DaysFromCivil(1899, 12, 30);

// A point in time as whole days since 30 December 1899 and seconds into that day.
struct DaySecond {
  long long day = 0;
  long long second = 0;
};

DaySecond Normalize(long long year, long long month, long long day, long long hour,
                    long long minute, long long second) {
  const long long months = year * 12 + (month - 1);
  DaySecond out;
  out.day =
      DaysFromCivil(FloorDiv(months, 12), FloorMod(months, 12) + 1, 1) - kSerialEpoch + (day - 1);
  const long long seconds = hour * 3600 + minute * 60 + second;
  out.day += FloorDiv(seconds, kSecondsPerDay);
  out.second = FloorMod(seconds, kSecondsPerDay);
  return out;
}

DaySecond Normalize(const DateTime& v) {
  return Normalize(v.year, v.month, v.day, v.hour, v.minute, v.second);
}

DateTime FromDaySecond(const DaySecond& ds) {
  DateTime out;
  long long year = 0;
  CivilFromDays(ds.day + kSerialEpoch, year, out.month, out.day);
  out.year = static_cast<int>(year);
  out.hour = static_cast<int>(ds.second / 3600);
  out.minute = static_cast<int>(ds.second / 60 % 60);
  out.second = static_cast<int>(ds.second % 60);
  return out;
}

long long AbsoluteSeconds(const DateTime& v) {
  const DaySecond ds = Normalize(v);
  return ds.day * kSecondsPerDay + ds.second;
}

const std::array<const char*, 12> kEnglishMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
const std::array<const char*, 7> kEnglishDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                 "Thursday", "Friday", "Saturday"};

// The locale's name, or the English one where the settings leave it empty (its first three
// letters for an abbreviated name).
enum class NameLength { kFull, kAbbreviated };
std::string NameOr(const std::string& name, const char* english, NameLength length) {
  if (!name.empty()) return name;
  std::string fallback = english;
  return length == NameLength::kAbbreviated ? fallback.substr(0, 3) : fallback;
}

std::string Padded(long long value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, value);
  return buffer;
}

}  // namespace

long long DaysFromCivil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = FloorDiv(y, 400);
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

double ToSerial(const DateTime& value) {
  const DaySecond ds = Normalize(value);
  const double fraction = static_cast<double>(ds.second) / kSecondsPerDay;
  // Before the epoch the whole part counts days back while the fraction still counts the
  // time of day forward: 29 December 1899 06:00 is -1.25.
  return ds.day >= 0 ? static_cast<double>(ds.day) + fraction
                     : static_cast<double>(ds.day) - fraction;
}

DateTime FromSerial(double serial) {
  // About 270,000 years either way: far beyond any date the program meets, and small
  // enough to convert to whole numbers safely.
  if (!std::isfinite(serial) || std::fabs(serial) > 1e8) {
    throw OverflowError("FromSerial");
  }
  DaySecond ds;
  ds.day = static_cast<long long>(std::trunc(serial));
  ds.second = std::llround(std::fabs(serial - static_cast<double>(ds.day)) * kSecondsPerDay);
  if (ds.second >= kSecondsPerDay) {
    ds.second -= kSecondsPerDay;
    ++ds.day;
  }
  return FromDaySecond(ds);
}

DateTime ComposeDateTime(int year, int month, int day, int hour, int minute, int second) {
  return FromDaySecond(Normalize(year, month, day, hour, minute, second));
}

long long MinutesBetween(const DateTime& a, const DateTime& b) {
  return FloorDiv(AbsoluteSeconds(b), 60) - FloorDiv(AbsoluteSeconds(a), 60);
}

long long DaysBetween(const DateTime& a, const DateTime& b) {
  return Normalize(b).day - Normalize(a).day;
}

std::string FormatWithPicture(const DateTime& value, const std::string& picture,
                              const RegionalSettings& regional) {
  const DaySecond ds = Normalize(value);
  const DateTime v = FromDaySecond(ds);
  const int weekday = static_cast<int>(FloorMod(ds.day + 6, 7));  // the epoch is a Saturday
  const int hour12 = v.hour % 12 == 0 ? 12 : v.hour % 12;
  const std::string& ampm = v.hour < 12 ? regional.amSymbol : regional.pmSymbol;

  std::string out;
  std::size_t i = 0;
  while (i < picture.size()) {
    const char c = picture[i];
    if (c == '\'') {
      // Quoted literal; two quotes in a row stand for one quote.
      ++i;
      while (i < picture.size()) {
        if (picture[i] == '\'') {
          if (i + 1 < picture.size() && picture[i + 1] == '\'') {
            out += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        out += picture[i++];
      }
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    switch (c) {
      case 'd':
        if (run == 1) out += std::to_string(v.day);
        if (run == 2) out += Padded(v.day, 2);
        if (run == 3) {
          out += NameOr(regional.abbreviatedDayNames[weekday], kEnglishDays[weekday],
                        NameLength::kAbbreviated);
        }
        if (run >= 4)
          out += NameOr(regional.dayNames[weekday], kEnglishDays[weekday], NameLength::kFull);
        break;
      case 'M':
        if (run == 1) out += std::to_string(v.month);
        if (run == 2) out += Padded(v.month, 2);
        if (run == 3) {
          out += NameOr(regional.abbreviatedMonthNames[v.month - 1], kEnglishMonths[v.month - 1],
                        NameLength::kAbbreviated);
        }
        if (run >= 4) {
          out += NameOr(regional.monthNames[v.month - 1], kEnglishMonths[v.month - 1],
                        NameLength::kFull);
        }
        break;
      case 'y':
        if (run == 1) out += std::to_string(FloorMod(v.year, 10));
        if (run == 2) out += Padded(FloorMod(v.year, 100), 2);
        if (run >= 3) out += Padded(v.year, 4);
        break;
      case 'h':
        out += run == 1 ? std::to_string(hour12) : Padded(hour12, 2);
        break;
      case 'H':
        out += run == 1 ? std::to_string(v.hour) : Padded(v.hour, 2);
        break;
      case 'm':
        out += run == 1 ? std::to_string(v.minute) : Padded(v.minute, 2);
        break;
      case 's':
        out += run == 1 ? std::to_string(v.second) : Padded(v.second, 2);
        break;
      case 't':
        out += run == 1 ? ampm.substr(0, ampm.empty() ? 0 : 1) : ampm;
        break;
      case 'g':
        break;  // era: the Gregorian calendar shows none
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::string FormatGeneralDate(const DateTime& value, const RegionalSettings& regional) {
  const DaySecond ds = Normalize(value);
  if (ds.day == 0) return FormatWithPicture(value, regional.longTimeFormat, regional);
  if (ds.second == 0) return FormatWithPicture(value, regional.shortDateFormat, regional);
  return FormatWithPicture(value, regional.shortDateFormat, regional) + " " +
         FormatWithPicture(value, regional.longTimeFormat, regional);
}

}  // namespace tavrin
