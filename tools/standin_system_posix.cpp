// The stand-in import tool on POSIX systems.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "standin_system.h"

extern char** environ;

namespace tavrin::standin {

namespace fs = std::filesystem;

std::vector<std::string> CommandArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

fs::path OwnPath(const char* argv0) {
  std::error_code ec;
  if (argv0 != nullptr && std::strchr(argv0, '/') != nullptr) {
    return fs::absolute(argv0, ec).lexically_normal();
  }
  return fs::read_symlink("/proc/self/exe", ec);
}

bool AppendLine(const fs::path& file, const std::string& line) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = line + '\n';
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return ::close(fd) == 0 && ok;
}

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

}  // namespace tavrin::standin
