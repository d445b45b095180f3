#include "importer/row_text.h"
#include "shared/date_time.h"
#include "shared/text.h"

namespace tavrin {

namespace {

// The form of a row stamp, "DD.MM.YYYY HH:NN": a digit wherever it has a "9".
constexpr std::string_view kStampForm = "99.99.9999 99:99";

}  // namespace

bool NextRow(std::string_view text, std::size_t& position, RowFields& row) {
  std::size_t end = text.find(kCrLf, position);
  if (end == std::string_view::npos) end = text.size();
  std::string_view line = text.substr(position, end - position);
  position = end < text.size() ? end + kCrLf.size() : text.size();
  if (line.empty()) return false;
  for (int f = 0; f < 3; ++f) {
    const std::size_t semicolon = line.find(';');
    row.field[f] = line.substr(0, semicolon);
    if (semicolon == std::string_view::npos) {
      for (int rest = f + 1; rest < 3; ++rest) row.field[rest] = std::string_view();
      break;
    }
    line.remove_prefix(semicolon + 1);
  }
  return true;
}

RecordStamp::RecordStamp(std::string_view stamp)
    : date{stamp[6], stamp[7], stamp[8], stamp[9], '-',
           stamp[3], stamp[4], '-',      stamp[0], stamp[1]},
      time{stamp[11], stamp[12], ':', stamp[14], stamp[15]} {}

RecordStamp::RecordStamp(const DateTime& when) {
  const auto digits = [](char* out, int value, int count) {
    for (int i = count - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
  };
  digits(date, when.year, 4);
  date[4] = '-';
  digits(date + 5, when.month, 2);
  date[7] = '-';
  digits(date + 8, when.day, 2);
  digits(time, when.hour, 2);
  time[2] = ':';
  digits(time + 3, when.minute, 2);
}

std::optional<DateTime> StampTime(std::string_view stamp) {
  if (stamp.size() < kStampForm.size()) return std::nullopt;
  for (std::size_t i = 0; i < kStampForm.size(); ++i) {
    if (kStampForm[i] == '9' ? !IsAsciiDigit(stamp[i]) : stamp[i] != kStampForm[i])
      return std::nullopt;
  }
  const auto number = [&stamp](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (stamp[i] - '0');
    return value;
  };
  const int year = number(6, 4), month = number(3, 2), day = number(0, 2);
  const int hour = number(11, 2), minute = number(14, 2);
  if (year < 100 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59) {
    return std::nullopt;
  }
  return DateTime{year, month, day, hour, minute, 0};
}

void DateRange::Include(const DateTime& when) {
  found = true;
  if (when < earliest) earliest = when;
  if (when > latest) latest = when;
}

void DateRange::Add(const DateRange& other) {
  lines += other.lines;
  if (!other.found) return;
  Include(other.earliest);
  Include(other.latest);
}

}  // namespace tavrin
