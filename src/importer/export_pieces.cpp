#include "importer/export_pieces.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "importer/export_reader.h"
#include "shared/fs.h"
#include "shared/text.h"

namespace tavrin {

namespace {

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
  std::string Bytes(std::uint64_t begin, std::uint64_t count) override {
    return std::string(
        text_.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(count)));
  }

 private:
  std::string_view text_;
  std::size_t pieceBytes_;
};

// Reads its part of a file through a stream the source holds open.
class FilePieces : public TextPieces {
 public:
  FilePieces(const std::string& path, std::ifstream& in, std::uint64_t begin, std::uint64_t end)
      : path_(path), in_(in), left_(end - begin) {
    in_.clear();
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
  const std::string& path_;
  std::ifstream& in_;
  std::uint64_t left_;  // bytes of the part not read yet
  std::string carry_;   // the start of a line that the previous read cut off
};

// What a file looks like from outside: a file written to or replaced shows another size
// or time of last writing.
struct FileStamp {
  std::uintmax_t size = 0;
  std::filesystem::file_time_type written;
  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> StampOf(const std::string& path) {
  const std::filesystem::path fsPath = FsPath(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fsPath, ec)) return std::nullopt;
  FileStamp stamp;
  stamp.size = std::filesystem::file_size(fsPath, ec);
  if (ec) return std::nullopt;
  stamp.written = std::filesystem::last_write_time(fsPath, ec);
  if (ec) return std::nullopt;
  return stamp;
}

class FileSource : public TextSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    const std::optional<FileStamp> stamp = StampOf(path_);
    if (!stamp) throw ExportFileAccessError(path_);
    stamp_ = *stamp;
    for (std::ifstream& in : streams_) {
      in.open(FsPath(path_), std::ios::binary);
      if (!in) throw ExportFileAccessError(path_);
    }
    // Both streams must hold the file that was looked at.
    CheckUnchanged();
  }
  std::uint64_t Size() override { return stamp_.size; }
  std::uint64_t LineStartAfter(std::uint64_t at) override {
    std::ifstream& in = streams_[0];
    in.clear();
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
    return stamp_.size;
  }
  // The part that starts the text and a later one have a stream each, so that the
  // halves of a long text are read at the same time.
  std::unique_ptr<TextPieces> Pieces(std::uint64_t begin, std::uint64_t end) override {
    return std::make_unique<FilePieces>(path_, streams_[begin == 0 ? 0 : 1], begin, end);
  }
  std::string Bytes(std::uint64_t begin, std::uint64_t count) override {
    std::string bytes;
    FilePieces pieces(path_, streams_[0], begin, std::min(begin + count, stamp_.size));
    std::string buffer;
    for (std::string_view piece = pieces.Next(buffer); !piece.empty();
         piece = pieces.Next(buffer)) {
      bytes.append(piece);
    }
    return bytes;
  }
  void CheckUnchanged() override {
    if (StampOf(path_) != stamp_) throw FileChangedError("ReadExportFile", path_);
    for (std::ifstream& in : streams_) {
      in.clear();
      in.seekg(0, std::ios::end);
      if (!in || static_cast<std::uintmax_t>(in.tellg()) != stamp_.size) {
        throw FileChangedError("ReadExportFile", path_);
      }
    }
  }

 private:
  std::string path_;
  FileStamp stamp_;
  std::ifstream streams_[2];
};

}  // namespace

std::unique_ptr<TextSource> MemoryTextSource(std::string_view text, std::size_t pieceBytes) {
  return std::make_unique<MemorySource>(text, pieceBytes);
}

std::unique_ptr<TextSource> FileTextSource(const std::string& path) {
  return std::make_unique<FileSource>(path);
}

}  // namespace tavrin
