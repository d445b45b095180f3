#include "e2e/e2e_support.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "formats/golden_file.h"

namespace tavrin::e2e {

namespace {

// Writing to a program that has already ended must fail with an error, not end the test.
const bool kIgnoreSigpipe = [] {
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}();

// Computer and user name the way the plug-in joins them in its file names.
std::string ComputerAndUser() {
  char computer[256] = {};
  ::gethostname(computer, sizeof computer - 1);
  const passwd* entry = ::getpwuid(::geteuid());
  return std::string(computer) + "_" + (entry != nullptr ? entry->pw_name : "");
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// --- Spawned

Spawned::Spawned(std::vector<std::string> argv, std::vector<std::string> environment,
                 const fs::path& workingFolder) {
  int in[2];
  output_ = ::memfd_create("output", MFD_CLOEXEC);
  if (output_ < 0 || ::pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error(std::strerror(errno));
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, output_, STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, output_, STDERR_FILENO);
  ::posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  const int rc = ::posix_spawn(&pid_, argv.at(0).c_str(), &actions, nullptr, Pointers(argv).data(),
                               Pointers(environment).data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  input_ = in[1];
  if (rc != 0) throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
}

Spawned::~Spawned() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (input_ >= 0) ::close(input_);
  ::close(output_);
}

void Spawned::Answer(std::string_view text) {
  // The answers fit in the pipe at once; a program that no longer reads gets what it got.
  [[maybe_unused]] const ssize_t written = ::write(input_, text.data(), text.size());
  ::close(input_);
  input_ = -1;
}

std::string Spawned::Output() const {
  return ReadFile("/proc/self/fd/" + std::to_string(output_));
}

std::optional<int> Spawned::Wait() {
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
}

std::string Fields(const Received& call, std::initializer_list<const char*> names) {
  std::string text;
  for (const char* name : names) text += call.at(name) + " ";
  text.pop_back();
  return text;
}

// --- SampleHost

SampleHost::SampleHost(const fs::path& rootFolder)
    : root(rootFolder),
      configFolder(pluginFolder / "cfg" / ComputerAndUser()),
      currentPatientFile(pluginFolder / (ComputerAndUser() + ".txt")) {
  fs::copy(fs::path(TAVRIN_E2E_EXAMPLES) / "host", base, fs::copy_options::recursive);
  fs::copy_file(TAVRIN_E2E_STANDIN, importTool);
  fs::create_directories(pluginFolder);
  fs::copy_file(TAVRIN_E2E_PLUGIN, plugin);
  fs::copy(TAVRIN_E2E_LANGUAGE_DIR, pluginFolder / "Language", fs::copy_options::recursive);
  WriteSettings("");
  SetHostVersion("3.0.2.0");
  fs::create_directories(root / "home" / ".config");
  fs::create_directories(root / "tmp");
}

void SampleHost::SetHostVersion(const std::string& version) const {
  const fs::path exe = base / "Veltra Orvolux Software.exe";
  fs::remove(exe);
  Run({TAVRIN_E2E_VERSION_STUB, version, exe.string()});
}

void SampleHost::OpenPatient(const std::string& diaryFileName) const {
  std::string text =
      ReadFile(fs::path(TAVRIN_E2E_EXAMPLES) / "host" / "currentpatient.template.txt");
  const auto at = text.find("diary_filename=") + 15;
  text.replace(at, text.find('\r', at) - at, diaryFileName);
  WriteFile(currentPatientFile, text);
}

void SampleHost::WriteSettings(const std::string& configLine) const {
  // Unless a test asks for it, the data-age warning is off: the questions asked must not
  // depend on today's date compared with the export's.
  std::string text = "[Config]\r\n";
  if (!configLine.starts_with("ShowOldOrNewDataWarning=")) text += "ShowOldOrNewDataWarning=0\r\n";
  WriteFile(pluginFolder / "TavrinPlugin.ini", text + configLine + "\r\n");
}

std::string SampleHost::WriteExport(const std::string& name, int year) const {
  const std::string text = testing::GoldenFile("e2e/export.csv") + "\r\n";
  WriteFile(root / name,
            std::regex_replace(text, std::regex("\\.2026;"), "." + std::to_string(year) + ";"));
  return (root / name).string();
}

std::vector<std::string> SampleHost::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + (root / "home").string(),
                                  "TMPDIR=" + (root / "tmp").string(), "LANG=de_DE.UTF-8"};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

RunResult SampleHost::Run(const std::vector<std::string>& argv, std::string_view answers,
                          const std::vector<std::string>& extraEnvironment, fs::path folder) const {
  Spawned program(argv, Environment(extraEnvironment), folder.empty() ? root : folder);
  program.Answer(answers);
  const std::optional<int> exitCode = program.Wait();
  return {exitCode, program.Output()};
}

std::vector<Received> SampleHost::ReceivedLog() const {
  std::vector<Received> entries;
  std::istringstream lines(ReadFile(base / "standin-received.log"));
  const std::regex field("([^\t=]+)=([^\t]*)");
  for (std::string line; std::getline(lines, line);) {
    Received& entry = entries.emplace_back();
    for (std::sregex_iterator m(line.begin(), line.end(), field), end; m != end; ++m) {
      entry[(*m)[1]] = (*m)[2];
    }
  }
  return entries;
}

}  // namespace tavrin::e2e
