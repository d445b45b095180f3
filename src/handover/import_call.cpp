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

// The import tool, relative to the host's base folder.
std::string ImportToolPath() {
  return std::string("_EXTRAS") + kPathSep + "KelsarImport.exe";
}
// The first host version whose own executable takes over the import.
constexpr std::string_view kFirstSelfImportingVersion = "3.1";

// The program path in double quotes when its folder contains a blank.
std::string QuotedWhenBlank(const std::string& folder, const std::string& program) {
  if (folder.find(' ') == std::string::npos) return program;
  return "\"" + program + "\"";
}

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

std::string ShortBaseFolder(ProcessContext& context) {
  const std::string longForm = AddBackslash(context.host.baseFolder);
  if (longForm.empty()) return longForm;
  return AddBackslash(ShortPath(context.platform, longForm));
}

std::string BuildImportCommand(ProcessContext& context, CommandForm form,
                               const std::string& filePath, const std::string& mac,
                               const std::string& jobSuffix) {
  const std::string arguments = " import -filepath " + filePath + " -filemac " + mac;
  if (form == CommandForm::S) {
    // The short folder normally has no blanks and the program path goes unquoted. A volume
    // without short names hands back the long folder, blanks and all; quoting it then keeps
    // the program path in one piece.
    const std::string folder = ShortBaseFolder(context);
    return QuotedWhenBlank(folder, folder + ImportToolPath()) + arguments;
  }
  const std::string folder = AddBackslash(context.host.baseFolder);
  return QuotedWhenBlank(folder, folder + ImportToolPath()) + arguments + jobSuffix;
}

std::string ApplyHostSwitch(std::string_view commandLine, std::string_view hostVersionText) {
  // A plain text comparison: "10.0.0.0" sorts before "3.1" and keeps the import tool.
  if (hostVersionText < kFirstSelfImportingVersion) return std::string(commandLine);
  return ReplaceAll(commandLine, ImportToolPath(), kHostExeName);
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
