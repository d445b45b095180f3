#pragma once

#include <string>
#include <string_view>

namespace tavrin {

class ProcessContext;

// The hand-over to the host's import tool: the MAC over an import document, the tool's
// command line and the meaning of its exit codes.

// HMAC-SHA-256 of the document's UTF-8 bytes under the key built from the host's patient
// database identifier, as 64 lower-case hexadecimal digits. The document text is exactly
// what is written (as UTF-8 without byte-order mark) to the file the tool receives.
std::string ComputeFileMac(ProcessContext& context, std::string_view documentText);

// The host's base folder in its short form, with a trailing separator; the long form when
// the system has no short form for it.
std::string ShortBaseFolder(ProcessContext& context);

// S: XML calls and the second step of a transfer job; the short base folder, no job
// suffix. L: JSON calls; the long base folder, with the job suffix appended. Either form
// quotes the program path when its folder holds a blank (for S only when the system has
// no short form for the folder).
enum class CommandForm { S, L };

// The import tool's command line. The file path is inserted as it stands.
std::string BuildImportCommand(ProcessContext& context, CommandForm form,
                               const std::string& filePath, const std::string& mac,
                               const std::string& jobSuffix);

// Hosts from version "3.1" on (plain text comparison) import through their own executable:
// every occurrence of the import tool's relative path is replaced by the host executable's
// name, the arguments stay.
std::string ApplyHostSwitch(std::string_view commandLine, std::string_view hostVersionText);

// The import tool's exit code in words. Codes without a text (0 = success, unknown codes)
// give an empty text; loginRelated marks the failures of the host's user login.
struct ImportToolExit {
  std::string text;
  bool loginRelated = false;
};
ImportToolExit ImportToolExitText(int exitCode);

}  // namespace tavrin
