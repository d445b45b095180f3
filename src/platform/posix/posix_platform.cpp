#include "platform/posix/posix_platform.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/posix/locale_table.h"
#include "platform/profile_strings.h"
#include "shared/codepage.h"

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

}  // namespace

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

std::string PosixPlatform::ReadProfileString(const std::string& file, const std::string& section,
                                             const std::string& key,
                                             const std::string& defaultValue) {
  return ReadProfileStringFile(file, section, key, defaultValue);
}

bool PosixPlatform::WriteProfileString(const std::string& file, const std::string& section,
                                       const std::string& key, const std::string& value) {
  return WriteProfileStringFile(file, section, key, value);
}

CryptoProvider& PosixPlatform::Crypto() {
  return crypto_;
}

}  // namespace tavrin
