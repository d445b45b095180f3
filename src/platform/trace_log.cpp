#include "platform/trace_log.h"

#include <fstream>

#include "platform/ini_file.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/fs.h"
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

void TraceLog::Write(std::string& message) {
  const std::string path = FilePath();
  if (!started_) {
    cIniFile settings(platform_);
    settings.IniFile(paths_.SettingsFilePath());
    if (IsTrueText(settings.Load("Config", "DeleteLogOnStartup", "1"))) {
      KillFile(path);  // a missing log is fine
    }
    started_ = true;
    message = "Started, " + message;
  }
  const std::string line =
      FormatGeneralDate(platform_.Now(), platform_.Regional()) + ": " + message + "\r\n";
  const std::string bytes = platform_.Utf8ToAnsi(line);
  // Opened and closed for every line, so each line is on disk when the call returns.
  std::ofstream out(FsPath(path), std::ios::binary | std::ios::app);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) throw PathFileAccessError("WriteTraceLog", path);
}

}  // namespace tavrin
