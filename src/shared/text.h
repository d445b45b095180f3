#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// Character positions below are byte offsets into UTF-8 text unless stated otherwise.

// The line break of every file the program writes for Windows programs and of the row text.
inline constexpr std::string_view kCrLf = "\r\n";

// --- Character classes (ASCII only: a byte of a multi-byte character is none of them)

constexpr bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}
constexpr bool IsHexDigit(char c) {
  return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// --- Hexadecimal digits

enum class HexLetters { kLower, kUpper };
// Appends the byte as two hexadecimal digits, the high one first.
void AppendHex(std::string& text, std::uint8_t byte, HexLetters letters);
// The bytes as hexadecimal digits, two per byte, in their order.
std::string HexText(std::span<const std::uint8_t> bytes, HexLetters letters);

// --- Path and file procedures

// Text between a start tag and an end tag (tags matched without regard to case); empty
// when the start tag is absent, the rest of the text when the end tag does not follow.
std::string GetBetween(std::string_view text, std::string_view startTag, std::string_view endTag);
// The path with a trailing folder separator (kPathSep) unless empty or already there.
std::string AddBackslash(std::string_view path);
// True when the file's length can be read.
bool FileExists(const std::string& path);
// Deletes the file; returns 0 on success, else the run-time error number (53 when the
// file does not exist, 75 when it cannot be deleted).
int KillFile(const std::string& path);
// The lower-cased text after the leftmost "." within the last seven characters of the
// name; the name unchanged when there is none.
std::string GetExtension(std::string_view name);

// --- Text procedures

// The text from position up to the next separator; position moves behind it. Without a
// further separator: the rest, and position becomes the text's length.
std::string NextLine(std::string_view text, std::size_t& position, std::string_view separator);
// Parts between separators; empty text gives no parts; one trailing separator is ignored.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);
// The plain reading of a number: blanks ignored, digits and at most one "." read, reading
// stops at the first other character; a text without digits gives 0.
double Val(std::string_view text);
// The number a text begins with, as the record conversion reads a value: blanks (and line
// feeds) ignored, an optional sign, digits and at most one "."; reading stops at the first
// other character; 0 without digits; HUGE_VAL beyond the range of a double.
double LeadingNumber(std::string_view text);
// Decimal number with "." or "," as separator: the first "." (else the first ",")
// separates the whole part from the fraction, which is the value of the text after it
// divided by 10^(its length in characters); a leading "-" gives the sign. Throws
// RuntimeError 6 when the value does not fit a single.
float ParseDecimal(std::string_view text);
// Int(x * 10^digits + 0.5) / 10^digits.
double RoundTo(double number, int digits);
// Replaces what stands between two markers (matched without regard to case). Without the
// start marker the text stays as it is, or with kAppend gets both markers and the value at
// its end.
enum class MissingMarker { kLeaveText, kAppend };
std::string SetBetween(std::string_view text, std::string_view startMarker,
                       std::string_view endMarker, std::string_view newValue,
                       MissingMarker missing);
// Carbohydrate and insulin amounts: "*" and ">" marks, ranges "a-b" and sums "a+b".
// The result is in the program's number format with the given decimal separator.
std::string CleanAmount(std::string_view amount, std::string_view decimalSeparator);

enum class CompareMode { Binary, Text };
// Replaces every occurrence at or after start (1-based, in characters); the search
// resumes behind each inserted replacement; text before start is kept. An empty search
// text changes nothing; a start of 0 throws RuntimeError 5.
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement,
                       std::size_t start = 1, CompareMode mode = CompareMode::Binary);

// The text with every CR LF (and lone CR) turned into LF, for output outside Windows.
std::string ToPlainLineBreaks(std::string_view text);

// Leading and trailing blanks (spaces) removed.
std::string Trim(std::string_view text);

// Whether two texts are equal when the ASCII letters a to z count as A to Z; other
// bytes must match exactly.
bool AsciiEqualsNoCase(std::string_view a, std::string_view b);

}  // namespace tavrin
