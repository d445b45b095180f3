#include "shared/fs.h"

#include <fstream>

#include <system_error>
#include "shared/error.h"

namespace tavrin {

FileKind KindOfFile(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(FsPath(path), ec);
  switch (status.type()) {
    case fs::file_type::regular:
      return FileKind::kRegular;
    case fs::file_type::directory:
      return FileKind::kFolder;
    case fs::file_type::fifo:
      return FileKind::kFifo;
    case fs::file_type::block:
    case fs::file_type::character:
      return FileKind::kDevice;
    case fs::file_type::not_found:
    case fs::file_type::none:
      return FileKind::kMissing;
    default:
      return FileKind::kOther;
  }
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::uint64_t maxBytes) {
  if (path.empty()) return std::nullopt;
  const std::filesystem::path fsPath = FsPath(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fsPath, ec)) return std::nullopt;
  std::ifstream in(fsPath, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  const std::uintmax_t size = std::filesystem::file_size(fsPath, ec);
  if (!ec && size > maxBytes) throw FileTooLargeError("ReadFileBytes", path, maxBytes);
  if (!ec) bytes.reserve(static_cast<std::size_t>(size));
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    // The file may grow while it is read: the bound holds for what is read.
    if (bytes.size() + static_cast<std::uint64_t>(in.gcount()) > maxBytes) {
      throw FileTooLargeError("ReadFileBytes", path, maxBytes);
    }
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(FsPath(path), ec);
  return ec ? path : PathText(absolute.lexically_normal());
}

}  // namespace tavrin
