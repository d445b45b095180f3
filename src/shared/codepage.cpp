#include "shared/codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "shared/utf8.h"

namespace tavrin {

namespace {

// Bytes 0x80-0x9F of Windows-1252. The five bytes the code page leaves undefined (0x81,
// 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as Windows does, so
// that every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t ByteToUnit(unsigned char b) {
  return (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
}

// The code page byte for a UTF-16 unit, or '?' when the code page has no such character.
char UnitToByte(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == u) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string Utf8ToWindows1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  // Runs of ASCII, most of any settings or export file, are copied as they are; an ASCII
  // byte never belongs to a longer sequence, so the text between runs converts on its own.
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t other = std::min(FindNonAscii(utf8, pos), utf8.size());
    out.append(utf8.substr(pos, other - pos));
    if (other == utf8.size()) break;
    std::size_t ascii = other;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) >= 0x80) ++ascii;
    const std::u16string units = Utf8ToUtf16(utf8.substr(other, ascii - other));
    for (std::size_t i = 0; i < units.size(); ++i) {
      const char16_t u = units[i];
      // A character beyond U+FFFF (a surrogate pair) becomes one '?', like any other
      // character the code page lacks.
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
          units[i + 1] <= 0xDFFF) {
        ++i;
        out += '?';
        continue;
      }
      out += UnitToByte(u);
    }
    pos = ascii;
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  // Every character of the code page lies in the Basic Multilingual Plane and none is a
  // surrogate, so each byte is one to three bytes of UTF-8, written directly; runs of
  // ASCII are copied as they are.
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (std::size_t pos = 0; pos < bytes.size(); ++pos) {
    const std::size_t other = std::min(FindNonAscii(bytes, pos), bytes.size());
    out.append(bytes.substr(pos, other - pos));
    if (other == bytes.size()) break;
    pos = other;
    const char16_t u = ByteToUnit(static_cast<unsigned char>(bytes[pos]));
    if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

}  // namespace tavrin
