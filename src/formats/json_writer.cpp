#include "formats/json_writer.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "formats/hash_api.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr const char* kErrorSource = "JsonStreamWriter";
// Readings further apart than this many minutes start a new sequence.
constexpr long long kMaximumGap = 17;
// The unit of the CGM values as the app delivers them, whatever unit the export shows.
constexpr std::string_view kCgmValueUnit = "mg/dL";

// "A" pieces: literal text followed by a line break.
std::string Line(std::string_view text) {
  std::string out(text);
  out += kCrLf;
  return out;
}

// A double quote becomes "'" when asked; CR LF becomes "||".
std::string ReplaceQuotesAndBreaks(std::string_view value, bool replaceQuotes) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') {
      out += "||";
      ++i;
    } else if (c == '"' && replaceQuotes) {
      out += '\'';
    } else {
      out += c;
    }
  }
  return out;
}

// Reads width digits at text[at]; false when one of them is not a digit.
bool ReadDigits(std::string_view text, std::size_t at, std::size_t width, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (!IsAsciiDigit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool IsValidDateTime(const DateTime& t) {
  static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  const int days = kDaysInMonth[t.month - 1] + ((t.month == 2 && IsLeapYear(t.year)) ? 1 : 0);
  return t.day <= days && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

[[noreturn]] void ThrowMalformed(std::string_view what, std::string_view text) {
  throw RuntimeError(
      kErrInvalidArgument, kErrorSource,
      std::string("Invalid ") + std::string(what) + ": \"" + std::string(text) + "\"");
}

// "YYYY-MM-DD" and "HH:NN" of an entry.
DateTime ParseEntryDateTime(std::string_view date, std::string_view time) {
  DateTime t;
  const bool ok = date.size() == 10 && time.size() == 5 && date[4] == '-' && date[7] == '-' &&
                  time[2] == ':' && ReadDigits(date, 0, 4, t.year) &&
                  ReadDigits(date, 5, 2, t.month) && ReadDigits(date, 8, 2, t.day) &&
                  ReadDigits(time, 0, 2, t.hour) && ReadDigits(time, 3, 2, t.minute);
  t.second = 0;
  if (!ok || !IsValidDateTime(t)) {
    ThrowMalformed("entry date and time", std::string(date) + " " + std::string(time));
  }
  return t;
}

// Minutes since 1970-01-01 00:00 of a CGM timestamp "YYYY-MM-DDTHH:NN:SSZ". Seconds do not
// count: the gap between two readings is the number of minute boundaries between them.
long long ParseTimestampMinutes(std::string_view timestamp) {
  DateTime t;
  const std::string_view s = timestamp;
  const bool ok = s.size() == 20 && s[4] == '-' && s[7] == '-' && s[10] == 'T' && s[13] == ':' &&
                  s[16] == ':' && s[19] == 'Z' && ReadDigits(s, 0, 4, t.year) &&
                  ReadDigits(s, 5, 2, t.month) && ReadDigits(s, 8, 2, t.day) &&
                  ReadDigits(s, 11, 2, t.hour) && ReadDigits(s, 14, 2, t.minute) &&
                  ReadDigits(s, 17, 2, t.second);
  if (!ok || !IsValidDateTime(t)) ThrowMalformed("CGM timestamp", timestamp);
  return DaysFromCivil(t.year, t.month, t.day) * 1440 + t.hour * 60LL + t.minute;
}

// A reading's value as a decimal. Whole numbers of up to six digits, the usual case, are
// read directly.
double ReadingValue(std::string_view text) {
  if (!text.empty() && text.size() <= 6) {
    int value = 0;
    if (ReadDigits(text, 0, text.size(), value)) return value;
  }
  const double value = ParseDecimal(text);
  return std::isfinite(value) ? value : 0.0;
}

// A JSON number: optional minus, integer digits, optional fraction and exponent.
bool IsJsonNumber(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && s[i] == '-') ++i;
  if (i >= s.size() || !IsAsciiDigit(s[i])) return false;
  if (s[i] == '0') {
    ++i;
  } else {
    while (i < s.size() && IsAsciiDigit(s[i])) ++i;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (i >= s.size() || !IsAsciiDigit(s[i])) return false;
    while (i < s.size() && IsAsciiDigit(s[i])) ++i;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i >= s.size() || !IsAsciiDigit(s[i])) return false;
    while (i < s.size() && IsAsciiDigit(s[i])) ++i;
  }
  return i == s.size();
}

void AppendInteger(std::string& out, long long value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// A whole number held in a double; values beyond the range of exact integers are written
// in full as well.
void AppendWholeNumber(std::string& out, double value) {
  if (std::fabs(value) < 1e15) {
    AppendInteger(out, static_cast<long long>(value));
    return;
  }
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
  out.append(buffer, result.ptr);
}

// A reading's value as given when it is a valid JSON number, else the number it was read
// as, so that the document stays valid JSON.
void AppendReadingValue(std::string& out, std::string_view text, double value) {
  if (IsJsonNumber(text)) {
    out += text;
    return;
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Length of the text without one trailing comma (with or without a line break after it).
std::size_t LengthWithoutTrailingComma(std::string_view text) {
  if (EndsWith(text, ",\r\n")) return text.size() - 3;
  if (EndsWith(text, ",")) return text.size() - 1;
  return text.size();
}

}  // namespace

std::string JsonStringValue(std::string_view value, bool replaceQuotes) {
  const std::string replaced = ReplaceQuotesAndBreaks(value, replaceQuotes);
  std::string out;
  out.reserve(replaced.size());
  for (std::size_t i = 0; i < replaced.size(); ++i) {
    const char c = replaced[i];
    const auto u = static_cast<unsigned char>(c);
    // JSON is UTF-8: a byte that starts no character (a serial number typed in another
    // encoding) becomes U+FFFD.
    if (u >= 0x80) {
      const std::size_t length = Utf8SequenceLength(replaced, i);
      if (length == 1) {
        out += "\xEF\xBF\xBD";
      } else {
        out.append(replaced, i, length);
        i += length - 1;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20) {
          out += "\\u00";
          AppendHex(out, static_cast<std::uint8_t>(u), HexLetters::kLower);
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string JsonMember(std::string_view key, std::string_view value, JsonValue kind,
                       JsonAfter after, JsonQuotes quotes) {
  const bool replaceQuotes = quotes == JsonQuotes::kReplace;
  std::string out;
  out.reserve(key.size() + value.size() + 12);
  out += '"';
  out += key;
  out += "\": ";
  if (kind == JsonValue::kRaw) {
    out += ReplaceQuotesAndBreaks(value, replaceQuotes);
  } else {
    out += '"';
    out += JsonStringValue(value, replaceQuotes);
    out += '"';
  }
  if (after == JsonAfter::kClose || after == JsonAfter::kCloseAndComma) {
    out += kCrLf;
    out += '}';
  }
  if (after == JsonAfter::kComma || after == JsonAfter::kCloseAndComma) out += ',';
  return out;
}

std::string JsonOpenObject(std::string_view key, JsonOpen open) {
  std::string out;
  if (!key.empty()) {
    out += '"';
    out += key;
    out += "\": ";
  }
  out += open == JsonOpen::kArray ? "[{" : "{";
  out += kCrLf;
  return out;
}

std::string JsonCloseObject(JsonClose close) {
  std::string out;
  if (close == JsonClose::kOnNewLine || close == JsonClose::kOnNewLineWithComma) out += kCrLf;
  out += '}';
  if (close == JsonClose::kWithComma || close == JsonClose::kOnNewLineWithComma) out += ',';
  out += kCrLf;
  return out;
}

std::string TimeZoneSuffix(int biasMinutes) {
  long long total = biasMinutes;
  std::string out(1, total >= 0 ? '-' : '+');
  if (total < 0) total = -total;
  const long long hours = total / 60;
  const long long minutes = total % 60;
  if (hours < 10) out += '0';
  AppendInteger(out, hours);
  out += ':';
  if (minutes < 10) out += '0';
  AppendInteger(out, minutes);
  return out;
}

JsonStreamWriter::JsonStreamWriter(Platform& platform, std::string exportUnit,
                                   std::string serialNumber, const ProgramVersion& version)
    : platform_(platform),
      exportUnit_(std::move(exportUnit)),
      serialNumber_(std::move(serialNumber)),
      version_(version) {}

void JsonStreamWriter::AddPlaceholder(Placeholder& where, std::string_view memberBefore,
                                      std::string_view placeholder, std::string_view textAfter) {
  document_.Add(memberBefore);
  where.offset = document_.ToString().size();
  where.length = placeholder.size();
  document_.Add(placeholder);
  document_.Add(textAfter);
}

void JsonStreamWriter::WriteJsonOpening() {
  if (opened_) return;
  opened_ = true;
  cStringBuilder& d = document_;

  d.Add(Line("{"));
  d.Add(JsonMember("$schema", "ExchangeJsonSchema.json", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonOpenObject("information"));
  d.Add(JsonOpenObject("specification"));
  d.Add(JsonMember("name", "Exchange JSON File Format", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("version", "[ 0, 9 ]", JsonValue::kRaw, JsonAfter::kCloseAndComma));
  d.Add(JsonOpenObject("generated by"));
  d.Add(JsonMember("name", "Tavrin plugin", JsonValue::kQuoted, JsonAfter::kComma));
  const std::string version = "[ " + std::to_string(version_.major) + ", " +
                              std::to_string(version_.minor) + ", " +
                              std::to_string(version_.revision) + " ]";
  d.Add(JsonMember("version", version, JsonValue::kRaw, JsonAfter::kClose));
  d.Add(JsonCloseObject(JsonClose::kWithComma));

  // Device 0: the app, with the carbohydrate and insulin entries.
  d.Add(JsonOpenObject("devices", JsonOpen::kArray));
  d.Add(JsonOpenObject("description"));
  d.Add(JsonMember("id", "0", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("type", "smartphone app", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("name", "App", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("serial number", serialNumber_, JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(Line("\"model type\": \"\","));
  d.Add(Line("\"device name\": \"App\","));
  d.Add(Line("\"company\": \"Tavrin\","));
  d.Add(Line("\"paired with\": [ \"1\" ],"));
  d.Add(Line("\"connected with\": [ \"1\" ],"));
  d.Add(Line("\"device name\": \"Tavrn\""));
  d.Add(Line("},"));
  d.Add(JsonOpenObject("settings"));
  d.Add(JsonMember("display glucose unit", exportUnit_, JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("display carb unit", "g", JsonValue::kQuoted, JsonAfter::kCloseAndComma));
  d.Add(Line("\"history\": [],"));
  AddPlaceholder(dataPlaceholder_, "\"data\": ", "[JSON_DATA_BG]", kCrLf);
  d.Add(Line("},"));

  // Device 1: the CGM transmitter, with the readings as one session.
  d.Add(Line("{"));
  d.Add(JsonOpenObject("description"));
  d.Add(JsonMember("id", "1", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("type", "cgm transmitter", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("manufacturer", "Tavrin", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("name", "App", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("serial number", serialNumber_, JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(Line("\"paired with\": [ \"0\" ],"));
  d.Add(Line("\"connected with\": [ \"0\" ],"));
  d.Add(JsonMember("sampling interval", "[1  , \"min\"]", JsonValue::kRaw,
                   JsonAfter::kCloseAndComma, JsonQuotes::kKeep));
  d.Add(JsonOpenObject("settings"));
  d.Add(JsonMember("display glucose unit", exportUnit_, JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("display carb unit", "g", JsonValue::kQuoted, JsonAfter::kCloseAndComma));
  d.Add(Line("\"history\": [],"));
  d.Add(Line("\"data\": ["));
  d.Add(Line("{"));
  d.Add(JsonMember("type", "cgm session", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("number", "1", JsonValue::kRaw, JsonAfter::kComma));
  AddPlaceholder(startPlaceholder_, "\"start time\": \"", "[CGMS_START_TIME]", "\",");
  AddPlaceholder(endPlaceholder_, "\"end time\": \"", "[CGMS_END_TIME]", "\",");
  d.Add(JsonOpenObject("header", JsonOpen::kArray));
  d.Add(JsonMember("type", "runtime", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("unit", "min", JsonValue::kQuoted, JsonAfter::kCloseAndComma));
  d.Add(JsonOpenObject(""));
  d.Add(JsonMember("type", "timestamp", JsonValue::kQuoted, JsonAfter::kCloseAndComma));
  d.Add(JsonOpenObject(""));
  d.Add(JsonMember("type", "cgm", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("unit", exportUnit_, JsonValue::kQuoted, JsonAfter::kCloseAndComma));
  d.Add(JsonOpenObject(""));
  d.Add(JsonMember("type", "rate of change", JsonValue::kQuoted, JsonAfter::kComma));
  d.Add(JsonMember("unit", "(" + std::string(kCgmValueUnit) + ")/min", JsonValue::kQuoted,
                   JsonAfter::kClose));
  d.Add(Line("],"));
}

bool JsonStreamWriter::WriteJsonEntry(std::string_view date, std::string_view time,
                                      std::string_view codeText, std::string_view value) {
  // The code's leading number: "4b" counts as 4.
  const double code = Val(codeText);
  // Only carbohydrates (3) and the two insulin categories (4, 5) become entries.
  if (code != 3 && code != 4 && code != 5) return false;
  if (value.empty()) return false;

  std::string amount = CleanAmount(value, ".");
  const float number = ParseDecimal(amount);
  if (!(number > 0) || !std::isfinite(number)) return false;

  const DateTime local = ParseEntryDateTime(date, time);
  // The offset in effect at the entry's own date and time, so that winter and summer
  // entries each carry their own.
  std::string timestamp(date);
  timestamp += 'T';
  timestamp += time;
  timestamp += ":00";
  timestamp += TimeZoneSuffix(platform_.Clock().UtcBiasMinutes(local));
  amount = ReplaceAll(amount, ",", ".");

  entries_.Add(Line("{"));
  entries_.Add(
      JsonMember("type", code == 3 ? "carb" : "insulin", JsonValue::kQuoted, JsonAfter::kComma));
  entries_.Add(JsonMember("timestamp", timestamp, JsonValue::kQuoted, JsonAfter::kComma));
  if (code != 3)
    entries_.Add(
        JsonMember("category", code == 4 ? "1" : "2", JsonValue::kQuoted, JsonAfter::kComma));
  entries_.Add(JsonMember("value", amount, JsonValue::kRaw, JsonAfter::kCloseAndComma));
  return true;
}

void JsonStreamWriter::WriteCgmReading(std::string_view timestamp, std::string_view value) {
  WriteJsonOpening();
  const long long minute = ParseTimestampMinutes(timestamp);
  const double reading = ReadingValue(value);

  piece_.clear();
  if (!hasReading_) {
    // The first reading opens the first sequence with its timestamp; its value is where
    // the first interpolation starts.
    piece_ += "\"sequences\": [[[0,\"";
    piece_ += timestamp;
    piece_ += "\"],";
    hasReading_ = true;
    firstMinute_ = minute;
    firstTimestamp_ = timestamp;
  } else {
    const long long gap = minute - previousMinute_;
    if (gap > kMaximumGap) {
      // Too long without readings: close the sequence (dropping the comma after its last
      // element) and start a new one at this reading.
      document_.RemoveAtEnd(1);
      piece_ += "],[[";
      AppendInteger(piece_, minute - firstMinute_);
      piece_ += ",\"";
      piece_ += timestamp;
      piece_ += "\"],[0,";
      AppendReadingValue(piece_, value, reading);
      piece_ += ",\"NaN\"],";
    } else if (gap >= 2) {
      // Missing minutes are filled in on a straight line; the last point is this reading.
      const double slope = (reading - previousValue_) / static_cast<double>(gap);
      for (long long i = 1; i <= gap; ++i) {
        piece_ += "[1,";
        AppendWholeNumber(piece_,
                          std::floor(previousValue_ + slope * static_cast<double>(i) + 0.5));
        piece_ += ",\"NaN\"],";
      }
    } else {
      piece_ += '[';
      AppendInteger(piece_, gap);
      piece_ += ',';
      AppendReadingValue(piece_, value, reading);
      piece_ += ",\"NaN\"],";
    }
  }
  document_.Add(piece_);

  previousMinute_ = minute;
  previousValue_ = reading;
  lastTimestamp_ = timestamp;
}

std::string JsonStreamWriter::ComputeChecksum(std::string& document, std::string_view tail) {
  // Hashed in place with the tail appended, then the tail is taken off again: the
  // document is tens of megabytes for months of readings.
  const std::size_t length = document.size();
  document += tail;
  cHashAPI hash(platform_);
  std::vector<std::uint8_t> bytes;
  hash.ToUTF8(document, bytes);
  document.resize(length);
  return hash.CreateSHA256Hash(bytes);
}

std::string JsonStreamWriter::WriteJsonClosing() {
  if (closed_) return std::string();
  WriteJsonOpening();
  closed_ = true;

  // Without any reading the session still gets its (empty) sequence list.
  if (!hasReading_) document_.Add("\"sequences\": [[");

  const std::string_view entries = entries_.ToString();
  const std::string_view body = document_.ToString();
  const std::size_t bodyEnd = LengthWithoutTrailingComma(body);

  std::string out;
  out.reserve(body.size() + entries.size() + 256);
  // The placeholders stand in this order; each is replaced where it was written.
  std::size_t at = 0;
  auto copyUpTo = [&](const Placeholder& p, std::string_view replacement) {
    out.append(body.substr(at, p.offset - at));
    out.append(replacement);
    at = p.offset + p.length;
  };
  out.append(body.substr(0, dataPlaceholder_.offset));
  out += '[';
  out.append(entries.substr(0, LengthWithoutTrailingComma(entries)));
  out += ']';
  at = dataPlaceholder_.offset + dataPlaceholder_.length;
  copyUpTo(startPlaceholder_, firstTimestamp_);
  copyUpTo(endPlaceholder_, lastTimestamp_);
  out.append(body.substr(at, bodyEnd - at));

  out += kCrLf;
  out += "]],\r\n";
  out += "\"calibration\": [ ]\r\n";
  out += "}]\r\n";
  out += "}],\r\n";
  out += "\"checksum\": { \"SHA-256\": \"";

  // The checksum covers the finished document with an empty checksum value.
  constexpr std::string_view kTail = "\" }\r\n}";
  const std::string checksum = ComputeChecksum(out, kTail);
  out += checksum;
  out += kTail;

  document_.Clear();
  entries_.Clear();
  return out;
}

}  // namespace tavrin
