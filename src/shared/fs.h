#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

// The folder separator of the platform the program runs on: "\" on Windows, "/" elsewhere.
// Paths are composed with it wherever the program builds a path of its own.
inline constexpr char kPathSep = TAVRIN_PATH_SEPARATOR;

// Paths inside the core are UTF-8 text; these convert at the std::filesystem edge.
inline std::filesystem::path FsPath(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string u8 = path.u8string();
  return std::string(u8.begin(), u8.end());
}

// What a path names, symbolic links followed: nothing, a regular file, or one of the
// special files that must never be read or written as a document (a folder, a named pipe
// whose reader would wait for a writer, a device, a socket).
enum class FileKind { kMissing, kRegular, kFolder, kFifo, kDevice, kOther };
FileKind KindOfFile(const std::string& path);

// The whole file's bytes; nullopt when the path names no regular file (nothing, a folder,
// a device) or the file cannot be read to its end. The one whole-file reader: callers
// that must tell a missing file from an unreadable one look at the path first.
std::optional<std::string> ReadFileBytes(const std::string& path);

}  // namespace tavrin
