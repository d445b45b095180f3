// standin-import-tool: a stand-in for the host's import tool, for tests and the demo.
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
// can keep a hand-over open while other programs run.

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "handover/mac_key.h"
#include "standin_checks.h"

extern char** environ;

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
Arguments ParseArguments(int argc, char** argv) {
  Arguments args;
  int i = 1;
  if (i < argc && Lower(argv[i]) == "import") {
    args.importVerb = true;
    ++i;
  }
  while (i < argc && !args.unexpected) {
    const std::string_view token = argv[i++];
    std::optional<std::string>* value = nullptr;
    if (IsOption(token, "-filepath")) {
      value = &args.filePath;
    } else if (IsOption(token, "-filemac")) {
      value = &args.fileMac;
    } else if (IsOption(token, "-jobid")) {
      value = &args.jobId;
    }
    if (value == nullptr || value->has_value() || i >= argc) {
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
  for (int i = 0; i < 6000 && !fs::exists(gate, ec); ++i) ::usleep(10000);
}

// The tool's own path as it was started (argv[0] keeps a symlinked install in place);
// the resolved executable when argv[0] carries no folder.
fs::path OwnPath(const char* argv0) {
  std::error_code ec;
  if (argv0 != nullptr && std::strchr(argv0, '/') != nullptr) {
    return fs::absolute(argv0, ec).lexically_normal();
  }
  return fs::read_symlink("/proc/self/exe", ec);
}

fs::path HostBase(const fs::path& ownPath) {
  const fs::path folder = ownPath.parent_path();
  if (Lower(folder.filename().string()) == "_extras") return folder.parent_path();
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
  const fs::path folder = diary.front() == '/' ? fs::path(diary) : base / diary;
  const auto palist = ReadWholeFile(folder / "palist.xml");
  return palist ? DatabaseIdFromPatientList(*palist) : std::string();
}

std::string HmacSha256Hex(std::string_view key, std::string_view data) {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
           reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac,
           &length) == nullptr) {
    return "";
  }
  return Hex(std::string_view(reinterpret_cast<const char*>(mac), length), false);
}

std::string Sha256Hex(std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1) return "";
  return Hex(std::string_view(reinterpret_cast<const char*>(digest), length), false);
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

  // Appends the line with one write, so that lines of processes running one after the
  // other never interleave.
  bool AppendTo(const fs::path& file) const {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::string line = text_ + '\n';
    const bool ok = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(fd) == 0 && ok;
  }

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

// Starts "<base>/_EXTRAS/KELSAR/TavrinPlugin -jobid N" without a shell and waits for it.
// Returns its exit status text ("0", "signal 9", or "not started: ...").
std::string RunPluginForJob(const fs::path& base, const std::string& jobId) {
  const std::string program = (base / "_EXTRAS" / "KELSAR" / "TavrinPlugin").string();
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "STANDIN_FROM_JOB=", 17) != 0) env.emplace_back(*e);
  }
  env.push_back("STANDIN_FROM_JOB=" + jobId);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string arg0 = program;
  std::string arg1 = "-jobid";
  std::string arg2 = jobId;
  char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};

  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data());
  if (rc != 0) return std::string("not started: ") + std::strerror(rc);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return "lost";
  }
  if (WIFEXITED(status)) return std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "unknown";
}

int Run(int argc, char** argv) {
  const fs::path ownPath = OwnPath(argc > 0 ? argv[0] : nullptr);
  const fs::path base = HostBase(ownPath);
  const Arguments args = ParseArguments(argc, argv);
  const bool asHost = Lower(ownPath.filename().string()) == "veltra orvolux software.exe";
  WaitForGate();

  LogLine line;
  int code = 0;
  std::string kind = "none";
  const std::string filePath = args.filePath.value_or("");
  std::optional<std::string> content;
  if (!args.importVerb || args.unexpected) {
    code = kUnknownError;
  } else if (filePath.empty() || !(content = ReadWholeFile(filePath))) {
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
    std::fprintf(stderr, "standin: cannot append to %s\n", logFile.c_str());
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
