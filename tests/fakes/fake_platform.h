#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "shared/codepage.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"

namespace tavrin::testing {

// A held file or lock of the fakes: released by the function it was given.
struct FakeHeld : HeldFile {
  std::function<void()> release;
  ~FakeHeld() override { release(); }
};

struct FakeMachine : MachineService {
  std::string programPath = "/tmp/tavrin-test/TavrinPlugin";
  std::string computerName = "PC1";
  std::string userName = "anna";
  std::map<std::string, std::string> environment;
  OsVersionInfo osVersion{6, 1, 2, 1, true, "", ""};
  bool zipCreatable = false;
  bool zipRegisterSucceeds = false;
  std::vector<std::string> zipRegistrations;  // every library the program asked to register
  std::string documentsFolder;
  std::string clipboard;
  std::vector<std::string> shellOpened;  // every target handed to the shell
  bool shellOpenSucceeds = true;

  std::string ProgramPath() override { return programPath; }
  std::string ComputerName() override { return computerName; }
  std::string UserName() override { return userName; }
  std::string GetEnvironmentVariable(const std::string& name) override {
    return environment.contains(name) ? environment.at(name) : "";
  }
  OsVersionInfo OsVersion() override { return osVersion; }
  bool CreateZipComponent() override { return zipCreatable; }
  bool RegisterZipComponent(const std::string& library) override {
    zipRegistrations.push_back(library);
    zipCreatable = zipRegisterSucceeds;
    return zipRegisterSucceeds;
  }
  std::string DocumentsFolder() override { return documentsFolder; }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  bool OpenWithShell(const std::string& target) override {
    shellOpened.push_back(target);
    return shellOpenSucceeds;
  }
  std::uint64_t RandomSeed() override { return 12345; }
};

// Text conversions use Windows-1252.
struct FakeLocale : LocaleService {
  std::map<int, std::string> localeInfo;
  RegionalSettings regional = RegionalSettings::German();

  std::string Utf8ToAnsi(std::string_view utf8) override { return Utf8ToWindows1252(utf8); }
  std::string AnsiToUtf8(std::string_view ansi) override { return Windows1252ToUtf8(ansi); }
  std::string LocaleInfo(int type) override {
    return localeInfo.contains(type) ? localeInfo.at(type) : "";
  }
  RegionalSettings Regional() override { return regional; }
};

struct FakeClock : ClockService {
  DateTime now{2026, 12, 4, 23, 35, 8};
  DateTime Now() override { return now; }
  int UtcBiasMinutes(const DateTime&) override { return -60; }
};

// Files are written on the real file system. Fault injection: the failAt-th write, flush
// or rename of a replacement fails (0: none), a write after half of its bytes. Appends
// (the trace log) are not counted.
struct FakeFiles : FileService {
  std::set<std::string> normalAttributeCalls;
  std::set<std::string> heldFiles;    // paths held by "another process"
  std::set<std::string> lockedFiles;  // files "another program" has open
  std::string tempPath;
  std::string currentDirectory = "/";
  int tempFileCounter = 0;
  int failAt = 0;
  int writeSteps = 0;
  std::set<std::string> foreignFiles;  // owned by "another user"
  // Called when the failing step comes (FakePlatform notes the locks held then).
  std::function<void()> onFailure;
  std::error_code fsError;

  void SetNormalAttributes(const std::string& path) override { normalAttributeCalls.insert(path); }
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override {
    if (!heldFiles.insert(path).second) return nullptr;
    auto held = std::make_unique<FakeHeld>();
    held->release = [this, path] { heldFiles.erase(path); };
    return held;
  }
  bool CanOpenExclusively(const std::string& path) override {
    return !lockedFiles.count(path) && std::filesystem::is_regular_file(FsPath(path));
  }
  std::string ShortPath(const std::string& path) override { return path; }
  bool StepFails() {
    if (++writeSteps != failAt) return false;
    if (onFailure) onFailure();
    return true;
  }
  struct FakeFile : WritableFile {
    FakeFiles* counter = nullptr;  // null for appends, which are not counted
    std::ofstream out;
    bool Write(std::string_view bytes) override {
      const bool fails = counter && counter->StepFails();
      out.write(bytes.data(), std::ssize(bytes) / (fails ? 2 : 1));
      return !fails && out.good();
    }
    bool Flush() override { return !(counter && counter->StepFails()) && out.flush().good(); }
    bool Close() override { return out.close(), !out.fail(); }
  };
  PathFacts InspectPath(const std::string& path) override {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(FsPath(path), ec);
    using enum PathFacts::Kind;
    return {!fs::exists(link)           ? Missing
            : fs::is_regular_file(link) ? Regular
            : fs::is_symlink(link)      ? Link
                                        : Other,
            !foreignFiles.count(path),
            (link.permissions() & fs::perms::owner_write) != fs::perms::none,
            static_cast<std::uint32_t>(link.permissions()) & 07777};
  }
  // A file is known by its canonical path (so hard links are two files here).
  std::optional<FileIdentity> IdentifyFile(const std::string& path) override {
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::canonical(FsPath(path), ec);
    if (ec) return std::nullopt;
    return FileIdentity{0, std::hash<std::string>{}(PathText(canonical))};
  }
  std::unique_ptr<WritableFile> OpenFileForWriting(const std::string& path, WriteMode mode,
                                                   std::uint32_t permissions) override {
    const PathFacts::Kind kind = InspectPath(path).kind;
    const bool append = mode == WriteMode::Append;
    if (kind != PathFacts::Kind::Missing && !(append && kind == PathFacts::Kind::Regular))
      return nullptr;
    auto file = std::make_unique<FakeFile>();
    if (!append) file->counter = this;
    file->out.open(FsPath(path), std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (!file->out) return nullptr;
    if (permissions && kind == PathFacts::Kind::Missing)
      std::filesystem::permissions(FsPath(path), std::filesystem::perms(permissions));
    return file;
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return !StepFails() && (std::filesystem::rename(FsPath(from), FsPath(to), fsError), !fsError);
  }
  bool RemoveFile(const std::string& path) override {
    return std::filesystem::remove(FsPath(path), fsError);
  }
  // No interruption reaches a test here (the back-end tests stop real processes).
  std::unique_ptr<HeldFile> RemoveOnInterrupt(const std::string&) override { return nullptr; }
  std::string TempPath() override { return tempPath; }
  std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) override {
    if (!std::filesystem::is_directory(FsPath(folder))) return {};
    std::string path;
    do {
      char number[16];
      std::snprintf(number, sizeof number, "%X", ++tempFileCounter);
      path = AddBackslash(folder) + prefix.substr(0, 3) + number + ".tmp";
    } while (std::filesystem::exists(FsPath(path)));
    std::ofstream(FsPath(path)).close();
    return path;
  }
  std::string CurrentDirectory() override { return currentDirectory; }
  int ChangeDirectory(const std::string& folder) override {
    if (!std::filesystem::is_directory(FsPath(folder))) return 76;
    currentDirectory = folder;
    return 0;
  }
  bool CreateFolders(const std::string& folder) override {
    std::error_code ec;
    std::filesystem::create_directories(FsPath(folder), ec);
    return std::filesystem::is_directory(FsPath(folder), ec);
  }
};

// Every command line started with its program and arguments ("program|arg|arg..."), and
// what the started program does: by default it ends at once with exit code 0.
struct FakeProcesses : ProcessService {
  std::vector<std::string> startedCommands;
  std::vector<std::string> startedArguments;
  std::function<std::uint32_t(const std::string&)> runProcess;
  bool startFails = false;
  std::map<std::string, std::string> runningProcessFolders;

  // No other process writes beside this one.
  std::uint32_t ProcessId() override { return 4242; }
  bool ProcessAlive(std::uint32_t) override { return true; }

  // A started program that has ended already.
  struct FakeChild : ChildProcess {
    std::uint32_t code = 0;
    bool Finished(std::uint32_t& exitCode) override {
      exitCode = code;
      return true;
    }
    void WaitBriefly() override {}
  };
  std::unique_ptr<ChildProcess> StartProcess(const ProcessStart& start, int) override {
    if (startFails) throw RuntimeError(53, "StartProcess", "File not found");
    startedCommands.push_back(start.commandLine);
    std::string arguments = start.program;
    for (const std::string& argument : start.arguments) arguments += "|" + argument;
    startedArguments.push_back(arguments);
    auto child = std::make_unique<FakeChild>();
    child->code = runProcess ? runProcess(start.commandLine) : 0;
    return child;
  }
  std::string FindProcessFolder(const std::string& exeName) override {
    return runningProcessFolders.contains(exeName) ? runningProcessFolders.at(exeName) : "";
  }
};

struct FakeUserValues : UserValueService {
  std::map<std::pair<std::string, std::string>, std::string> userValues;
  // Locks by name: -1 held alone, else the number of shared holders. Nothing waits here.
  std::map<std::string, int> userLocks;

  std::string ReadUserValue(const std::string& key, const std::string& name) override {
    return userValues.contains({key, name}) ? userValues.at({key, name}) : "";
  }
  bool WriteUserValue(const std::string& key, const std::string& name,
                      const std::string& value) override {
    userValues[{key, name}] = value;
    return true;
  }
  bool DeleteUserValue(const std::string& key, const std::string& name) override {
    return userValues.erase({key, name}) > 0;
  }
  std::unique_ptr<HeldFile> TakeUserLock(const std::string& name, LockMode mode) override {
    const bool shared = mode == LockMode::Shared;
    int& holders = userLocks[name];
    if (holders < 0 || (!shared && holders > 0)) return nullptr;
    holders = shared ? holders + 1 : -1;
    auto held = std::make_unique<FakeHeld>();
    held->release = [this, name, shared] { userLocks[name] = shared ? userLocks[name] - 1 : 0; };
    return held;
  }
};

// Crypto delegates to the provider the test installs (the system's in most tests).
struct FakeCrypto : CryptoProvider {
  CryptoProvider* crypto = nullptr;
  bool Digest(HashAlgorithm algorithm, std::span<const std::uint8_t> data,
              std::vector<std::uint8_t>& digest) override {
    return crypto->Digest(algorithm, data, digest);
  }
  bool HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data,
                  std::vector<std::uint8_t>& mac) override {
    return crypto->HmacSha256(key, data, mac);
  }
  std::uint32_t LastError() const override { return crypto->LastError(); }
};

// A platform whose every answer is set by the test: one fake per service, their fields
// and methods reachable on the platform itself (platform.now, platform.userValues).
struct FakePlatform : FakeMachine,
                      FakeLocale,
                      FakeClock,
                      FakeFiles,
                      FakeProcesses,
                      FakeUserValues,
                      FakeCrypto,
                      Platform {
  FakePlatform() : Platform(*this, *this, *this, *this, *this, *this, *this) {
    NoteLocksOnFailure();
  }
  // A copy holds copies of the services and refers to them, not to the original's.
  FakePlatform(const FakePlatform& other)
      : FakeMachine(other),
        FakeLocale(other),
        FakeClock(other),
        FakeFiles(other),
        FakeProcesses(other),
        FakeUserValues(other),
        FakeCrypto(other),
        Platform(*this, *this, *this, *this, *this, *this, *this),
        locksAtFailure(other.locksAtFailure) {
    NoteLocksOnFailure();
  }
  FakePlatform& operator=(const FakePlatform&) = delete;

  std::map<std::string, int> locksAtFailure;  // userLocks when the failing step came

 private:
  void NoteLocksOnFailure() {
    onFailure = [this] { locksAtFailure = userLocks; };
  }
};

}  // namespace tavrin::testing
