#pragma once

// Support for the end-to-end tests: a sample host installation laid out in a temporary
// folder (the stand-in import tool, a versioned host executable stub, the plug-in with its
// language files), a runner for the built programs with scripted standard input, and a
// reader for what the stand-in recorded.

#include <sys/types.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::e2e {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, std::string_view text);

// A program started with its standard input on a pipe and its output (standard error
// merged) in an anonymous file. The destructor kills a program that is still running.
class Spawned {
 public:
  Spawned(std::vector<std::string> argv, std::vector<std::string> environment,
          const fs::path& workingFolder);
  ~Spawned();
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  // Writes the answers to the program's input, then closes it.
  void Answer(std::string_view text);
  // The exit code, or nullopt when a signal ended the program. A program that hangs is
  // ended by the test's time limit.
  std::optional<int> Wait();
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

struct RunResult {
  std::optional<int> exitCode;
  std::string output;
};

// One line of the stand-in's record: its name=value fields.
using Received = std::map<std::string, std::string>;

// These fields of a call, joined by blanks.
std::string Fields(const Received& call, std::initializer_list<const char*> names);
// The stand-in's verdict on a call: "check_ok mac_ok cwd_ok exit", "yes yes yes 0" when
// the document was imported.
inline std::string Verdict(const Received& call) {
  return Fields(call, {"check_ok", "mac_ok", "cwd_ok", "exit"});
}

// A host installation below `root`: root/"Orvolux Host" is the base folder, with a blank
// in its name as installations often have (ox2.ini, Diaries with palist.xml, the host
// executable stub at version 3.0.2.0, _EXTRAS/KelsarImport.exe, the plug-in in
// _EXTRAS/KELSAR with its Language folder and a settings file that switches the data-age
// warning off); root/home and root/tmp take
// HOME and TMPDIR of the programs started.
struct SampleHost {
  explicit SampleHost(const fs::path& rootFolder);

  const fs::path root;
  const fs::path base = root / "Orvolux Host";
  const fs::path pluginFolder = base / "_EXTRAS" / "KELSAR";
  const fs::path plugin = pluginFolder / "TavrinPlugin";
  const fs::path importTool = base / "_EXTRAS" / "KelsarImport.exe";
  // The plug-in's per-computer-per-user folder (trace log, mapping store, dumps, run
  // marker) and the host's current-patient file (in "_EXTRAS", which the plug-in names
  // "_Extras").
  const fs::path configFolder;
  const fs::path currentPatientFile;

  // Replaces the host executable by a stub carrying this version.
  void SetHostVersion(const std::string& version) const;
  // Writes the current-patient file from the template with the given diary file name.
  void OpenPatient(const std::string& diaryFileName = "PAT00017.dia") const;
  // Replaces the plug-in's settings file with this [Config] line; the data-age warning is
  // off unless the line sets it.
  void WriteSettings(const std::string& configLine) const;
  // An export of the app below root: three points in time with glucose, insulin and
  // carbohydrates, dated in the given year. Returns its path.
  std::string WriteExport(const std::string& name = "export.csv", int year = 2026) const;

  // HOME, TMPDIR and LANG into the root, sanitizer options, and `extra`.
  std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;
  // Runs a program from `folder` (the root unless given) to its end with these answers.
  RunResult Run(const std::vector<std::string>& argv, std::string_view answers = "",
                const std::vector<std::string>& extraEnvironment = {}, fs::path folder = {}) const;

  // The stand-in's record, one entry per call (none when the tool was never called).
  std::vector<Received> ReceivedLog() const;
  std::string TraceLog() const { return ReadFile(configFolder / "tVtrace.log"); }
};

}  // namespace tavrin::e2e
