#include "e2e/e2e_support.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "handover/mac_key.h"

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

// Hard links are quick; across file systems the programs are copied.
void LinkOrCopy(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_hard_link(from, to, ec);
  if (ec) fs::copy_file(from, to);
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string GoldenDocument(const std::string& name) {
  const fs::path source = fs::path(TAVRIN_E2E_EXAMPLES).parent_path();
  std::string text;
  for (char c : ReadFile(source / "tests" / "data" / "formats" / name)) {
    if (c == '\n') text += '\r';
    if (c != '\r') text += c;
  }
  return text.substr(0, text.size() - 2);  // the file's final line break
}

// --- Spawned

Spawned::Spawned(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
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
  std::vector<std::string> args = argv;
  std::vector<std::string> env = environment;
  const auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
  };
  const int rc = ::posix_spawn(&pid_, args.at(0).c_str(), &actions, nullptr, pointers(args).data(),
                               pointers(env).data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  input_ = in[1];
  if (rc != 0) {
    ::close(input_);
    ::close(output_);
    throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
  }
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
  while (!text.empty()) {
    const ssize_t n = ::write(input_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the program no longer reads
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  ::close(input_);
  input_ = -1;
}

std::string Spawned::Output() const {
  std::string text;
  char buffer[4096];
  for (ssize_t n;
       (n = ::pread(output_, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

std::optional<int> Spawned::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;  // killed on leaving
    std::this_thread::sleep_for(10ms);
  }
  pid_ = -1;
  return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
}

std::string Verdict(const Received& call) {
  return call.at("check_ok") + " " + call.at("mac_ok") + " " + call.at("cwd_ok") + " " +
         call.at("exit");
}

// --- SampleHost

SampleHost::SampleHost(const fs::path& rootFolder)
    : root(rootFolder),
      configFolder(pluginFolder / "cfg" / ComputerAndUser()),
      currentPatientFile(pluginFolder / (ComputerAndUser() + ".txt")) {
  fs::create_directories(base);
  fs::copy(fs::path(TAVRIN_E2E_EXAMPLES) / "host", base, fs::copy_options::recursive);
  fs::remove(base / "currentpatient.template.txt");
  fs::remove(base / "_EXTRAS" / ".gitkeep");
  LinkOrCopy(TAVRIN_E2E_STANDIN, importTool);
  fs::create_directories(pluginFolder);
  LinkOrCopy(TAVRIN_E2E_PLUGIN, plugin);
  fs::copy(TAVRIN_E2E_LANGUAGE_DIR, pluginFolder / "Language", fs::copy_options::recursive);
  WriteSettings("");
  SetHostVersion("3.0.2.0");
  fs::create_directories(root / "home" / ".config");
  fs::create_directories(root / "tmp");
}

void SampleHost::SetHostVersion(const std::string& version) const {
  const fs::path exe = base / "Veltra Orvolux Software.exe";
  fs::remove(exe);
  const RunResult stub = Run({TAVRIN_E2E_VERSION_STUB, version, exe.string()});
  if (stub.exitCode != 0) throw std::runtime_error("make-version-stub failed: " + stub.output);
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
  std::string header;
  std::ifstream examples(fs::path(TAVRIN_E2E_EXAMPLES) / "sample-export.csv");
  std::getline(examples, header);
  std::string text = header.substr(0, header.find('\r')) + "\r\n";
  // Date, time, glucose (column 3), bolus insulin (4) and carbohydrates (11) of 36 columns.
  const char* rows[][5] = {{"02.11.", "06:52", "106", "", ""},
                           {"02.11.", "12:20", "127", "3", "70"},
                           {"03.11.", "07:39", "", "5,5", "45"}};
  for (const auto& r : rows) {
    text += r[0] + std::to_string(year) + ";" + r[1] + ";CET;" + r[2] + ";" + r[3] + ";;;;;;;" +
            r[4] + std::string(20, ';') + "Tavrin App;;;;\r\n";
  }
  WriteFile(root / name, text);
  return (root / name).string();
}

std::vector<std::string> SampleHost::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + (root / "home").string(),
                                  "XDG_CONFIG_HOME=" + (root / "home" / ".config").string(),
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
  const std::optional<int> exitCode = program.Wait(30s);
  return {exitCode, program.Output()};
}

RunResult SampleHost::RunPlugin(const std::vector<std::string>& args, std::string_view answers,
                                const std::vector<std::string>& extraEnvironment) const {
  std::vector<std::string> argv = {plugin.string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, answers, extraEnvironment);
}

std::vector<Received> SampleHost::ReceivedLog() const {
  std::vector<Received> entries;
  std::istringstream lines(ReadFile(base / "standin-received.log"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line.substr(0, line.find('\r')));
    Received& entry = entries.emplace_back();
    for (std::string field; std::getline(fields, field, '\t');) {
      const auto eq = field.find('=');
      if (eq != std::string::npos) entry[field.substr(0, eq)] = field.substr(eq + 1);
    }
  }
  return entries;
}

std::string SampleHostMac(std::string_view document) {
  const std::string key = std::string(kMacKeyConstant) + std::string(SampleHost::kDatabaseId) + "}";
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(document.data()), document.size(), mac, &length);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += "0123456789abcdef"[mac[i] >> 4];
    hex += "0123456789abcdef"[mac[i] & 15];
  }
  return hex;
}

}  // namespace tavrin::e2e
