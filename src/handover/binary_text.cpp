#include "handover/binary_text.h"
#include "shared/text.h"

#include <algorithm>
#include <cstddef>

namespace tavrin {

namespace {

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t kBase64LineLength = 64;
constexpr std::size_t kBytesPerRow = 16;
// Width of a full row's hex part: 16 pairs, 15 blanks and the extra blank after byte 8.
constexpr std::size_t kHexAreaWidth = 48;
constexpr std::size_t kAsciiGap = 3;

void AppendBreak(std::string& text, LineBreaks breaks) {
  if (breaks == LineBreaks::CrLf) text += "\r\n";
  if (breaks == LineBreaks::Lf) text += '\n';
}

std::string EncodeBase64(std::span<const std::uint8_t> data, LineBreaks breaks) {
  std::string text;
  text.reserve(data.size() / 3 * 4 + data.size() / 32 + 8);
  std::size_t lineLength = 0;
  auto put = [&](char c) {
    text.push_back(c);
    if (++lineLength == kBase64LineLength) {
      AppendBreak(text, breaks);
      lineLength = 0;
    }
  };
  std::size_t i = 0;
  for (; i + 3 <= data.size(); i += 3) {
    const std::uint32_t v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    put(kBase64Digits[(v >> 18) & 0x3F]);
    put(kBase64Digits[(v >> 12) & 0x3F]);
    put(kBase64Digits[(v >> 6) & 0x3F]);
    put(kBase64Digits[v & 0x3F]);
  }
  const std::size_t rest = data.size() - i;
  if (rest > 0) {
    const std::uint32_t v = (data[i] << 16) | (rest == 2 ? data[i + 1] << 8 : 0);
    put(kBase64Digits[(v >> 18) & 0x3F]);
    put(kBase64Digits[(v >> 12) & 0x3F]);
    put(rest == 2 ? kBase64Digits[(v >> 6) & 0x3F] : '=');
    put('=');
  }
  // The last, shorter line also ends with a break.
  if (lineLength > 0) AppendBreak(text, breaks);
  return text;
}

std::string EncodeHexRaw(std::span<const std::uint8_t> data, LineBreaks breaks) {
  std::string text;
  text.reserve(data.size() * 2 + 2);
  for (std::uint8_t b : data) AppendHex(text, b, HexLetters::kLower);
  AppendBreak(text, breaks);
  return text;
}

// One row of up to 16 bytes: "00 01 02 03 04 05 06 07  08 09 ..."
void AppendHexRow(std::string& text, std::span<const std::uint8_t> row) {
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) text += (i == 8) ? "  " : " ";
    AppendHex(text, row[i], HexLetters::kLower);
  }
}

// The columns of a row format beside its hex bytes: the offset in front, the characters
// behind. Plain Hex has neither.
bool HasAddressColumn(BinaryTextFormat format) {
  return format == BinaryTextFormat::HexAddr || format == BinaryTextFormat::HexAsciiAddr;
}
bool HasCharacterColumn(BinaryTextFormat format) {
  return format == BinaryTextFormat::HexAscii || format == BinaryTextFormat::HexAsciiAddr;
}

std::string EncodeRows(std::span<const std::uint8_t> data, BinaryTextFormat format,
                       LineBreaks breaks) {
  const bool address = HasAddressColumn(format);
  const bool ascii = HasCharacterColumn(format);
  std::string text;
  text.reserve(data.size() * 5 + 16);
  for (std::size_t offset = 0; offset < data.size(); offset += kBytesPerRow) {
    const auto row = data.subspan(offset, std::min(kBytesPerRow, data.size() - offset));
    if (address) {
      // The offset in as many digits as it takes, at least four.
      std::string digits;
      for (std::size_t v = offset; v != 0; v >>= 4) digits.insert(0, 1, "0123456789abcdef"[v & 15]);
      if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
      text += digits;
      text += "    ";
    }
    const std::size_t hexStart = text.size();
    AppendHexRow(text, row);
    if (ascii) {
      text.append(hexStart + kHexAreaWidth + kAsciiGap - text.size(), ' ');
      for (std::uint8_t b : row)
        text.push_back(b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.');
    }
    AppendBreak(text, breaks);
  }
  return text;
}

// Plain hex: rows of 16 with line breaks, or every byte separated by one blank without.
std::string EncodeHex(std::span<const std::uint8_t> data, LineBreaks breaks) {
  if (breaks != LineBreaks::None) return EncodeRows(data, BinaryTextFormat::Hex, breaks);
  std::string text;
  text.reserve(data.size() * 3);
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) text.push_back(' ');
    AppendHex(text, data[i], HexLetters::kLower);
  }
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsBlankOrBreak(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool DecodeBase64(std::string_view text, std::vector<std::uint8_t>& bytes) {
  std::uint32_t bits = 0;
  int sextets = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] != '='; ++i) {
    const char c = text[i];
    if (IsBlankOrBreak(c)) continue;
    const int v = Base64Value(c);
    if (v < 0) return false;
    bits = (bits << 6) | static_cast<std::uint32_t>(v);
    if (++sextets == 4) {
      bytes.push_back(static_cast<std::uint8_t>(bits >> 16));
      bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
      bytes.push_back(static_cast<std::uint8_t>(bits));
      bits = 0;
      sextets = 0;
    }
  }
  // Padding may only be followed by more padding and blanks.
  for (; i < text.size(); ++i) {
    if (text[i] != '=' && !IsBlankOrBreak(text[i])) return false;
  }
  if (sextets == 1) return false;  // six bits make no byte
  if (sextets == 2) bytes.push_back(static_cast<std::uint8_t>(bits >> 4));
  if (sextets == 3) {
    bytes.push_back(static_cast<std::uint8_t>(bits >> 10));
    bytes.push_back(static_cast<std::uint8_t>(bits >> 2));
  }
  return true;
}

// Digit pairs with blanks, tabs, line breaks, "-" or "," between them.
bool DecodeHexPairs(std::string_view text, std::vector<std::uint8_t>& bytes) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsBlankOrBreak(c) || c == '-' || c == ',') {
      ++i;
      continue;
    }
    const int high = HexValue(c);
    const int low = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
  }
  return true;
}

bool ReadPair(std::string_view text, std::size_t pos, std::uint8_t& byte) {
  if (pos + 1 >= text.size()) return false;
  const int high = HexValue(text[pos]);
  const int low = HexValue(text[pos + 1]);
  if (high < 0 || low < 0) return false;
  byte = static_cast<std::uint8_t>(high * 16 + low);
  return true;
}

// Rows as EncodeRows writes them. Rows are read by position, so they may follow one
// another with or without line breaks, and the character column may hold anything.
bool DecodeRows(std::string_view text, BinaryTextFormat format, std::vector<std::uint8_t>& bytes) {
  const bool address = HasAddressColumn(format);
  const bool ascii = HasCharacterColumn(format);
  std::size_t pos = 0;
  for (;;) {
    while (pos < text.size() && (text[pos] == '\r' || text[pos] == '\n')) ++pos;
    if (pos >= text.size()) return true;
    if (address) {
      const std::size_t digitsStart = pos;
      while (pos < text.size() && HexValue(text[pos]) >= 0) ++pos;
      if (pos == digitsStart || pos >= text.size() || text[pos] != ' ') return false;
      while (pos < text.size() && text[pos] == ' ') ++pos;
    }
    const std::size_t hexStart = pos;
    std::size_t count = 0;
    while (count < kBytesPerRow) {
      std::size_t next = pos;
      if (count > 0) {
        const std::size_t gap = count == 8 ? 2 : 1;
        if (text.substr(pos, gap) != std::string_view("  ", gap)) break;
        next = pos + gap;
      }
      std::uint8_t byte = 0;
      if (!ReadPair(text, next, byte)) break;
      bytes.push_back(byte);
      pos = next + 2;
      ++count;
    }
    if (count == 0) return false;
    if (ascii) {
      const std::size_t asciiStart = hexStart + kHexAreaWidth + kAsciiGap;
      if (asciiStart + count > text.size()) return false;
      for (std::size_t i = pos; i < asciiStart; ++i) {
        if (text[i] != ' ') return false;
      }
      pos = asciiStart + count;
    }
    // A row ends at a line break (blanks before it are allowed), at the end of the text,
    // or, without line breaks, where the next full row's offset or bytes begin.
    std::size_t end = pos;
    while (end < text.size() && (text[end] == ' ' || text[end] == '\t')) ++end;
    if (end == text.size() || text[end] == '\r' || text[end] == '\n') pos = end;
    if (pos < text.size() && text[pos] != '\r' && text[pos] != '\n' && count < kBytesPerRow &&
        !ascii) {
      return false;
    }
  }
}

}  // namespace

std::string EncodeBinaryText(std::span<const std::uint8_t> data, BinaryTextFormat format,
                             LineBreaks breaks) {
  if (data.empty()) return {};
  switch (format) {
    case BinaryTextFormat::Base64:
      return EncodeBase64(data, breaks);
    case BinaryTextFormat::Hex:
      return EncodeHex(data, breaks);
    case BinaryTextFormat::HexAscii:
    case BinaryTextFormat::HexAddr:
    case BinaryTextFormat::HexAsciiAddr:
      return EncodeRows(data, format, breaks);
    case BinaryTextFormat::HexRaw:
      return EncodeHexRaw(data, breaks);
  }
  return {};
}

bool DecodeBinaryText(std::string_view text, BinaryTextFormat format,
                      std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  bool ok = false;
  switch (format) {
    case BinaryTextFormat::Base64:
      ok = DecodeBase64(text, bytes);
      break;
    case BinaryTextFormat::Hex:
    case BinaryTextFormat::HexRaw:
      ok = DecodeHexPairs(text, bytes);
      break;
    case BinaryTextFormat::HexAscii:
    case BinaryTextFormat::HexAddr:
    case BinaryTextFormat::HexAsciiAddr:
      ok = DecodeRows(text, format, bytes);
      break;
  }
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace tavrin
