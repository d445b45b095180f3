#include "app/startup.h"

#include "platform/process_context.h"
#include "platform/ini_file.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {

namespace {
constexpr const char* kRunMarkerName = "TavrinPlugin.run";
}

void Main(ProcessContext& context) {
  Platform& platform = context.platform;
  const std::string settingsPath = context.paths.SettingsFilePath();

  cIniFile settings(platform);
  settings.IniFile(settingsPath);
  const bool existed = FileExists(settingsPath);

  const std::string languageCode =
      settings.Load("Config", "Language", Languages::SystemLanguageCode(platform));
  settings.Save("Config", "NewerOnly", settings.Load("Config", "NewerOnly", "0"));
  settings.Save("Config", "CreateDump", settings.Load("Config", "CreateDump", "0"));

  if (!existed && FileExists(settingsPath)) platform.SetNormalAttributes(settingsPath);

  context.languages = std::make_unique<Languages>(platform, context.paths, languageCode);
}

std::string RunMarkerPath(ProcessContext& context) {
  return context.paths.ConfigFolder() + kRunMarkerName;
}

bool TakeRunMarker(ProcessContext& context) {
  // Holding the file open and locked is what keeps a second process out; a stale file
  // from a process that died is not held by anyone and is taken over.
  context.runMarker = context.platform.HoldFile(RunMarkerPath(context));
  return context.runMarker != nullptr;
}

void EndProgram(ProcessContext& context, int exitCode) {
  try {
    if (context.runMarker) {
      context.runMarker.reset();
      KillFile(RunMarkerPath(context));
    }
  } catch (...) {
    // Nothing on the way out may stop the process from ending.
  }
  throw ProgramEnded{exitCode};
}

}  // namespace tavrin
