#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/profile_strings.h"
#include "shared/codepage.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"

namespace tavrin::testing {

// A platform whose every answer is set by the test. Text conversions use Windows-1252;
// profile strings use the portable reader and writer; crypto delegates to the provider
// the test installs (the OpenSSL one in most tests).
struct FakePlatform : Platform {
  std::string programPath = "/tmp/tavrin-test/TavrinPlugin";
  std::string computerName = "PC1";
  std::string userName = "anna";
  std::map<std::string, std::string> environment;
  std::map<int, std::string> localeInfo;
  RegionalSettings regional = RegionalSettings::German();
  DateTime now{2026, 12, 4, 23, 35, 8};
  int utcBiasMinutes = -60;
  OsVersionInfo osVersion{6, 1, 2, 1, true, "", ""};
  bool zipCreatable = false;
  bool zipRegisterSucceeds = false;
  std::set<std::string> normalAttributeCalls;
  std::set<std::string> heldFiles;  // paths held by "another process"
  CryptoProvider* crypto = nullptr;
  std::set<std::string> lockedFiles;  // files "another program" has open
  std::string tempPath;
  std::string currentDirectory = "/";
  std::map<std::pair<std::string, std::string>, std::string> userValues;
  // Every command line started, and what the started program does: by default it ends
  // at once with exit code 0.
  std::vector<std::string> startedCommands;
  std::function<std::uint32_t(const std::string&)> runProcess;
  bool startFails = false;
  std::map<std::string, std::string> runningProcessFolders;
  std::string clipboard;
  int tempFileCounter = 0;

  std::string ProgramPath() override { return programPath; }
  std::string ComputerName() override { return computerName; }
  std::string UserName() override { return userName; }
  std::string GetEnvironmentVariable(const std::string& name) override {
    return environment.contains(name) ? environment.at(name) : "";
  }
  std::string Utf8ToAnsi(std::string_view utf8) override { return Utf8ToWindows1252(utf8); }
  std::string AnsiToUtf8(std::string_view ansi) override { return Windows1252ToUtf8(ansi); }
  std::string LocaleInfo(int type) override {
    return localeInfo.contains(type) ? localeInfo.at(type) : "";
  }
  RegionalSettings Regional() override { return regional; }
  DateTime Now() override { return now; }
  int UtcBiasMinutes(const DateTime&) override { return utcBiasMinutes; }
  OsVersionInfo OsVersion() override { return osVersion; }
  std::string ShortPath(const std::string& path) override { return path; }
  bool CreateZipComponent() override { return zipCreatable; }
  bool RegisterZipComponent(const std::string&) override {
    if (zipRegisterSucceeds) zipCreatable = true;
    return zipRegisterSucceeds;
  }
  void SetNormalAttributes(const std::string& path) override { normalAttributeCalls.insert(path); }

  struct FakeHeld : HeldFile {
    std::function<void()> release;
    ~FakeHeld() override { release(); }
  };
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override {
    if (!heldFiles.insert(path).second) return nullptr;
    auto held = std::make_unique<FakeHeld>();
    held->release = [this, path] { heldFiles.erase(path); };
    return held;
  }

  bool CanOpenExclusively(const std::string& path) override {
    return !lockedFiles.count(path) && std::filesystem::is_regular_file(FsPath(path));
  }
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

  // A started program that has ended already.
  struct FakeChild : ChildProcess {
    std::uint32_t code = 0;
    bool Finished(std::uint32_t& exitCode) override {
      exitCode = code;
      return true;
    }
    void WaitBriefly() override {}
  };
  std::unique_ptr<ChildProcess> StartProcess(const std::string& commandLine, int) override {
    if (startFails) throw RuntimeError(53, "StartProcess", "File not found");
    startedCommands.push_back(commandLine);
    auto child = std::make_unique<FakeChild>();
    child->code = runProcess ? runProcess(commandLine) : 0;
    return child;
  }
  std::string FindProcessFolder(const std::string& exeName) override {
    return runningProcessFolders.contains(exeName) ? runningProcessFolders.at(exeName) : "";
  }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  std::uint64_t RandomSeed() override { return 12345; }

  std::string ReadProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& def) override {
    return ReadProfileStringFile(file, section, key, def);
  }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override {
    return WriteProfileStringFile(file, section, key, value);
  }
  std::vector<std::string> ReadProfileStrings(const std::string& file, const std::string& section,
                                              const std::vector<std::string>& keys,
                                              const std::string& def) override {
    return ReadProfileStringsFile(file, section, keys, def);
  }
  CryptoProvider& Crypto() override { return *crypto; }
};

}  // namespace tavrin::testing
