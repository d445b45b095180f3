#include "importer/row_table.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

#include "importer/record_table.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {

namespace {

constexpr std::size_t kStampRoom = 32;
constexpr std::size_t kLengthBytes = 2 * sizeof(std::uint32_t);

// Whether a text holds ";UDTCGMS;", letter case ignored. The letter U is rare in row
// texts, so the search goes from one U to the next.
bool HoldsCgmMarker(std::string_view text) {
  constexpr std::string_view kMarker = ";UDTCGMS;";
  for (const char u : {'U', 'u'}) {
    for (std::size_t at = text.find(u, 1); at != std::string_view::npos;
         at = text.find(u, at + 1)) {
      if (text[at - 1] == ';' && AsciiEqualsNoCase(text.substr(at - 1, kMarker.size()), kMarker)) {
        return true;
      }
    }
  }
  return false;
}

// The stamp's numbers and record-key group, or just its text when StampTime cannot read
// it; `canonical` tells whether its text is the one FormatTimeStamp writes.
RowTable::Row StampRow(std::string_view stamp, bool& canonical) {
  RowTable::Row row;
  canonical = false;
  const std::optional<DateTime> when = StampTime(stamp);
  if (!when) return row;
  row.year = static_cast<std::uint16_t>(when->year);
  row.month = static_cast<std::uint8_t>(when->month);
  row.day = static_cast<std::uint8_t>(when->day);
  row.minuteOfDay = static_cast<std::uint16_t>(when->hour * 60 + when->minute);
  const RecordStamp record(*when);
  row.flags = RowTable::kDated;
  if (RecordTable::GroupOf(record.Date(), record.Time()) != 0) row.flags |= RowTable::kGroup1;
  char text[kStampRoom];
  canonical = std::string_view(text, FormatTimeStamp(text, sizeof text, *when)) == stamp;
  return row;
}

}  // namespace

std::size_t FormatTimeStamp(char* out, std::size_t room, const DateTime& when) {
  char* p = out;
  const auto two = [&p](int value) {
    const unsigned v = static_cast<unsigned>(value < 0 ? -value : value) % 100;
    *p++ = static_cast<char>('0' + v / 10);
    *p++ = static_cast<char>('0' + v % 10);
  };
  two(when.day);
  *p++ = '.';
  two(when.month);
  *p++ = '.';
  if (when.year >= 0 && when.year <= 9999) {
    two(when.year / 100);
    two(when.year % 100);
  } else {
    p = std::to_chars(p, out + room, when.year).ptr;
  }
  *p++ = ' ';
  two(when.hour);
  *p++ = ':';
  two(when.minute);
  return static_cast<std::size_t>(p - out);
}

RowTable RowTable::FromText(std::string_view rowText) {
  RowTable table;
  std::size_t position = 0;
  RowFields fields;
  while (position + 2 < rowText.size()) {
    std::size_t end = rowText.find(kCrLf, position);
    if (end == std::string_view::npos) end = rowText.size();
    const std::string_view line = rowText.substr(position, end - position);
    position = end < rowText.size() ? end + kCrLf.size() : rowText.size();
    std::size_t inLine = 0;
    if (!NextRow(line, inLine, fields)) continue;
    bool canonical = false;
    const Row row = StampRow(fields.field[0], canonical);
    table.AddRow(row, canonical ? std::string_view() : fields.field[0], fields.field[1],
                 fields.field[2]);
    // The fields behind the third are not read, but may hold the marker.
    table.cgmMarker_ = table.cgmMarker_ || HoldsCgmMarker(line);
  }
  return table;
}

void RowTable::SetStamp(const DateTime& when) {
  // The reader's points in time are real ones as a rule: those need no text. Any other
  // goes the way of the row text, written and read back.
  std::optional<DateTime> read;
  stampLength_ = 0;
  if (when.year >= 100 && when.year <= 9999 && when.month >= 1 && when.month <= 12 &&
      when.day >= 1 && when.day <= 28 && when.hour >= 0 && when.hour <= 23 && when.minute >= 0 &&
      when.minute <= 59) {
    read = DateTime{when.year, when.month, when.day, when.hour, when.minute, 0};
  } else {
    stampLength_ = FormatTimeStamp(stampText_, sizeof stampText_, when);
    read = StampTime(std::string_view(stampText_, stampLength_));
  }
  stamp_ = Row{};
  if (!read) return;
  stamp_.year = static_cast<std::uint16_t>(read->year);
  stamp_.month = static_cast<std::uint8_t>(read->month);
  stamp_.day = static_cast<std::uint8_t>(read->day);
  stamp_.minuteOfDay = static_cast<std::uint16_t>(read->hour * 60 + read->minute);
  // Stamps of one hour share their group, and rows mostly come hour by hour.
  const std::uint32_t hour = static_cast<std::uint32_t>(
      ((read->year * 16 + read->month) * 32 + read->day) * 32 + read->hour);
  if (hour != hour_) {
    const RecordStamp record(*read);
    hourGroup_ = RecordTable::GroupOf(record.Date(), record.Time()) != 0 ? kGroup1 : 0;
    hour_ = hour;
  }
  stamp_.flags = kDated | hourGroup_;
}

void RowTable::Add(std::string_view code, std::string_view value) {
  const bool dated = (stamp_.flags & kDated) != 0;
  AddRow(stamp_, dated ? std::string_view() : std::string_view(stampText_, stampLength_), code,
         value);
}

void RowTable::AddRow(Row row, std::string_view stampText, std::string_view code,
                      std::string_view value) {
  constexpr std::size_t kLimit = std::numeric_limits<std::uint32_t>::max();
  const bool lengths = !stampText.empty() || code.size() > std::numeric_limits<std::uint8_t>::max();
  const std::size_t bytes =
      (lengths ? kLengthBytes + stampText.size() : 0) + code.size() + value.size();
  if (bytes > kLimit - arena_.size()) throw OutOfMemoryError("RowTable");
  row.at = static_cast<std::uint32_t>(arena_.size());
  row.valueLength = static_cast<std::uint32_t>(value.size());
  if (lengths) {
    row.flags |= kLengths;
    const std::uint32_t sizes[2] = {static_cast<std::uint32_t>(stampText.size()),
                                    static_cast<std::uint32_t>(code.size())};
    arena_.append(reinterpret_cast<const char*>(sizes), sizeof sizes);
    arena_.append(stampText);
  } else {
    row.codeLength = static_cast<std::uint8_t>(code.size());
  }
  arena_.append(code).append(value);
  if (value.find(kCrLf) != std::string_view::npos) row.flags |= kSplits;
  rows_.push_back(row);
  Survey(row, code, value);
}

// What the conversion needs to know before it asks its questions, row by row as the row
// text's rules read the row's line.
void RowTable::Survey(const Row& row, std::string_view code, std::string_view value) {
  // The stamp holds no ";": the marker of a line is its code, or stands in its value,
  // which then holds a ";" (a value may hold a CR LF, the marker none).
  if (!cgmMarker_) {
    cgmMarker_ = AsciiEqualsNoCase(code, "UDTCGMS") ||
                 (value.find(';') != std::string_view::npos &&
                  (AsciiEqualsNoCase(value.substr(0, 8), "UDTCGMS;") || HoldsCgmMarker(value)));
  }
  if ((row.flags & kSplits) == 0) {
    ++range_.lines;
    if ((row.flags & kDated) != 0 && !code.empty()) range_.Include(When(row));
    return;
  }
  exact_ = false;
  scratch_.clear();
  AppendLine(row, scratch_);
  for (const RowFields& line : SplitRows(scratch_)) {
    ++range_.lines;
    const std::optional<DateTime> when = StampTime(line.field[0]);
    if (when && !line.field[1].empty()) range_.Include(*when);
  }
}

void RowTable::Append(const RowTable& other) {
  constexpr std::size_t kLimit = std::numeric_limits<std::uint32_t>::max();
  if (other.arena_.size() > kLimit - arena_.size()) throw OutOfMemoryError("RowTable");
  const auto offset = static_cast<std::uint32_t>(arena_.size());
  rows_.reserve(rows_.size() + other.rows_.size());
  for (Row row : other.rows_) {
    row.at += offset;
    rows_.push_back(row);
  }
  arena_.append(other.arena_);
  range_.Add(other.range_);
  exact_ = exact_ && other.exact_;
  cgmMarker_ = cgmMarker_ || other.cgmMarker_;
}

void RowTable::Reserve(std::uint64_t exportBytes) {
  // An export row takes more than a hundred bytes and gives a line or two, of a few
  // bytes of code and value each.
  rows_.reserve(static_cast<std::size_t>(exportBytes / 48));
  arena_.reserve(static_cast<std::size_t>(exportBytes / 16));
}

std::size_t RowTable::StampLength(const Row& row) const {
  if ((row.flags & kLengths) == 0) return 0;
  std::uint32_t length = 0;
  std::memcpy(&length, arena_.data() + row.at, sizeof length);
  return length;
}

std::string_view RowTable::StampText(const Row& row) const {
  return std::string_view(arena_).substr(row.at + kLengthBytes, StampLength(row));
}

std::string_view RowTable::Code(const Row& row) const {
  if ((row.flags & kLengths) == 0) return std::string_view(arena_).substr(row.at, row.codeLength);
  std::uint32_t length = 0;
  std::memcpy(&length, arena_.data() + row.at + sizeof length, sizeof length);
  return std::string_view(arena_).substr(row.at + kLengthBytes + StampLength(row), length);
}

std::string_view RowTable::Value(const Row& row) const {
  const std::string_view code = Code(row);
  const std::size_t at = static_cast<std::size_t>(code.data() - arena_.data()) + code.size();
  return std::string_view(arena_).substr(at, row.valueLength);
}

void RowTable::AppendLine(const Row& row, std::string& out) const {
  if ((row.flags & kLengths) != 0) {
    out.append(StampText(row));
  } else if ((row.flags & kDated) != 0) {
    char stamp[kStampRoom];
    out.append(stamp, FormatTimeStamp(stamp, sizeof stamp, When(row)));
  }
  out.append(1, ';').append(Code(row)).append(1, ';').append(Value(row));
}

std::string RowTable::Text() const {
  std::string text;
  text.reserve(rows_.size() * 24 + arena_.size());
  for (const Row& row : rows_) {
    AppendLine(row, text);
    text.append(kCrLf);
  }
  return text;
}

std::vector<RowFields> RowTable::SplitRows(std::string_view line) {
  std::vector<RowFields> rows;
  std::size_t position = 0;
  RowFields fields;
  while (position < line.size()) {
    if (NextRow(line, position, fields)) rows.push_back(fields);
  }
  return rows;
}

}  // namespace tavrin
