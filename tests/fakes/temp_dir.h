#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "shared/fs.h"

namespace tavrin::testing {

// A fresh folder below the system's temporary folder, removed with everything in it when
// the object goes out of scope. Tests put every file they touch in one.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    do {
      path_ = std::filesystem::temp_directory_path() / ("tavrin-test-" + std::to_string(rd()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder's path, with a trailing separator when asked.
  std::string Path(bool trailing = false) const {
    return PathText(path_) + (trailing ? std::string(1, kPathSep) : std::string());
  }
  // A path below the folder.
  std::string File(const std::string& name) const { return Path(true) + name; }

 private:
  std::filesystem::path path_;
};

// Whether the file is for its owner's eyes only: mode 0600 where files have POSIX modes.
// Windows keeps the folder's inherited rights, so there the question does not arise.
inline bool OwnerOnly(const std::string& path) {
  return kPathSep != '/' ||
         std::filesystem::status(FsPath(path)).permissions() == std::filesystem::perms(0600);
}

}  // namespace tavrin::testing
