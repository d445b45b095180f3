#include "app/startup.h"

#include "platform/ini_file.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {

namespace {
constexpr const char* kSettingsLock = "TavrinPlugin\\Settings";
}

void Main(ProcessContext& context) {
  Platform& platform = context.platform;
  const std::string settingsPath = context.paths.SettingsFilePath();

  // Every start reads and writes the settings file back; processes started at the same
  // moment take turns, so that none replaces the file under another.
  const std::unique_ptr<HeldFile> turn = platform.TakeUserLock(kSettingsLock, LockMode::Exclusive);
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

bool TakeRunMarker(ProcessContext& context) {
  // Holding the file open and locked is what keeps a second process out; a stale file
  // from a process that died is not held by anyone and is taken over.
  context.runMarker = context.platform.HoldFile(RunMarkerPath(context));
  return context.runMarker != nullptr;
}

}  // namespace tavrin
