// The POSIX back end's folders.
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/posix/posix_platform.h"

namespace tavrin {

namespace {

constexpr mode_t kOwnerOnlyFolder = 0700;

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

bool PosixPlatform::CreateFolders(const std::string& folder) {
  if (folder.empty()) return false;
  // Level by level from the top, so that every folder made here gets the mode itself
  // rather than whatever the umask leaves of the usual 0777.
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string level = folder.substr(0, end);
    if (::mkdir(level.c_str(), kOwnerOnlyFolder) == 0) {
      // A umask that takes the owner's own bits would leave a folder the program cannot
      // use; it gets exactly 0700 (no one else can reach it in the meantime).
      struct stat status {};
      if (::lstat(level.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
          (status.st_mode & 07777) != kOwnerOnlyFolder) {
        ::chmod(level.c_str(), kOwnerOnlyFolder);
      }
    }
    // Any other failure (EEXIST above all; EACCES on a level above that exists) shows in
    // the answer below.
    if (end == std::string::npos) break;
  }
  return IsFolder(folder);
}

}  // namespace tavrin
