#include "shared/text.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "shared/error.h"
#include "shared/fs.h"
#include "shared/number_format.h"
#include "shared/utf8.h"

namespace tavrin {

void AppendHex(std::string& text, std::uint8_t byte, HexLetters letters) {
  const char* digits = letters == HexLetters::kLower ? "0123456789abcdef" : "0123456789ABCDEF";
  text.push_back(digits[byte >> 4]);
  text.push_back(digits[byte & 0x0F]);
}

std::string HexText(std::span<const std::uint8_t> bytes, HexLetters letters) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) AppendHex(text, byte, letters);
  return text;
}

namespace {

bool IsValBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// The digits (and at most one ".") that Val reads, with blanks left out.
std::string ValDigits(std::string_view text) {
  std::string digits;
  bool point = false;
  for (char c : text) {
    if (IsValBlank(c)) continue;
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c == '.' && !point) {
      point = true;
      digits += c;
    } else {
      break;
    }
  }
  return digits;
}

// Reads a plain decimal number text (digits with an optional point), scaled by 10^exponent.
double ReadScaled(const std::string& digits, long long exponent) {
  if (digits.empty() || digits == ".") return 0.0;
  std::string number = digits;
  if (number.front() == '.') number.insert(number.begin(), '0');
  if (number.back() == '.') number.pop_back();
  if (exponent != 0) number += "e" + std::to_string(exponent);
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Beyond the range of a double: too large gives infinity, too small gives zero.
    // Decide by the decimal exponent of the leading significant digit.
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::size_t first = digits.find_first_of("123456789");
    const long long lead = first < point ? static_cast<long long>(point - first) - 1
                                         : -static_cast<long long>(first - point);
    return lead + exponent > 0 ? HUGE_VAL : 0.0;
  }
  return value;
}

// Byte offset of the character that starts at UTF-16 unit index `units` (0-based); a
// position inside a surrogate pair moves behind the pair. Beyond the end: text.size().
std::size_t ByteOffsetOfUnit(std::string_view text, std::size_t units) {
  std::size_t pos = 0;
  std::size_t counted = 0;
  while (pos < text.size() && counted < units) {
    std::size_t next = pos + 1;
    while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
    counted += CharCount(text.substr(pos, next - pos));
    pos = next;
  }
  return pos;
}

}  // namespace

// --- Path and file procedures

std::string GetBetween(std::string_view text, std::string_view startTag, std::string_view endTag) {
  const std::size_t start = FindNoCase(text, startTag);
  if (start == std::string_view::npos) return std::string();
  const std::size_t from = start + startTag.size();
  const std::size_t end = FindNoCase(text, endTag, from);
  if (end == std::string_view::npos) return std::string(text.substr(from));
  return std::string(text.substr(from, end - from));
}

std::string AddBackslash(std::string_view path) {
  std::string out(path);
  if (!out.empty() && out.back() != kPathSep) out += kPathSep;
  return out;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  try {
    std::error_code ec;
    static_cast<void>(std::filesystem::file_size(FsPath(path), ec));
    return !ec;
  } catch (const std::filesystem::filesystem_error&) {
    // A text that the system's form of paths cannot hold (bytes that are no UTF-8, on
    // Windows) names no file.
    return false;
  }
}

int KillFile(const std::string& path) {
  try {
    std::error_code ec;
    const std::filesystem::path fsPath = FsPath(path);
    const auto status = std::filesystem::symlink_status(fsPath, ec);
    if (path.empty() || ec || !std::filesystem::exists(status) ||
        std::filesystem::is_directory(status)) {
      return static_cast<int>(kErrFileNotFound);
    }
    if (!std::filesystem::remove(fsPath, ec) || ec) return static_cast<int>(kErrPathFileAccess);
    return 0;
  } catch (const std::filesystem::filesystem_error&) {
    // As in FileExists: a text that is no path names no file; the number tells the caller.
    return static_cast<int>(kErrFileNotFound);
  }
}

std::string GetExtension(std::string_view name) {
  const std::u16string units = Utf8ToUtf16(name);
  const std::size_t length = units.size();
  std::string result(name);
  // Positions are 1-based: from the last character down to the seventh from the end.
  const std::size_t lowest = length > 6 ? length - 6 : 1;
  for (std::size_t position = length; position >= lowest && position >= 1; --position) {
    if (units[position - 1] == u'.') {
      result = ToLower(Utf16ToUtf8(std::u16string_view(units).substr(position)));
    }
  }
  return result;
}

// --- Text procedures

std::string NextLine(std::string_view text, std::size_t& position, std::string_view separator) {
  if (position >= text.size()) {
    position = text.size();
    return std::string();
  }
  const std::size_t found =
      separator.empty() ? std::string_view::npos : text.find(separator, position);
  if (found == std::string_view::npos) {
    std::string rest(text.substr(position));
    position = text.size();
    return rest;
  }
  std::string line(text.substr(position, found - position));
  position = found + separator.size();
  return line;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  if (separator.empty()) {
    parts.emplace_back(text);
    return parts;
  }
  if (text.size() >= separator.size() && text.substr(text.size() - separator.size()) == separator) {
    text.remove_suffix(separator.size());
    if (text.empty()) return parts;
  }
  std::size_t from = 0;
  for (;;) {
    const std::size_t found = text.find(separator, from);
    if (found == std::string_view::npos) {
      parts.emplace_back(text.substr(from));
      return parts;
    }
    parts.emplace_back(text.substr(from, found - from));
    from = found + separator.size();
  }
}

double Val(std::string_view text) {
  return ReadScaled(ValDigits(text), 0);
}

double LeadingNumber(std::string_view text) {
  const auto IsDigit = [](char c) { return c >= '0' && c <= '9'; };
  // Most values are short whole numbers.
  if (!text.empty() && text.size() <= 9) {
    int whole = 0;
    std::size_t i = 0;
    while (i < text.size() && IsDigit(text[i])) whole = whole * 10 + (text[i++] - '0');
    if (i == text.size()) return whole;
  }
  // Enough significant digits for a double; further digits of the whole part only scale
  // the number, further fraction digits do not matter.
  constexpr std::size_t kMaxDigits = 40;
  char digits[kMaxDigits + 1];
  std::size_t count = 0;
  int extraWholeDigits = 0;
  bool negative = false;
  bool started = false;
  bool point = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    if (!started && (c == '-' || c == '+')) {
      started = true;
      negative = c == '-';
      continue;
    }
    started = true;
    if (IsDigit(c)) {
      if (c == '0' && count == 0) continue;  // leading zeros carry nothing
      if (count < kMaxDigits) {
        digits[count++] = c;
      } else if (!point) {
        ++extraWholeDigits;
      }
    } else if (c == '.' && !point) {
      point = true;
      if (count < kMaxDigits) digits[count++] = '.';
    } else {
      break;
    }
  }
  if (count == 0 || (count == 1 && digits[0] == '.')) return 0.0;
  double value = 0.0;
  const auto result = std::from_chars(digits, digits + count, value);
  if (result.ec == std::errc::result_out_of_range) value = HUGE_VAL;
  if (extraWholeDigits > 0) value *= std::pow(10.0, extraWholeDigits);
  return negative && value != 0.0 ? -value : value;
}

float ParseDecimal(std::string_view input) {
  std::string text = Trim(input);
  double sign = 1.0;
  if (!text.empty() && text.front() == '-') {
    sign = -1.0;
    text = Trim(std::string_view(text).substr(1));
  }
  std::size_t separator = text.find('.');
  if (separator == std::string::npos) separator = text.find(',');
  double value = 0.0;
  if (separator != std::string::npos) {
    const std::string_view fraction = std::string_view(text).substr(separator + 1);
    const auto fractionChars = static_cast<long long>(CharCount(fraction));
    value = Val(std::string_view(text).substr(0, separator)) +
            ReadScaled(ValDigits(fraction), -fractionChars);
  } else {
    value = Val(text);
  }
  value *= sign;
  if (!(std::fabs(value) <= FLT_MAX)) {
    throw OverflowError("ParseDecimal", std::string(input));
  }
  return static_cast<float>(value);
}

double RoundTo(double number, int digits) {
  const double scale = std::pow(10.0, digits);
  return std::floor(number * scale + 0.5) / scale;
}

std::string SetBetween(std::string_view text, std::string_view startMarker,
                       std::string_view endMarker, std::string_view newValue,
                       MissingMarker missing) {
  const std::size_t start = FindNoCase(text, startMarker);
  if (start == std::string_view::npos) {
    if (missing == MissingMarker::kLeaveText) return std::string(text);
    std::string out(text);
    out.append(startMarker).append(newValue).append(endMarker);
    return out;
  }
  const std::size_t from = start + startMarker.size();
  std::size_t end = FindNoCase(text, endMarker, from);
  if (end == std::string_view::npos) {
    // Without an end marker the replaced part stops before the text's last character.
    // When the start marker itself ends the text there is nothing to replace, and the
    // new value is simply appended (the last character is not repeated).
    std::size_t last = text.size();
    if (last > from) {
      --last;
      while (last > from && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) --last;
    }
    end = last;
  }
  std::string out(text.substr(0, from));
  out.append(newValue).append(text.substr(end));
  return out;
}

std::string CleanAmount(std::string_view amount, std::string_view decimalSeparator) {
  std::string t(amount);
  const auto dropMarkAtEnd = [&t](char mark) {
    if (!t.empty() && t.find(mark) == t.size() - 1) std::erase(t, mark);
  };
  dropMarkAtEnd('*');
  dropMarkAtEnd('>');

  float result = 0.0f;
  const std::size_t dash = t.size() > 1 ? t.find('-', 1) : std::string::npos;
  const std::size_t plus = t.find('+');
  if (dash != std::string::npos) {
    const float a = ParseDecimal(std::string_view(t).substr(0, dash));
    if (dash + 1 < t.size()) {
      const float b = ParseDecimal(std::string_view(t).substr(dash + 1));
      result = static_cast<float>(RoundTo((static_cast<double>(a) + b) / 2.0, 1));
    } else {
      result = a;
    }
  } else if (plus != std::string::npos) {
    result = ParseDecimal(std::string_view(t).substr(0, plus)) +
             ParseDecimal(std::string_view(t).substr(plus + 1));
  } else {
    result = ParseDecimal(t);
  }
  return SingleToText(result, decimalSeparator);
}

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       std::size_t start, CompareMode mode) {
  if (start == 0) {
    throw RuntimeError(kErrInvalidArgument, "ReplaceAll", "Start position must be 1 or more");
  }
  if (search.empty()) return std::string(text);
  std::size_t pos = ByteOffsetOfUnit(text, start - 1);
  std::string out(text.substr(0, pos));
  out.reserve(text.size());
  for (;;) {
    std::size_t matchLength = search.size();
    const std::size_t found = mode == CompareMode::Binary
                                  ? text.find(search, pos)
                                  : FindNoCase(text, search, pos, matchLength);
    if (found == std::string_view::npos) break;
    out.append(text.substr(pos, found - pos)).append(replacement);
    pos = found + matchLength;
  }
  out.append(text.substr(pos));
  return out;
}

std::string Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string();
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool AsciiEqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto upper = [](char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

std::string ToPlainLineBreaks(std::string_view text) {
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  return lines;
}

}  // namespace tavrin
