#include "handover/import_call.h"

#include <array>
#include <cstdint>
#include <vector>

#include "handover/hs256.h"
#include "handover/mac_key.h"
#include "platform/host_discovery.h"
#include "platform/process_context.h"
#include "platform/system_info.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// The host's programs, relative to its base folder.
constexpr std::string_view kToolFolderName = "_EXTRAS";
constexpr std::string_view kImportToolName = "KelsarImport.exe";
std::string ImportToolPath() {
  return std::string(kToolFolderName) + kPathSep + std::string(kImportToolName);
}

// Hosts from this version on import through their own executable. A plain text
// comparison: "10.0.0.0" sorts before "3.1" and keeps the import tool.
bool HostImportsItself(std::string_view hostVersionText) {
  return hostVersionText >= std::string_view("3.1");
}

// A normal window with the focus, so that the tool's own windows (its login among them)
// come up in front of the plug-in.
constexpr int kNormalWindowWithFocus = 1;

// The program path in double quotes when its folder contains a blank.
std::string QuotedWhenBlank(const std::string& folder, const std::string& program) {
  if (folder.find(' ') == std::string::npos) return program;
  return "\"" + program + "\"";
}

// The host's base folder in its short form, with a trailing separator; the long form when
// the system has no short form for it.
std::string ShortBaseFolder(ProcessContext& context) {
  std::string longForm = AddBackslash(context.host.baseFolder);
  if (longForm.empty()) return longForm;
  return AddBackslash(ShortPath(context.platform, longForm));
}

// Refuses a path that a Windows command line cannot carry: a double quote anywhere, or a
// blank or tab in a path that goes in without quotes. Nothing has been handed over yet.
enum class Quoting { kUnquoted, kQuoted };
void RequireCarriedPath(ProcessContext& context, const std::string& path, Quoting quoting) {
  const bool quoted = quoting == Quoting::kQuoted;
  int message = 0;
  if (path.find('"') != std::string::npos) {
    message = 5711;
  } else if (!quoted && path.find_first_of(" \t") != std::string::npos) {
    message = 5710;
  }
  if (message != 0) {
    throw RuntimeError(kErrBadFileName, "HandOverToImportTool", context.Message(message, {path}));
  }
}

ProcessStart BuildImportCommand(ProcessContext& context, const HandOverRequest& request,
                                const std::string& mac) {
  // Form S takes the short folder, which normally has no blanks, so its program path goes
  // unquoted. A volume without short names hands back the long folder, blanks and all;
  // quoting it then keeps the program path in one piece.
  const bool shortForm = request.form == CommandForm::S;
  const std::string folder =
      shortForm ? ShortBaseFolder(context) : AddBackslash(context.host.baseFolder);
  RequireCarriedPath(context, folder, Quoting::kQuoted);
  RequireCarriedPath(context, request.filePath, Quoting::kUnquoted);
  const std::string jobSuffix = shortForm ? std::string() : request.jobSuffix;
  const bool hostImports = HostImportsItself(HostVersion(context));

  ProcessStart start;
  start.commandLine = QuotedWhenBlank(folder, folder + ImportToolPath()) + " import -filepath " +
                      request.filePath + " -filemac " + mac + jobSuffix;
  // The host switch replaces the tool's path wherever the text holds it; the argument
  // vector names the host executable only as the program and keeps the file path as it is.
  if (hostImports) {
    start.commandLine = ReplaceAll(start.commandLine, ImportToolPath(), kHostExeName);
  }
  start.program = folder + (hostImports ? std::string(kHostExeName) : ImportToolPath());
  start.arguments = {"import", "-filepath", request.filePath, "-filemac", mac};
  for (const std::string& word : SplitText(Trim(jobSuffix), " ")) {
    if (!word.empty()) start.arguments.push_back(word);
  }
  return start;
}

// Makes a folder the current one and puts the one before back when it goes out of scope.
class CurrentFolderChange {
 public:
  CurrentFolderChange(Platform& platform, TraceLog& trace)
      : platform_(platform), trace_(trace), saved_(platform.Files().CurrentDirectory()) {}
  CurrentFolderChange(const CurrentFolderChange&) = delete;
  CurrentFolderChange& operator=(const CurrentFolderChange&) = delete;
  ~CurrentFolderChange() {
    try {
      static_cast<void>(ChangeDirectory(platform_, saved_));  // best effort on the way out
    } catch (...) {
      // Nothing may leave a destructor, whatever it is: the folder that stays is traced.
      try {
        trace_.TryWrite("Current folder not restored: " + saved_);
      } catch (...) {
        // Not even the line could be made (out of memory); the destructor still ends.
      }
    }
  }
  void To(const std::string& folder) {
    if (const int error = ChangeDirectory(platform_, folder); error != 0) {
      throw ToolFolderError(error, folder);
    }
  }

 private:
  Platform& platform_;
  TraceLog& trace_;
  std::string saved_;
};

}  // namespace

std::string ComputeFileMac(ProcessContext& context, std::string_view documentText) {
  cHS256 hs(context.platform);
  std::vector<std::uint8_t> key;
  hs.ToUTF8(MacKeyText(context.host.databaseId), key);
  // A key serves one MAC only, so every MAC gets its own InitHmac.
  hs.InitHmac(key);
  std::vector<std::uint8_t> data;
  hs.ToUTF8(documentText, data);
  std::vector<std::uint8_t> mac;
  hs.HmacSha256(data, mac);
  return ToLower(cHS256::ByteArrayToHexString(mac));
}

std::string ToolFilePath(ProcessContext& context, const std::string& path) {
  std::string carried = path;
  const std::size_t separator = path.find_last_of(std::string{'/', '\\', kPathSep});
  if (path.find_first_of(" \t") != std::string::npos && separator != std::string::npos) {
    carried = AddBackslash(ShortPath(context.platform, path.substr(0, separator + 1))) +
              path.substr(separator + 1);
  }
  RequireCarriedPath(context, carried, Quoting::kUnquoted);
  return carried;
}

HandOverResult HandOverToImportTool(ProcessContext& context, const HandOverRequest& request) {
  HandOverResult call;
  call.mac = ComputeFileMac(context, request.document);
  const ProcessStart start = BuildImportCommand(context, request, call.mac);
  CurrentFolderChange folder(context.platform, context.trace);
  folder.To(ShortBaseFolder(context) + std::string(kToolFolderName) + kPathSep);
  call.commandLine = start.commandLine;
  const std::string traceLine = request.tracePrefix + call.commandLine;
  if (request.trace) {
    request.trace(traceLine);
  } else {
    context.trace.Write(traceLine);
  }
  if (request.beforeStart) request.beforeStart(call.mac);
  call.exitCode = ShellAndWait(context, start, kNormalWindowWithFocus);
  return call;
}

std::string ReplayCommandLine(ProcessContext& context, const std::string& filePath,
                              const std::string& mac) {
  const std::string folder = ShortBaseFolder(context);
  const std::string program = HostImportsItself(HostVersion(context))
                                  ? "\"" + folder + kHostExeName + "\""
                                  : folder + ImportToolPath();
  return program + " import -filepath " + filePath + " -filemac " + mac;
}

ImportToolExit ImportToolExitText(int exitCode) {
  struct Entry {
    const char* text;
    bool loginRelated;
  };
  // Indexed by exit code - 1.
  static constexpr std::array<Entry, 14> kTexts = {{
      {"Unknown error.", false},
      {"Missing Ctrl-File.", false},
      {"Missing Data-File.", false},
      {"Invalid file format.", false},
      {"Missing username.", true},
      {"Missing password.", true},
      {"Unknown patient", true},
      {"Missing access rights.", false},
      {"Cannot connect.", false},
      {"Validation error.", false},
      {"Missing server.", false},
      {"Login failed.", true},
      {"Unknown host.", false},
      {"Decrypt failed.", false},
  }};
  if (exitCode < 1 || exitCode > static_cast<int>(kTexts.size())) return {};
  const Entry& entry = kTexts[static_cast<std::size_t>(exitCode - 1)];
  return {entry.text, entry.loginRelated};
}

}  // namespace tavrin
