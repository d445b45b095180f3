// The POSIX back end's folders and file identities.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "platform/posix/posix_platform.h"

namespace tavrin {

namespace {

constexpr mode_t kOwnerOnlyFolder = 0700;

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // a folder without read rights
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// stat of a path too long for one call: folder by folder, each opened relative to the one
// before, as the system would walk it (links followed, ".." the physical parent).
bool StatStepByStep(const std::string& path, struct stat& status) {
  int folder = ::open(path.starts_with('/') ? "/" : ".", kFolderFlags);
  std::size_t start = 0;
  while (folder >= 0) {
    while (start < path.size() && path[start] == '/') ++start;
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::size_t next = end;
    while (next < path.size() && path[next] == '/') ++next;
    const std::string part = start < end ? path.substr(start, end - start) : std::string(".");
    if (next >= path.size()) {  // the last part (a trailing "/" means the folder itself)
      const bool found = ::fstatat(folder, part.c_str(), &status, 0) == 0;
      ::close(folder);
      return found;
    }
    const int inner = ::openat(folder, part.c_str(), kFolderFlags);
    ::close(folder);
    folder = inner;
    start = next;
  }
  return false;
}

}  // namespace

std::optional<FileIdentity> PosixFiles::IdentifyFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat status {};
  const bool found =
      ::stat(path.c_str(), &status) == 0 || (errno == ENAMETOOLONG && StatStepByStep(path, status));
  if (!found) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                      static_cast<std::uint64_t>(status.st_ino)};
}

bool PosixFiles::CreateFolders(const std::string& folder) {
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
