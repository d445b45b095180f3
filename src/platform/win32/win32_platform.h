#pragma once

#include "platform/platform.h"
#include "platform/win32/cryptoapi_crypto.h"

namespace tavrin {

// The platform on Windows: the W functions of the system, with UTF-8 converted to UTF-16
// right at each call, one class per service; Win32Platform holds them all. Failures give
// the empty or false answers the interface names; no method lets a system error escape as
// anything but those (StartProcess excepted).

class Win32Machine : public MachineService {
 public:
  // GetModuleFileNameW, grown until the path fits.
  std::string ProgramPath() override;
  std::string ComputerName() override;
  std::string UserName() override;
  std::string GetEnvironmentVariable(const std::string& name) override;

  // RtlGetVersion, which reports the real version whatever the program's manifest says
  // (GetVersionExW where it is missing). 64-bit: the machine the system runs on.
  OsVersionInfo OsVersion() override;
  // Creates the archive component's automation class once and releases it at once;
  // RegisterZipComponent calls the library's DllRegisterServer.
  bool CreateZipComponent() override;
  bool RegisterZipComponent(const std::string& libraryPath) override;

  std::string DocumentsFolder() override;

  // The text as CF_UNICODETEXT; nothing happens when the clipboard cannot be opened.
  void SetClipboardText(const std::string& text) override;
  // ShellExecuteW "open", normal window; a result above 32 is success.
  bool OpenWithShell(const std::string& target) override;
  std::uint64_t RandomSeed() override;
};

class Win32Locale : public LocaleService {
 public:
  // WideCharToMultiByte into the system ANSI code page without best-fit characters, so a
  // character the code page lacks becomes "?" and never a look-alike ("ā" is not "a").
  std::string Utf8ToAnsi(std::string_view utf8) override;
  std::string AnsiToUtf8(std::string_view ansi) override;

  // GetLocaleInfoW of the system default locale.
  std::string LocaleInfo(int type) override;
  // GetLocaleInfoW of the user default locale: the date order and separator as the
  // system derives them from the short-date picture, the time picture and separator, the
  // number separators, month and day names; AM/PM only where the time picture shows them.
  RegionalSettings Regional() override;
};

class Win32Clock : public ClockService {
 public:
  DateTime Now() override;
  // The current time zone's rules for that date's year.
  int UtcBiasMinutes(const DateTime& local) override;
};

class Win32Files : public FileService {
 public:
  std::string ShortPath(const std::string& path) override;
  void SetNormalAttributes(const std::string& path) override;
  // The file opened with no sharing at all: no other process can open it while held.
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override;
  bool CanOpenExclusively(const std::string& path) override;

  // Links are symbolic links and junctions (other reparse points, such as cloud files,
  // are what they hold). ownedByUser: the owner is the process's user or its token's
  // default owner, or the volume keeps no owners (FAT); writable means not read-only,
  // permissions are 0.
  PathFacts InspectPath(const std::string& path) override;
  // GetFileInformationByHandle: the volume serial number and the file index.
  std::optional<FileIdentity> IdentifyFile(const std::string& path) override;
  // CreateNew: CREATE_NEW on the name itself, never through a link. Append: OPEN_ALWAYS
  // with append-only access, refused unless a plain disk file. Other processes may read
  // (and, when appending, append) while the file is open; a new file may be deleted, so
  // that the console handler can remove an unfinished one. Windows keeps the folder's
  // inherited rights for every new file, so OwnerOnly gives no narrower rights here: the
  // program's folders below the user profile are the user's own already. Only a missing
  // owner-write bit counts, as the read-only attribute.
  std::unique_ptr<WritableFile> OpenFileForWriting(const std::string& path, WriteMode mode,
                                                   std::uint32_t permissions) override;
  // MoveFileExW replacing the target, written through before it returns; DeleteFileW.
  bool RenameFile(const std::string& from, const std::string& to) override;
  bool RemoveFile(const std::string& path) override;
  // A slot of a fixed table that the handler of CleanUpOnInterrupt reads: the full path,
  // removed with DeleteFileW (the writer shares its new files for deletion).
  std::unique_ptr<HeldFile> RemoveOnInterrupt(const std::string& path) override;
  // GetTempPathW, with a trailing "\".
  std::string TempPath() override;
  // GetTempFileNameW, which takes the first three characters of the prefix itself.
  std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) override;
  std::string CurrentDirectory() override;
  int ChangeDirectory(const std::string& folder) override;
  // New folders take the rights their parent hands down: below the user's profile, the
  // user's own.
  bool CreateFolders(const std::string& folder) override;
};

class Win32Processes : public ProcessService {
 public:
  std::uint32_t ProcessId() override;
  // A process this user may not open counts as running.
  bool ProcessAlive(std::uint32_t id) override;

  // CreateProcessW of start.program with start.commandLine; start.arguments are not used.
  std::unique_ptr<ChildProcess> StartProcess(const ProcessStart& start, int windowStyle) override;
  // A process snapshot (Toolhelp), the executable's name compared without regard to case.
  std::string FindProcessFolder(const std::string& exeName) override;
};

class Win32UserValues : public UserValueService {
 public:
  // The registry below HKEY_CURRENT_USER\Software; values are REG_SZ.
  std::string ReadUserValue(const std::string& key, const std::string& name) override;
  bool WriteUserValue(const std::string& key, const std::string& name,
                      const std::string& value) override;
  bool DeleteUserValue(const std::string& key, const std::string& name) override;

  // LockFileEx on a lock file per name in %LOCALAPPDATA%\TavrinPlugin\locks; the system
  // releases the lock when the process ends, however it ends.
  std::unique_ptr<HeldFile> TakeUserLock(const std::string& name, LockMode mode) override;
};

// Every service of the Windows back end in one object. Not copyable: its Platform refers to
// its own services.
class Win32Platform : public Win32Machine,
                      public Win32Locale,
                      public Win32Clock,
                      public Win32Files,
                      public Win32Processes,
                      public Win32UserValues,
                      public Platform {
 public:
  Win32Platform() : Platform(*this, *this, *this, *this, *this, *this, crypto_) {}
  // Defined out of line so that the class's virtual table is made in win32_platform.cpp,
  // where windows.h's A/W macros (GetEnvironmentVariable) are undone, and not in a file
  // that includes windows.h itself.
  ~Win32Platform() override;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

 private:
  CryptoApiCrypto crypto_;
};

// The value of an environment variable of this process; empty when it is not set. For the
// services that need one besides Win32Machine::GetEnvironmentVariable.
std::string EnvironmentValue(const std::string& name);

// Has Ctrl+C, Ctrl+Break and the console's closing (also at logoff and shutdown) remove the
// files marked with RemoveOnInterrupt before the system ends the process as before. For the
// console programs, once at their start.
void CleanUpOnInterrupt();
// What the console handler does: removes the marked files. Never throws.
void RemoveMarkedFiles() noexcept;

}  // namespace tavrin
