#include "importer/locale_date.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "shared/date_time.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// Day, month and year numbers have at most this many digits; longer runs are rejected
// before they are turned into numbers, so no input can overflow.
constexpr std::size_t kMaxDigits = 4;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
// ASCII letters and every byte of a multi-byte UTF-8 character, so that month names
// such as "März" or "déc" are read as one word.
bool IsLetter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

int NumberOf(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

// The date range the platform's dates cover.
bool IsValidDate(int year, int month, int day) {
  return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= DaysInMonth(year, month);
}

// A year of one or two digits lies in 1930-2029; four digits stand for themselves.
std::optional<int> YearOf(std::string_view digits) {
  if (digits.size() <= 2) {
    const int value = NumberOf(digits);
    return value < 30 ? 2000 + value : 1900 + value;
  }
  if (digits.size() == 4) return NumberOf(digits);
  return std::nullopt;
}

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Reads a run of 1 or 2 digits at pos; a longer run or none fails.
std::optional<int> ReadTimeNumber(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && IsAsciiDigit(text[pos])) ++pos;
  const std::size_t length = pos - start;
  if (length == 0 || length > 2) return std::nullopt;
  return NumberOf(text.substr(start, length));
}

bool ReadTimeSeparator(std::string_view text, std::size_t& pos, const RegionalSettings& regional) {
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    return true;
  }
  const std::string& separator = regional.timeSeparator;
  if (!separator.empty() && text.substr(pos).starts_with(separator)) {
    pos += separator.size();
    return true;
  }
  return false;
}

enum class Meridiem { None, Am, Pm };

std::optional<Meridiem> MeridiemOf(std::string_view text, const RegionalSettings& regional) {
  if (text.empty()) return Meridiem::None;
  if ((!regional.amSymbol.empty() && EqualsNoCase(text, regional.amSymbol)) ||
      EqualsNoCase(text, "AM") || EqualsNoCase(text, "A")) {
    return Meridiem::Am;
  }
  if ((!regional.pmSymbol.empty() && EqualsNoCase(text, regional.pmSymbol)) ||
      EqualsNoCase(text, "PM") || EqualsNoCase(text, "P")) {
    return Meridiem::Pm;
  }
  return std::nullopt;
}

// "H:MM" or "H:MM:SS", optionally followed by an AM/PM symbol; the whole text must be
// the time.
std::optional<TimeOfDay> ParseTime(std::string_view text, const RegionalSettings& regional) {
  std::size_t pos = 0;
  TimeOfDay time;
  const auto hour = ReadTimeNumber(text, pos);
  if (!hour || !ReadTimeSeparator(text, pos, regional)) return std::nullopt;
  const auto minute = ReadTimeNumber(text, pos);
  if (!minute) return std::nullopt;
  time.hour = *hour;
  time.minute = *minute;
  std::size_t beforeSeconds = pos;
  if (ReadTimeSeparator(text, pos, regional)) {
    const auto second = ReadTimeNumber(text, pos);
    if (second) {
      time.second = *second;
    } else {
      pos = beforeSeconds;  // the separator may begin an AM/PM symbol such as "."
    }
  }
  const auto meridiem = MeridiemOf(TrimBlanks(text.substr(pos)), regional);
  if (!meridiem) return std::nullopt;
  if (time.minute > 59 || time.second > 59) return std::nullopt;
  switch (*meridiem) {
    case Meridiem::None:
      if (time.hour > 23) return std::nullopt;
      break;
    case Meridiem::Am:
      if (time.hour > 12) return std::nullopt;
      if (time.hour == 12) time.hour = 0;
      break;
    case Meridiem::Pm:
      if (time.hour > 12) return std::nullopt;
      if (time.hour < 12) time.hour += 12;
      break;
  }
  return time;
}

// One part of a date: a run of digits or a word (a possible month name).
struct DateItem {
  std::string_view text;
  bool isWord = false;
};

bool IsDatePunctuation(char c, const RegionalSettings& regional) {
  if (c == '.' || c == '/' || c == '-' || c == ',') return true;
  return !IsBlank(c) && regional.dateSeparator.find(c) != std::string::npos;
}

// The month (1 to 12) whose name or abbreviation in the locale is the word, else 0.
int LocaleMonthOf(std::string_view word, const RegionalSettings& regional) {
  const std::string upper = ToUpper(word);
  for (std::size_t i = 0; i < 12; ++i) {
    for (const std::string* name : {&regional.monthNames[i], &regional.abbreviatedMonthNames[i]}) {
      std::string_view candidate = *name;
      if (!candidate.empty() && candidate.back() == '.') candidate.remove_suffix(1);
      if (!candidate.empty() && ToUpper(candidate) == upper) return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
  DayMonthOrder order = DayMonthOrder::kNone;
  DayMonthOrder only = DayMonthOrder::kNone;  // see LocaleDateTimeParts::only
};

// Three numbers joined by the same date separator.
std::optional<CalendarDate> NumericDate(const std::array<DateItem, 3>& items,
                                        const std::array<std::string_view, 2>& separators,
                                        const RegionalSettings& regional) {
  std::array<char, 2> marks{};
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string_view mark = TrimBlanks(separators[i]);
    // A comma separates a month name from a year, but never two numbers.
    if (mark.size() != 1 || mark[0] == ',') return std::nullopt;
    marks[i] = mark[0];
  }
  if (marks[0] != marks[1]) return std::nullopt;

  std::string_view yearText;
  std::string_view monthText;
  std::string_view dayText;
  const bool leadingYear = items[0].text.size() > 2;
  if (leadingYear) {
    // A leading four-digit year: year-month-day whatever the regional order.
    yearText = items[0].text;
    monthText = items[1].text;
    dayText = items[2].text;
  } else {
    switch (regional.dateOrder) {
      case RegionalSettings::DateOrder::DayMonthYear:
        dayText = items[0].text, monthText = items[1].text, yearText = items[2].text;
        break;
      case RegionalSettings::DateOrder::MonthDayYear:
        monthText = items[0].text, dayText = items[1].text, yearText = items[2].text;
        break;
      case RegionalSettings::DateOrder::YearMonthDay:
        yearText = items[0].text, monthText = items[1].text, dayText = items[2].text;
        break;
    }
  }
  if (dayText.size() > 2 || monthText.size() > 2) return std::nullopt;
  const auto year = YearOf(yearText);
  if (!year) return std::nullopt;
  const int month = NumberOf(monthText);
  const int day = NumberOf(dayText);
  // The order in which the date gave day and month, for the reader to notice an export
  // that mixes both.
  const auto order = [&](bool dayBeforeMonth) {
    if (leadingYear || month == day) return DayMonthOrder::kNone;
    return dayBeforeMonth ? DayMonthOrder::kDayFirst : DayMonthOrder::kMonthFirst;
  };
  const bool dayFirst = regional.dateOrder == RegionalSettings::DateOrder::DayMonthYear;
  // With the year last, whether only one order of the first two numbers makes a date:
  // 13.11.2026 can only be day first, 11.13.2026 only month first.
  DayMonthOrder only = DayMonthOrder::kNone;
  if (!leadingYear && regional.dateOrder != RegionalSettings::DateOrder::YearMonthDay) {
    const int first = NumberOf(items[0].text);
    const int second = NumberOf(items[1].text);
    const bool asDayFirst = IsValidDate(*year, second, first);
    const bool asMonthFirst = IsValidDate(*year, first, second);
    if (asDayFirst != asMonthFirst) {
      only = asDayFirst ? DayMonthOrder::kDayFirst : DayMonthOrder::kMonthFirst;
    }
  }
  if (IsValidDate(*year, month, day)) {
    return CalendarDate{*year, month, day, order(dayFirst), only};
  }
  // Day and month in the other order, as the platform reads 25/12/2026 under a
  // month-first locale.
  if (IsValidDate(*year, day, month)) {
    return CalendarDate{*year, day, month, order(!dayFirst), only};
  }
  return std::nullopt;
}

// A month name with a day and a year around it: "4. Dezember 2026", "Dec 4, 2026".
std::optional<CalendarDate> NamedMonthDate(const std::array<DateItem, 3>& items,
                                           const RegionalSettings& regional) {
  int month = 0;
  std::vector<std::string_view> numbers;
  for (const DateItem& item : items) {
    if (item.isWord) {
      if (month != 0) return std::nullopt;
      month = LocaleMonthOf(item.text, regional);
      if (month == 0) return std::nullopt;
    } else {
      numbers.push_back(item.text);
    }
  }
  if (month == 0 || numbers.size() != 2) return std::nullopt;

  std::string_view dayText;
  std::string_view yearText;
  if (numbers[0].size() > 2 || numbers[1].size() > 2) {
    const bool firstIsYear = numbers[0].size() > 2;
    yearText = firstIsYear ? numbers[0] : numbers[1];
    dayText = firstIsYear ? numbers[1] : numbers[0];
  } else if (regional.dateOrder == RegionalSettings::DateOrder::YearMonthDay) {
    yearText = numbers[0];
    dayText = numbers[1];
  } else {
    dayText = numbers[0];
    yearText = numbers[1];
  }
  if (dayText.size() > 2) return std::nullopt;
  const auto year = YearOf(yearText);
  if (!year) return std::nullopt;
  const int day = NumberOf(dayText);
  if (!IsValidDate(*year, month, day)) return std::nullopt;
  return CalendarDate{*year, month, day};
}

// Reads the three date parts from the start of the text; pos ends behind the last one.
std::optional<CalendarDate> ParseDate(std::string_view text, std::size_t& pos,
                                      const RegionalSettings& regional) {
  std::array<DateItem, 3> items;
  std::array<std::string_view, 2> separators;
  bool afterDottedWord = false;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      const std::size_t start = pos;
      std::size_t marks = 0;
      while (pos < text.size() && (IsBlank(text[pos]) || IsDatePunctuation(text[pos], regional))) {
        if (!IsBlank(text[pos])) ++marks;
        ++pos;
      }
      separators[i - 1] = text.substr(start, pos - start);
      // Parts touch only behind an abbreviation's dot ("Dez.04"); more than one mark
      // between two parts is no date.
      if (marks > 1 || (pos == start && !afterDottedWord)) return std::nullopt;
    }
    const std::size_t start = pos;
    afterDottedWord = false;
    if (pos < text.size() && IsAsciiDigit(text[pos])) {
      while (pos < text.size() && IsAsciiDigit(text[pos])) ++pos;
      items[i] = {text.substr(start, pos - start), false};
      if (items[i].text.size() > kMaxDigits) return std::nullopt;
    } else if (pos < text.size() && IsLetter(text[pos])) {
      while (pos < text.size() && IsLetter(text[pos])) ++pos;
      items[i] = {text.substr(start, pos - start), true};
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        afterDottedWord = true;
      }
    } else {
      return std::nullopt;
    }
  }
  const bool anyWord = items[0].isWord || items[1].isWord || items[2].isWord;
  return anyWord ? NamedMonthDate(items, regional) : NumericDate(items, separators, regional);
}

}  // namespace

std::optional<LocaleDateTimeParts> ParseLocaleDateTimeParts(std::string_view text,
                                                            const RegionalSettings& regional) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;

  if (const auto time = ParseTime(text, regional)) {
    LocaleDateTimeParts parts;
    parts.value.hour = time->hour;
    parts.value.minute = time->minute;
    parts.value.second = time->second;
    parts.hasTime = true;
    return parts;
  }

  std::size_t pos = 0;
  const auto date = ParseDate(text, pos, regional);
  if (!date) return std::nullopt;
  LocaleDateTimeParts parts;
  parts.value = DateTime{date->year, date->month, date->day, 0, 0, 0};
  parts.hasDate = true;
  parts.order = date->order;
  parts.only = date->only;
  if (pos == text.size()) return parts;

  // The time follows the date after at least one blank.
  if (!IsBlank(text[pos])) return std::nullopt;
  const auto time = ParseTime(TrimBlanks(text.substr(pos)), regional);
  if (!time) return std::nullopt;
  parts.value.hour = time->hour;
  parts.value.minute = time->minute;
  parts.value.second = time->second;
  parts.hasTime = true;
  return parts;
}

NumericDateTimeParts ParseNumericDateTimeParts(std::string_view dateText, std::string_view timeText,
                                               const RegionalSettings& regional) {
  return NumericDateTimeReader(regional).Read(dateText, timeText);
}

NumericDateTimeReader::NumericDateTimeReader(const RegionalSettings& regional)
    : regional_(regional) {
  for (char c : regional.dateSeparator) {
    if (IsAsciiDigit(c)) digitInDateSeparator_ = true;
  }
}

bool NumericDateTimeReader::ReadDate(std::string_view dateText) {
  // A digit among the regional separator characters would be taken as a mark.
  if (digitInDateSeparator_) return false;
  // Each run of digits ends at a character that the full reading takes as the one
  // separator mark between two parts, followed by the next run's first digit.
  std::array<DateItem, 3> items;
  std::array<std::string_view, 2> separators;
  std::size_t pos = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= dateText.size()) return false;
      const char mark = dateText[pos];
      if (IsBlank(mark) || !IsDatePunctuation(mark, regional_)) return false;
      separators[i - 1] = dateText.substr(pos, 1);
      ++pos;
    }
    const std::size_t start = pos;
    while (pos < dateText.size() && IsAsciiDigit(dateText[pos])) ++pos;
    const std::size_t length = pos - start;
    if (length == 0 || length > kMaxDigits) return false;
    items[i] = {dateText.substr(start, length), false};
  }
  if (pos != dateText.size()) return false;
  // A first part of one or two digits followed by a time separator could begin a time of
  // day; the full reading tries that first.
  if (items[0].text.size() <= 2) {
    const char mark = separators[0][0];
    const std::string& timeSeparator = regional_.timeSeparator;
    if (mark == ':' || (!timeSeparator.empty() && timeSeparator[0] == mark)) return false;
  }
  date_.reset();
  if (const auto date = NumericDate(items, separators, regional_)) {
    date_ = DateTime{date->year, date->month, date->day, 0, 0, 0};
    order_ = date->order;
    only_ = date->only;
  }
  return true;
}

namespace {

// Whether two texts of `length` bytes (at most 16) are the same, without a call for the
// few bytes of a date: two overlapping words from each end for 8 bytes and more.
bool SameBytes(const char* a, const char* b, std::size_t length) {
  if (length < 8) return std::equal(a, a + length, b);
  std::uint64_t words[4];
  std::memcpy(&words[0], a, 8);
  std::memcpy(&words[1], a + length - 8, 8);
  std::memcpy(&words[2], b, 8);
  std::memcpy(&words[3], b + length - 8, 8);
  return words[0] == words[2] && words[1] == words[3];
}

}  // namespace

NumericDateTimeParts NumericDateTimeReader::Read(std::string_view dateText,
                                                 std::string_view timeText) {
  const bool sameDate = lastLength_ != 0 && dateText.size() == lastLength_ &&
                        SameBytes(dateText.data(), lastText_.data(), lastLength_);
  if (!sameDate) {
    lastRecognised_ = ReadDate(dateText);
    lastLength_ = dateText.size() <= lastText_.size() ? dateText.size() : 0;
    std::copy_n(dateText.begin(), lastLength_, lastText_.begin());
  }
  if (!lastRecognised_) return {};

  // The time: "H:MM" or "H:MM:SS", digits exactly where the full reading expects them;
  // the common "HH:MM" first.
  TimeOfDay time;
  const bool hasTime = !timeText.empty();
  if (timeText.size() == 5 && IsAsciiDigit(timeText[0]) && IsAsciiDigit(timeText[1]) &&
      timeText[2] == ':' && IsAsciiDigit(timeText[3]) && IsAsciiDigit(timeText[4])) {
    time.hour = (timeText[0] - '0') * 10 + (timeText[1] - '0');
    time.minute = (timeText[3] - '0') * 10 + (timeText[4] - '0');
  } else if (hasTime) {
    const auto digitAt = [&](std::size_t at) {
      return at < timeText.size() && IsAsciiDigit(timeText[at]);
    };
    const std::size_t hourLength = digitAt(1) ? 2 : 1;
    if (!digitAt(0) || hourLength >= timeText.size() || timeText[hourLength] != ':' ||
        !digitAt(hourLength + 1) || !digitAt(hourLength + 2)) {
      return {};
    }
    const std::size_t minuteEnd = hourLength + 3;
    time.hour = NumberOf(timeText.substr(0, hourLength));
    time.minute = NumberOf(timeText.substr(hourLength + 1, 2));
    if (minuteEnd != timeText.size()) {
      if (minuteEnd + 3 != timeText.size() || timeText[minuteEnd] != ':' ||
          !digitAt(minuteEnd + 1) || !digitAt(minuteEnd + 2)) {
        return {};
      }
      time.second = NumberOf(timeText.substr(minuteEnd + 1, 2));
    }
  }

  NumericDateTimeParts result;
  result.recognised = true;
  if (!date_) return result;
  if (time.hour > 23 || time.minute > 59 || time.second > 59) return result;
  LocaleDateTimeParts parts;
  parts.value = *date_;
  parts.value.hour = time.hour;
  parts.value.minute = time.minute;
  parts.value.second = time.second;
  parts.hasDate = true;
  parts.hasTime = hasTime;
  parts.order = order_;
  parts.only = only_;
  result.parts = parts;
  return result;
}

std::optional<DateTime> ParseLocaleDateTime(std::string_view text,
                                            const RegionalSettings& regional) {
  const auto parts = ParseLocaleDateTimeParts(text, regional);
  if (!parts) return std::nullopt;
  return parts->value;
}

}  // namespace tavrin
