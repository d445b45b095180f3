#pragma once

#include <string_view>

#include "platform/platform.h"
#include "platform/posix/openssl_crypto.h"

namespace tavrin {

// The platform on Linux and other POSIX systems, one class per service; PosixPlatform
// holds them all.

class PosixMachine : public MachineService {
 public:
  std::string ProgramPath() override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::string GetEnvironmentVariable(const std::string& name) override;

  OsVersionInfo OsVersion() override;
  // The archive component exists only on Windows.
  bool CreateZipComponent() override;
  bool RegisterZipComponent(const std::string& libraryPath) override;

  std::string DocumentsFolder() override;

  // No clipboard: the text and a line break go to standard output.
  void SetClipboardText(const std::string& text) override;
  bool OpenWithShell(const std::string& target) override;
  std::uint64_t RandomSeed() override;
};

// Locale answers come from a built-in table keyed by the process's locale variables
// (LC_ALL, LC_MESSAGES, LC_TIME, LC_NUMERIC, LANG), so they do not depend on which
// locales the machine has installed.
class PosixLocale : public LocaleService {
 public:
  std::string Utf8ToAnsi(std::string_view utf8) override;
  std::string AnsiToUtf8(std::string_view ansi) override;

  std::string LocaleInfo(int type) override;
  RegionalSettings Regional() override;
};

class PosixClock : public ClockService {
 public:
  DateTime Now() override;
  int UtcBiasMinutes(const DateTime& local) override;
};

class PosixFiles : public FileService {
 public:
  // POSIX file systems have no short names: the path is returned unchanged.
  std::string ShortPath(const std::string& path) override;
  // Makes the file readable and writable by its owner; other permission bits are kept.
  void SetNormalAttributes(const std::string& path) override;
  // Opens (creating, mode 0600) the file and takes an exclusive advisory lock on it.
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;

  // Opens the file for reading and tries a non-blocking exclusive flock. On POSIX, only a
  // program that holds an flock of its own on the file counts as having it open.
  bool CanOpenExclusively(const std::string& path) override;

  // lstat; "writable": some write permission is set and faccessat lets the effective user
  // write (for a link: its target).
  PathFacts InspectPath(const std::string& path) override;
  // stat: device and inode; a path beyond PATH_MAX is walked folder by folder with openat.
  std::optional<FileIdentity> IdentifyFile(const std::string& path) override;
  // open with O_CREAT | O_NOFOLLOW | O_CLOEXEC and O_EXCL (CreateNew) or O_APPEND |
  // O_NONBLOCK (Append: a FIFO must not block the program; anything but a regular file is
  // closed again); a file created with O_EXCL then gets its permissions with fchmod.
  std::unique_ptr<WritableFile> OpenFileForWriting(const std::string& path, WriteMode mode,
                                                   std::uint32_t permissions) override;
  // rename(2), unlink(2).
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  // A slot of a fixed table that the handler of CleanUpOnInterrupt reads: the file's
  // folder held open and its name, removed with unlinkat.
  std::unique_ptr<HeldFile> RemoveOnInterrupt(const std::string& path) override;
  // $TMPDIR (else "/tmp") with a trailing "/".
  std::string TempPath() override;
  // Creates the placeholder with O_CREAT | O_EXCL (mode 0600), counting up from a number
  // taken from the clock while names are taken.
  std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) override;
  std::string CurrentDirectory() override;
  int ChangeDirectory(const std::string& folder) override;
  // mkdir with mode 0700 for each missing level; a level the umask narrowed further is
  // given 0700 with chmod.
  bool CreateFolders(const std::string& folder) override;
};

class PosixProcesses : public ProcessService {
 public:
  std::uint32_t ProcessId() override;
  // kill(id, 0): a process of another user counts as running too.
  bool ProcessAlive(std::uint32_t id) override;

  // Starts the program with the argument vector directly (no shell, no splitting of the
  // command-line text) with posix_spawnp; standard input, output and error are inherited.
  // The window style has no meaning here.
  std::unique_ptr<ChildProcess> StartProcess(const ProcessStart& start, int windowStyle) override;
  // POSIX systems have no management service to ask for Windows processes: always empty.
  std::string FindProcessFolder(const std::string& exeName) override;
};

class PosixUserValues : public UserValueService {
 public:
  // The store is written through the platform's safe write routines.
  explicit PosixUserValues(Platform& platform) : platform_(platform) {}

  // User values live in a UTF-8 INI file of the program's own:
  // $XDG_CONFIG_HOME (else $HOME/.config) + "/TavrinPlugin/registry.ini". The key path
  // is the section name, the value name the key; both are compared without regard to
  // case, as in the registry. Values are kept exactly as given. The store is for the user
  // alone (0600, its folders 0700).
  std::string ReadUserValue(const std::string& key, const std::string& name) override;
  bool WriteUserValue(const std::string& key, const std::string& name,
                      const std::string& value) override;
  bool DeleteUserValue(const std::string& key, const std::string& name) override;
  // One read of the store for all names; one locked read-modify-write for all changes
  // (every single write and delete above goes through it too).
  std::vector<std::string> ReadUserValues(const std::string& key,
                                          const std::vector<std::string>& names) override;
  bool WriteUserValues(const std::string& key,
                       const std::vector<std::pair<std::string, std::string>>& values,
                       const std::vector<std::string>& deletions) override;

  // Lock files beside the user-value store (one per name, mode 0600), locked with flock,
  // so that a process that dies releases its locks.
  std::unique_ptr<HeldFile> TakeUserLock(const std::string& name, LockMode mode) override;

 private:
  Platform& platform_;
};

// Every service of the POSIX back end in one object. Subclasses (in tests) may override any
// service's method. Not copyable: its Platform refers to its own services.
class PosixPlatform : public PosixMachine,
                      public PosixLocale,
                      public PosixClock,
                      public PosixFiles,
                      public PosixProcesses,
                      public PosixUserValues,
                      public Platform {
 public:
  PosixPlatform()
      : PosixUserValues(static_cast<Platform&>(*this)),
        Platform(*this, *this, *this, *this, *this, *this, crypto_) {}
  PosixPlatform(const PosixPlatform&) = delete;
  PosixPlatform& operator=(const PosixPlatform&) = delete;

 private:
  OpenSslCrypto crypto_;
};

// Has SIGTERM, SIGINT and SIGHUP remove the files marked with RemoveOnInterrupt, then end
// the process by the signal as before (a signal the process ignores stays ignored). For the
// front ends on a terminal, once at their start.
void CleanUpOnInterrupt();

// Whether a machine name reported by uname ("x86_64", "aarch64", "s390x", ...) is a
// 64-bit architecture.
bool MachineIs64Bit(std::string_view machine);

// The user-value store file for a configuration home (XDG_CONFIG_HOME) and a home folder
// (HOME): the configuration home when it is an absolute path, else home + "/.config";
// empty when neither is usable.
std::string UserStorePath(std::string_view configHome, std::string_view home);

}  // namespace tavrin
