#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrin {

class Platform;
enum class FileAccess;

// Where the program keeps its files: the program folder, the settings file beside the
// executable, and the per-computer-per-user configuration folder below it.
class AppPaths {
 public:
  explicit AppPaths(Platform& platform);

  // The executable's folder with a trailing separator.
  std::string ProgramFolder() const;
  // The executable's name without folder and extension ("TavrinPlugin").
  std::string ExeBaseName() const;
  // SettingsFilePath: program folder + executable base name + ".ini", unless another
  // file was chosen with SetSettingsFilePath.
  std::string SettingsFilePath() const;
  // Makes another file the settings file (for a front end whose user names one).
  void SetSettingsFilePath(std::string path) { settingsFilePath_ = std::move(path); }
  // ConfigFolder: program folder + "cfg" + MakeValidPath(computer + "_" + user) + separator.
  // The path is computed once; the folder (with missing parents, each for the user alone)
  // is created whenever it is missing when the path is taken.
  std::string ConfigFolder();

 private:
  Platform& platform_;
  std::string programPath_;
  std::optional<std::string> configFolder_;
  std::optional<std::string> settingsFilePath_;
};

// Single values of foreign INI files, read and written with profile-string rules
// (platform/profile_strings.h), their values trimmed.
// A file that holds patient data is written with FileAccess::OwnerOnly.
std::string ReadIniValue(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue);
// ReadIniValue of several keys of one section, from one read of the file.
std::vector<std::string> ReadIniValues(const std::string& file, const std::string& section,
                                       const std::vector<std::string>& keys,
                                       const std::string& defaultValue);
bool WriteIniValue(Platform& platform, const std::string& file, const std::string& section,
                   const std::string& key, const std::string& value, FileAccess access);
// ReadIniValue on the settings file.
std::string ReadSetting(const AppPaths& paths, const std::string& section, const std::string& key,
                        const std::string& defaultValue);

// True when the leading number is not zero, or the text is TRUE, WAHR, JA or YES in any case.
bool IsTrueText(std::string_view text);
// Makes a path safe to create: ".." steps resolved, device names and reserved characters
// altered, a trailing separator added.
std::string MakeValidPath(std::string_view path);

}  // namespace tavrin
