#include "e2e/e2e_support.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
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

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Hard links are quick; across file systems the programs are copied.
void LinkOrCopy(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_hard_link(from, to, ec);
  if (ec) fs::copy_file(from, to, fs::copy_options::overwrite_existing);
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

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(pos, end - pos));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  return lines;
}

std::string ComputerName() {
  std::array<char, 256> buffer{};
  if (::gethostname(buffer.data(), buffer.size() - 1) != 0) return "";
  return buffer.data();
}

std::string UserName() {
  const passwd* entry = ::getpwuid(::geteuid());
  if (entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

// --- Spawned

Spawned::Spawned(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const fs::path& workingFolder) {
  int in[2];
  int out[2];
  Check(::pipe2(in, O_CLOEXEC) == 0, "pipe");
  Check(::pipe2(out, O_CLOEXEC) == 0, "pipe");
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  ::posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());

  std::vector<std::string> args = argv;
  std::vector<std::string> env = environment;
  std::vector<char*> argp;
  std::vector<char*> envp;
  for (auto& a : args) argp.push_back(a.data());
  for (auto& e : env) envp.push_back(e.data());
  argp.push_back(nullptr);
  envp.push_back(nullptr);
  const int rc =
      ::posix_spawn(&pid_, args.at(0).c_str(), &actions, nullptr, argp.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  outputFd_ = out[0];
  if (rc != 0) {
    ::close(input_);
    ::close(outputFd_);
    errno = rc;
    Check(false, "cannot start " + args[0]);
  }
  ::fcntl(outputFd_, F_SETFL, ::fcntl(outputFd_, F_GETFL) | O_NONBLOCK);
}

Spawned::~Spawned() {
  if (!exited_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (input_ >= 0) ::close(input_);
  if (outputFd_ >= 0) ::close(outputFd_);
}

void Spawned::Write(std::string_view text) {
  while (!text.empty() && input_ >= 0) {
    const ssize_t n = ::write(input_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the program no longer reads
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

void Spawned::CloseInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

bool Spawned::Pump(std::chrono::milliseconds timeout) {
  if (outputFd_ < 0) return false;
  pollfd fd{outputFd_, POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) return true;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(outputFd_, buffer, sizeof buffer);
    if (n > 0) {
      output_.append(buffer, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    ::close(outputFd_);  // end of output
    outputFd_ = -1;
    return false;
  }
}

bool Spawned::WaitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (output_.find(text) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= 0ms || !Pump(std::min(left, 100ms))) return output_.find(text) != std::string::npos;
  }
  return true;
}

std::optional<int> Spawned::Wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    // Keep draining the output so that a talkative program never blocks on a full pipe.
    const bool open = Pump(10ms);
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      exited_ = true;
      output_ += "\n[killed: time ran out]\n";
      return std::nullopt;
    }
    if (!open) std::this_thread::sleep_for(10ms);
  }
  exited_ = true;
  // Collect what the program wrote before it ended.
  while (outputFd_ >= 0) {
    pollfd fd{outputFd_, POLLIN, 0};
    if (::poll(&fd, 1, 0) <= 0 || !Pump(0ms)) break;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  output_ += "\n[ended by signal " + std::to_string(WTERMSIG(status)) + "]\n";
  return std::nullopt;
}

RunResult Run(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
              const fs::path& workingFolder, std::string_view input,
              std::chrono::milliseconds timeout) {
  Spawned program(argv, environment, workingFolder);
  program.Write(input);
  program.CloseInput();
  RunResult result;
  result.exitCode = program.Wait(timeout);
  result.output = program.Output();
  return result;
}

// --- SampleHost

SampleHost::SampleHost(const fs::path& root, const std::string& baseName)
    : root_(root), base_(root / baseName) {
  const fs::path examples = TAVRIN_E2E_EXAMPLES;
  fs::create_directories(base_);
  fs::copy(examples / "host", base_, fs::copy_options::recursive);
  fs::remove(base_ / "currentpatient.template.txt");
  fs::remove(base_ / "_EXTRAS" / ".gitkeep");

  LinkOrCopy(TAVRIN_E2E_STANDIN, base_ / "_EXTRAS" / "KelsarImport.exe");
  fs::create_directories(PluginFolder());
  LinkOrCopy(TAVRIN_E2E_PLUGIN, Plugin());
  fs::copy(TAVRIN_E2E_LANGUAGE_DIR, PluginFolder() / "Language", fs::copy_options::recursive);
  // The host writes its current-patient file below "_Extras"; on a case-sensitive file
  // system both spellings must lead to the same folder.
  fs::create_directory_symlink("_EXTRAS", base_ / "_Extras");
  WriteSettings("");

  SetHostVersion("3.0.2.0");

  fs::create_directories(root_ / "home" / ".config");
  fs::create_directories(root_ / "tmp");
}

void SampleHost::SetHostVersion(const std::string& version) {
  const fs::path exe = base_ / "Veltra Orvolux Software.exe";
  fs::remove(exe);
  const RunResult stub =
      Run({TAVRIN_E2E_VERSION_STUB, version, exe.string()}, Environment(), root_, "", 10s);
  if (stub.exitCode != 0) throw std::runtime_error("make-version-stub failed: " + stub.output);
}

fs::path SampleHost::CurrentPatientFile() const {
  return base_ / "_Extras" / "KELSAR" / (ComputerName() + "_" + UserName() + ".txt");
}

fs::path SampleHost::ConfigFolder() const {
  return PluginFolder() / "cfg" / (ComputerName() + "_" + UserName());
}

void SampleHost::OpenPatient(const std::string& diaryFileName) {
  std::string text =
      ReadFile(fs::path(TAVRIN_E2E_EXAMPLES) / "host" / "currentpatient.template.txt");
  const std::string key = "diary_filename=";
  const auto at = text.find(key);
  const auto end = text.find('\r', at);
  text.replace(at + key.size(), end - at - key.size(), diaryFileName);
  WriteFile(CurrentPatientFile(), text);
}

void SampleHost::WriteSettings(const std::string& configLines) {
  std::string text = "[Config]\r\n";
  // Unless a test asks for it, the data-age warning is off: the questions asked must not
  // depend on today's date compared with the export's.
  if (configLines.find("ShowOldOrNewDataWarning=") == std::string::npos) {
    text += "ShowOldOrNewDataWarning=0\r\n";
  }
  for (const std::string& line : SplitLines(configLines)) text += line + "\r\n";
  WriteFile(SettingsFile(), text);
}

fs::path SampleHost::WriteExport(const std::string& name, const std::string& text) const {
  const fs::path path = root_ / name;
  WriteFile(path, text);
  return path;
}

std::vector<std::string> SampleHost::Environment(const std::vector<std::string>& extra) const {
  std::vector<std::string> env = {
      "PATH=/usr/bin:/bin",
      "HOME=" + (root_ / "home").string(),
      "XDG_CONFIG_HOME=" + (root_ / "home" / ".config").string(),
      "TMPDIR=" + (root_ / "tmp").string(),
      "LANG=de_DE.UTF-8",
  };
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

RunResult SampleHost::RunPlugin(const std::vector<std::string>& args, std::string_view input,
                                const std::vector<std::string>& extraEnvironment) const {
  std::vector<std::string> argv = {Plugin().string()};
  argv.insert(argv.end(), args.begin(), args.end());
  return Run(argv, Environment(extraEnvironment), root_, input);
}

std::vector<Received> SampleHost::ReceivedLog() const {
  std::vector<Received> entries;
  for (const std::string& line : SplitLines(ReadFile(base_ / "standin-received.log"))) {
    if (line.empty()) continue;
    Received fields;
    std::size_t pos = 0;
    while (pos <= line.size()) {
      auto end = line.find('\t', pos);
      if (end == std::string::npos) end = line.size();
      const std::string field = line.substr(pos, end - pos);
      const auto eq = field.find('=');
      if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
      pos = end + 1;
    }
    entries.push_back(std::move(fields));
  }
  return entries;
}

std::string SampleHost::TraceLog() const {
  return ReadFile(ConfigFolder() / "tVtrace.log");
}

std::string SmallExport(int year) {
  const std::string header =
      SplitLines(ReadFile(fs::path(TAVRIN_E2E_EXAMPLES) / "sample-export.csv")).at(0);
  // Date, time, glucose (index 3), bolus insulin (4), carbohydrates (11).
  struct Row {
    const char* day;
    const char* time;
    const char* glucose;
    const char* bolus;
    const char* carbs;
  };
  const Row rows[] = {{"02.11.", "06:52", "106", "", ""},
                      {"02.11.", "12:20", "127", "3", "70"},
                      {"03.11.", "07:39", "", "5,5", "45"}};
  std::string text = header + "\r\n";
  for (const Row& row : rows) {
    std::array<std::string, 36> fields;
    fields[0] = row.day + std::to_string(year);
    fields[1] = row.time;
    fields[2] = "CET";
    fields[3] = row.glucose;
    fields[4] = row.bolus;
    fields[11] = row.carbs;
    fields[31] = "Tavrin App";
    for (std::size_t i = 0; i < fields.size(); ++i) text += (i ? ";" : "") + fields[i];
    text += "\r\n";
  }
  return text;
}

namespace {

std::string LowerHex(const unsigned char* bytes, unsigned int length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[bytes[i] >> 4];
    hex += kDigits[bytes[i] & 15];
  }
  return hex;
}

}  // namespace

std::string SampleHostMac(std::string_view document) {
  const std::string key = std::string(kMacKeyConstant) + std::string(SampleHost::kDatabaseId) + "}";
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
       reinterpret_cast<const unsigned char*>(document.data()), document.size(), mac, &length);
  return LowerHex(mac, length);
}

std::string Md5Prefix(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
  std::string hex = LowerHex(digest, length).substr(0, 10);
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return hex;
}

}  // namespace tavrin::e2e
