#pragma once

#include <cstdint>
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

// The path made absolute and its "." and ".." taken out, as the user is shown it; the
// path as given when the current folder cannot be read.
std::string AbsolutePath(const std::string& path);

// What a path names, symbolic links followed: nothing, a regular file, or one of the
// special files that must never be read or written as a document (a folder, a named pipe
// whose reader would wait for a writer, a device, a socket).
enum class FileKind { kMissing, kRegular, kFolder, kFifo, kDevice, kOther };
FileKind KindOfFile(const std::string& path);

// The whole file's bytes; nullopt when the path names no regular file (nothing, a folder,
// a device) or the file cannot be read to its end. The one whole-file reader: callers
// that must tell a missing file from an unreadable one look at the path first. Every
// caller names the most bytes a file of its kind may sensibly hold (the bounds below): a
// larger file, or one that grows beyond it while it is read, throws RuntimeError 7
// (FileTooLargeError, naming the path) before its bytes are held.
std::optional<std::string> ReadFileBytes(const std::string& path, std::uint64_t maxBytes);

// The bounds of the files the program reads whole. Each lies far above what a real file of
// the kind holds and far below what would strain the memory of a 32-bit process, which
// also needs room for what the bytes become (decoded text, an index, a hex dump).
//
// Settings, language and INI files: a few kilobytes of keys and texts.
inline constexpr std::uint64_t kMaxSettingsFileBytes = std::uint64_t{16} << 20;
// The host's patient list: one entry of some hundred bytes per patient, so 64 MiB is more
// than a hundred thousand patients.
inline constexpr std::uint64_t kMaxPatientListBytes = std::uint64_t{64} << 20;
// A document read whole (a transfer job's XML document, a file hashed whole): the XML
// and JSON documents of the largest exports the program converts stay below it.
inline constexpr std::uint64_t kMaxDocumentFileBytes = std::uint64_t{512} << 20;

}  // namespace tavrin
