#include "importer/export_pieces.h"

#include <algorithm>
#include <fstream>

#include "importer/export_reader.h"
#include "shared/fs.h"

namespace tavrin {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// The end of the piece that starts at `from`: behind the first CR LF that ends at or
// after from + pieceBytes; the text's end when there is none.
std::size_t PieceEnd(std::string_view text, std::size_t from, std::size_t pieceBytes) {
  if (text.size() - from <= pieceBytes) return text.size();
  const std::size_t found = text.find(kCrLf, from + pieceBytes - 1);
  return found == std::string_view::npos ? text.size() : found + kCrLf.size();
}

class MemoryPieces : public TextPieces {
 public:
  MemoryPieces(std::string_view text, std::size_t pieceBytes)
      : text_(text), pieceBytes_(pieceBytes) {}
  std::string_view Next(std::string&) override {
    const std::size_t end = PieceEnd(text_, position_, pieceBytes_);
    const std::string_view piece = text_.substr(position_, end - position_);
    position_ = end;
    return piece;
  }

 private:
  std::string_view text_;
  std::size_t pieceBytes_;
  std::size_t position_ = 0;
};

class MemorySource : public TextSource {
 public:
  MemorySource(std::string_view text, std::size_t pieceBytes)
      : text_(text), pieceBytes_(std::max<std::size_t>(pieceBytes, 1)) {}
  std::uint64_t Size() override { return text_.size(); }
  std::uint64_t LineStartAfter(std::uint64_t at) override {
    const std::size_t found = text_.find(kCrLf, static_cast<std::size_t>(at));
    return found == std::string_view::npos ? text_.size() : found + kCrLf.size();
  }
  std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) override {
    return std::make_unique<MemoryPieces>(
        text_.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)),
        pieceBytes_);
  }

 private:
  std::string_view text_;
  std::size_t pieceBytes_;
};

class FilePieces : public TextPieces {
 public:
  FilePieces(const std::string& path, std::uint64_t begin, std::uint64_t end)
      : path_(path), in_(FsPath(path), std::ios::binary), left_(end - begin) {
    if (!in_) throw ExportFileAccessError(path_);
    in_.seekg(static_cast<std::streamoff>(begin));
    if (!in_) throw ExportFileAccessError(path_);
  }
  std::string_view Next(std::string& buffer) override {
    buffer.assign(carry_);
    carry_.clear();
    std::size_t searchFrom = 0;
    for (;;) {
      const std::size_t had = buffer.size();
      const auto want = static_cast<std::size_t>(
          std::min<std::uint64_t>(std::max(kExportPieceBytes, had / 2), left_));
      buffer.resize(had + want);
      in_.read(buffer.data() + had, static_cast<std::streamsize>(want));
      const auto got = static_cast<std::size_t>(in_.gcount());
      buffer.resize(had + got);
      left_ -= got;
      if (in_.bad()) throw ExportFileAccessError(path_);
      if (got == 0) return buffer;  // the end: the rest, maybe without a line break
      // The last CR LF of what has been read; a line longer than a piece reads on, and
      // only the newly read bytes (and the one before them) are searched again.
      const std::size_t from = searchFrom > 0 ? searchFrom - 1 : 0;
      const std::size_t found = std::string_view(buffer).substr(from).rfind(kCrLf);
      if (found != std::string_view::npos) {
        const std::size_t end = from + found + kCrLf.size();
        carry_.assign(buffer, end, std::string::npos);
        buffer.resize(end);
        return buffer;
      }
      searchFrom = buffer.size();
    }
  }

 private:
  std::string path_;
  std::ifstream in_;
  std::uint64_t left_;  // bytes of the part not read yet
  std::string carry_;   // the start of a line that the previous read cut off
};

class FileSource : public TextSource {
 public:
  FileSource(const std::string& path, std::uint64_t size) : path_(path), size_(size) {}
  std::uint64_t Size() override { return size_; }
  std::uint64_t LineStartAfter(std::uint64_t at) override {
    std::ifstream in(FsPath(path_), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(at));
    if (!in) throw ExportFileAccessError(path_);
    char block[1 << 16];
    bool carriageReturn = false;  // the block before ended with a CR
    std::uint64_t position = at;
    while (in.read(block, sizeof block) || in.gcount() > 0) {
      const auto got = static_cast<std::size_t>(in.gcount());
      if (carriageReturn && block[0] == '\n') return position + 1;
      const std::size_t found = std::string_view(block, got).find(kCrLf);
      if (found != std::string_view::npos) return position + found + kCrLf.size();
      carriageReturn = block[got - 1] == '\r';
      position += got;
    }
    if (in.bad()) throw ExportFileAccessError(path_);
    return size_;
  }
  std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) override {
    return std::make_unique<FilePieces>(path_, begin, end);
  }

 private:
  std::string path_;
  std::uint64_t size_;
};

}  // namespace

std::unique_ptr<TextSource> MemoryTextSource(std::string_view text, std::size_t pieceBytes) {
  return std::make_unique<MemorySource>(text, pieceBytes);
}

std::unique_ptr<TextSource> FileTextSource(const std::string& path, std::uint64_t size) {
  return std::make_unique<FileSource>(path, size);
}

}  // namespace tavrin
