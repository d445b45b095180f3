#include "platform/trace_log.h"

#include "platform/file_replace.h"
#include "platform/ini_file.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {

TraceLog::TraceLog(Platform& platform, AppPaths& paths) : platform_(platform), paths_(paths) {}

std::string TraceLog::FilePath() {
  return paths_.ConfigFolder() + "tVtrace.log";
}

void TraceLog::Write(std::string_view message) {
  std::string text(message);
  Write(text);
}

bool TraceLog::TryWrite(std::string_view message) {
  try {
    Write(message);
    return true;
  } catch (const RuntimeError&) {
    return false;
  }
}

void TraceLog::Write(std::string& message) {
  const std::string path = FilePath();
  if (!started_ && keepOldLog_) {
    started_ = true;
    message = "Started, " + message;
  } else if (!started_) {
    cIniFile settings(platform_);
    settings.IniFile(paths_.SettingsFilePath());
    if (IsTrueText(settings.Load("Config", "DeleteLogOnStartup", "1"))) {
      KillFile(path);  // a missing log is fine
    }
    started_ = true;
    message = "Started, " + message;
  }
  const std::string line =
      FormatGeneralDate(platform_.Clock().Now(), platform_.Locale().Regional()) + ": " + message +
      "\r\n";
  const std::string bytes = platform_.Locale().Utf8ToAnsi(line);
  // Opened and closed for every line, so each line is on disk when the call returns. The
  // log names patients' files and serial numbers: only the user may read it, and a link
  // planted in its place is not written through.
  if (!AppendToFile(platform_, path, bytes, FileAccess::OwnerOnly).Ok()) {
    throw PathFileAccessError("WriteTraceLog", path);
  }
}

}  // namespace tavrin
