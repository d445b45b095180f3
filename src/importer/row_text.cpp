#include "importer/row_text.h"

#include <algorithm>

#include "importer/record_table.h"
#include "shared/two_halves.h"

namespace tavrin {

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The form of a row stamp, "DD.MM.YYYY HH:NN": a digit wherever it has a "9".
constexpr std::string_view kStampForm = "99.99.9999 99:99";

// The first pass over the lines that start in [from, to); `to` stands behind a line break
// or at the end of the text.
RowSurvey SurveyRowsIn(std::string_view rowText, std::size_t from, std::size_t to, bool grouped) {
  RowSurvey survey;
  DateRange& range = survey.range;
  std::size_t position = from;
  RowFields row;
  while (position + 2 < to) {
    const std::size_t start = position;
    if (!NextRow(rowText, position, row)) continue;
    ++range.lines;
    // A row whose stamp names no real point in time is neither converted nor dated.
    const std::optional<DateTime> when = StampTime(row.field[0]);
    if (!when) continue;
    if (grouped && !row.field[2].empty()) {
      const RecordStamp stamp(row.field[0]);
      survey.groups[RecordTable::GroupOf(stamp.Date(), stamp.Time())].push_back(start);
    }
    if (row.field[1].empty()) continue;
    range.Include(*when);
  }
  return survey;
}

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

std::optional<DateTime> StampTime(std::string_view stamp) {
  if (stamp.size() < kStampForm.size()) return std::nullopt;
  for (std::size_t i = 0; i < kStampForm.size(); ++i) {
    if (kStampForm[i] == '9' ? !IsDigit(stamp[i]) : stamp[i] != kStampForm[i]) return std::nullopt;
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

void RowSurvey::Add(const RowSurvey& other, std::uint64_t offset) {
  range.Add(other.range);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    groups[g].reserve(groups[g].size() + other.groups[g].size());
    for (const std::uint64_t line : other.groups[g]) groups[g].push_back(offset + line);
  }
}

// The text is cut behind a line break, so the halves hold the lines of the whole.
RowSurvey SurveyRows(const ThreadUse& threads, std::string_view rowText, bool grouped) {
  const std::size_t cut = HalfwayLineStart(threads, rowText.size(), [rowText](std::size_t at) {
    const std::size_t found = rowText.find(kCrLf, at);
    return found == std::string_view::npos ? rowText.size() : found + kCrLf.size();
  });
  auto [survey, second] = RunTwoHalves(
      cut < rowText.size(), [&] { return SurveyRowsIn(rowText, 0, cut, grouped); },
      [&] { return SurveyRowsIn(rowText, cut, rowText.size(), grouped); });
  survey.Add(second);
  return survey;
}

void RowSurveyor::Reserve(std::uint64_t exportBytes) {
  // An export row takes more than a hundred bytes and gives a line or two: each group
  // takes a line of some 64 bytes of export at most.
  for (std::vector<std::uint64_t>& group : survey_.groups) {
    group.reserve(static_cast<std::size_t>(exportBytes / 64));
  }
}

void RowSurveyor::SetStamp(std::string_view stamp) {
  when_ = StampTime(stamp);
  if (!when_) return;
  // Stamps of one hour share their group, and rows mostly come hour by hour.
  constexpr std::size_t kHourLength = 14;  // "DD.MM.YYYY HH:"
  if (stamp.substr(0, kHourLength) == std::string_view(hour_, hourLength_)) return;
  const RecordStamp record(stamp);
  group_ = RecordTable::GroupOf(record.Date(), record.Time());
  hourLength_ = std::min(stamp.size(), kHourLength);
  std::copy_n(stamp.begin(), hourLength_, hour_);
}

void RowSurveyor::Line(std::uint64_t offset, char code, std::string_view value) {
  // A line break inside a value, or a code that is itself a separator, cuts the line into
  // fields otherwise than it was written: such a text is surveyed when it is read.
  if (code == ';' || value.find(kCrLf) != std::string_view::npos) exact_ = false;
  ++survey_.range.lines;
  if (!when_) return;
  if (!value.empty() && value.front() != ';') survey_.groups[group_].push_back(offset);
  survey_.range.Include(*when_);
}

}  // namespace tavrin
