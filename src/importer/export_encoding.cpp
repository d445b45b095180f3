#include "importer/export_encoding.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/platform.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// A stretch of bytes that needs the platform's conversion.
struct Stretch {
  std::size_t from = std::string_view::npos;
  std::size_t to = std::string_view::npos;
};

// The next stretch from `done` on: the bytes of 0x40 and above around the first byte that
// is not ASCII. None at the end.
Stretch NextAnsiStretch(std::string_view bytes, std::size_t done) {
  const auto isBoundary = [](char c) { return static_cast<unsigned char>(c) < 0x40; };
  const std::size_t high = FindNonAscii(bytes, done);
  if (high == std::string_view::npos) return {};
  std::size_t from = high;
  while (from > done && !isBoundary(bytes[from - 1])) --from;
  std::size_t to = high + 1;
  while (to < bytes.size() && !isBoundary(bytes[to])) ++to;
  return {from, to};
}

}  // namespace

Utf16Order UnmarkedUtf16Order(std::string_view bytes) {
  constexpr std::size_t kCharacters = 4;
  if (bytes.size() < 2 * kCharacters) return Utf16Order::kNone;
  const auto isAscii = [](char c) { return c >= 0x20 && c < 0x7F; };
  bool little = true;
  bool big = true;
  for (std::size_t i = 0; i < 2 * kCharacters; i += 2) {
    little = little && isAscii(bytes[i]) && bytes[i + 1] == '\0';
    big = big && bytes[i] == '\0' && isAscii(bytes[i + 1]);
  }
  return little ? Utf16Order::kLittleEndian : big ? Utf16Order::kBigEndian : Utf16Order::kNone;
}

bool EndsInHalfUtf16Character(std::string_view bytes) {
  const bool marked = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
  return bytes.size() % 2 != 0 && (marked || UnmarkedUtf16Order(bytes) != Utf16Order::kNone);
}

std::string DecodeExportBytes(Platform& platform, std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    const std::string_view rest = bytes.substr(3);
    // Invalid sequences become replacement characters, so the rest of the program only
    // ever sees well-formed UTF-8.
    return IsAscii(rest) ? std::string(rest) : Utf16ToUtf8(Utf8ToUtf16(rest));
  }
  if (bytes.starts_with("\xFF\xFE"))
    return Utf16BytesToUtf8(bytes.substr(2), ByteOrder::kLittleEndian);
  if (bytes.starts_with("\xFE\xFF"))
    return Utf16BytesToUtf8(bytes.substr(2), ByteOrder::kBigEndian);
  switch (UnmarkedUtf16Order(bytes)) {
    case Utf16Order::kLittleEndian:
      return Utf16BytesToUtf8(bytes, ByteOrder::kLittleEndian);
    case Utf16Order::kBigEndian:
      return Utf16BytesToUtf8(bytes, ByteOrder::kBigEndian);
    case Utf16Order::kNone:
      break;
  }
  return AnsiBytesToUtf8(platform, bytes);
}

void AppendAnsiAsUtf8(Platform& platform, std::string_view bytes, std::string& out) {
  std::size_t done = 0;
  for (Stretch s = NextAnsiStretch(bytes, 0); s.from != std::string_view::npos;
       s = NextAnsiStretch(bytes, done)) {
    out.append(bytes.substr(done, s.from - done));
    out.append(platform.Locale().AnsiToUtf8(bytes.substr(s.from, s.to - s.from)));
    done = s.to;
  }
  out.append(bytes.substr(done));
}

std::string AnsiBytesToUtf8(Platform& platform, std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  AppendAnsiAsUtf8(platform, bytes, out);
  return out;
}

bool NeedsRepair(std::string_view text) {
  // The "¶" has no other letter case, so the two byte forms of "Ã¶" are all.
  return text.find("Ã¶") != std::string_view::npos || text.find("ã¶") != std::string_view::npos;
}

bool AnsiNeedsRepair(Platform& platform, std::string_view bytes) {
  // Only the stretches that are converted can hold the letters looked for, and a stretch
  // never reaches over a line break. An export repeats its words row after row, so the
  // last few stretches found without the letters are not converted again.
  std::array<std::string_view, 8> plain;  // never matches before it is filled: no stretch is empty
  std::size_t next = 0;
  for (Stretch s = NextAnsiStretch(bytes, 0); s.from != std::string_view::npos;
       s = NextAnsiStretch(bytes, s.to)) {
    const std::string_view stretch = bytes.substr(s.from, s.to - s.from);
    if (std::find(plain.begin(), plain.end(), stretch) != plain.end()) continue;
    if (NeedsRepair(platform.Locale().AnsiToUtf8(stretch))) return true;
    plain[next++ % plain.size()] = stretch;
  }
  return false;
}

std::string RepairUtf8(std::string_view text) {
  // Each garbled pair is "Ã" followed by the character that the second byte of the letter's
  // UTF-8 form shows in the ANSI code page. No replacement letter is such a second
  // character, so one pass from left to right replaces exactly what replacing pair by
  // pair would.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kRepairs = {{
      {"¼", "ü"},
      {"¶", "ö"},
      {"¤", "ä"},
      {"œ", "Ü"},
      {"–", "Ö"},
      {"„", "Ä"},
      {"Ÿ", "ß"},
      {"³", "ó"},
      {"©", "é"},
      {"¨", "è"},
      {"¡", "á"},
      {"¦", "æ"},
  }};
  constexpr std::string_view kLead = "Ã";
  std::string out;
  out.reserve(text.size());
  std::size_t done = 0;
  std::size_t lead = text.find(kLead);
  while (lead != std::string_view::npos) {
    const std::string_view after = text.substr(lead + kLead.size());
    std::size_t next = lead + kLead.size();
    for (const auto& [second, letter] : kRepairs) {
      if (after.starts_with(second)) {
        out.append(text.substr(done, lead - done)).append(letter);
        next += second.size();
        done = next;
        break;
      }
    }
    lead = text.find(kLead, next);
  }
  out.append(text.substr(done));
  return out;
}

}  // namespace tavrin
