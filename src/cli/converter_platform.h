#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace tavrin {

// The platform of the batch converter: every answer comes from the real back end, except
// what the user fixed on the command line: the regional settings, so that an export
// written elsewhere reads the same on any machine.
class ConverterPlatform : public Platform {
 public:
  explicit ConverterPlatform(Platform& inner) : inner_(inner) {}

  void OverrideRegional(RegionalSettings regional) { regional_ = std::move(regional); }

  RegionalSettings Regional() override { return regional_ ? *regional_ : inner_.Regional(); }
  std::string ReadProfileString(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& defaultValue) override {
    return inner_.ReadProfileString(file, section, key, defaultValue);
  }

  std::string ProgramPath() override { return inner_.ProgramPath(); }
  std::string ComputerName() override { return inner_.ComputerName(); }
  std::string UserName() override { return inner_.UserName(); }
  std::string GetEnvironmentVariable(const std::string& name) override {
    return inner_.GetEnvironmentVariable(name);
  }
  std::string Utf8ToAnsi(std::string_view utf8) override { return inner_.Utf8ToAnsi(utf8); }
  std::string AnsiToUtf8(std::string_view ansi) override { return inner_.AnsiToUtf8(ansi); }
  std::string LocaleInfo(int type) override { return inner_.LocaleInfo(type); }
  DateTime Now() override { return inner_.Now(); }
  int UtcBiasMinutes(const DateTime& local) override { return inner_.UtcBiasMinutes(local); }
  OsVersionInfo OsVersion() override { return inner_.OsVersion(); }
  std::string ShortPath(const std::string& path) override { return inner_.ShortPath(path); }
  bool CreateZipComponent() override { return inner_.CreateZipComponent(); }
  bool RegisterZipComponent(const std::string& libraryPath) override {
    return inner_.RegisterZipComponent(libraryPath);
  }
  void SetNormalAttributes(const std::string& path) override { inner_.SetNormalAttributes(path); }
  std::unique_ptr<HeldFile> HoldFile(const std::string& path) override {
    return inner_.HoldFile(path);
  }
  bool CanOpenExclusively(const std::string& path) override {
    return inner_.CanOpenExclusively(path);
  }
  PathFacts InspectPath(const std::string& path) override { return inner_.InspectPath(path); }
  std::optional<FileIdentity> IdentifyFile(const std::string& path) override {
    return inner_.IdentifyFile(path);
  }
  std::unique_ptr<WritableFile> OpenFileForWriting(const std::string& path, WriteMode mode,
                                                   std::uint32_t permissions) override {
    return inner_.OpenFileForWriting(path, mode, permissions);
  }
  bool RenameFile(const std::string& from, const std::string& to) override {
    return inner_.RenameFile(from, to);
  }
  bool RemoveFile(const std::string& path) override { return inner_.RemoveFile(path); }
  std::unique_ptr<HeldFile> RemoveOnInterrupt(const std::string& path) override {
    return inner_.RemoveOnInterrupt(path);
  }
  std::uint32_t ProcessId() override { return inner_.ProcessId(); }
  bool ProcessAlive(std::uint32_t id) override { return inner_.ProcessAlive(id); }
  std::string TempPath() override { return inner_.TempPath(); }
  std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) override {
    return inner_.CreateUniqueTempFile(folder, prefix);
  }
  std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
  int ChangeDirectory(const std::string& folder) override { return inner_.ChangeDirectory(folder); }
  bool CreateFolders(const std::string& folder) override { return inner_.CreateFolders(folder); }
  std::string ReadUserValue(const std::string& key, const std::string& name) override {
    return inner_.ReadUserValue(key, name);
  }
  bool WriteUserValue(const std::string& key, const std::string& name,
                      const std::string& value) override {
    return inner_.WriteUserValue(key, name, value);
  }
  bool DeleteUserValue(const std::string& key, const std::string& name) override {
    return inner_.DeleteUserValue(key, name);
  }
  std::vector<std::string> ReadUserValues(const std::string& key,
                                          const std::vector<std::string>& names) override {
    return inner_.ReadUserValues(key, names);
  }
  bool WriteUserValues(const std::string& key,
                       const std::vector<std::pair<std::string, std::string>>& values,
                       const std::vector<std::string>& deletions) override {
    return inner_.WriteUserValues(key, values, deletions);
  }
  std::unique_ptr<HeldFile> TakeUserLock(const std::string& name, LockMode mode) override {
    return inner_.TakeUserLock(name, mode);
  }
  std::unique_ptr<ChildProcess> StartProcess(const ProcessStart& start, int windowStyle) override {
    return inner_.StartProcess(start, windowStyle);
  }
  std::string FindProcessFolder(const std::string& exeName) override {
    return inner_.FindProcessFolder(exeName);
  }
  std::string DocumentsFolder() override { return inner_.DocumentsFolder(); }
  void SetClipboardText(const std::string& text) override { inner_.SetClipboardText(text); }
  bool OpenWithShell(const std::string& target) override { return inner_.OpenWithShell(target); }
  std::uint64_t RandomSeed() override { return inner_.RandomSeed(); }
  bool WriteProfileString(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value,
                          FileAccess access) override {
    return inner_.WriteProfileString(file, section, key, value, access);
  }
  CryptoProvider& Crypto() override { return inner_.Crypto(); }

 private:
  Platform& inner_;
  std::optional<RegionalSettings> regional_;
};

}  // namespace tavrin
