#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "shared/error.h"

namespace tavrin {

// The sources that hand out an export in pieces of whole lines, so that a file is never
// held whole and each half of a long text can be read by a thread of its own.

// The line from position up to the next CR LF; position moves behind it. Without a
// further CR LF: the rest, and position becomes the text's length. With loneLineFeeds (an
// export whose lines end in CR LF), an LF without CR before it ends a line as well, unless
// it stands between double quotes (a line break inside a quoted field): a line added by a
// program that ends its lines in LF alone is read as a line, not lost in the one before.
inline std::string_view NextLineView(std::string_view text, std::size_t& position,
                                     bool loneLineFeeds = false) {
  if (position >= text.size()) {
    position = text.size();
    return {};
  }
  const std::size_t start = position;
  std::size_t quotes = 0;  // quote characters from start up to `from`
  for (std::size_t from = start;;) {
    const std::size_t found = text.find('\n', from);
    if (found == std::string_view::npos) {
      position = text.size();
      return text.substr(start);
    }
    position = found + 1;
    if (found > start && text[found - 1] == '\r') return text.substr(start, found - 1 - start);
    if (loneLineFeeds) {
      quotes += static_cast<std::size_t>(
          std::count(text.begin() + static_cast<std::ptrdiff_t>(from),
                     text.begin() + static_cast<std::ptrdiff_t>(found), '"'));
      if (quotes % 2 == 0) return text.substr(start, found - start);
    }
    from = found + 1;
  }
}

// Pieces of a text: each ends right behind a CR LF, except the last, which holds the
// rest. Lines are cut at every CR LF, so the lines of the pieces are the lines of the
// whole text.
class TextPieces {
 public:
  virtual ~TextPieces() = default;
  // The next piece, kept in `buffer` when it must be copied; empty at the end. Throws
  // RuntimeError 75 when a file cannot be read.
  virtual std::string_view Next(std::string& buffer) = 0;
};

// A text to be read in pieces, whole or in parts that start at line starts. Pieces of
// different parts may be read on different threads at once.
class TextSource {
 public:
  virtual ~TextSource() = default;
  virtual std::uint64_t Size() = 0;
  // Where the line after the first CR LF at or behind `at` starts; Size() when none.
  virtual std::uint64_t LineStartAfter(std::uint64_t at) = 0;
  // The pieces of the part from `begin` (a line start) up to `end`; a part that starts
  // at 0 and one that starts later may be read at the same time.
  virtual std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) = 0;
  // Up to `count` bytes from `begin` on, read in one go.
  virtual std::string Bytes(std::uint64_t begin, std::uint64_t count) = 0;
  // Throws RuntimeError kErrFileChanged when the text is no longer the one the source was
  // made for (a file written to or replaced since); text in memory never changes.
  virtual void CheckUnchanged() {}
};

// RuntimeError 75 for an export file that exists but cannot be read. Its source is the
// name the error has always been reported with.
inline RuntimeError ExportFileAccessError(const std::string& path) {
  return PathFileAccessError("ReadAnsiFile", path);
}

// Text in memory, handed out in pieces of about pieceBytes (at least 1); the text must
// outlive the source.
std::unique_ptr<TextSource> MemoryTextSource(std::string_view text, std::size_t pieceBytes);

// A regular file, read in pieces of about kExportPieceBytes. The file is opened once for
// each of the two parts a long text is cut into and stays open, so that every pass reads
// the same file even if another is put in its place; its size and time of last writing
// are noted at the start for CheckUnchanged. Throws RuntimeError 75 when the file cannot
// be opened or is not a regular file.
std::unique_ptr<TextSource> FileTextSource(const std::string& path);

}  // namespace tavrin
