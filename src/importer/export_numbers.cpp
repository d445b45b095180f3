#include "importer/export_numbers.h"

#include <algorithm>
#include <cmath>

#include "shared/number_format.h"
#include "shared/text.h"

namespace tavrin {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
// Counts the digits from pos on; leading zeros are skipped but not counted.
std::size_t SignificantDigits(std::string_view text, std::size_t& pos, bool& anyDigit) {
  for (; pos < text.size() && text[pos] == '0'; ++pos) anyDigit = true;
  const std::size_t start = pos;
  while (pos < text.size() && IsAsciiDigit(text[pos])) ++pos;
  anyDigit = anyDigit || pos > start;
  return pos - start;
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
  while (pos < text.size() && IsAsciiDigit(text[pos])) ++pos, digit = true;
  if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
    ++pos;
    while (pos < text.size() && IsAsciiDigit(text[pos])) ++pos, digit = true;
  }
  if (!digit || pos >= text.size() || LowerAscii(text[pos]) != 'e') return false;
  ++pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  return pos < text.size() && IsAsciiDigit(text[pos]);
}

// Nothing but digits, "." or "," and blanks, with at least one digit: a number whose
// separators or blanks stand where no number has them ("1..2", "1 2", "12 ,5").
bool OnlyNumberCharacters(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (IsAsciiDigit(c)) {
      digit = true;
    } else if (c != '.' && c != ',' && !IsBlank(c)) {
      return false;
    }
  }
  return digit;
}

}  // namespace

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
    for (; pos < field.size() && IsAsciiDigit(field[pos]); ++pos) anyDigit = true;
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
  while (pos < field.size() && pos < 3 && IsAsciiDigit(field[pos])) ++pos;
  if (pos == 0) return number;
  std::size_t groups = 0;
  for (; field.substr(pos).starts_with(thousands); ++groups) {
    pos += thousands.size();
    for (std::size_t end = pos + 3; pos < end; ++pos) {
      if (pos >= field.size() || !IsAsciiDigit(field[pos])) return number;
    }
  }
  if (groups == 0) return number;
  bool significant = false;
  number.wholeDigits = 0;
  for (const char c : field.substr(0, pos)) {
    if (!IsAsciiDigit(c)) continue;  // a byte of a thousands separator
    significant = significant || c != '0';
    number.wholeDigits += significant ? 1 : 0;
  }
  if (!decimal.empty() && field.substr(pos).starts_with(decimal)) {
    pos += decimal.size();
    while (pos < field.size() && IsAsciiDigit(field[pos])) ++pos;
  }
  number.isNumber = pos == field.size();
  number.grouped = true;
  return number;
}

float NumberValue(const FieldNumber& number, const RegionalSettings& regional) {
  if (!number.grouped) return ParseDecimal(number.text);
  const std::string whole = ReplaceAll(number.text, regional.thousandSeparator, "");
  return ParseDecimal(ReplaceAll(whole, regional.decimalSeparator, "."));
}

bool WrittenPlain(double value) {
  return SingleToText(static_cast<float>(value), ".").find('E') == std::string::npos;
}

void DropTrailingCommaZero(std::string& text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, ",0") == 0) text.resize(text.size() - 2);
}

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

std::optional<std::string> GlucoseText(std::string_view field, const FieldNumber& number, bool mmol,
                                       const RegionalSettings& regional) {
  if (number.wholeDigits > kMaxWholeDigits) return std::nullopt;
  const std::string_view dec = regional.decimalSeparator;
  if (mmol) {
    const double mgdl =
        RoundTo(static_cast<double>(NumberValue(number, regional)) * kMgdlPerMmol, 0);
    if (mgdl > kMaxGlucose) return std::nullopt;
    return DoubleToText(mgdl, dec);
  }
  // Four whole digits are always in range; the conversion rounds halves to even.
  if (number.wholeDigits <= 4 && !number.grouped) return std::string(field);
  const float value = NumberValue(number, regional);
  if (!(value < kMaxGlucose + 0.5)) return std::nullopt;
  return number.grouped ? SingleToText(value, dec) : std::string(field);
}

std::optional<long long> WholeCarbs(std::string_view field, double factor) {
  if (field.empty() || field.size() > 6) return std::nullopt;
  long long amount = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    amount = amount * 10 + (c - '0');
  }
  return amount * static_cast<long long>(factor);
}

std::optional<long long> TenthCarbs(std::string_view field, double factor) {
  if (field.size() < 3 || field.size() > 6) return std::nullopt;
  const std::size_t point = field.size() - 2;
  if (field[point] != '.' && field[point] != ',') return std::nullopt;
  if (!(factor >= 0 && factor <= 100 && factor == std::floor(factor))) return std::nullopt;
  long long tenths = 0;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (i == point) continue;
    if (!IsAsciiDigit(field[i])) return std::nullopt;
    tenths = tenths * 10 + (field[i] - '0');
  }
  const long long product = tenths * static_cast<long long>(factor);
  if (product >= 1000000) return std::nullopt;
  return product;
}

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
        rest.size() >= 2 && (rest[0] == '.' || rest[0] == ',') && IsAsciiDigit(rest[1]);
    if (IsAsciiDigit(rest.front()) || separatorThenDigit) return true;
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
