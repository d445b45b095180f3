#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/posix/posix_platform.h"

namespace tavrin::testing {

// Sets one environment variable (or clears it, for nullptr) until the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    Set(value);
  }
  ~ScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }

 private:
  void Set(const char* value) {
    value ? ::setenv(name_, value, 1) : ::unsetenv(name_);
    ::tzset();
  }
  const char* name_;
  std::optional<std::string> saved_;
};

// The POSIX back end with the program in a folder of the test's.
struct PlatformWithProgramAt : PosixPlatform {
  std::string program;
  std::string ProgramPath() override { return program; }
};

}  // namespace tavrin::testing
