#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/file_replace.h"
#include "platform/posix/locale_table.h"
#include "shared/codepage.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/utf8.h"

extern char** environ;

namespace tavrin {
namespace {

std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string_view(value) : std::string_view();
}

// The descriptor of a held file; closing it releases the lock.
class PosixHeldFile : public HeldFile {
 public:
  explicit PosixHeldFile(int fd) : fd_(fd) {}
  ~PosixHeldFile() override { ::close(fd_); }
  PosixHeldFile(const PosixHeldFile&) = delete;
  PosixHeldFile& operator=(const PosixHeldFile&) = delete;

 private:
  int fd_;
};

// A file being written; Flush is fsync, so that a renamed file is complete on the disk.
class PosixWritableFile : public WritableFile {
 public:
  explicit PosixWritableFile(int fd) : fd_(fd) {}
  ~PosixWritableFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  PosixWritableFile(const PosixWritableFile&) = delete;
  PosixWritableFile& operator=(const PosixWritableFile&) = delete;

  // In pieces of 1 MiB: Linux takes a single write of tens of megabytes up to ten times
  // longer than the same bytes in pieces (measured on ext4: 47 MB in 180 ms against 15 ms).
  bool Write(std::string_view bytes) override {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    while (!bytes.empty()) {
      const ssize_t written = ::write(fd_, bytes.data(), std::min(bytes.size(), kPiece));
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(written));
      StartWriteBack(static_cast<std::uint64_t>(written));
    }
    return true;
  }
  bool Flush() override {
    int rc;
    do {
      rc = ::fsync(fd_);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
  }
  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    // After an EINTR the descriptor is released all the same on Linux; no retry.
    return ::close(fd) == 0 || errno == EINTR;
  }

 private:
  // Every 8 MiB written, the disk is set to work on them while the rest is written, so
  // that the fsync of a large document waits for the last few only (Linux; elsewhere
  // fsync does it all). A hint: fsync reports any failure.
  void StartWriteBack([[maybe_unused]] std::uint64_t written) {
#ifdef __linux__
    constexpr std::uint64_t kWriteBackBytes = std::uint64_t{8} << 20;
    written_ += written;
    if (written_ - startedUpTo_ >= kWriteBackBytes) {
      ::sync_file_range(fd_, static_cast<off_t>(startedUpTo_),
                        static_cast<off_t>(written_ - startedUpTo_), SYNC_FILE_RANGE_WRITE);
      startedUpTo_ = written_;
    }
#endif
  }

  int fd_;
  std::uint64_t written_ = 0;
  std::uint64_t startedUpTo_ = 0;
};

DateTime FromTm(const std::tm& tm) {
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

constexpr auto kWaitSlice = std::chrono::milliseconds(20);

// A program started with posix_spawnp, polled with waitpid.
class PosixChildProcess : public ChildProcess {
 public:
  explicit PosixChildProcess(pid_t pid) : pid_(pid) {}

  bool Finished(std::uint32_t& exitCode) override {
    if (!done_) {
      int status = 0;
      pid_t rc;
      do {
        rc = ::waitpid(pid_, &status, WNOHANG);
      } while (rc < 0 && errno == EINTR);
      if (rc == 0) return false;
      done_ = true;
      if (rc < 0) {
        // The child cannot be watched any more (for example SIGCHLD is ignored, so the
        // system reaped it): like a process that cannot be opened for querying.
        code_ = 0;
      } else if (WIFEXITED(status)) {
        code_ = static_cast<std::uint32_t>(WEXITSTATUS(status));
      } else if (WIFSIGNALED(status)) {
        code_ = 128u + static_cast<std::uint32_t>(WTERMSIG(status));
      }
    }
    exitCode = code_;
    return true;
  }

  void WaitBriefly() override { std::this_thread::sleep_for(kWaitSlice); }

 private:
  pid_t pid_;
  bool done_ = false;
  std::uint32_t code_ = 0;
};

// --- The user-value store: "[key]" header lines and "name=value" lines, UTF-8, LF line
// ends. Both names are compared without regard to case.

std::vector<std::string> StoreLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  return lines;
}

bool IsHeader(const std::string& line) {
  return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// One key's section of the store, indexed once for several reads or writes.
struct StoreSection {
  std::optional<std::size_t> header;
  std::size_t end = 0;  // one past the section's last non-empty line
  // The line of each value, by lower-case name; the first of equal names counts.
  std::unordered_map<std::string, std::size_t> values;
};

StoreSection FindSection(const std::vector<std::string>& lines, std::string_view key) {
  StoreSection section;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!section.header) {
      if (IsHeader(line) && EqualsNoCase(std::string_view(line).substr(1, line.size() - 2), key)) {
        section.header = i;
        section.end = i + 1;
      }
      continue;
    }
    if (IsHeader(line)) break;
    if (!line.empty()) section.end = i + 1;
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) section.values.try_emplace(ToLower(line.substr(0, eq)), i);
  }
  return section;
}

void CreateStoreFolder(Platform& platform, const std::string& store) {
  platform.Files().CreateFolders(PathText(std::filesystem::path(store).parent_path()));
}

std::vector<std::string> ReadStore(const std::string& path) {
  return StoreLines(ReadFileBytes(path, kMaxSettingsFileBytes).value_or(std::string()));
}

bool WriteStore(Platform& platform, const std::string& path,
                const std::vector<std::string>& lines) {
  CreateStoreFolder(platform, path);
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  // The record of temporary files names what a later start deletes: nobody else may
  // write it, or read which files the user's imports left.
  return ReplaceFile(platform, path, text, FileAccess::OwnerOnly).Ok();
}

// Names that would not read back as themselves: line breaks, a key holding "]" at the
// end of a header, a value name holding "=".
bool UsableStoreNames(const std::string& key, const std::string& name) {
  return !key.empty() && !name.empty() && key.find_first_of("\r\n]") == std::string::npos &&
         name.find_first_of("\r\n=[") == std::string::npos;
}

std::string UserStoreFile() {
  std::string_view home = Env("HOME");
  std::string fallbackHome;
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir) {
      fallbackHome = entry->pw_dir;
      home = fallbackHome;
    }
  }
  return UserStorePath(Env("XDG_CONFIG_HOME"), home);
}

// The first three characters of the prefix (UTF-8 sequences kept whole).
std::string PrefixCharacters(const std::string& prefix) {
  std::size_t pos = 0;
  for (int i = 0; i < 3 && pos < prefix.size(); ++i) pos += Utf8SequenceLength(prefix, pos);
  return prefix.substr(0, std::min(pos, prefix.size()));
}

// Takes a lock on a file (created 0600 when missing, never through a link) by flock,
// polling while another process holds it, for at most kLockWait unless the mode asks not
// to wait. Null when the lock is not granted.
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(5);

std::unique_ptr<HeldFile> LockFile(const std::string& path, LockMode mode) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  const int operation = (mode == LockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  for (;;) {
    if (::flock(fd, operation) == 0) return std::make_unique<PosixHeldFile>(fd);
    const bool busy = errno == EWOULDBLOCK || errno == EINTR;
    if (!busy || mode == LockMode::TryExclusive || std::chrono::steady_clock::now() > deadline) {
      ::close(fd);
      return nullptr;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
}

// The lock files live beside the user-value store: one per name, with every character
// that is not a letter, digit, "-" or "." written as "_".
std::string UserLockPath(const std::string& store, const std::string& name) {
  std::string file;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.';
    file += plain ? c : '_';
  }
  return PathText(std::filesystem::path(store).parent_path()) + "/" + file + ".lock";
}

}  // namespace

std::string UserStorePath(std::string_view configHome, std::string_view home) {
  std::string base;
  if (!configHome.empty() && configHome.front() == '/') {
    base = configHome;
  } else if (!home.empty() && home.front() == '/') {
    base = std::string(home) + "/.config";
  } else {
    return "";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/TavrinPlugin/registry.ini";
}

bool MachineIs64Bit(std::string_view machine) {
  return machine.find("64") != std::string_view::npos || machine == "s390x" || machine == "sparcv9";
}

std::string PosixMachine::ProgramPath() {
  char* resolved = ::realpath("/proc/self/exe", nullptr);
  if (!resolved) return "";
  std::string path(resolved);
  std::free(resolved);
  return path;
}

std::string PosixMachine::ComputerName() {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return "";
  return std::string(buffer, ::strnlen(buffer, sizeof buffer - 1));
}

std::string PosixMachine::UserName() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result &&
      result->pw_name && *result->pw_name) {
    return result->pw_name;
  }
  return std::string(Env("USER"));
}

std::string PosixMachine::GetEnvironmentVariable(const std::string& name) {
  return std::string(Env(name.c_str()));
}

std::string PosixLocale::Utf8ToAnsi(std::string_view utf8) {
  return Utf8ToWindows1252(utf8);
}

std::string PosixLocale::AnsiToUtf8(std::string_view ansi) {
  return Windows1252ToUtf8(ansi);
}

std::string PosixLocale::LocaleInfo(int type) {
  const LocaleEntry entry =
      FindLocale(SelectLocaleName(Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")));
  return LocaleInfoText(entry, type);
}

RegionalSettings PosixLocale::Regional() {
  const LocaleEntry dates =
      FindLocale(SelectLocaleName(Env("LC_ALL"), Env("LC_TIME"), Env("LANG")));
  const LocaleEntry numbers =
      FindLocale(SelectLocaleName(Env("LC_ALL"), Env("LC_NUMERIC"), Env("LANG")));
  return RegionalFor(dates, numbers);
}

DateTime PosixClock::Now() {
  // localtime_r need not look at TZ again, so a changed TZ is read here explicitly.
  ::tzset();
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (!::localtime_r(&now, &tm)) return DateTime{};
  return FromTm(tm);
}

int PosixClock::UtcBiasMinutes(const DateTime& local) {
  ::tzset();
  std::tm tm{};
  tm.tm_year = local.year - 1900;
  tm.tm_mon = local.month - 1;
  tm.tm_mday = local.day;
  tm.tm_hour = local.hour;
  tm.tm_min = local.minute;
  tm.tm_sec = local.second;
  tm.tm_isdst = -1;  // let the time-zone rules decide whether summer time applies
  ::mktime(&tm);
  return static_cast<int>(-(tm.tm_gmtoff / 60));
}

OsVersionInfo PosixMachine::OsVersion() {
  OsVersionInfo info;
  utsname names{};
  if (::uname(&names) != 0) return info;
  info.systemName = names.sysname;
  info.systemRelease = names.release;
  info.is64Bit = MachineIs64Bit(names.machine);
  return info;
}

std::string PosixFiles::ShortPath(const std::string& path) {
  return path;
}

bool PosixMachine::CreateZipComponent() {
  return false;
}

bool PosixMachine::RegisterZipComponent(const std::string&) {
  return false;
}

void PosixFiles::SetNormalAttributes(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return;
  const mode_t mode = status.st_mode & 07777;
  const mode_t wanted = mode | S_IRUSR | S_IWUSR;
  if (wanted != mode) ::chmod(path.c_str(), wanted);
}

std::unique_ptr<HeldFile> PosixFiles::HoldFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno == EWOULDBLOCK) {
    ::close(fd);
    return nullptr;
  }
  // A file system without advisory locks (rc != 0 for another reason) cannot tell whether
  // someone else holds the file; the file is held all the same rather than reporting a
  // holder that may not exist.
  return std::make_unique<PosixHeldFile>(fd);
}

bool PosixFiles::CanOpenExclusively(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  const bool held = rc != 0 && errno == EWOULDBLOCK;
  // Closing the descriptor also releases our own lock.
  ::close(fd);
  return !held;
}

PathFacts PosixFiles::InspectPath(const std::string& path) {
  PathFacts facts;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return facts;
  if (S_ISREG(status.st_mode)) {
    facts.kind = PathFacts::Kind::Regular;
  } else if (S_ISLNK(status.st_mode)) {
    facts.kind = PathFacts::Kind::Link;
  } else {
    facts.kind = PathFacts::Kind::Other;
  }
  facts.ownedByUser = status.st_uid == ::geteuid();
  // A file without any write permission is read-only also for the superuser, whom
  // faccessat would let write it.
  facts.writable = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
                   ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  facts.permissions = static_cast<std::uint32_t>(status.st_mode & 07777);
  return facts;
}

std::unique_ptr<WritableFile> PosixFiles::OpenFileForWriting(const std::string& path,
                                                             WriteMode mode,
                                                             std::uint32_t permissions) {
  const bool append = mode == WriteMode::Append;
  const int flags =
      O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND | O_NONBLOCK : O_EXCL);
  const mode_t created = permissions == 0 ? 0666 : static_cast<mode_t>(permissions & 07777);
  int fd;
  do {
    fd = ::open(path.c_str(), flags, created);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  auto file = std::make_unique<PosixWritableFile>(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
  // The umask may narrow the permissions of a created file: a new file gets exactly those
  // asked for. (An appended file created with 0600 can only have become narrower.)
  if (!append && permissions != 0 && ::fchmod(fd, created) != 0) {
    ::unlink(path.c_str());  // made by this call: not left behind
    return nullptr;
  }
  if (append) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return file;
}

bool PosixFiles::RenameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFiles::RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

std::uint32_t PosixProcesses::ProcessId() {
  return static_cast<std::uint32_t>(::getpid());
}

bool PosixProcesses::ProcessAlive(std::uint32_t id) {
  if (id == 0 || id > static_cast<std::uint32_t>(std::numeric_limits<pid_t>::max())) return false;
  return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

std::string PosixFiles::TempPath() {
  std::string path(Env("TMPDIR"));
  if (path.empty()) path = "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string PosixFiles::CreateUniqueTempFile(const std::string& folder, const std::string& prefix) {
  if (folder.empty()) return "";
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return "";
  std::string base = folder;
  if (base.back() != '/') base += '/';
  base += PrefixCharacters(prefix);

  // Numbers 1 to FFFF, starting at one taken from the clock and the process, so that
  // two processes rarely walk the same names.
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::uint32_t start = static_cast<std::uint32_t>(
      (ticks ^ (ticks >> 16) ^ static_cast<std::uint64_t>(::getpid())) % 0xFFFF);
  for (std::uint32_t i = 0; i < 0xFFFF; ++i) {
    char number[8];
    std::snprintf(number, sizeof number, "%X", (start + i) % 0xFFFF + 1);
    std::string path = base + number + ".tmp";
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return "";  // the folder cannot be written
  }
  return "";
}

std::string PosixFiles::CurrentDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size())) return buffer.data();
    if (errno != ERANGE || buffer.size() > (1u << 20)) return "";
    buffer.resize(buffer.size() * 2);
  }
}

int PosixFiles::ChangeDirectory(const std::string& folder) {
  if (folder.empty() || ::chdir(folder.c_str()) != 0) return static_cast<int>(kErrPathNotFound);
  return 0;
}

std::string PosixUserValues::ReadUserValue(const std::string& key, const std::string& name) {
  return ReadUserValues(key, {name}).front();
}

bool PosixUserValues::WriteUserValue(const std::string& key, const std::string& name,
                                     const std::string& value) {
  return WriteUserValues(key, {{name, value}}, {});
}

bool PosixUserValues::DeleteUserValue(const std::string& key, const std::string& name) {
  return WriteUserValues(key, {}, {name});
}

std::vector<std::string> PosixUserValues::ReadUserValues(const std::string& key,
                                                         const std::vector<std::string>& names) {
  std::vector<std::string> values(names.size());
  const std::string file = UserStoreFile();
  if (file.empty()) return values;
  const std::vector<std::string> lines = ReadStore(file);
  const StoreSection section = FindSection(lines, key);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!UsableStoreNames(key, names[i])) continue;
    const auto at = section.values.find(ToLower(names[i]));
    if (at == section.values.end()) continue;
    const std::string& line = lines[at->second];
    values[i] = line.substr(line.find('=') + 1);
  }
  return values;
}

namespace {

// The changes to one section of the user-value store, gathered before the store is
// rewritten: values set in place, values added after the section's last line (in the
// order given), lines removed.
struct StoreEdit {
  std::vector<std::string> added;
  std::unordered_map<std::string, std::size_t> addedAt;  // by lower-case name
  std::vector<bool> removed;
  std::vector<bool> addedRemoved;
  bool changed = false;
  bool ok = true;  // false when a name or value could not be stored
};

void SetStoreValues(const std::string& key,
                    const std::vector<std::pair<std::string, std::string>>& values,
                    const StoreSection& section, std::vector<std::string>& lines, StoreEdit& edit) {
  for (const auto& [name, value] : values) {
    if (!UsableStoreNames(key, name) || value.find_first_of("\r\n") != std::string::npos) {
      edit.ok = false;
      continue;
    }
    const std::string lower = ToLower(name);
    edit.changed = true;
    if (const auto at = section.values.find(lower); at != section.values.end()) {
      // The value keeps the spelling of its name, as a registry value does.
      std::string& existing = lines[at->second];
      existing.erase(existing.find('=') + 1);
      existing += value;
    } else if (const auto newAt = edit.addedAt.find(lower); newAt != edit.addedAt.end()) {
      std::string& line = edit.added[newAt->second];
      line.erase(line.find('=') + 1);
      line += value;
    } else {
      edit.addedAt.emplace(lower, edit.added.size());
      edit.added.push_back(name + "=");
      edit.added.back() += value;
    }
  }
}

void DeleteStoreValues(const std::string& key, const std::vector<std::string>& deletions,
                       StoreSection& section, StoreEdit& edit) {
  for (const std::string& name : deletions) {
    const std::string lower = UsableStoreNames(key, name) ? ToLower(name) : std::string();
    if (const auto at = section.values.find(lower); !lower.empty() && at != section.values.end()) {
      edit.removed[at->second] = true;
      section.values.erase(at);
      edit.changed = true;
    } else if (const auto newAt = edit.addedAt.find(lower);
               !lower.empty() && newAt != edit.addedAt.end()) {
      edit.addedRemoved[newAt->second] = true;
      edit.addedAt.erase(newAt);
    } else {
      edit.ok = false;
    }
  }
}

// The store's lines with the edit applied; a section that did not exist is appended.
std::vector<std::string> EditedStoreLines(const std::string& key, const StoreSection& section,
                                          std::vector<std::string>& lines, const StoreEdit& edit) {
  std::vector<std::string> result;
  result.reserve(lines.size() + edit.added.size() + 3);
  const auto appendAdded = [&] {
    for (std::size_t i = 0; i < edit.added.size(); ++i) {
      if (!edit.addedRemoved[i]) result.push_back(edit.added[i]);
    }
  };
  const std::size_t insertAt = section.header ? section.end : lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == insertAt) appendAdded();
    if (!edit.removed[i]) result.push_back(std::move(lines[i]));
  }
  if (section.header && insertAt == lines.size()) appendAdded();
  if (!section.header && std::find(edit.addedRemoved.begin(), edit.addedRemoved.end(), false) !=
                             edit.addedRemoved.end()) {
    if (!result.empty() && !result.back().empty()) result.emplace_back();
    result.push_back("[" + key + "]");
    appendAdded();
  }
  return result;
}

}  // namespace

bool PosixUserValues::WriteUserValues(
    const std::string& key, const std::vector<std::pair<std::string, std::string>>& values,
    const std::vector<std::string>& deletions) {
  const std::string file = UserStoreFile();
  if (file.empty()) return false;
  // The whole read-modify-write holds the store's lock, so that two processes writing at
  // once do not lose each other's values.
  CreateStoreFolder(platform_, file);
  const std::unique_ptr<HeldFile> lock = LockFile(file + ".lock", LockMode::Exclusive);
  std::vector<std::string> lines = ReadStore(file);
  StoreSection section = FindSection(lines, key);

  StoreEdit edit;
  SetStoreValues(key, values, section, lines, edit);
  edit.removed.assign(lines.size(), false);
  edit.addedRemoved.assign(edit.added.size(), false);
  DeleteStoreValues(key, deletions, section, edit);
  if (!edit.changed) return edit.ok;
  return WriteStore(platform_, file, EditedStoreLines(key, section, lines, edit)) && edit.ok;
}

std::unique_ptr<HeldFile> PosixUserValues::TakeUserLock(const std::string& name, LockMode mode) {
  const std::string file = UserStoreFile();
  if (file.empty() || name.empty()) return nullptr;
  CreateStoreFolder(platform_, file);
  return LockFile(UserLockPath(file, name), mode);
}

std::unique_ptr<ChildProcess> PosixProcesses::StartProcess(const ProcessStart& start, int) {
  if (start.program.empty()) throw FileNotFoundError("ShellAndWait", "");
  std::vector<std::string> arguments = {start.program};
  arguments.insert(arguments.end(), start.arguments.begin(), start.arguments.end());
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  // glibc's posix_spawnp reports a program that cannot be executed (missing, not
  // executable) through its result rather than as exit code 127 of the child.
  const int rc =
      ::posix_spawnp(&pid, start.program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    throw FileNotFoundError("ShellAndWait", start.program);
  }
  return std::make_unique<PosixChildProcess>(pid);
}

// The opener is not waited for: it hands the file to the user's program and ends; the
// plug-in's process ends soon after, and init collects what is left.
bool PosixMachine::OpenWithShell(const std::string& target) {
  std::string program = "xdg-open";
  std::string argument = target;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  return ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

std::string PosixProcesses::FindProcessFolder(const std::string&) {
  return "";
}

std::string PosixMachine::DocumentsFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "";
  std::string documents = std::string(home) + "/Documents/";
  struct stat facts {};
  if (::stat(documents.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)) return documents;
  return std::string(home) + "/";
}

void PosixMachine::SetClipboardText(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::uint64_t PosixMachine::RandomSeed() {
  std::uint64_t seed =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  seed ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
          << 1;
  try {
    std::random_device device;
    seed ^= (static_cast<std::uint64_t>(device()) << 32) | device();
  } catch (const std::runtime_error&) {
    // No random device (the library says so with runtime_error or system_error): the
    // clocks alone still differ from run to run. The platform has no trace log to note it.
  }
  return seed;
}

}  // namespace tavrin
