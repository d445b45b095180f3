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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "platform/file_replace.h"
#include "platform/posix/locale_table.h"
#include "platform/profile_strings.h"
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

struct StorePlace {
  std::optional<std::size_t> header;
  std::optional<std::size_t> value;
  std::size_t sectionEnd = 0;  // one past the section's last non-empty line
};

StorePlace FindInStore(const std::vector<std::string>& lines, std::string_view key,
                       std::string_view name) {
  StorePlace place;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!place.header) {
      if (IsHeader(line) && EqualsNoCase(std::string_view(line).substr(1, line.size() - 2), key)) {
        place.header = i;
        place.sectionEnd = i + 1;
      }
      continue;
    }
    if (IsHeader(line)) break;
    if (!line.empty()) place.sectionEnd = i + 1;
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos && EqualsNoCase(std::string_view(line).substr(0, eq), name)) {
      place.value = i;
      break;
    }
  }
  return place;
}

std::vector<std::string> ReadStore(const std::string& path) {
  return StoreLines(ReadFileBytes(path).value_or(std::string()));
}

bool WriteStore(const std::string& path, const std::vector<std::string>& lines) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return ReplaceFileBytes(path, text);
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

std::string PosixPlatform::ProgramPath() {
  char* resolved = ::realpath("/proc/self/exe", nullptr);
  if (!resolved) return "";
  std::string path(resolved);
  std::free(resolved);
  return path;
}

std::string PosixPlatform::ComputerName() {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return "";
  return std::string(buffer, ::strnlen(buffer, sizeof buffer - 1));
}

std::string PosixPlatform::UserName() {
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

std::string PosixPlatform::GetEnvironmentVariable(const std::string& name) {
  return std::string(Env(name.c_str()));
}

std::string PosixPlatform::Utf8ToAnsi(std::string_view utf8) {
  return Utf8ToWindows1252(utf8);
}

std::string PosixPlatform::AnsiToUtf8(std::string_view ansi) {
  return Windows1252ToUtf8(ansi);
}

std::string PosixPlatform::LocaleInfo(int type) {
  const LocaleEntry entry =
      FindLocale(SelectLocaleName(Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")));
  return LocaleInfoText(entry, type);
}

RegionalSettings PosixPlatform::Regional() {
  const LocaleEntry dates =
      FindLocale(SelectLocaleName(Env("LC_ALL"), Env("LC_TIME"), Env("LANG")));
  const LocaleEntry numbers =
      FindLocale(SelectLocaleName(Env("LC_ALL"), Env("LC_NUMERIC"), Env("LANG")));
  return RegionalFor(dates, numbers);
}

DateTime PosixPlatform::Now() {
  // localtime_r need not look at TZ again, so a changed TZ is read here explicitly.
  ::tzset();
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (!::localtime_r(&now, &tm)) return DateTime{};
  return FromTm(tm);
}

int PosixPlatform::UtcBiasMinutes(const DateTime& local) {
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

OsVersionInfo PosixPlatform::OsVersion() {
  OsVersionInfo info;
  utsname names{};
  if (::uname(&names) != 0) return info;
  info.systemName = names.sysname;
  info.systemRelease = names.release;
  info.is64Bit = MachineIs64Bit(names.machine);
  return info;
}

std::string PosixPlatform::ShortPath(const std::string& path) {
  return path;
}

bool PosixPlatform::CreateZipComponent() {
  return false;
}

bool PosixPlatform::RegisterZipComponent(const std::string&) {
  return false;
}

void PosixPlatform::SetNormalAttributes(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return;
  const mode_t mode = status.st_mode & 07777;
  const mode_t wanted = mode | S_IRUSR | S_IWUSR;
  if (wanted != mode) ::chmod(path.c_str(), wanted);
}

std::unique_ptr<HeldFile> PosixPlatform::HoldFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
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

bool PosixPlatform::CanOpenExclusively(const std::string& path) {
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

std::string PosixPlatform::TempPath() {
  std::string path(Env("TMPDIR"));
  if (path.empty()) path = "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

std::string PosixPlatform::CreateUniqueTempFile(const std::string& folder,
                                                const std::string& prefix) {
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
    const std::string path = base + number + ".tmp";
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

std::string PosixPlatform::CurrentDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size())) return buffer.data();
    if (errno != ERANGE || buffer.size() > (1u << 20)) return "";
    buffer.resize(buffer.size() * 2);
  }
}

int PosixPlatform::ChangeDirectory(const std::string& folder) {
  if (folder.empty() || ::chdir(folder.c_str()) != 0) return static_cast<int>(kErrPathNotFound);
  return 0;
}

std::string PosixPlatform::ReadUserValue(const std::string& key, const std::string& name) {
  const std::string file = UserStoreFile();
  if (file.empty() || !UsableStoreNames(key, name)) return "";
  const std::vector<std::string> lines = ReadStore(file);
  const StorePlace place = FindInStore(lines, key, name);
  if (!place.value) return "";
  const std::string& line = lines[*place.value];
  return line.substr(line.find('=') + 1);
}

bool PosixPlatform::WriteUserValue(const std::string& key, const std::string& name,
                                   const std::string& value) {
  const std::string file = UserStoreFile();
  if (file.empty() || !UsableStoreNames(key, name) ||
      value.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  std::vector<std::string> lines = ReadStore(file);
  const StorePlace place = FindInStore(lines, key, name);
  const std::string line = name + "=" + value;
  if (place.value) {
    // The value keeps the spelling of its name, as a registry value does.
    std::string& existing = lines[*place.value];
    existing = existing.substr(0, existing.find('=') + 1) + value;
  } else if (place.header) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.sectionEnd), line);
  } else {
    if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
    lines.push_back("[" + key + "]");
    lines.push_back(line);
  }
  return WriteStore(file, lines);
}

bool PosixPlatform::DeleteUserValue(const std::string& key, const std::string& name) {
  const std::string file = UserStoreFile();
  if (file.empty() || !UsableStoreNames(key, name)) return false;
  std::vector<std::string> lines = ReadStore(file);
  const StorePlace place = FindInStore(lines, key, name);
  if (!place.value) return false;
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*place.value));
  return WriteStore(file, lines);
}

std::unique_ptr<ChildProcess> PosixPlatform::StartProcess(const std::string& commandLine, int) {
  const std::vector<std::string> arguments =
      SplitCommandLineForStart(commandLine, [](const std::string& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
      });
  const std::string program = arguments.empty() ? std::string() : arguments.front();
  if (program.empty()) throw FileNotFoundError("ShellAndWait", "");
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  // glibc's posix_spawnp reports a program that cannot be executed (missing, not
  // executable) through its result rather than as exit code 127 of the child.
  const int rc = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    throw FileNotFoundError("ShellAndWait", program);
  }
  return std::make_unique<PosixChildProcess>(pid);
}

std::string PosixPlatform::FindProcessFolder(const std::string&) {
  return "";
}

void PosixPlatform::SetClipboardText(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::uint64_t PosixPlatform::RandomSeed() {
  std::uint64_t seed =
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  seed ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())
          << 1;
  try {
    std::random_device device;
    seed ^= (static_cast<std::uint64_t>(device()) << 32) | device();
  } catch (const std::exception&) {
    // Without a random device the clocks alone still differ from run to run.
  }
  return seed;
}

std::string PosixPlatform::ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key,
                                             const std::string& defaultValue) {
  return ReadProfileStringFile(file, section, key, defaultValue);
}

bool PosixPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& value) {
  return WriteProfileStringFile(file, section, key, value);
}

std::vector<std::string> PosixPlatform::ReadProfileStrings(const std::string& file,
                                                           const std::string& section,
                                                           const std::vector<std::string>& keys,
                                                           const std::string& defaultValue) {
  return ReadProfileStringsFile(file, section, keys, defaultValue);
}

CryptoProvider& PosixPlatform::Crypto() {
  return crypto_;
}

}  // namespace tavrin
