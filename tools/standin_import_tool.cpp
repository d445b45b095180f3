// standin-import-tool: a stand-in for the host's import tool, for tests, the demo and the
// Windows smoke test (standin-import-tool.exe there).
//
//   KelsarImport.exe import -filepath FILE -filemac MAC [-jobid N]
//
// It checks what the real tool would check (the file exists, the HMAC-SHA-256 over its
// bytes matches, the document's own check value is right), appends one line describing
// the call to <host base>/standin-received.log and exits with the tool's exit code. After
// a successful JSON import with a job number it starts the plug-in again with "-jobid N",
// as the host does, and waits for it.
//
// The host base folder is the parent of the tool's folder when that folder is named
// _EXTRAS (any case), else the tool's own folder (when it stands in for the host
// executable). Environment: STANDIN_EXIT_CODE forces the exit code; STANDIN_FROM_JOB is
// set for the plug-in started for a job, so that the call it makes is logged with the job;
// STANDIN_GATE names a file the tool waits for before it reads the document, so that tests
// can keep a hand-over open while other programs run. What differs between systems sits
// behind standin_system.h.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "handover/mac_key.h"
#include "standin_checks.h"
#include "standin_system.h"

namespace tavrin::standin {
namespace {

namespace fs = std::filesystem;

struct Arguments {
  bool importVerb = false;
  std::optional<std::string> filePath;
  std::optional<std::string> fileMac;
  std::optional<std::string> jobId;
  // The first argument that has no place in the call; a path that reached the tool in
  // pieces shows up here, because every option takes exactly one argument.
  std::optional<std::string> unexpected;
};

bool IsOption(std::string_view token, std::string_view name) {
  return Lower(token) == name;
}

// "import" first, then each option once with exactly one value, in any order.
Arguments ParseArguments(const std::vector<std::string>& argv) {
  Arguments args;
  std::size_t i = 0;
  if (i < argv.size() && Lower(argv[i]) == "import") {
    args.importVerb = true;
    ++i;
  }
  while (i < argv.size() && !args.unexpected) {
    const std::string_view token = argv[i++];
    std::optional<std::string>* value = nullptr;
    if (IsOption(token, "-filepath")) {
      value = &args.filePath;
    } else if (IsOption(token, "-filemac")) {
      value = &args.fileMac;
    } else if (IsOption(token, "-jobid")) {
      value = &args.jobId;
    }
    if (value == nullptr || value->has_value() || i >= argv.size()) {
      args.unexpected = std::string(token);
    } else {
      *value = argv[i++];
    }
  }
  return args;
}

// Waits (at most a minute) until the file named by STANDIN_GATE exists.
void WaitForGate() {
  const char* gate = std::getenv("STANDIN_GATE");
  if (gate == nullptr || *gate == '\0') return;
  std::error_code ec;
  for (int i = 0; i < 6000 && !fs::exists(Utf8Path(gate), ec); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

fs::path HostBase(const fs::path& ownPath) {
  const fs::path folder = ownPath.parent_path();
  if (Lower(Utf8Of(folder.filename())) == "_extras") return folder.parent_path();
  return folder;
}

std::optional<std::string> ReadWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// The host's patient-database identifier: palist.xml in the diary folder named by
// ox2.ini ([General] DiaryFolder, "Diaries" by default, relative to the base folder).
std::string DatabaseId(const fs::path& base) {
  std::string diary = "Diaries";
  if (const auto ini = ReadWholeFile(base / "ox2.ini")) {
    if (auto value = IniValue(*ini, "General", "DiaryFolder"); value && !value->empty()) {
      diary = *value;
    }
  }
  std::replace(diary.begin(), diary.end(), '\\', '/');
  const fs::path folder = Utf8Path(diary).is_absolute() ? Utf8Path(diary) : base / Utf8Path(diary);
  const auto palist = ReadWholeFile(folder / "palist.xml");
  return palist ? DatabaseIdFromPatientList(*palist) : std::string();
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

// One log line: tab-separated name=value fields, so that paths with blanks stay intact.
class LogLine {
 public:
  void Add(std::string_view name, std::string_view value) {
    if (!text_.empty()) text_ += '\t';
    text_ += name;
    text_ += '=';
    for (const char c : value) text_ += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  }
  void AddCount(std::string_view name, std::size_t value) { Add(name, std::to_string(value)); }
  void AddFlag(std::string_view name, bool value) { Add(name, value ? "yes" : "no"); }

  bool AppendTo(const fs::path& file) const { return AppendLine(file, text_); }

 private:
  std::string text_;
};

// The forced exit code from STANDIN_EXIT_CODE, when it holds a number from 0 to 255.
std::optional<int> ForcedExitCode() {
  const char* text = std::getenv("STANDIN_EXIT_CODE");
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 0 || value > 255) {
    std::fprintf(stderr, "standin: ignoring STANDIN_EXIT_CODE=%s\n", text);
    return std::nullopt;
  }
  return static_cast<int>(value);
}

int Run(int argc, char** argv) {
  const fs::path ownPath = OwnPath(argc > 0 ? argv[0] : nullptr);
  const fs::path base = HostBase(ownPath);
  const Arguments args = ParseArguments(CommandArguments(argc, argv));
  const bool asHost = Lower(Utf8Of(ownPath.filename())) == "veltra orvolux software.exe";
  WaitForGate();

  LogLine line;
  int code = 0;
  std::string kind = "none";
  const std::string filePath = args.filePath.value_or("");
  std::optional<std::string> content;
  if (!args.importVerb || args.unexpected) {
    code = kUnknownError;
  } else if (filePath.empty() || !(content = ReadWholeFile(Utf8Path(filePath)))) {
    code = kMissingDataFile;
  } else if (content->starts_with("<?xml")) {
    kind = "xml";
  } else if (content->starts_with("{")) {
    kind = "json";
  } else {
    kind = "unknown";  // also a byte order mark, which the MAC and checks would not expect
    code = kInvalidFileFormat;
  }
  line.Add("kind", kind);
  line.Add("file", filePath);
  if (args.unexpected) line.Add("unexpected", *args.unexpected);

  bool macOk = false;
  if (content) {
    // The key: the constant shared with the plug-in, the database identifier, "}".
    const std::string key = std::string(kMacKeyConstant) + DatabaseId(base) + "}";
    macOk = args.fileMac && *args.fileMac == HmacSha256Hex(key, *content);
  }

  bool checkOk = false;
  if (kind == "xml") {
    const XmlFindings xml = CheckXmlDocument(*content);
    checkOk = xml.CheckMatches();
    line.AddCount("records", xml.records);
    line.Add("check", xml.check);
    line.AddFlag("check_ok", checkOk);
    line.Add("sn", xml.serial);
  } else if (kind == "json") {
    const JsonFindings json = ScanJsonDocument(*content);
    checkOk = json.found && Sha256Hex(json.withoutDigits) == json.checksum;
    line.AddCount("readings", json.readings);
    line.AddCount("sequences", json.sequences);
    line.AddCount("entries", json.entries);
    line.Add("check", json.checksum);
    line.AddFlag("check_ok", checkOk);
    line.Add("sn", json.serial);
  }
  if (code == 0 && (!macOk || !checkOk)) code = kValidationError;

  const std::optional<int> forced = ForcedExitCode();
  if (forced) code = *forced;

  const char* fromJob = std::getenv("STANDIN_FROM_JOB");
  line.AddFlag("mac_ok", macOk);
  line.Add("jobid", args.jobId.value_or(""));
  line.Add("from_job", fromJob != nullptr ? fromJob : "");
  line.Add("caller", asHost ? "host" : "tool");
  line.AddFlag("cwd_ok", SameFolder(fs::current_path(), base / "_EXTRAS"));
  line.Add("exit", std::to_string(code));
  line.AddFlag("forced", forced.has_value());
  line.Add("result", code == 0 ? "OK" : ExitText(code));
  const fs::path logFile = base / "standin-received.log";
  if (!line.AppendTo(logFile)) {
    std::fprintf(stderr, "standin: cannot append to %s\n", Utf8Of(logFile).c_str());
  }
  std::printf("standin import tool: %s\n", code == 0 ? "import done." : ExitText(code).c_str());
  std::fflush(stdout);

  if (code == 0 && kind == "json" && args.jobId) {
    LogLine followUp;
    followUp.Add("kind", "followup");
    followUp.Add("jobid", *args.jobId);
    followUp.Add("plugin_exit", RunPluginForJob(base, *args.jobId));
    followUp.AppendTo(logFile);
  }
  return code;
}

}  // namespace
}  // namespace tavrin::standin

int main(int argc, char** argv) {
  return tavrin::standin::Run(argc, argv);
}
