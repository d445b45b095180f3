#pragma once

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
// further CR LF: the rest, and position becomes the text's length.
inline std::string_view NextLineView(std::string_view text, std::size_t& position) {
  constexpr std::string_view kCrLf = "\r\n";
  if (position >= text.size()) {
    position = text.size();
    return {};
  }
  const std::size_t found = text.find(kCrLf, position);
  if (found == std::string_view::npos) {
    const std::string_view rest = text.substr(position);
    position = text.size();
    return rest;
  }
  const std::string_view line = text.substr(position, found - position);
  position = found + kCrLf.size();
  return line;
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
  // The pieces of the part from `begin` (a line start) up to `end`.
  virtual std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) = 0;
};

// RuntimeError 75 for an export file that exists but cannot be read. Its source is the
// name the error has always been reported with.
inline RuntimeError ExportFileAccessError(const std::string& path) {
  return PathFileAccessError("ReadAnsiFile", path);
}

// Text in memory, handed out in pieces of about pieceBytes (at least 1); the text must
// outlive the source.
std::unique_ptr<TextSource> MemoryTextSource(std::string_view text, std::size_t pieceBytes);

// A file of `size` bytes, read in pieces of about kExportPieceBytes.
std::unique_ptr<TextSource> FileTextSource(const std::string& path, std::uint64_t size);

}  // namespace tavrin
