#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavrin {

// A numbered run-time error: the one exception type through which procedures report
// failures that callers handle by number (5 invalid argument, 53 file not found,
// 457 key already present, the 0x8004C3xx numbers of the HMAC service, ...).
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::int64_t number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  std::int64_t Number() const noexcept { return number_; }
  const std::string& Source() const noexcept { return source_; }
  const std::string& Description() const noexcept { return description_; }

 private:
  std::int64_t number_;
  std::string source_;
  std::string description_;
};

// Common error numbers.
inline constexpr std::int64_t kErrInvalidArgument = 5;
inline constexpr std::int64_t kErrFileNotFound = 53;
inline constexpr std::int64_t kErrKeyAlreadyPresent = 457;

// Thrown by EndProgram: the controlled way out of the process. It deliberately does not
// derive from std::exception, so that handlers which catch run-time errors to carry on
// with the next step never swallow it; only the front end's top level catches it.
struct ProgramEnded {
  int exitCode = 0;
};

}  // namespace tavrin
