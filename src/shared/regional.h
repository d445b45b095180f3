#pragma once

#include <array>
#include <string>

namespace tavrin {

// The user's regional settings as far as the program uses them: how dates, times and
// numbers are written and read. The platform back end fills them from the system's
// locale; tests build them directly.
struct RegionalSettings {
  enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

  DateOrder dateOrder = DateOrder::DayMonthYear;
  std::string dateSeparator = ".";
  std::string timeSeparator = ":";
  std::string decimalSeparator = ",";
  std::string thousandSeparator = ".";
  // Windows-style pictures: d dd M MM MMM MMMM yy yyyy for dates; h hh H HH m mm s ss tt.
  std::string shortDateFormat = "dd.MM.yyyy";
  std::string longTimeFormat = "HH:mm:ss";
  // Empty under a 24-hour clock.
  std::string amSymbol;
  std::string pmSymbol;
  // Month names of the locale, January first (UTF-8).
  std::array<std::string, 12> monthNames{};
  std::array<std::string, 12> abbreviatedMonthNames{};
  // Day names of the locale, Sunday first (UTF-8); where empty, the English names are used.
  std::array<std::string, 7> dayNames{};
  std::array<std::string, 7> abbreviatedDayNames{};

  // Germany: 04.12.2026 23:35:08, decimal comma.
  static RegionalSettings German();
  // United States: 12/4/2026 11:35:08 PM, decimal point.
  static RegionalSettings EnglishUS();
  // United Kingdom: 04/12/2026 23:35:08, decimal point.
  static RegionalSettings EnglishUK();
};

}  // namespace tavrin
