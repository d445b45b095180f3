#pragma once

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

namespace tavrin {

// The run-time error numbers the program reports. The small numbers keep the meanings of
// the classic Basic run-time errors that the host's support staff know from its other
// plug-ins; the 0x8004C3xx numbers belong to the HMAC service (source "HS256.").
enum ErrorNumber : std::int64_t {
  kErrInvalidArgument = 5,      // invalid procedure call or argument
  kErrOverflow = 6,             // a number too large for its type
  kErrOutOfMemory = 7,          // a store refused to grow
  kErrSubscript = 9,            // a position or field beyond the end (a short export header)
  kErrInternal = 51,            // a failure that carries no number of its own
  kErrBadFileName = 52,         // a path that cannot be handed to another program as it is
  kErrFileNotFound = 53,        // the file (or the program to start) does not exist
  kErrDeviceIo = 57,            // a write that did not reach the file
  kErrPathFileAccess = 75,      // a file or folder exists but cannot be read or written
  kErrPathNotFound = 76,        // a folder to change into does not exist
  kErrKeyAlreadyPresent = 457,  // a keyed collection already holds the key
  kErrFileChanged = 1001,       // a file was written to or replaced while it was read
  kErrHeaderInData = 1002,      // an export holds a second header with other units

  // HMAC service: Base64 and hexadecimal texts, keys, hashes and the provider.
  kErrHmacDecodedLength = 0x8004C302,  // a decoded Base64 text has no valid length
  kErrHmacEncodedLength = 0x8004C30A,  // an encoded text has no valid length
  kErrHmacDecodeString = 0x8004C312,   // a text that is not valid UTF-8 or Base64
  kErrHmacNoKey = 0x8004C322,          // a MAC asked for before InitHmac
  kErrHmacCreateHmac = 0x8004C32A,     // the provider refused the HMAC
  kErrHmacHashValue = 0x8004C334,      // the provider gave no SHA-256 value
  kErrHmacNoAesContext = 0x8004C342,   // no AES provider context
  kErrHmacNoBaseContext = 0x8004C352,  // no base provider context
  kErrHmacCreateHash = 0x8004C354,     // the provider refused a hash object
  kErrHmacHashValueMd5 = 0x8004C35A,   // the provider gave no MD5 value
  kErrHmacVersion = 0x8004C362,        // the system's version could not be read
  kErrHmacOldWindows = 0x8004C364,     // a system too old for SHA-256
};

// A numbered run-time error: the one exception type through which procedures report
// failures that callers handle by number.
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

  // "description (number)", the form in which messages and trace lines show the error.
  std::string Detail() const { return description_ + " (" + std::to_string(number_) + ")"; }

 private:
  std::int64_t number_;
  std::string source_;
  std::string description_;
};

// The errors raised in many places, each message built here once.

// 53 "File not found: " + path; without a path only "File not found".
inline RuntimeError FileNotFoundError(std::string source, const std::string& path) {
  return RuntimeError(kErrFileNotFound, std::move(source), "File not found: " + path);
}
inline RuntimeError FileNotFoundError(std::string source) {
  return RuntimeError(kErrFileNotFound, std::move(source), "File not found");
}

// 75 "Path/File access error: " + what (normally the path).
inline RuntimeError PathFileAccessError(std::string source, const std::string& what) {
  return RuntimeError(kErrPathFileAccess, std::move(source), "Path/File access error: " + what);
}

// 1001 "File changed while it was read: " + path.
inline RuntimeError FileChangedError(std::string source, const std::string& path) {
  return RuntimeError(kErrFileChanged, std::move(source),
                      "File changed while it was read: " + path);
}

// 6 "Overflow", or "Overflow: " + the text that overflowed.
inline RuntimeError OverflowError(std::string source, const std::string& text = {}) {
  return RuntimeError(kErrOverflow, std::move(source),
                      text.empty() ? std::string("Overflow") : "Overflow: " + text);
}

// 9 "Subscript out of range".
inline RuntimeError SubscriptError(std::string source) {
  return RuntimeError(kErrSubscript, std::move(source), "Subscript out of range");
}

// 7 "Out of memory".
inline RuntimeError OutOfMemoryError(std::string source) {
  return RuntimeError(kErrOutOfMemory, std::move(source), "Out of memory");
}

// 7 for a file larger than the program reads of its kind: "Out of memory: <path> is larger
// than the <limit> MiB the program reads of such a file". Holding it would take the memory
// that an out-of-memory error stands for, so it is reported as one.
inline RuntimeError FileTooLargeError(std::string source, const std::string& path,
                                      std::uint64_t limitBytes) {
  return RuntimeError(kErrOutOfMemory, std::move(source),
                      "Out of memory: " + path + " is larger than the " +
                          std::to_string(limitBytes >> 20) +
                          " MiB the program reads of such a file");
}

// The run-time error that a caught exception stands for: a RuntimeError as it is; a store
// that could not grow (std::bad_alloc, or a size beyond what a container can hold) as 7
// "Out of memory"; anything else as 51 with the exception's text. Handlers at the edge of
// a step call this, so that every failure reaches the user as a numbered error.
inline RuntimeError AsRuntimeError(const std::exception& error, std::string source) {
  if (const auto* runtime = dynamic_cast<const RuntimeError*>(&error)) return *runtime;
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
      dynamic_cast<const std::length_error*>(&error) != nullptr) {
    return OutOfMemoryError(std::move(source));
  }
  return RuntimeError(kErrInternal, std::move(source), error.what());
}

// Thrown by EndProgram: the controlled way out of the process. It deliberately does not
// derive from std::exception, so that handlers which catch run-time errors to carry on
// with the next step never swallow it; only the front end's top level catches it.
struct ProgramEnded {
  int exitCode = 0;
};

}  // namespace tavrin
