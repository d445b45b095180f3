#include "shared/utf8.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "shared/error.h"
#include "shared/fs.h"

namespace tavrin {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Decodes the character at pos and moves pos behind it. A byte that does not start a
// complete, shortest-form sequence of a valid code point decodes on its own to U+FFFD,
// so every byte of the input is consumed exactly once.
char32_t DecodeOne(std::string_view s, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  std::size_t len = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + len > s.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if (!IsContinuation(b)) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += len;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Simple (one-to-one) case mapping for the scripts the program meets in export files and
// month names: Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t UpperOf(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    if (c == 0xB5) return 0x39C;  // micro sign -> capital mu
    return c;
  }
  if (c < 0x180) {
    if (c == 0x131) return 'I';
    if (c == 0x17F) return 'S';
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
      return (c & 1) ? c - 1 : c;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    return c;
  }
  if (c >= 0x370 && c < 0x400) {
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
    if (c == 0x3C2) return 0x3A3;  // final sigma
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 37;
    if (c == 0x3CA || c == 0x3CB) return c - 32;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 63;
    return c;
  }
  if (c >= 0x400 && c < 0x530) {
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) {
      return (c & 1) ? c - 1 : c;
    }
    if (c == 0x4CF) return 0x4C0;
    if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c : c - 1;
    return c;
  }
  return c;
}

char32_t LowerOf(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c < 0x100) return (c >= 0xC0 && c <= 0xDE && c != 0xD7) ? c + 32 : c;
  if (c < 0x180) {
    if (c == 0x130) return 'i';
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
      return (c & 1) ? c : c + 1;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    return c;
  }
  if (c >= 0x370 && c < 0x400) {
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x3AA || c == 0x3AB) return c + 32;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    return c;
  }
  if (c >= 0x400 && c < 0x530) {
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F)) {
      return (c & 1) ? c : c + 1;
    }
    if (c == 0x4C0) return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c + 1 : c;
    return c;
  }
  return c;
}

// The form two characters share when they differ only in case (also joins the odd
// cases: dotless i with I, long s with s, final sigma with sigma).
char32_t Fold(char32_t c) {
  return LowerOf(UpperOf(c));
}

// Maps every character; bytes that are not valid UTF-8 are kept as they are, so that a
// case change never alters text it cannot read.
template <typename Map>
std::string MapCase(std::string_view utf8, Map map) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t start = pos;
    const char32_t cp = DecodeOne(utf8, pos);
    if (cp == kReplacement && pos - start == 1 && static_cast<unsigned char>(utf8[start]) >= 0x80) {
      out += utf8[start];
    } else {
      AppendUtf8(out, map(cp));
    }
  }
  return out;
}

// Compares pattern (already folded) with text at pos; on a match sets end behind it.
bool MatchFolded(std::string_view text, std::size_t pos, const std::u32string& pattern,
                 std::size_t& end) {
  for (char32_t want : pattern) {
    if (pos >= text.size()) return false;
    if (Fold(DecodeOne(text, pos)) != want) return false;
  }
  end = pos;
  return true;
}

std::u32string FoldedCodePoints(std::string_view text) {
  std::u32string out;
  std::size_t pos = 0;
  while (pos < text.size()) out += Fold(DecodeOne(text, pos));
  return out;
}

}  // namespace

// ASCII runs are skipped a word at a time; only the other sequences are decoded.
bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t pos = FindNonAscii(bytes); pos != std::string_view::npos;
       pos = FindNonAscii(bytes, pos)) {
    const std::size_t start = pos;
    if (DecodeOne(bytes, pos) == kReplacement && pos - start == 1) return false;
  }
  return true;
}

// UTF-8 that decodes without error is passed through; anything else is re-encoded with
// U+FFFD in place of each undecodable byte.
std::string SanitizeUtf8(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 16);
  std::size_t pos = 0;
  while (pos < bytes.size()) AppendUtf8(out, DecodeOne(bytes, pos));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeOne(utf8, pos);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;  // unpaired surrogate
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::size_t CharCount(std::string_view utf8) {
  std::size_t units = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
      ++pos;
      ++units;
    } else {
      units += DecodeOne(utf8, pos) >= 0x10000 ? 2 : 1;
    }
  }
  return units;
}

std::size_t Utf8SequenceLength(std::string_view utf8, std::size_t pos) {
  std::size_t next = pos;
  DecodeOne(utf8, next);
  return next - pos;
}

std::string ToUpper(std::string_view utf8) {
  return MapCase(utf8, UpperOf);
}
std::string ToLower(std::string_view utf8) {
  return MapCase(utf8, LowerOf);
}

std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from) {
  std::size_t matchLength = 0;
  return FindNoCase(text, pattern, from, matchLength);
}

std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from,
                       std::size_t& matchLength) {
  matchLength = 0;
  if (from > text.size()) return std::string_view::npos;
  if (pattern.empty()) return from;
  const std::u32string folded = FoldedCodePoints(pattern);
  const char32_t first = folded.front();
  const bool asciiLetter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
  if (first < 0x80 && !asciiLetter) {
    // An ASCII byte is a character of its own wherever the decoding starts, and only
    // letters have other characters that fold to them: the search can jump from one
    // such byte to the next (searches for "\r\n" + key or "[" + name in large files).
    for (std::size_t pos = text.find(static_cast<char>(first), from); pos != std::string_view::npos;
         pos = text.find(static_cast<char>(first), pos + 1)) {
      std::size_t end = 0;
      if (MatchFolded(text, pos, folded, end)) {
        matchLength = end - pos;
        return pos;
      }
    }
    return std::string_view::npos;
  }
  std::size_t pos = from;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const char32_t cp = DecodeOne(text, pos);
    std::size_t end = 0;
    if (Fold(cp) == first && MatchFolded(text, start, folded, end)) {
      matchLength = end - start;
      return start;
    }
  }
  return std::string_view::npos;
}

std::uint64_t FoldedHash(std::string_view text) {
  // FNV-1a over the folded code points.
  std::uint64_t hash = 14695981039346656037ull;
  std::size_t pos = 0;
  while (pos < text.size()) {
    hash ^= Fold(DecodeOne(text, pos));
    hash *= 1099511628211ull;
  }
  return hash;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  std::size_t pa = 0;
  std::size_t pb = 0;
  while (pa < a.size() && pb < b.size()) {
    if (Fold(DecodeOne(a, pa)) != Fold(DecodeOne(b, pb))) return false;
  }
  return pa == a.size() && pb == b.size();
}

int CompareUtf16(std::string_view a, std::string_view b) {
  std::size_t pa = 0;
  std::size_t pb = 0;
  while (pa < a.size() && pb < b.size()) {
    const char32_t ca = DecodeOne(a, pa);
    const char32_t cb = DecodeOne(b, pb);
    if (ca == cb) continue;
    // Characters beyond U+FFFF are surrogate pairs in UTF-16 and sort by their lead unit
    // (0xD800-0xDBFF), below the characters U+E000-U+FFFF.
    const auto lead = [](char32_t c) -> char32_t {
      return c >= 0x10000 ? 0xD800 + ((c - 0x10000) >> 10) : c;
    };
    const char32_t la = lead(ca);
    const char32_t lb = lead(cb);
    if (la != lb) return la < lb ? -1 : 1;
    return ca < cb ? -1 : 1;  // same lead unit: the trail units order as the code points
  }
  if (pa < a.size()) return 1;
  if (pb < b.size()) return -1;
  return 0;
}

std::string Utf16BytesToUtf8(std::string_view bytes, ByteOrder order) {
  const bool bigEndian = order == ByteOrder::kBigEndian;
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(
        static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
  }
  // A dangling odd byte cannot be half of a character; it becomes a replacement character.
  if (bytes.size() % 2 != 0) units.push_back(u'\uFFFD');
  return Utf16ToUtf8(units);
}

std::string Utf8ToUtf16Bytes(std::string_view utf8, ByteOrder order) {
  const bool bigEndian = order == ByteOrder::kBigEndian;
  const std::u16string units = Utf8ToUtf16(utf8);
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

std::vector<std::uint8_t> TextToUtf8Bytes(std::string_view text) {
  const std::string clean = SanitizeUtf8(text);
  return std::vector<std::uint8_t>(clean.begin(), clean.end());
}

std::string Utf8BytesToText(const std::vector<std::uint8_t>& bytes) {
  return SanitizeUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string ReadUtf8File(const std::string& path, std::uint64_t maxBytes) {
  const std::optional<std::string> bytes = ReadFileBytes(path, maxBytes);
  if (!bytes) throw FileNotFoundError("mUTF8.ReadUtf8File", path);
  return SanitizeUtf8(*bytes);
}

std::size_t FindNonAscii(std::string_view bytes, std::size_t from) {
  const char* const data = bytes.data();
  const std::size_t size = bytes.size();
  std::size_t i = from;
#if defined(__SSE2__)
  // The high bit of each byte is what the byte mask instruction gathers: 32 bytes are
  // tested with two loads and one mask.
  for (; i + 32 <= size; i += 32) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + 16));
    if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0) break;
  }
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    if (const int mask = _mm_movemask_epi8(chunk)) {
      return i + static_cast<std::size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    }
  }
#endif
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, data + i, sizeof word);
    if (word & kHighBits) break;
  }
  for (; i < size; ++i) {
    if (static_cast<unsigned char>(data[i]) >= 0x80) return i;
  }
  return std::string_view::npos;
}

}  // namespace tavrin
