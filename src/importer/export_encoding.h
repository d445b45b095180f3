#pragma once

#include <string>
#include <string_view>

#include "shared/utf8.h"

namespace tavrin {

class Platform;

// How the bytes of an export become UTF-8 text. Spreadsheet programs save an export with
// a byte-order mark (UTF-8 or UTF-16); the app writes it in the ANSI code page, and some
// tools save it as UTF-8 without a mark, which read as ANSI shows garbled letters.

// The byte order of UTF-16 text saved without a byte-order mark, told by its first four
// characters: ASCII, each with a zero byte beside it on the same side. An ANSI export
// holds no zero bytes, so no ANSI text is taken for UTF-16.
enum class Utf16Order { kNone, kLittleEndian, kBigEndian };
Utf16Order UnmarkedUtf16Order(std::string_view bytes);

// How the bytes of an export are decoded whole before they are read: marked UTF-8 or
// UTF-16, or UTF-16 without a mark. Such files come from spreadsheet programs and editors
// and are small; ANSI text is read piece by piece as it stands.
inline bool DecodedWhole(std::string_view bytes) {
  return StartsWithByteOrderMark(bytes) || UnmarkedUtf16Order(bytes) != Utf16Order::kNone;
}

// Whether the bytes are UTF-16 (marked or not) that end in half a character: an odd count,
// as a file cut short has it.
bool EndsInHalfUtf16Character(std::string_view bytes);

// The bytes as UTF-8 text: a byte-order mark selects its encoding and is dropped (invalid
// sequences become replacement characters); UTF-16 without a mark is read in the order
// UnmarkedUtf16Order tells; other bytes are read in the ANSI code page.
std::string DecodeExportBytes(Platform& platform, std::string_view bytes);

// Appends ANSI bytes as UTF-8. Bytes below 0x40 (digits, blanks, separators, line ends)
// are single characters in every ANSI code page, single-byte or double-byte (no trail
// byte is below 0x40), and mean the same as in ASCII. So only the stretches between such
// bytes that hold other bytes go through the platform's conversion; everything else is
// copied as it stands. Large exports are mostly plain ASCII, and this keeps their reading
// fast. It also means that a text cut anywhere between two such bytes (behind a line
// break, at a separator) converts piece by piece exactly as it does whole.
void AppendAnsiAsUtf8(Platform& platform, std::string_view bytes, std::string& out);
std::string AnsiBytesToUtf8(Platform& platform, std::string_view bytes);

// Whether ANSI bytes, converted, show the garbled "ö" of a UTF-8 text read as ANSI (in
// either letter case): the sign that the text needs RepairUtf8.
bool AnsiNeedsRepair(Platform& platform, std::string_view bytes);
// The same for text already in UTF-8.
bool NeedsRepair(std::string_view text);

// Puts back the German letters and a few accented ones of a UTF-8 text that was read in
// the ANSI code page ("Ã¶" becomes "ö" and so on).
std::string RepairUtf8(std::string_view text);

}  // namespace tavrin
