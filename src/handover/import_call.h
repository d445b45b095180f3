#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "shared/error.h"

namespace tavrin {

class ProcessContext;

// The hand-over to the host's import tool: the MAC over an import document, the one
// routine that starts the tool with its command line, and the meaning of its exit codes.

// HMAC-SHA-256 of the document's UTF-8 bytes under the key built from the host's patient
// database identifier, as 64 lower-case hexadecimal digits. The document text is exactly
// what is written (as UTF-8 without byte-order mark) to the file the tool receives.
std::string ComputeFileMac(ProcessContext& context, std::string_view documentText);

// S: XML calls and the second step of a transfer job; the short base folder, no job
// suffix. L: JSON calls; the long base folder, with the job suffix appended. Either form
// quotes the program path when its folder holds a blank (for S only when the system has
// no short form for the folder). Hosts from version "3.1" on (plain text comparison)
// import through their own executable: the import tool's relative path is replaced by the
// host executable's name, the arguments stay.
enum class CommandForm { S, L };

// Every member has a default, so that callers name only what they set.
struct HandOverRequest {
  CommandForm form = CommandForm::S;
  // The file the tool imports, inserted into the command line as it stands.
  std::string filePath{};
  // The text written to that file; the MAC covers it. Read during the call only.
  std::string_view document{};
  // Form L only: " -jobid " + job number, or empty.
  std::string jobSuffix{};
  // The trace line before the start is this prefix + the command line.
  std::string tracePrefix = "Started transfer: ";
  // Runs after the trace line and before the tool starts, with the MAC (the import run
  // writes its replay batch files here). May throw; the tool is then not started.
  std::function<void(const std::string& mac)> beforeStart{};
  // Writes the trace line; when empty, the process's trace log, whose failure stops the
  // hand-over.
  std::function<void(const std::string& line)> trace{};
};

struct HandOverResult {
  std::string mac;
  std::string commandLine;
  std::uint32_t exitCode = 0;
};

// The import tool's folder (the short base folder + "_EXTRAS") could not be made the
// current folder: ChangeDirectory's error number (76 for a missing folder), source
// "ChangeDirectory", description "Path not found: " + folder.
class ToolFolderError : public RuntimeError {
 public:
  ToolFolderError(std::int64_t number, const std::string& folder)
      : RuntimeError(number, "ChangeDirectory", "Path not found: " + folder), folder_(folder) {}
  const std::string& Folder() const noexcept { return folder_; }

 private:
  std::string folder_;
};

// The path of a file for the import tool, in the form a Windows command line carries
// unquoted: when the path holds a blank, its folder in the short form (where the system has
// one). Throws RuntimeError 52 with message 5710 when a blank remains, and with message
// 5711 when the path holds a double quote.
std::string ToolFilePath(ProcessContext& context, const std::string& path);

// Hands one document to the import tool: computes the MAC, builds the command line and the
// argument vector, makes the tool's folder the current folder, writes the trace line, runs
// beforeStart, then starts the tool in a normal window with the focus and waits for its end
// (window messages keep being processed). The current folder is restored on every way
// out. A folder or file path the command line cannot carry (a double quote, a blank in the
// file path) is refused first, as ToolFilePath refuses it, before anything is traced or
// started. Throws ToolFolderError, the MAC's and the start's RuntimeError (53 for a
// program that cannot be started), and whatever beforeStart or trace throw. The exit code
// is 0 when the started program cannot be watched. User-interface thread only: the current
// folder belongs to the whole process.
HandOverResult HandOverToImportTool(ProcessContext& context, const HandOverRequest& request);

// The command line that hands a dump copy to the host again: the host executable in the
// short base folder, in double quotes, from host version "3.1" on, else the import tool
// there; then " import -filepath " + file + " -filemac " + mac.
std::string ReplayCommandLine(ProcessContext& context, const std::string& filePath,
                              const std::string& mac);

// The import tool's exit code in words. Codes without a text (0 = success, unknown codes)
// give an empty text; loginRelated marks the failures of the host's user login.
struct ImportToolExit {
  std::string text;
  bool loginRelated = false;
};
ImportToolExit ImportToolExitText(int exitCode);

}  // namespace tavrin
