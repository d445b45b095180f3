#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/languages.h"
#include "platform/message_trace_ui.h"
#include "platform/platform.h"
#include "platform/settings.h"
#include "platform/trace_log.h"
#include "shared/two_halves.h"
#include "shared/ui.h"

namespace tavrin {

// What the user answered in the serial-number dialogs: an artificial serial number (the
// auto button, or yes), one typed by hand, cancel (or no), or nothing asked yet.
enum class DialogAnswer { kNone, kAuto, kManual, kCancel };

// The values that live as long as the process: the platform and user interface it runs
// on, its paths, trace log and languages, the command line and the run marker. One
// instance is made by the front end and passed to everything that needs it.
class ProcessContext {
 public:
  // Every message box shown through `ui` is also written to the trace log.
  ProcessContext(Platform& platform, Ui& frontUi)
      : platform(platform),
        paths(platform),
        trace(platform, paths),
        tracedUi_(frontUi, trace),
        ui(tracedUi_) {}
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;

  Platform& platform;
  AppPaths paths;
  TraceLog trace;

 private:
  MessageTraceUi tracedUi_;

 public:
  Ui& ui;
  // Set up by Main from the "Language" setting.
  std::unique_ptr<Languages> languages;
  // The raw command line, shortened step by step while it is parsed.
  std::string commandLine;
  // The run marker "TavrinPlugin.run", held from the single-instance guard to the end.
  std::unique_ptr<HeldFile> runMarker;
  // The command line exactly as the process received it (without the program's name).
  std::string rawCommandLine;
  // The host installation, found once at load: base and diary folder (with trailing
  // separator), the patient database's identifier, and the host's version (read on first
  // request; empty until then).
  struct HostFolders {
    std::string baseFolder;
    std::string diaryFolder;
    std::string databaseId;
    std::optional<std::string> hostVersion;
  } host;
  // Patient values 1 to 4 from "-pid1 " to "-pid4 ": last name, first name, birth date,
  // external patient number.
  std::array<std::string, 4> patientValues;
  // The answer the serial-number dialogs left; kCancel ends the import quietly.
  DialogAnswer dialogResult = DialogAnswer::kNone;
  // Whether long work (reading an export, converting its rows) may use a second thread.
  ThreadUse threads;

  // The message text of a number in the chosen language (empty before Main).
  std::string Message(int number, const std::vector<std::string>& args = {}) const {
    return languages ? languages->GetMessageText(number, args) : std::string();
  }
};

}  // namespace tavrin
