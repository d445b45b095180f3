#include "platform/settings.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/platform.h"
#include "platform/profile_strings.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace fs = std::filesystem;

AppPaths::AppPaths(Platform& platform)
    : platform_(platform), programPath_(platform.Machine().ProgramPath()) {}

std::string AppPaths::ProgramFolder() const {
  return AddBackslash(PathText(FsPath(programPath_).parent_path()));
}

std::string AppPaths::ExeBaseName() const {
  return PathText(FsPath(programPath_).stem());
}

std::string AppPaths::SettingsFilePath() const {
  if (settingsFilePath_) return *settingsFilePath_;
  return ProgramFolder() + ExeBaseName() + ".ini";
}

std::string AppPaths::ConfigFolder() {
  if (!configFolder_) {
    configFolder_ =
        ProgramFolder() + "cfg" + kPathSep +
        MakeValidPath(platform_.Machine().ComputerName() + "_" + platform_.Machine().UserName());
  }
  // Created whenever it is missing, so that files below it can always be written; a
  // failure shows when the first file there is written. It holds the user's trace log,
  // serial numbers and dumps: the folders made on the way are for the user alone.
  std::error_code ec;
  if (!fs::is_directory(FsPath(*configFolder_), ec))
    platform_.Files().CreateFolders(*configFolder_);
  return *configFolder_;
}

std::string ReadIniValue(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue) {
  const std::string value = ReadProfileStringFile(file, section, key, defaultValue);
  return value.empty() ? std::string() : Trim(value);
}

std::vector<std::string> ReadIniValues(const std::string& file, const std::string& section,
                                       const std::vector<std::string>& keys,
                                       const std::string& defaultValue) {
  std::vector<std::string> values = ReadProfileStringsFile(file, section, keys, defaultValue);
  for (std::string& value : values) value = Trim(value);
  return values;
}

bool WriteIniValue(Platform& platform, const std::string& file, const std::string& section,
                   const std::string& key, const std::string& value, FileAccess access) {
  return WriteProfileStringFile(platform, file, section, key, value, access);
}

std::string ReadSetting(const AppPaths& paths, const std::string& section, const std::string& key,
                        const std::string& defaultValue) {
  return ReadIniValue(paths.SettingsFilePath(), section, key, defaultValue);
}

namespace {

// Whether the number a text starts with (blanks skipped, optional sign, digits, optional
// fraction) is other than zero. Only the digits matter: the value is zero exactly when
// all of them are "0", so long digit runs need no arithmetic.
bool LeadingNumberIsNonZero(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  for (; i < text.size() && IsAsciiDigit(text[i]); ++i) {
    if (text[i] != '0') return true;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && IsAsciiDigit(text[i]); ++i) {
      if (text[i] != '0') return true;
    }
  }
  return false;
}

}  // namespace

bool IsTrueText(std::string_view text) {
  if (LeadingNumberIsNonZero(text)) return true;
  const std::string upper = ToUpper(text);
  return upper == "TRUE" || upper == "WAHR" || upper == "JA" || upper == "YES";
}

namespace {

constexpr std::array<std::string_view, 22> kDeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool IsDeviceName(std::string_view component) {
  for (std::string_view name : kDeviceNames) {
    if (EqualsNoCase(component, name)) return true;
  }
  return false;
}

std::vector<std::string> SplitAt(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.emplace_back(text.substr(start, at == text.npos ? text.npos : at - start));
    if (at == text.npos) return parts;
    start = at + 1;
  }
}

}  // namespace

std::string MakeValidPath(std::string_view path) {
  const std::string doubleSep(2, kPathSep);

  // ".." steps take the component before them along.
  std::vector<std::string> resolved;
  for (std::string& component : SplitAt(path, kPathSep)) {
    if (component == "..") {
      if (!resolved.empty()) resolved.pop_back();
    } else {
      resolved.push_back(std::move(component));
    }
  }
  std::string text;
  for (std::size_t i = 0; i < resolved.size(); ++i) {
    if (i > 0) text += kPathSep;
    text += resolved[i];
  }
  if (!text.empty() && text.back() == kPathSep) text.pop_back();

  const bool unc = text.rfind(doubleSep, 0) == 0;
  if (unc) text.erase(0, 2);

  std::string result;
  for (std::string& component : SplitAt(text, kPathSep)) {
    if (IsDeviceName(component)) {
      component.insert(component.size() - 1, "-");
    } else {
      for (char& c : component) {
        if (std::string_view(":\\/?*<>|").find(c) != std::string_view::npos) c = '_';
      }
    }
    result += component;
    result += kPathSep;
  }
  if (unc) result.insert(0, doubleSep);
  if (path.size() >= 2 && path[1] == ':' && result.size() >= 2 && result[1] == '_') {
    result[1] = ':';
  }
  return result;
}

}  // namespace tavrin
