#include "importer/export_rows.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

#include "importer/csv_fields.h"
#include "importer/date_parsing.h"
#include "importer/export_pieces.h"
#include "shared/error.h"
#include "shared/number_format.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

constexpr std::string_view kCrLf = "\r\n";
// The header must reach the weight column.
constexpr std::size_t kMinHeaderFields = 21;

constexpr double kMmolToMgdl = 18.0182;
constexpr double kPoundsFactor = 2.2046;

// A field taken as a number: its decimal value as a single in the program's number
// format, without a trailing ",0".
void DropTrailingCommaZero(std::string& text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, ",0") == 0) text.resize(text.size() - 2);
}

// The text of the common amounts ("4", "12", "3,5", "0.75"): digits with at most one "."
// or ",", at most five significant digits and four decimals. Such a number comes back
// unchanged from a single, so its text is written directly; nullopt for anything else.
std::optional<std::string> PlainNumberText(std::string_view field,
                                           std::string_view decimalSeparator) {
  std::size_t separator = std::string_view::npos;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c >= '0' && c <= '9') continue;
    if ((c == '.' || c == ',') && separator == std::string_view::npos) {
      separator = i;
      continue;
    }
    return std::nullopt;
  }
  std::string_view whole = field.substr(0, separator);
  std::string_view fraction =
      separator == std::string_view::npos ? std::string_view() : field.substr(separator + 1);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  if (whole.size() + fraction.size() > 5 || fraction.size() > 4) return std::nullopt;
  std::string text(whole.empty() ? std::string_view("0") : whole);
  if (!fraction.empty()) text.append(decimalSeparator).append(fraction);
  return text;
}

std::string NumberText(std::string_view field, std::string_view decimalSeparator) {
  if (std::optional<std::string> plain = PlainNumberText(field, decimalSeparator)) return *plain;
  std::string text = SingleToText(ParseDecimal(field), decimalSeparator);
  DropTrailingCommaZero(text);
  return text;
}

// Carbohydrates given in whole units (the common case): the amount times the whole-number
// factor, exact without the round trip through floating point. nullopt for other texts.
std::optional<long long> WholeCarbs(std::string_view field, double factor) {
  if (field.empty() || field.size() > 6) return std::nullopt;
  long long amount = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    amount = amount * 10 + (c - '0');
  }
  return amount * static_cast<long long>(factor);
}

bool IsLowReading(std::string_view lowered) {
  return lowered == "niedrig" || lowered == "lo" || lowered == "low";
}

// "DD.MM.YYYY HH:NN" into `out`, which has room for `room` characters; returns the
// length. A year outside 0 to 9999 is written with as many digits as it has.
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

}  // namespace

HeaderSettings ReadHeader(std::string_view header, const RegionalSettings& regional) {
  HeaderSettings settings;
  settings.separator = header.starts_with("Date;") || header.starts_with("\"Date\";") ? ';' : ',';
  // Only the first 21 fields matter. A file without CR LF is one long header line, and
  // splitting all of it would hold a view of every field of the file.
  std::vector<std::string_view> fields;
  SplitCsvFields(header, settings.separator, fields, kMinHeaderFields);
  if (fields.size() < kMinHeaderFields) {
    throw SubscriptError("ReadExportFile");
  }

  settings.exportUnit =
      FindNoCase(fields[column::kGlucose], "mg/dl") != std::string_view::npos ? "mg/dL" : "mmol/L";
  settings.mmol = settings.exportUnit == "mmol/L";

  // "Carbohydrates (BE 12)": the number at the end of the parenthesis converts the
  // export's carbohydrate units to grams; "(g)" and anything else not numeric leave 1.
  const std::string between = GetBetween(Trim(fields[column::kCarbs]), "(", ")");
  const std::u16string units = Utf8ToUtf16(between);
  const std::string lastTwo =
      Trim(Utf16ToUtf8(std::u16string_view(units).substr(units.size() > 2 ? units.size() - 2 : 0)));
  if (IsNumericText(lastTwo, regional)) {
    // The factor text is at most two characters, so its value is a small whole number
    // or a fraction; ParseDecimal reads either decimal separator.
    settings.carbFactor = std::nearbyint(static_cast<double>(ParseDecimal(lastTwo)));
  }

  // Blanks and quotes around the name change nothing: the unit is looked for inside.
  settings.pounds = FindNoCase(fields[column::kWeight], "lbs") != std::string_view::npos;
  return settings;
}

bool SetsStarMarker(std::string_view text, char separator) {
  std::array<std::string_view, column::kCorrection + 1> leading;
  std::vector<std::string_view> fields;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::string_view line = NextLineView(text, position);
    std::string_view correction;
    if (const std::optional<std::size_t> count = SplitPlainFields(line, separator, leading)) {
      if (*count <= column::kCorrection) return true;
      correction = leading[column::kCorrection];
    } else {
      SplitCsvFields(line, separator, fields, column::kCorrection + 1);
      if (fields.size() <= column::kCorrection) return true;
      correction = fields[column::kCorrection];
    }
    // An empty field is no amount.
    if (!correction.empty() && Val(correction) > 0) return true;
  }
  return false;
}

void SplitRow(std::string_view line, char separator, ExportRow& row,
              std::vector<std::string_view>& scratch) {
  std::size_t count = 0;
  if (const std::optional<std::size_t> plain = SplitPlainFields(line, separator, row)) {
    count = *plain;
  } else {
    SplitCsvFields(line, separator, scratch, kRowFields);
    count = scratch.size();
    std::copy(scratch.begin(), scratch.end(), row.begin());
  }
  std::fill(row.begin() + static_cast<std::ptrdiff_t>(count), row.end(), std::string_view());
}

void RowWriter::SetStamp(const DateTime& when) {
  stampLength_ = FormatTimeStamp(stamp_, kStampRoom, when);
}

// Composed on the stack, so that the output grows by one append per line.
void RowWriter::Line(char code, std::string_view value) {
  const std::string_view stamp(stamp_, stampLength_);
  char buffer[128];
  const std::size_t length = stamp.size() + 3 + value.size() + 2;
  if (length > sizeof buffer) {
    out_.append(stamp).append(1, ';').append(1, code).append(1, ';');
    out_.append(value).append(kCrLf);
    return;
  }
  char* p = buffer;
  p = std::copy(stamp.begin(), stamp.end(), p);
  *p++ = ';';
  *p++ = code;
  *p++ = ';';
  p = std::copy(value.begin(), value.end(), p);
  *p++ = '\r';
  *p++ = '\n';
  out_.append(buffer, length);
}

void WriteRowLines(RowWriter& writer, const ExportRow& row, const HeaderSettings& header,
                   bool starMarker, const RegionalSettings& regional) {
  using namespace column;
  const std::string_view dec = regional.decimalSeparator;

  // Codes 2 and 1: blood glucose, with the device's out-of-range words.
  const std::string_view glucose = row[kGlucose];
  if (!glucose.empty()) {
    SkipOnError([&] {
      if (IsNumericText(glucose, regional)) {
        if (header.mmol) {
          const double mgdl = RoundTo(static_cast<double>(ParseDecimal(glucose)) * kMmolToMgdl, 0);
          writer.Line('1', DoubleToText(mgdl, dec));
        } else {
          writer.Line('1', glucose);
        }
        return;
      }
      const std::string lowered = ToLower(glucose);
      if (lowered == "hoch" || lowered == "high") {
        writer.Line('1', "600");
      } else if (IsLowReading(lowered)) {
        writer.Line('2', "--1");
        writer.Line('1', "20");
      } else {
        writer.Line('1', glucose);
      }
    });
  }

  // Code 3: carbohydrates in grams.
  if (!row[kCarbs].empty()) {
    SkipOnError([&] {
      if (std::optional<long long> grams = WholeCarbs(row[kCarbs], header.carbFactor)) {
        if (*grams > 0) writer.Line('3', std::to_string(*grams));
        return;
      }
      const double grams =
          RoundTo(static_cast<double>(ParseDecimal(row[kCarbs])) * header.carbFactor, 1);
      if (grams > 0) writer.Line('3', DoubleToText(grams, dec));
    });
  }

  // Code 4 from columns 8 and 7: one value "a+b" when both are given.
  if (!row[kInsulinFirst].empty() || !row[kInsulinSecond].empty()) {
    std::string combined;
    if (!row[kInsulinFirst].empty()) {
      SkipOnError([&] {
        combined += NumberText(row[kInsulinFirst], dec);
        DropTrailingCommaZero(combined);
      });
    }
    if (!row[kInsulinSecond].empty()) {
      SkipOnError([&] {
        const std::string part = NumberText(row[kInsulinSecond], dec);
        if (!combined.empty()) combined += '+';
        combined += part;
        DropTrailingCommaZero(combined);
      });
    }
    if (!combined.empty()) writer.Line('4', combined);
  }

  if (!row[kBolus].empty()) {
    SkipOnError([&] {
      std::string value = NumberText(row[kBolus], dec);
      if (starMarker) value += '*';
      writer.Line('4', value);
    });
  }
  if (!row[kCorrection].empty()) {
    SkipOnError([&] { writer.Line('4', NumberText(row[kCorrection], dec)); });
  }
  if (!row[kBasal].empty()) {
    SkipOnError([&] { writer.Line('5', NumberText(row[kBasal], dec)); });
  }

  // Code 8: activity, "kind;duration;intensity" with "o" for a missing intensity.
  if (!row[kActivityDuration].empty() && !row[kActivityKind].empty()) {
    SkipOnError([&] {
      std::string value(row[kActivityKind]);
      value.append(1, ';').append(row[kActivityDuration]).append(1, ';');
      value.append(row[kActivityIntensity].empty() ? std::string_view("o")
                                                   : row[kActivityIntensity]);
      writer.Line('8', value);
    });
  }

  // Code 7: the note, led by the row's time.
  if (!row[kNote].empty()) {
    SkipOnError([&] {
      std::string value = NormalizeTime(row[kTime]);
      value.append(": ").append(row[kNote]);
      writer.Line('7', value);
    });
  }

  // Code 6: the tag column without blanks.
  if (!row[kTag].empty()) {
    SkipOnError([&] {
      std::string value(row[kTag]);
      std::erase(value, ' ');
      writer.Line('6', value);
    });
  }

  // Code 9: body weight.
  if (!row[kWeight].empty()) {
    SkipOnError([&] {
      std::string value = NumberText(row[kWeight], dec);
      if (header.pounds) {
        value = DoubleToText(static_cast<double>(ParseDecimal(value)) * kPoundsFactor, dec);
      }
      writer.Line('9', value);
    });
  }
}

bool IsNumericText(std::string_view text, const RegionalSettings& regional) {
  const std::string_view decimal = regional.decimalSeparator;
  const std::string_view thousands = regional.thousandSeparator;
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };

  std::size_t i = 0;
  std::size_t end = text.size();
  while (i < end && isBlank(text[i])) ++i;
  while (end > i && isBlank(text[end - 1])) --end;
  text = text.substr(i, end - i);
  if (text.empty()) return false;

  std::size_t pos = 0;
  if (text[0] == '+' || text[0] == '-') {
    ++pos;
    while (pos < text.size() && isBlank(text[pos])) ++pos;
  }
  bool digits = false;
  // Whole part: digits, with thousands separators only between two digits.
  while (pos < text.size()) {
    if (isDigit(text[pos])) {
      digits = true;
      ++pos;
    } else if (!thousands.empty() && thousands != decimal && digits &&
               text.substr(pos).starts_with(thousands) && pos + thousands.size() < text.size() &&
               isDigit(text[pos + thousands.size()])) {
      pos += thousands.size();
    } else {
      break;
    }
  }
  if (!decimal.empty() && text.substr(pos).starts_with(decimal)) {
    pos += decimal.size();
    while (pos < text.size() && isDigit(text[pos])) {
      digits = true;
      ++pos;
    }
  }
  return digits && pos == text.size();
}

}  // namespace tavrin
