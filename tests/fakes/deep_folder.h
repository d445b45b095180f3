#pragma once

// A chain of folders whose full path is longer than the system takes in one call
// (PATH_MAX), made and removed folder by folder relative to the current folder (POSIX).

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace tavrin::testing {

class DeepFolder {
 public:
  // Below `base`, which must exist.
  explicit DeepFolder(const std::string& base) : base_(base), path_(base) {
    start_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (::chdir(base.c_str()) != 0) return;
    while (path_.size() <= PATH_MAX && ::mkdir(kName, 0700) == 0 && ::chdir(kName) == 0) {
      path_ += std::string("/") + kName;
      ++depth_;
    }
    Leave();
  }
  // Removes the deepest folder's files and the chain.
  ~DeepFolder() {
    if (depth_ > 0 && Enter()) {
      if (DIR* entries = ::opendir(".")) {
        while (const dirent* entry = ::readdir(entries)) ::unlink(entry->d_name);
        ::closedir(entries);
      }
      for (; depth_ > 0 && ::chdir("..") == 0; --depth_) ::rmdir(kName);
    }
    Leave();
    ::close(start_);
  }
  DeepFolder(const DeepFolder&) = delete;
  DeepFolder& operator=(const DeepFolder&) = delete;

  // The deepest folder's full path.
  const std::string& Path() const { return path_; }
  bool Deep() const { return path_.size() > PATH_MAX; }
  // Makes the deepest folder the current one; Leave returns to the folder current before.
  bool Enter() const {
    if (::chdir(base_.c_str()) != 0) return false;
    for (int i = 0; i < depth_; ++i) {
      if (::chdir(kName) != 0) return false;
    }
    return true;
  }
  void Leave() const { [[maybe_unused]] const int back = ::fchdir(start_); }

 private:
  static constexpr char kName[] =
      "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd"
      "dddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddddd";
  std::string base_;
  std::string path_;
  int start_ = -1;
  int depth_ = 0;
};

}  // namespace tavrin::testing
