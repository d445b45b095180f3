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
// The conversion holds a glucose value as a 16-bit whole number.
constexpr double kMaxGlucose = 32767;
// A number of more whole digits is 10^7 or more, which the program's number format (that
// of a single) writes in exponent form.
constexpr std::size_t kMaxWholeDigits = 7;
constexpr long long kWholeNumberLimit = 10000000;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// How a field states a number (see WriteRowLines).
struct FieldNumber {
  std::string_view text;  // the field without blanks around it
  bool isNumber = false;
  bool grouped = false;         // with thousands separators
  std::size_t wholeDigits = 0;  // digits of the whole part, leading zeros not counted
};

// Counts the digits from pos on; leading zeros are skipped but not counted.
std::size_t SignificantDigits(std::string_view text, std::size_t& pos, bool& anyDigit) {
  for (; pos < text.size() && text[pos] == '0'; ++pos) anyDigit = true;
  const std::size_t start = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  anyDigit = anyDigit || pos > start;
  return pos - start;
}

FieldNumber ExamineNumber(std::string_view field, const RegionalSettings& regional) {
  while (!field.empty() && IsBlank(field.front())) field.remove_prefix(1);
  while (!field.empty() && IsBlank(field.back())) field.remove_suffix(1);
  FieldNumber number{field};
  // Digits with at most one "." or ",": the decimal separator, whichever it is, as
  // ParseDecimal reads it.
  std::size_t pos = 0;
  bool anyDigit = false;
  number.wholeDigits = SignificantDigits(field, pos, anyDigit);
  if (pos < field.size() && (field[pos] == '.' || field[pos] == ',')) {
    ++pos;
    for (; pos < field.size() && IsDigit(field[pos]); ++pos) anyDigit = true;
  }
  if (pos == field.size()) {
    number.isNumber = anyDigit;
    return number;
  }
  // A whole part in groups of three digits, led by the regional thousands separator,
  // and the regional decimal separator. Not where the thousands separator is "." or ",":
  // the decimal reading above takes either as the decimal separator ("1,200" is 1.2), so
  // reading groups only once a second separator appears would make "1,200" and
  // "1,200.5" differ by a factor of 1,000.
  const std::string_view thousands = regional.thousandSeparator;
  const std::string_view decimal = regional.decimalSeparator;
  if (thousands.empty() || thousands == decimal || thousands == "." || thousands == ",") {
    return number;
  }
  pos = 0;
  while (pos < field.size() && pos < 3 && IsDigit(field[pos])) ++pos;
  if (pos == 0) return number;
  std::size_t groups = 0;
  for (; field.substr(pos).starts_with(thousands); ++groups) {
    pos += thousands.size();
    for (std::size_t end = pos + 3; pos < end; ++pos) {
      if (pos >= field.size() || !IsDigit(field[pos])) return number;
    }
  }
  if (groups == 0) return number;
  bool significant = false;
  number.wholeDigits = 0;
  for (const char c : field.substr(0, pos)) {
    if (!IsDigit(c)) continue;  // a byte of a thousands separator
    significant = significant || c != '0';
    number.wholeDigits += significant ? 1 : 0;
  }
  if (!decimal.empty() && field.substr(pos).starts_with(decimal)) {
    pos += decimal.size();
    while (pos < field.size() && IsDigit(field[pos])) ++pos;
  }
  number.isNumber = pos == field.size();
  number.grouped = true;
  return number;
}

// The value of a number field whose whole part has at most kMaxWholeDigits digits.
float NumberValue(const FieldNumber& number, const RegionalSettings& regional) {
  if (!number.grouped) return ParseDecimal(number.text);
  const std::string whole = ReplaceAll(number.text, regional.thousandSeparator, "");
  return ParseDecimal(ReplaceAll(whole, regional.decimalSeparator, "."));
}

// Whether the program's number format writes the value without exponent, so that the
// conversion reads its text back as the same number.
bool WrittenPlain(double value) {
  return SingleToText(static_cast<float>(value), ".").find('E') == std::string::npos;
}

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
  if (field.empty() || field == "." || field == ",") return std::nullopt;  // no digit
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

// The text of an amount field as a number in the program's number format, without a
// trailing ",0"; nullopt for a field that is no number the program can hold.
std::optional<std::string> AmountText(std::string_view field, const RegionalSettings& regional) {
  const std::string_view dec = regional.decimalSeparator;
  if (std::optional<std::string> plain = PlainNumberText(field, dec)) return plain;
  const FieldNumber number = ExamineNumber(field, regional);
  if (!number.isNumber || number.wholeDigits > kMaxWholeDigits) return std::nullopt;
  const float value = NumberValue(number, regional);
  if (!WrittenPlain(value)) return std::nullopt;
  std::string text = SingleToText(value, dec);
  DropTrailingCommaZero(text);
  return text;
}

// The code-1 text of a glucose field that is a number; nullopt when the conversion could
// not hold the value. In mg/dL a plain number stays as it is written.
std::optional<std::string> GlucoseText(std::string_view field, const FieldNumber& number, bool mmol,
                                       const RegionalSettings& regional) {
  if (number.wholeDigits > kMaxWholeDigits) return std::nullopt;
  const std::string_view dec = regional.decimalSeparator;
  if (mmol) {
    const double mgdl =
        RoundTo(static_cast<double>(NumberValue(number, regional)) * kMmolToMgdl, 0);
    if (mgdl > kMaxGlucose) return std::nullopt;
    return DoubleToText(mgdl, dec);
  }
  // Four whole digits are always in range; the conversion rounds halves to even.
  if (number.wholeDigits <= 4 && !number.grouped) return std::string(field);
  const float value = NumberValue(number, regional);
  if (!(value < kMaxGlucose + 0.5)) return std::nullopt;
  return number.grouped ? SingleToText(value, dec) : std::string(field);
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

// Carbohydrates with one decimal ("80,5"), the other common form: the product in tenths
// of a gram, exact. The general way reads the amount as a single, within 6e-8 of it, and
// rounds the product to tenths; below 100,000 g the error stays far from half a tenth, so
// both come to the same tenths. nullopt for other texts and for factors that are not
// whole numbers from 0 to 100.
std::optional<long long> TenthCarbs(std::string_view field, double factor) {
  if (field.size() < 3 || field.size() > 6) return std::nullopt;
  const std::size_t point = field.size() - 2;
  if (field[point] != '.' && field[point] != ',') return std::nullopt;
  if (!(factor >= 0 && factor <= 100 && factor == std::floor(factor))) return std::nullopt;
  long long tenths = 0;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (i == point) continue;
    if (!IsDigit(field[i])) return std::nullopt;
    tenths = tenths * 10 + (field[i] - '0');
  }
  const long long product = tenths * static_cast<long long>(factor);
  if (product >= 1000000) return std::nullopt;
  return product;
}

// Digits of other scripts that a text may state a number in: full-width (U+FF10 to
// U+FF19), Arabic-Indic (U+0660 to U+0669) and extended Arabic-Indic (U+06F0 to U+06F9).
bool HoldsOtherDigits(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[i]);
    const auto b = static_cast<unsigned char>(text[i + 1]);
    if (a == 0xD9 && b >= 0xA0 && b <= 0xA9) return true;
    if (a == 0xDB && b >= 0xB0 && b <= 0xB9) return true;
    if (a == 0xEF && b == 0xBC && i + 2 < text.size()) {
      const auto c = static_cast<unsigned char>(text[i + 2]);
      if (c >= 0x90 && c <= 0x99) return true;
    }
  }
  return false;
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the text starts with the word (ASCII letters, any case) and no letter follows.
bool StartsWithWord(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (LowerAscii(text[i]) != word[i]) return false;
  }
  if (text.size() == word.size()) return true;
  const char next = LowerAscii(text[word.size()]);
  return !(next >= 'a' && next <= 'z');
}

// A mantissa (digits with at most one separator) followed by "e" or "E", an optional
// sign and a digit: "1e30", "1,5E+3", "2e-4 mg".
bool StartsWithExponentForm(std::string_view text) {
  std::size_t pos = 0;
  bool digit = false;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, digit = true;
  if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, digit = true;
  }
  if (!digit || pos >= text.size() || LowerAscii(text[pos]) != 'e') return false;
  ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  return pos < text.size() && IsDigit(text[pos]);
}

// Nothing but digits, "." or "," and blanks, with at least one digit: a number whose
// separators or blanks stand where no number has them ("1..2", "1 2", "12 ,5").
bool OnlyNumberCharacters(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (IsDigit(c)) {
      digit = true;
    } else if (c != '.' && c != ',' && !IsBlank(c)) {
      return false;
    }
  }
  return digit;
}

// The blood pressure column, blanks removed, when it states numbers: every part between
// "/" is a number or states one (StatesUnreadableNumber). Such a value must be one number
// or two ("systolic/diastolic"), each one the program can read. A text that is no such
// statement (a tag such as "P1") is no blood pressure and stands as it is.
bool IsUnreadableBloodPressure(std::string_view text, const RegionalSettings& regional) {
  std::size_t parts = 0;
  bool unreadable = false;
  for (std::size_t from = 0; from <= text.size(); ++parts) {
    std::size_t slash = text.find('/', from);
    if (slash == std::string_view::npos) slash = text.size();
    const std::string_view part = text.substr(from, slash - from);
    const FieldNumber number = ExamineNumber(part, regional);
    if (!number.isNumber && !StatesUnreadableNumber(part)) return false;  // a text
    unreadable = unreadable || !number.isNumber || number.grouped ||
                 number.wholeDigits > kMaxWholeDigits ||
                 part.find_first_not_of("0123456789.,") != std::string_view::npos;
    from = slash + 1;
  }
  return unreadable || parts > 2;
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

// A header field as a name to show: blanks and double quotes around it removed.
std::string HeaderName(std::string_view field) {
  while (!field.empty() && (IsBlank(field.front()) || field.front() == '"')) field.remove_prefix(1);
  while (!field.empty() && (IsBlank(field.back()) || field.back() == '"')) field.remove_suffix(1);
  return std::string(field);
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

  for (std::size_t i = 0; i < kRowFields; ++i) {
    if (column::IsReadColumn(i)) settings.columnNames[i] = HeaderName(fields[i]);
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

namespace {

// A positive correction amount; an empty field is no amount.
bool CorrectionSetsStarMarker(std::string_view correction) {
  return !correction.empty() && Val(correction) > 0;
}

}  // namespace

bool SetsStarMarker(std::string_view text, char separator, bool loneLineFeeds) {
  std::array<std::string_view, column::kCorrection + 1> leading;
  std::vector<std::string_view> fields;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::string_view line = NextLineView(text, position, loneLineFeeds);
    std::string_view correction;
    if (const std::optional<std::size_t> count = SplitPlainFields(line, separator, leading)) {
      if (*count <= column::kCorrection) return true;
      correction = leading[column::kCorrection];
    } else {
      SplitCsvFields(line, separator, fields, column::kCorrection + 1);
      if (fields.size() <= column::kCorrection) return true;
      correction = fields[column::kCorrection];
    }
    if (CorrectionSetsStarMarker(correction)) return true;
  }
  return false;
}

bool RowSetsStarMarker(const ExportRow& row, std::size_t fieldCount) {
  return fieldCount <= column::kCorrection || CorrectionSetsStarMarker(row[column::kCorrection]);
}

std::size_t SplitRow(std::string_view line, char separator, ExportRow& row,
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
  return count;
}

void RowWriter::SetStamp(const DateTime& when) {
  stampLength_ = FormatTimeStamp(stamp_, kStampRoom, when);
  if (surveyor_ != nullptr) surveyor_->SetStamp(std::string_view(stamp_, stampLength_));
}

// Composed on the stack, so that the output grows by one append per line.
void RowWriter::Line(char code, std::string_view value) {
  const std::string_view stamp(stamp_, stampLength_);
  if (surveyor_ != nullptr) surveyor_->Line(out_.size(), code, value);
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

void RowValueNotes::Add(ValueFate fate, std::size_t column, std::string_view text, int values) {
  if (count < kRoom) {
    items[count++] = {fate, static_cast<std::uint8_t>(column), static_cast<std::uint8_t>(values),
                      text};
  }
  if (fate == ValueFate::kKeptAsText) {
    ++keptAsText;
  } else {
    refused += values;
  }
}

std::string DoseText(const ExportRow& row) {
  std::string text(row[column::kInsulinFirst]);
  if (!text.empty() && !row[column::kInsulinSecond].empty()) text += '+';
  return text.append(row[column::kInsulinSecond]);
}

bool StatesUnreadableNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (HoldsOtherDigits(text)) return true;
  const std::size_t points = static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
  const std::size_t commas = static_cast<std::size_t>(std::count(text.begin(), text.end(), ','));
  if (points + commas >= 2) return true;
  if (OnlyNumberCharacters(text)) return true;
  // A sign before the number ("+120", "- 5", "−3" with the minus sign U+2212).
  std::string_view rest = text;
  if (rest.starts_with("\xE2\x88\x92")) {
    rest.remove_prefix(3);
  } else if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    rest.remove_prefix(1);
  }
  const bool signed_ = rest.size() != text.size();
  while (signed_ && !rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  if (signed_ && !rest.empty()) {
    const bool separatorThenDigit =
        rest.size() >= 2 && (rest[0] == '.' || rest[0] == ',') && IsDigit(rest[1]);
    if (IsDigit(rest.front()) || separatorThenDigit) return true;
  }
  if (StartsWithWord(rest, "nan") || StartsWithWord(rest, "inf") ||
      StartsWithWord(rest, "infinity")) {
    return true;
  }
  const bool hexPrefix = rest.size() >= 3 && (rest.starts_with("0x") || rest.starts_with("0X") ||
                                              rest.starts_with("&h") || rest.starts_with("&H"));
  if (hexPrefix && IsHexDigit(rest[2])) return true;
  return StartsWithExponentForm(rest);
}

namespace {

// Codes 2 and 1: blood glucose, with the meter's words for readings out of its range.
void WriteGlucose(RowWriter& writer, std::string_view glucose, const HeaderSettings& header,
                  const RegionalSettings& regional, RowValueNotes& notes) {
  const FieldNumber number = ExamineNumber(glucose, regional);
  if (number.isNumber) {
    if (const std::optional<std::string> text =
            GlucoseText(glucose, number, header.mmol, regional)) {
      writer.Line('1', *text);
    } else {
      notes.Add(ValueFate::kRefused, column::kGlucose, glucose);
    }
    return;
  }
  const std::string lowered = ToLower(glucose);
  if (lowered == "hoch" || lowered == "high") {
    writer.Line('1', "600");
    return;
  }
  if (IsLowReading(lowered)) {
    writer.Line('2', "--1");
    writer.Line('1', "20");
    return;
  }
  // A text that is no number ("HI", "<50", "120 mg/dL") goes to the host as it stands;
  // the conversion reads its leading number, which must fit its 16-bit value. Converted
  // from mmol/L such a text would become an invented value.
  const double leading = LeadingNumber(glucose);
  if (header.mmol || StatesUnreadableNumber(glucose) ||
      !(leading > -kMaxGlucose - 1.5 && leading < kMaxGlucose + 0.5)) {
    notes.Add(ValueFate::kRefused, column::kGlucose, glucose);
    return;
  }
  writer.Line('1', glucose);
  notes.Add(ValueFate::kKeptAsText, column::kGlucose, glucose);
}

// Code 3: carbohydrates in grams.
void WriteCarbs(RowWriter& writer, std::string_view carbs, const HeaderSettings& header,
                const RegionalSettings& regional, RowValueNotes& notes) {
  const std::string_view dec = regional.decimalSeparator;
  if (std::optional<long long> grams = WholeCarbs(carbs, header.carbFactor)) {
    if (*grams >= kWholeNumberLimit) {
      notes.Add(ValueFate::kRefused, column::kCarbs, carbs);
    } else if (*grams > 0) {
      writer.Line('3', std::to_string(*grams));
    }
    return;
  }
  if (std::optional<long long> tenths = TenthCarbs(carbs, header.carbFactor)) {
    // As DoubleToText writes the rounded grams: no ",0" for whole grams.
    if (*tenths > 0) {
      std::string text = std::to_string(*tenths / 10);
      if (*tenths % 10 != 0) text.append(dec).append(1, static_cast<char>('0' + *tenths % 10));
      writer.Line('3', text);
    }
    return;
  }
  const FieldNumber number = ExamineNumber(carbs, regional);
  if (!number.isNumber || number.wholeDigits > kMaxWholeDigits) {
    notes.Add(ValueFate::kRefused, column::kCarbs, carbs);
    return;
  }
  const double grams =
      RoundTo(static_cast<double>(NumberValue(number, regional)) * header.carbFactor, 1);
  if (!WrittenPlain(grams)) {
    notes.Add(ValueFate::kRefused, column::kCarbs, carbs);
  } else if (grams > 0) {
    writer.Line('3', DoubleToText(grams, dec));
  }
}

// Code 4 from columns 8 and 7: one value "a+b" when both are given. A sum that lacks a
// refused part would be another dose, so then neither part is written, both count as
// refused and the dose is noted once, as the export states it.
void WriteCombinedDose(RowWriter& writer, const ExportRow& row, const RegionalSettings& regional,
                       RowValueNotes& notes) {
  using namespace column;
  std::string combined;
  int parts = 0;
  bool whole = true;
  for (const std::string_view part : {row[kInsulinFirst], row[kInsulinSecond]}) {
    if (part.empty()) continue;
    ++parts;
    bool read = false;
    SkipOnError([&] {
      const std::optional<std::string> text = AmountText(part, regional);
      if (!text) return;
      if (!combined.empty()) combined += '+';
      combined += *text;
      DropTrailingCommaZero(combined);
      read = true;
    });
    whole = whole && read;
  }
  if (whole) {
    if (!combined.empty()) writer.Line('4', combined);
    return;
  }
  // The note names the dose by its first column; its text is the dose as the export
  // states it (see DoseText).
  notes.Add(ValueFate::kDoseRefused, kInsulinFirst, {}, parts);
}

}  // namespace

void WriteRowLines(RowWriter& writer, const ExportRow& row, const HeaderSettings& header,
                   bool starMarker, const RegionalSettings& regional, RowValueNotes& notes) {
  using namespace column;
  const std::string_view dec = regional.decimalSeparator;

  if (!row[kGlucose].empty()) {
    SkipOnError([&] { WriteGlucose(writer, row[kGlucose], header, regional, notes); });
  }
  if (!row[kCarbs].empty()) {
    SkipOnError([&] { WriteCarbs(writer, row[kCarbs], header, regional, notes); });
  }
  if (!row[kInsulinFirst].empty() || !row[kInsulinSecond].empty()) {
    WriteCombinedDose(writer, row, regional, notes);
  }

  // Codes 4 and 5 from the single insulin columns.
  const auto amount = [&](std::size_t index, char code, bool star) {
    if (row[index].empty()) return;
    SkipOnError([&] {
      std::optional<std::string> text = AmountText(row[index], regional);
      if (!text) {
        notes.Add(ValueFate::kRefused, index, row[index]);
        return;
      }
      if (star) *text += '*';
      writer.Line(code, *text);
    });
  };
  amount(kBolus, '4', starMarker);
  amount(kCorrection, '4', false);
  amount(kBasal, '5', false);

  // Code 8: activity, "kind;duration;intensity" with "o" for a missing intensity. The
  // duration is written as it stands, but must be a number.
  if (!row[kActivityDuration].empty() && !row[kActivityKind].empty()) {
    SkipOnError([&] {
      const FieldNumber duration = ExamineNumber(row[kActivityDuration], regional);
      if (!duration.isNumber || duration.wholeDigits > kMaxWholeDigits) {
        notes.Add(ValueFate::kRefused, kActivityDuration, row[kActivityDuration]);
        return;
      }
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

  // Code 6: the blood pressure column without blanks; numbers in it must be readable.
  if (!row[kTag].empty()) {
    SkipOnError([&] {
      std::string value(row[kTag]);
      std::erase(value, ' ');
      if (value.empty()) return;
      if (IsUnreadableBloodPressure(value, regional)) {
        notes.Add(ValueFate::kRefused, kTag, row[kTag]);
        return;
      }
      writer.Line('6', value);
    });
  }

  // Code 9: body weight.
  if (!row[kWeight].empty()) {
    SkipOnError([&] {
      std::optional<std::string> value = AmountText(row[kWeight], regional);
      if (!value) {
        notes.Add(ValueFate::kRefused, kWeight, row[kWeight]);
        return;
      }
      if (header.pounds) {
        *value = DoubleToText(static_cast<double>(ParseDecimal(*value)) * kPoundsFactor, dec);
      }
      writer.Line('9', *value);
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
