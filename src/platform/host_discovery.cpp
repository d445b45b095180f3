#include "platform/host_discovery.h"

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/end_program.h"
#include "platform/file_replace.h"
#include "platform/process_context.h"
#include "platform/settings.h"
#include "platform/system_info.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/ui.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr int kMsgHostNotFound = 5579;
constexpr int kMsgPatientListMissing = 5580;
constexpr int kMsgHostNotFoundRemedy = 5770;

// A candidate folder is usable when it is named and exists.
bool Usable(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(FsPath(folder), ec);
}

// Whether the folder (with trailing separator) ends with the given folder names, each
// followed by the separator, compared without regard to case.
bool EndsWithFolders(std::string_view folder, std::initializer_list<std::string_view> names) {
  std::string tail(1, kPathSep);
  for (std::string_view name : names) {
    tail += name;
    tail += kPathSep;
  }
  return folder.size() >= tail.size() &&
         EqualsNoCase(folder.substr(folder.size() - tail.size()), tail);
}

// The folder above (with trailing separator); empty when there is none.
std::string ParentFolder(std::string_view folder) {
  while (!folder.empty() && folder.back() == kPathSep) folder.remove_suffix(1);
  const std::size_t sep = folder.rfind(kPathSep);
  return sep == std::string_view::npos ? std::string() : std::string(folder.substr(0, sep + 1));
}

// `remedy`, when not empty, follows the message after an empty line.
[[noreturn]] void StopWithMessage(ProcessContext& context, int number,
                                  const std::string& remedy = {}) {
  const std::string text = context.Message(number);
  context.ui.ShowMessage(remedy.empty() ? text : text + "\r\n\r\n" + remedy, kProgramTitle,
                         MessageButtons::Ok, MessageIcon::Exclamation);
  EndProgram(context);
}

std::string FindBaseFolder(ProcessContext& context,
                           const std::optional<std::string>& namedBaseFolder) {
  const std::string programFolder = context.paths.ProgramFolder();
  std::string base;
  if (EndsWithFolders(programFolder, {"plugins"})) base = programFolder;
  if (base.empty()) {
    base =
        AddBackslash(namedBaseFolder ? *namedBaseFolder
                                     : ReadSetting(context.paths, "Config", "OXSWBaseFolder", ""));
  }
  if (!Usable(base) && EndsWithFolders(programFolder, {"_extras", "kelsar"})) {
    base = ParentFolder(programFolder);
    context.trace.Write("Base folder from plugin location.");
  }
  if (!Usable(base)) {
    const std::string running = FindProcessFolder(context, kHostExeName);
    if (Usable(running)) {
      base = AddBackslash(running) + "_extras" + kPathSep;
      context.trace.Write("Base folder from VT OX.exe process.");
    }
  }
  // The plug-in and companion locations lie one level below the installation.
  if (EndsWithFolders(base, {"_extras"}) || EndsWithFolders(base, {"plugins"})) {
    base = ParentFolder(base);
  }
  // Where the plug-in looked does not help a user; what to do does.
  if (!Usable(base)) {
    StopWithMessage(context, kMsgHostNotFound,
                    context.Message(kMsgHostNotFoundRemedy, {context.paths.SettingsFilePath()}));
  }
  return base;
}

// An absolute diary folder: a network share, a path with a drive, or (where "/" is the
// separator) a path from the root.
bool IsAbsoluteFolder(std::string_view folder) {
  if (folder.starts_with("\\\\")) return true;
  if (folder.find(":\\") != std::string_view::npos) return true;
  if (folder.find(std::string{':', kPathSep}) != std::string_view::npos) return true;
  return kPathSep == '/' && folder.starts_with('/');
}

std::string FindDiaryFolder(const std::string& base) {
  std::string value =
      ReadIniValue(FindHostPath(base, {"ox2.ini"}), "General", "DiaryFolder", "Diaries");
  // A key without a value names no folder; it counts as missing, like an absent key.
  if (value.empty()) value = "Diaries";
  value = HostPathToLocal(value);
  // Separators are unified before the trailing one is added, so that a value ending in
  // "/" does not end in two separators.
  value = AddBackslash(value);
  if (IsAbsoluteFolder(value)) return value;
  std::vector<std::string> names;
  for (std::string_view name : SplitText(value, std::string(1, kPathSep))) {
    if (!name.empty()) names.emplace_back(name);
  }
  return AddBackslash(FindHostPath(base, names));
}

// The GUID attribute of the opening PATIENTS tag, without quotes, apostrophes and braces.
std::string DatabaseIdentifier(const std::string& patientList) {
  const std::string tag = GetBetween(patientList, "<PATIENTS ", ">");
  std::string value = GetBetween(tag, "GUID=", " ");
  // Attributes may also be separated by tabs or line breaks.
  value = value.substr(0, value.find_first_of("\t\r\n"));
  std::string id;
  for (char c : value) {
    if (c != '"' && c != '\'' && c != '{' && c != '}') id += c;
  }
  return id;
}

}  // namespace

std::string HostPathToLocal(std::string_view path) {
  std::string local(path);
  for (char& c : local) {
    if (c == '/' || c == '\\') c = kPathSep;
  }
  return local;
}

std::string FindHostPath(const std::string& folder, const std::vector<std::string>& names) {
  std::string path = AddBackslash(folder);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string spelling = names[i];
    std::error_code ec;
    if (!std::filesystem::exists(FsPath(path + spelling), ec)) {
      // Case-sensitive file systems: the entry whose name differs only in case, the first
      // in name order so that the choice does not depend on the directory's order.
      std::optional<std::string> match;
      for (const auto& entry : std::filesystem::directory_iterator(FsPath(path), ec)) {
        const std::string name = PathText(entry.path().filename());
        if (EqualsNoCase(name, names[i]) && (!match || name < *match)) match = name;
      }
      if (match) spelling = *match;
    }
    path += spelling;
    if (i + 1 < names.size()) path += kPathSep;
  }
  return path;
}

void DetermineHostFolders(ProcessContext& context,
                          const std::optional<std::string>& namedBaseFolder) {
  ProcessContext::HostFolders& host = context.host;
  if (!host.baseFolder.empty()) return;

  const std::string base = FindBaseFolder(context, namedBaseFolder);
  const std::string diary = FindDiaryFolder(base);
  host.baseFolder = base;
  host.diaryFolder = diary;
  context.trace.Write("Base folder: " + base);
  context.trace.Write("Diary folder used: " + diary);

  const std::string patientList = FindHostPath(diary, {"palist.xml"});
  if (!FileExists(patientList)) StopWithMessage(context, kMsgPatientListMissing);
  host.databaseId =
      DatabaseIdentifier(ReadFileBytes(patientList, kMaxPatientListBytes).value_or(std::string()));
}

std::string FindProcessFolder(ProcessContext& context, const std::string& exeName) {
  try {
    const std::string folder = context.platform.Processes().FindProcessFolder(exeName);
    return folder.empty() ? std::string() : AddBackslash(folder);
  } catch (const RuntimeError& error) {
    // No management service, no access: the running host is simply not found.
    context.trace.TryWrite("Running processes not searched: " + error.Detail());
    return "";
  }
}

std::string HostVersion(ProcessContext& context) {
  std::optional<std::string>& version = context.host.hostVersion;
  if (!version) version = FileVersionText(FindHostPath(context.host.baseFolder, {kHostExeName}));
  return *version;
}

int ChangeDirectory(Platform& platform, const std::string& folder) {
  return platform.Files().ChangeDirectory(folder);
}

std::uint32_t ShellAndWait(ProcessContext& context, const ProcessStart& start, int windowStyle) {
  const std::unique_ptr<ChildProcess> child =
      context.platform.Processes().StartProcess(start, windowStyle);
  if (!child) return 0;
  std::uint32_t exitCode = 0;
  while (!child->Finished(exitCode)) {
    context.ui.DoEvents();
    child->WaitBriefly();
  }
  return exitCode;
}

}  // namespace tavrin
