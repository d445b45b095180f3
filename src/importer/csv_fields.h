#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin {

// The export's field rules: an empty line has no fields; one separator at the very end
// is dropped; separators between double quotes do not split; a field ended by a
// separator loses one leading and one trailing quote, while the last field stands as it
// is. The separator is never the quote. Fields are views into the line.

// The fields of a line. Splitting stops once maxFields fields have been ended by a
// separator: those are the fields of a full split, so callers that look at the first
// fields only need not scan the rest. The vector is reused from line to line.
void SplitCsvFields(std::string_view line, char separator, std::vector<std::string_view>& fields,
                    std::size_t maxFields = std::string_view::npos);

namespace csv_fields {

inline constexpr char kQuote = '"';

// The high bit of each byte of `word` that equals the byte repeated in `pattern`, without
// false hits.
inline std::uint64_t EqualBytes(std::uint64_t word, std::uint64_t pattern) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  word ^= pattern;  // equal bytes become zero
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

// Hands the fields of a line (its final separator already dropped) to emit(n, field) in
// turn, n counting from 0, as long as emit returns true. Returns how many fields were
// handed out, or npos (with the fields handed out so far of no meaning) when a quote
// turned up in the part scanned: the line needs the quote rules. With SSE2 sixteen bytes
// are tested at a time, else eight on little-endian machines: a long export spends much
// of its reading time here.
template <typename Emit>
std::size_t SplitUnquoted(std::string_view line, char separator, Emit&& emit) {
  constexpr std::size_t kQuoted = std::string_view::npos;
  const char* const base = line.data();
  const std::size_t size = line.size();
  std::size_t start = 0;
  std::size_t count = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Sixteen bytes at a time: one compare and byte mask each for the quotes and the
  // separators.
  const __m128i separators16 = _mm_set1_epi8(separator);
  const __m128i quotes16 = _mm_set1_epi8(kQuote);
  for (; i + 16 <= size; i += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, quotes16)) != 0) return kQuoted;
    for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, separators16)));
         hits != 0; hits &= hits - 1) {
      const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(hits));
      if (!emit(count++, std::string_view(base + start, at - start))) return count;
      start = at + 1;
    }
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const std::uint64_t separators = kOnes * static_cast<unsigned char>(separator);
    const std::uint64_t quotes = kOnes * static_cast<unsigned char>(kQuote);
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, base + i, sizeof word);
      if (EqualBytes(word, quotes) != 0) return kQuoted;
      for (std::uint64_t hits = EqualBytes(word, separators); hits != 0; hits &= hits - 1) {
        const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
        if (!emit(count++, std::string_view(base + start, at - start))) return count;
        start = at + 1;
      }
    }
  }
  for (; i < size; ++i) {
    if (base[i] == kQuote) return kQuoted;
    if (base[i] == separator) {
      if (!emit(count++, std::string_view(base + start, i - start))) return count;
      start = i + 1;
    }
  }
  emit(count++, std::string_view(base + start, size - start));
  return count;
}

}  // namespace csv_fields

// The first N fields of a line into a fixed array, for lines without a quote in the part
// that is split (the rows of a plain export): the same fields as SplitCsvFields(line,
// separator, fields, N). Returns how many fields there were (at most N; the rest of the
// array is left as it was), or nullopt when a quote turned up, for the caller to use
// SplitCsvFields.
template <std::size_t N>
std::optional<std::size_t> SplitPlainFields(std::string_view line, char separator,
                                            std::array<std::string_view, N>& fields) {
  if (line.empty()) return 0;
  if (line.back() == separator) line.remove_suffix(1);
  const std::size_t count =
      csv_fields::SplitUnquoted(line, separator, [&fields](std::size_t n, std::string_view field) {
        fields[n] = field;
        return n + 1 < N;
      });
  if (count == std::string_view::npos) return std::nullopt;
  return count;
}

}  // namespace tavrin
