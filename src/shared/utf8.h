#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes decode to U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Whether the bytes start with a UTF-8 or UTF-16 (either byte order) byte-order mark, as
// editors and spreadsheet programs save text files.
inline bool StartsWithByteOrderMark(std::string_view bytes) {
  return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
         bytes.starts_with("\xFE\xFF");
}

// UTF-16 bytes in either byte order <-> UTF-8, for files saved as UTF-16. A dangling odd
// byte cannot be half of a character and decodes to U+FFFD, as unpaired surrogates do.
enum class ByteOrder { kLittleEndian, kBigEndian };
std::string Utf16BytesToUtf8(std::string_view bytes, ByteOrder order);
std::string Utf8ToUtf16Bytes(std::string_view utf8, ByteOrder order);

// Number of characters (UTF-16 code units, as the rest of the program counts them).
std::size_t CharCount(std::string_view utf8);

// Byte length of the character that starts at pos (pos < size): the length of a valid
// sequence, or 1 for a byte that starts none (it decodes to U+FFFD on its own).
std::size_t Utf8SequenceLength(std::string_view utf8, std::size_t pos);

// Upper and lower case of Latin, Greek and Cyrillic letters (locale-independent simple
// case mapping); other characters are unchanged.
std::string ToUpper(std::string_view utf8);
std::string ToLower(std::string_view utf8);

// Case-insensitive search (by the case mapping above). Positions are byte offsets;
// returns std::string_view::npos when not found.
std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from = 0);
// The same, also giving the byte length of the matched text (which may differ from the
// pattern's, e.g. for the dotless i).
std::size_t FindNoCase(std::string_view text, std::string_view pattern, std::size_t from,
                       std::size_t& matchLength);
bool EqualsNoCase(std::string_view a, std::string_view b);
// A hash of the text's case-folded characters: texts that are EqualsNoCase hash alike.
std::uint64_t FoldedHash(std::string_view text);

// Orders two texts by their UTF-16 code units (binary comparison as the rest of the
// program sorts keys): negative, zero or positive.
int CompareUtf16(std::string_view a, std::string_view b);

// Position of the first byte at or after `from` that is not ASCII, or npos. Checks 32
// bytes at a time with SSE2 where the compiler offers it, else eight: large documents and
// exports are mostly ASCII.
std::size_t FindNonAscii(std::string_view bytes, std::size_t from = 0);
inline bool IsAscii(std::string_view bytes) {
  return FindNonAscii(bytes) == std::string_view::npos;
}

// mUTF8: text to UTF-8 bytes and back, whole files read and written as UTF-8.
std::vector<std::uint8_t> TextToUtf8Bytes(std::string_view text);
std::string Utf8BytesToText(const std::vector<std::uint8_t>& bytes);
// Reads the whole file; a byte-order mark stays in the text as U+FEFF. Throws
// RuntimeError 53 when the file cannot be read, 7 when it holds more than maxBytes.
std::string ReadUtf8File(const std::string& path, std::uint64_t maxBytes);
// The bytes as valid UTF-8: each byte that starts no valid sequence becomes U+FFFD. (The
// file writer, WriteUtf8File, is in platform/file_replace.h.)
std::string SanitizeUtf8(std::string_view bytes);
// Whether SanitizeUtf8 would give the bytes back unchanged.
bool IsValidUtf8(std::string_view bytes);

}  // namespace tavrin
