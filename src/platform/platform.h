#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shared/date_time.h"
#include "shared/regional.h"

namespace tavrin {

// The operating system's version as the program reports it.
struct OsVersionInfo {
  // Windows: the extended version information.
  int major = 0;
  int minor = 0;
  int platformId = 0;   // 2 = NT
  int productType = 0;  // 1 = workstation
  bool is64Bit = false;
  // Systems other than Windows name themselves here (for example "Linux" and
  // "6.1.0-18-amd64"); empty on Windows, where the name comes from the version table.
  std::string systemName;
  std::string systemRelease;
};

enum class HashAlgorithm { MD5, SHA1, SHA256, SHA384, SHA512 };

// The platform's cryptographic service: message digests and HMAC-SHA-256.
class CryptoProvider {
 public:
  virtual ~CryptoProvider() = default;
  // Each returns false when the provider fails; LastError then tells the system error.
  virtual bool Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> data,
                      std::vector<std::uint8_t>& digest) = 0;
  virtual bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                          std::vector<std::uint8_t>& mac) = 0;
  virtual std::uint32_t LastError() const = 0;
};

// A program started by the platform, to be waited for.
class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // True once the program has ended; exitCode then holds its exit code.
  virtual bool Finished(std::uint32_t& exitCode) = 0;
  // Blocks until the program ends, pending user-interface work arrives, or a short while
  // has passed, whichever comes first.
  virtual void WaitBriefly() = 0;
};

// A file held open by this process so that no other process can take it, or a lock held
// by this process; released (closed) when the object is destroyed.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};

// A program to start. Windows hands a program its command line as one text, which the
// program splits itself; other systems hand over the arguments one by one, so that a path
// reaches the program whole however many blanks or quotes it holds.
struct ProcessStart {
  // The program and its arguments as one Windows command line: what Windows starts the
  // program with, and what the trace log shows.
  std::string commandLine;
  // The program's full path, and its arguments after the program's name, each whole.
  std::string program;
  std::vector<std::string> arguments;
};

// How a lock between processes is taken: alone, waiting for it; alone, only when it is free
// now; or together with other shared holders, waiting while someone holds it alone.
enum class LockMode { Exclusive, TryExclusive, Shared };

// A file opened by OpenFileForWriting; closed (if Close was not called) when the object is
// destroyed.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Each returns false when the system refuses (a full disk, an I/O error); a failed
  // Write may have written part of the bytes.
  virtual bool Write(std::string_view bytes) = 0;
  // Pushes what was written through to the storage device.
  virtual bool Flush() = 0;
  // False when the last of the data could not be written.
  virtual bool Close() = 0;
};

// Who may read a file the program creates: patient data (documents, dumps, job files, the
// serial-number store, the trace log) and the program's own state (the user-value store)
// are kept from other users of the machine, whatever the umask.
enum class FileAccess {
  Usual,             // a replaced file keeps its permissions; a new one gets the usual ones
  OwnerOnly,         // read and write for the user alone (POSIX 0600)
  OwnerOnlyWhenNew,  // a replaced file keeps its permissions; a new one is OwnerOnly
};

// What a path names, without following a link at its end.
struct PathFacts {
  enum class Kind { Missing, Regular, Link, Other };  // Other: a folder, device, FIFO ...
  Kind kind = Kind::Missing;
  bool ownedByUser = false;       // owned by the user this process runs as
  bool writable = false;          // this process may write it (for a link: its target)
  std::uint32_t permissions = 0;  // POSIX permission bits; 0 on systems without them
};

// What tells one file from another on the machine: two names of one file (another
// spelling, a link, a hard link) give equal identities, two files different ones.
struct FileIdentity {
  std::uint64_t volume = 0;  // POSIX: st_dev; Windows: the volume serial number
  std::uint64_t file = 0;    // POSIX: st_ino; Windows: the file index
  bool operator==(const FileIdentity&) const = default;
};

// Every operating-system facility the core uses, behind one narrow interface. The POSIX
// and Win32 back ends implement it; tests use a fake. All text is UTF-8.
class Platform {
 public:
  virtual ~Platform() = default;

  // --- Program, machine and user
  // Full path of the running program's executable.
  virtual std::string ProgramPath() = 0;
  // Computer and user name of the current logon; empty when the system cannot tell.
  virtual std::string ComputerName() = 0;
  virtual std::string UserName() = 0;
  // Empty when the variable is not set.
  virtual std::string GetEnvironmentVariable(const std::string& name) = 0;

  // --- The system's ANSI code page (Windows-1252 where the system has none)
  // Characters the code page lacks become "?". Both may be called from several threads
  // at once: the export reader converts on two.
  virtual std::string Utf8ToAnsi(std::string_view utf8) = 0;
  virtual std::string AnsiToUtf8(std::string_view ansi) = 0;

  // --- Locale and regional settings
  // The system default locale's text for a Windows locale information type
  // (1 language id, 2 language, 3 abbreviated language, 4 native language, 5 country
  // code, 6 country, 7 abbreviated country, 8 native country, 9 default language,
  // 10 default country, 11 default OEM code page, 21 international currency symbol,
  // 4097 English language, 4098 English country, 4100 default ANSI code page,
  // 4113 default EBCDIC code page); empty when the type is unknown.
  virtual std::string LocaleInfo(int type) = 0;
  virtual RegionalSettings Regional() = 0;

  // --- Clock and time zone
  virtual DateTime Now() = 0;
  // UTC minus local time in minutes, in effect at the given local date and time
  // (-60 for Central European winter time, -120 for its summer time).
  virtual int UtcBiasMinutes(const DateTime& local) = 0;

  // --- System information
  virtual OsVersionInfo OsVersion() = 0;
  // The short (8.3) form of a path; empty when the conversion fails.
  virtual std::string ShortPath(const std::string& path) = 0;
  // Whether the optional archive component can be created; RegisterZipComponent
  // registers its library and reports success.
  virtual bool CreateZipComponent() = 0;
  virtual bool RegisterZipComponent(const std::string& libraryPath) = 0;

  // --- Files
  // Clears read-only, hidden and system flags.
  virtual void SetNormalAttributes(const std::string& path) = 0;
  // Opens (creating) and holds a file exclusively; null when another process holds it.
  virtual std::unique_ptr<HeldFile> HoldFile(const std::string& path) = 0;

  // Whether the file can be opened for reading with an exclusive lock (that is, no other
  // program has it open); the file is closed again at once.
  virtual bool CanOpenExclusively(const std::string& path) = 0;

  // --- Writing files: the steps of the safe write routines in platform/file_replace.h,
  // which every write of the program goes through.
  virtual PathFacts InspectPath(const std::string& path) = 0;
  // The identity of the file or folder a path names, links followed; nullopt when nothing
  // of that name exists or the system cannot tell. Paths longer than the system takes in
  // one call (POSIX PATH_MAX, Windows MAX_PATH) are identified all the same.
  virtual std::optional<FileIdentity> IdentifyFile(const std::string& path) = 0;
  // Opens a file for writing, never through a link. CreateNew creates the file and fails
  // when the name is taken by anything, a link included; Append appends to a regular file
  // and creates it when it is missing. Null on failure. A created file gets `permissions`
  // (POSIX permission bits) exactly; 0 gives the usual permissions for new files (POSIX:
  // 0666 less the umask). Windows keeps only whether the owner may write.
  enum class WriteMode { CreateNew, Append };
  virtual std::unique_ptr<WritableFile> OpenFileForWriting(const std::string& path, WriteMode mode,
                                                           std::uint32_t permissions) = 0;
  // Renames a file within its folder, replacing what the new name held; a link there is
  // replaced itself, never followed. False on failure, with both names unchanged.
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  // Removes a file (a link itself, not what it points to); false when nothing was removed.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Marks a file that must not outlive an interrupted write (the new file of ReplaceFile):
  // while the returned object lives, the file is removed should the process be ended by
  // an interruption that the front end has the back end take (POSIX: SIGTERM, SIGINT,
  // SIGHUP; Windows: Ctrl+C, Ctrl+Break, the console's closing). Null when the mark cannot
  // be made (a small fixed number may be held at once): RemoveStaleSiblings then removes
  // the file at a later write. Any thread may mark.
  virtual std::unique_ptr<HeldFile> RemoveOnInterrupt(const std::string& path) = 0;
  // This process's id, and whether a process of that id runs (of any user).
  virtual std::uint32_t ProcessId() = 0;
  virtual bool ProcessAlive(std::uint32_t id) = 0;

  // --- Folders and temporary files
  // The platform's temporary folder; empty when it has none.
  virtual std::string TempPath() = 0;
  // Creates an empty placeholder file with a unique name in the folder, made of the first
  // three characters of the prefix, a hexadecimal number and ".tmp"; returns its path, or
  // empty when the platform cannot make one.
  virtual std::string CreateUniqueTempFile(const std::string& folder,
                                           const std::string& prefix) = 0;
  virtual std::string CurrentDirectory() = 0;
  // 0 on success, else the run-time error number (76 path not found).
  virtual int ChangeDirectory(const std::string& folder) = 0;
  // Creates the folder and every missing folder above it. Each folder made here is for the
  // user alone (POSIX 0700 whatever the umask; Windows: the rights the parent hands down);
  // folders that exist are left as they are. True when the path names a folder afterwards.
  virtual bool CreateFolders(const std::string& folder) = 0;

  // --- The current user's registry (on systems without one, a small store file of the
  // program's own, per user, outside the program folder). Keys are paths below the
  // user's root, such as "TavrinPlugin\TempFilesToBeDeleted"; values are strings.
  // Reading a missing key or value gives empty text.
  virtual std::string ReadUserValue(const std::string& key, const std::string& name) = 0;
  virtual bool WriteUserValue(const std::string& key, const std::string& name,
                              const std::string& value) = 0;
  virtual bool DeleteUserValue(const std::string& key, const std::string& name) = 0;
  // Several values of one key at once: the values of the names, in their order, empty for
  // missing ones. Back ends whose single reads are costly read the store once.
  virtual std::vector<std::string> ReadUserValues(const std::string& key,
                                                  const std::vector<std::string>& names) {
    std::vector<std::string> values;
    values.reserve(names.size());
    for (const std::string& name : names) values.push_back(ReadUserValue(key, name));
    return values;
  }
  // Sets the values (name, value) and then deletes the named values of one key; false when
  // any of them failed. Back ends whose single writes are costly write the store once.
  virtual bool WriteUserValues(const std::string& key,
                               const std::vector<std::pair<std::string, std::string>>& values,
                               const std::vector<std::string>& deletions) {
    bool ok = true;
    for (const auto& [name, value] : values) ok = WriteUserValue(key, name, value) && ok;
    for (const std::string& name : deletions) ok = DeleteUserValue(key, name) && ok;
    return ok;
  }

  // --- Locks between the current user's processes, named like user-value keys (such as
  // "TavrinPlugin\TempFilesToBeDeleted"). The lock is held until the object is destroyed,
  // or until the process ends, however it ends. Exclusive and Shared wait a few seconds at
  // most. Null when the lock is not granted: another process holds it, or the system
  // cannot make the lock.
  virtual std::unique_ptr<HeldFile> TakeUserLock(const std::string& name, LockMode mode) = 0;

  // --- Processes
  // Starts a program with a window style (1 = normal with focus): Windows starts
  // start.program with start.commandLine, other systems start.program with
  // start.arguments. Throws RuntimeError when the program cannot be started; returns null
  // when it started but cannot be watched.
  virtual std::unique_ptr<ChildProcess> StartProcess(const ProcessStart& start,
                                                     int windowStyle) = 0;
  // The folder (with trailing separator) of the first running process whose executable
  // has this file name; empty when there is none or the system cannot tell.
  virtual std::string FindProcessFolder(const std::string& exeName) = 0;

  // --- The user's documents folder (with trailing separator), where a file dialog opens
  // when no folder was used before; empty when the system names none.
  virtual std::string DocumentsFolder() = 0;

  // --- Clipboard (on systems without one, the text goes to standard output)
  virtual void SetClipboardText(const std::string& text) = 0;

  // --- Opens a file or address with the program the user chose for it (the shell's
  // "open" verb; xdg-open elsewhere) and returns at once; false when it could not be
  // started.
  virtual bool OpenWithShell(const std::string& target) = 0;

  // --- A seed for random numbers, different from run to run.
  virtual std::uint64_t RandomSeed() = 0;

  // --- Profile strings: single values of INI files kept by other programs. Section and
  // key names are case-insensitive, blanks around key and value are trimmed, a value in
  // matching quotes loses them; reads return at most 1023 characters.
  virtual std::string ReadProfileString(const std::string& file, const std::string& section,
                                        const std::string& key,
                                        const std::string& defaultValue) = 0;
  // `access` is for a file that is created or replaced (Windows keeps the folder's rights).
  virtual bool WriteProfileString(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value,
                                  FileAccess access) = 0;
  // The values of several keys of one section, each as ReadProfileString gives it. Back
  // ends read the file once for all of them; this fallback asks key by key.
  virtual std::vector<std::string> ReadProfileStrings(const std::string& file,
                                                      const std::string& section,
                                                      const std::vector<std::string>& keys,
                                                      const std::string& defaultValue) {
    std::vector<std::string> values;
    values.reserve(keys.size());
    for (const std::string& key : keys) {
      values.push_back(ReadProfileString(file, section, key, defaultValue));
    }
    return values;
  }

  // --- Cryptographic service
  virtual CryptoProvider& Crypto() = 0;
};

}  // namespace tavrin
