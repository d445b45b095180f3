#pragma once

// Support for the end-to-end tests: a sample host installation laid out in a temporary
// folder (the stand-in import tool, a versioned host executable stub, the plug-in with its
// language files), a runner for the built programs with scripted standard input, and
// readers for what the stand-in recorded.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, std::string_view text);
// Lines of a text without their line ends (CR LF or LF).
std::vector<std::string> SplitLines(std::string_view text);
// Computer and user name the way the plug-in sees them.
std::string ComputerName();
std::string UserName();

// A program started with pipes on standard input and output (standard error is merged
// into the output). The destructor kills a program that is still running.
class Spawned {
 public:
  Spawned(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
          const fs::path& workingFolder);
  ~Spawned();
  Spawned(const Spawned&) = delete;
  Spawned& operator=(const Spawned&) = delete;

  void Write(std::string_view text);
  void CloseInput();
  // Reads output until it contains `text` or the time is up; true when found.
  bool WaitForOutput(std::string_view text, std::chrono::milliseconds timeout);
  // Waits for the end; the exit code, or nullopt when the time ran out (the program is
  // then killed) or it died from a signal.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  const std::string& Output() const { return output_; }

 private:
  // Reads what is available, waiting at most `timeout`; false at end of output.
  bool Pump(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int input_ = -1;
  int outputFd_ = -1;
  bool exited_ = false;
  std::string output_;
};

struct RunResult {
  std::optional<int> exitCode;
  std::string output;
};

// Runs a program to its end with the given standard input (closed afterwards).
RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
              const fs::path& workingFolder, std::string_view input,
              std::chrono::milliseconds timeout = 30s);

// One line of the stand-in's record: its name=value fields.
using Received = std::map<std::string, std::string>;

// A host installation below `root`: root/host (or another name) is the base folder (ox2.ini,
// Diaries with palist.xml, the host executable stub at version 3.0.2.0, _EXTRAS/KelsarImport.exe,
// the plug-in in _EXTRAS/KELSAR with its Language folder and a settings file that switches the
// data-age warning off, "_Extras" as a second spelling of "_EXTRAS"); root/home and root/tmp take
// HOME, XDG_CONFIG_HOME and TMPDIR of the programs started.
class SampleHost {
 public:
  explicit SampleHost(const fs::path& root, const std::string& baseName = "host");

  fs::path Base() const { return base_; }
  fs::path PluginFolder() const { return base_ / "_EXTRAS" / "KELSAR"; }
  fs::path Plugin() const { return PluginFolder() / "TavrinPlugin"; }
  fs::path SettingsFile() const { return PluginFolder() / "TavrinPlugin.ini"; }
  fs::path CurrentPatientFile() const;
  // The plug-in's per-computer-per-user folder (trace log, mapping store, dumps).
  fs::path ConfigFolder() const;
  fs::path Root() const { return root_; }
  // The database identifier of the sample patient list.
  static constexpr std::string_view kDatabaseId = "5C2E8A41-7B3D-4F90-A6E2-19D4C0B7F385";

  // Replaces the host executable by a stub carrying this version.
  void SetHostVersion(const std::string& version);
  // Writes the current-patient file from the template with the given diary file name.
  void OpenPatient(const std::string& diaryFileName = "PAT00017.dia");
  // Replaces the plug-in's settings file with these [Config] lines; the data-age warning
  // is off unless the lines set it.
  void WriteSettings(const std::string& configLines);
  // Writes an export file below root and returns its path.
  fs::path WriteExport(const std::string& name, const std::string& text) const;

  // HOME, XDG_CONFIG_HOME, TMPDIR and LANG into the root, plus any sanitizer options.
  std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;
  // Runs the plug-in with arguments and scripted answers.
  RunResult RunPlugin(const std::vector<std::string>& args, std::string_view input,
                      const std::vector<std::string>& extraEnvironment = {}) const;

  // The stand-in's record, one entry per call (none when the tool was never called).
  std::vector<Received> ReceivedLog() const;
  std::string TraceLog() const;

 private:
  fs::path root_;
  fs::path base_;
};

// A small export of the app: three points in time with glucose, insulin and
// carbohydrates, dated in the given year.
std::string SmallExport(int year = 2026);

// The first ten upper-case hexadecimal digits of the MD5 digest of a text.
std::string Md5Prefix(const std::string& text);

// The MAC the import tool expects over a document of the sample host: HMAC-SHA-256 under
// the shared key constant, the sample's database identifier and "}", in lower-case hex.
std::string SampleHostMac(std::string_view document);

}  // namespace tavrin::e2e
