#pragma once

// What the stand-in import tool needs from the operating system: its arguments, its own
// path, appending a record line, starting the plug-in again for a transfer job, and the
// digests of its independent checks. One implementation per system
// (standin_system_posix.cpp, standin_system_win32.cpp); the digests in standin_crypto.cpp.
// Text is UTF-8 throughout; paths are made from and turned into UTF-8 explicitly, because
// a narrow std::filesystem path means the ANSI code page on Windows.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::standin {

inline std::filesystem::path Utf8Path(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The arguments after the program name, as UTF-8. Windows hands over one command line,
// which is split by the system's own rules.
std::vector<std::string> CommandArguments(int argc, char** argv);

// The tool's own path as it was started; on POSIX argv[0] keeps a symlinked install in
// place.
std::filesystem::path OwnPath(const char* argv0);

// Appends the line and a line break with one write, so that the lines of processes
// running one after the other never interleave. False when the file cannot be written.
bool AppendLine(const std::filesystem::path& file, const std::string& line);

// Starts <base>/_EXTRAS/KELSAR/TavrinPlugin with "-jobid N" and STANDIN_FROM_JOB=N in its
// environment, and waits for its end. Returns its exit status as text ("0", "signal 9",
// "not started: ...").
std::string RunPluginForJob(const std::filesystem::path& base, const std::string& jobId);

// HMAC-SHA-256 and SHA-256 as 64 lower-case hexadecimal digits; empty on a failure of
// the system's crypto.
std::string HmacSha256Hex(std::string_view key, std::string_view data);
std::string Sha256Hex(std::string_view data);

}  // namespace tavrin::standin
