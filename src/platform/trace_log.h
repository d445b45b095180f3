#pragma once

#include <string>
#include <string_view>

namespace tavrin {

class Platform;
class AppPaths;

// The trace log "tVtrace.log" in the configuration folder: one timestamped line per
// notable step, for support staff. Every line is on disk when Write returns.
class TraceLog {
 public:
  TraceLog(Platform& platform, AppPaths& paths);

  // Appends "<date and time>: <message>". The first line of a process is prefixed with
  // "Started, " (and, first, the old log is deleted when "DeleteLogOnStartup" is true);
  // this overload hands the prefixed text back to the caller.
  void Write(std::string& message);
  void Write(std::string_view message);
  // Write for the places where a log that cannot be written must stop nothing: a handler
  // that already deals with a failure, the way out of the process. False when the log
  // cannot be written (a run-time error, which has nowhere else to be noted); running out
  // of memory still passes up.
  bool TryWrite(std::string_view message);

  std::string FilePath();
  // For a process that runs beside another one that holds the run marker (the second
  // step of a transfer job): its first line is appended to the log of the running one,
  // which is never deleted, whatever "DeleteLogOnStartup" says.
  void KeepOldLog() { keepOldLog_ = true; }

 private:
  Platform& platform_;
  AppPaths& paths_;
  bool started_ = false;
  bool keepOldLog_ = false;
};

}  // namespace tavrin
