#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "shared/error.h"
#include "shared/fs.h"

namespace tavrin::testing {

// Writes the bytes, creating the folders above the file.
inline void WriteBytes(const std::string& path, std::string_view bytes) {
  std::filesystem::create_directories(FsPath(path).parent_path());
  std::ofstream(FsPath(path), std::ios::binary).write(bytes.data(), std::ssize(bytes));
}

inline std::string ReadBytes(const std::string& path) {
  return ReadFileBytes(path, kMaxDocumentFileBytes).value_or(std::string());
}

inline bool Exists(const std::string& path) {
  return std::filesystem::exists(FsPath(path));
}

// UTF-16LE bytes of a text given as UTF-16 units.
inline std::string Utf16Le(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) bytes += {char(unit & 0xFF), char(unit >> 8)};
  return bytes;
}

// A fake platform whose program lies in the folder.
inline FakePlatform PlatformIn(const TempDir& dir) {
  FakePlatform platform;
  platform.programPath = dir.File("TavrinPlugin.exe");
  return platform;
}

// The run-time error the call raises, if any.
inline std::optional<RuntimeError> Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const RuntimeError& error) {
    return error;
  }
  return std::nullopt;
}

// "number source" of the run-time error the call throws; empty when it throws none.
inline std::string ErrorOf(const std::function<void()>& call) {
  const std::optional<RuntimeError> error = Raised(call);
  return error ? std::to_string(error->Number()) + " " + error->Source() : "";
}

}  // namespace tavrin::testing
