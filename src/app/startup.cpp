#include "app/startup.h"

#include "app/command_line.h"
#include "platform/file_replace.h"
#include "platform/ini_file.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr const char* kSettingsLock = "TavrinPlugin\\Settings";
constexpr int kMsgSettingsNotWritten = 5720;

}  // namespace

void Main(ProcessContext& context) {
  Platform& platform = context.platform;
  // The single-instance guard comes before anything is deleted: a second start must leave
  // the trace log and the files of the running process alone. The second step of a
  // transfer job may run beside the run that parked the job; it then appends to its log.
  const bool ownRun = TakeRunMarker(context);
  if (!ownRun) {
    if (!IsJobMode(context.rawCommandLine)) EndProgram(context);
    context.trace.KeepOldLog();
  }
  const std::string settingsPath = context.paths.SettingsFilePath();

  std::string languageCode;
  // A settings file that cannot be written (read-only, or in a folder the user may not
  // write) is no reason to stop: the program goes on with the values read.
  std::string notWritten;
  {
    // Every start reads and writes the settings file back; processes started at the same
    // moment take turns, so that none replaces the file under another. The turn ends
    // before any message waits for the user.
    const std::unique_ptr<HeldFile> turn =
        platform.UserValues().TakeUserLock(kSettingsLock, LockMode::Exclusive);
    cIniFile settings(platform);
    settings.IniFile(settingsPath);
    const bool existed = FileExists(settingsPath);

    languageCode = settings.Load("Config", "Language", Languages::SystemLanguageCode(platform));
    for (const char* key : {"NewerOnly", "CreateDump"}) {
      const std::string value = settings.Load("Config", key, "0");
      try {
        settings.Save("Config", key, value);
      } catch (const RuntimeError& error) {
        if (notWritten.empty()) notWritten = error.Detail();
      }
    }

    if (!existed && FileExists(settingsPath)) platform.Files().SetNormalAttributes(settingsPath);
  }
  // New files that a killed run left in the configuration folder (beside the serial-number
  // store); the folders of other writes are cleaned whenever they are written again.
  if (ownRun) RemoveStaleSiblings(platform, context.paths.ConfigFolder());

  context.languages = std::make_unique<Languages>(platform, context.paths, languageCode);
  if (!notWritten.empty()) {
    // The message below tells the user all the same when the log cannot be written.
    context.trace.TryWrite("Settings not saved: " + notWritten);
    context.ui.ShowMessage(context.Message(kMsgSettingsNotWritten, {settingsPath}), kProgramTitle,
                           MessageButtons::Ok, MessageIcon::Exclamation);
  }
}

bool TakeRunMarker(ProcessContext& context) {
  // Holding the file open and locked is what keeps a second process out; a stale file
  // from a process that died is not held by anyone and is taken over.
  std::unique_ptr<HeldFile> marker = context.platform.Files().HoldFile(RunMarkerPath(context));
  if (!marker) return false;
  context.runMarker = std::move(marker);
  return true;
}

}  // namespace tavrin
