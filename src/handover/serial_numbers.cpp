#include "handover/serial_numbers.h"

#include <array>
#include <tuple>
#include <utility>
#include <vector>

#include "formats/md5.h"
#include "platform/end_program.h"
#include "platform/host_discovery.h"
#include "platform/platform.h"
#include "platform/process_context.h"
#include "platform/settings.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr int kMsgCancel = 531;
constexpr int kMsgOk = 536;
constexpr int kMsgCaption = 5583;
constexpr int kMsgAutoButton = 5584;
constexpr int kMsgManualButton = 5585;
constexpr int kMsgOpenPatientQuestion = 5586;
constexpr int kMsgNoPatient = 5587;
constexpr int kMsgOpenPatientButton = 5588;
constexpr int kMsgEntry = 5589;
constexpr int kMsgCommandLinePatientQuestion = 5590;
constexpr int kMsgEntryForCommandLinePatient = 5591;
constexpr int kMsgSerialNumberBox = 5760;
constexpr int kMsgSerialRequired = 5775;
constexpr int kMsgOpenPatientThenImport = 5776;

constexpr char kPatientSection[] = "currentpatient";
constexpr char kMappingSection[] = "SNMappings";

std::pair<std::string, std::string> YesNoWords(ProcessContext& context) {
  if (!context.languages) return {"Yes", "No"};
  return context.languages->YesNoTexts();
}

// frmSeriennrAuto. In yes/no mode the auto button reads yes, the cancel button no, and the
// manual button is hidden.
enum class SerialQuestion { kAutoManualCancel, kYesNo };
DialogAnswer AskForArtificialSerial(ProcessContext& context, const std::string& question,
                                    SerialQuestion form) {
  const bool yesNoMode = form == SerialQuestion::kYesNo;
  SerialAutoDialogArgs args;
  args.caption = context.Message(kMsgCaption);
  args.label = question;
  args.autoButton = context.Message(kMsgAutoButton);
  args.manualButton = context.Message(kMsgManualButton);
  args.cancelButton = context.Message(kMsgCancel);
  args.yesNoMode = yesNoMode;
  if (yesNoMode) std::tie(args.autoButton, args.cancelButton) = YesNoWords(context);
  switch (context.ui.ShowSerialAutoDialog(args)) {
    case SerialAutoChoice::Auto:
      context.dialogResult = DialogAnswer::kAuto;
      break;
    case SerialAutoChoice::Manual:
      context.dialogResult = DialogAnswer::kManual;
      break;
    case SerialAutoChoice::Cancel:
      context.dialogResult = DialogAnswer::kCancel;
      break;
  }
  return context.dialogResult;
}

// frmSeriennrNoPatient. Opening the patient in the host ends the program, so that the user
// can do that and import again; the user is told so first, and the trace log says why the
// run ended.
DialogAnswer AskWithoutPatient(ProcessContext& context) {
  SerialNoPatientDialogArgs args;
  args.caption = context.Message(kMsgCaption);
  args.label = context.Message(kMsgNoPatient);
  args.openButton = context.Message(kMsgOpenPatientButton);
  args.manualButton = context.Message(kMsgManualButton);
  args.cancelButton = context.Message(kMsgCancel);
  switch (context.ui.ShowSerialNoPatientDialog(args)) {
    case SerialNoPatientChoice::OpenPatient:
      context.ui.ShowMessage(context.Message(kMsgOpenPatientThenImport), kProgramTitle,
                             MessageButtons::Ok, MessageIcon::Information);
      // The process ends all the same when the log cannot be written.
      context.trace.TryWrite("User chose to open the patient record in Orvolux first.");
      EndProgram(context);
    case SerialNoPatientChoice::Manual:
      context.dialogResult = DialogAnswer::kManual;
      break;
    case SerialNoPatientChoice::Cancel:
      context.dialogResult = DialogAnswer::kCancel;
      break;
  }
  return context.dialogResult;
}

// frmSeriennummer. Returns the confirmed serial number, or empty with dialogResult
// kCancel when the user cancels. An empty box is not confirmed: filed under "unknown",
// the readings of different patients would share one serial number, so the user is told
// and asked again.
std::string AskForSerialNumber(ProcessContext& context) {
  SerialEntryDialogArgs args;
  args.caption = context.Message(kMsgCaption);
  args.label = context.Message(context.patientValues[0].empty() ? kMsgEntry
                                                                : kMsgEntryForCommandLinePatient);
  args.okButton = context.Message(kMsgOk);
  args.cancelButton = context.Message(kMsgCancel);
  args.textBoxLabel = context.Message(kMsgSerialNumberBox);
  for (;;) {
    const SerialEntryResult result = context.ui.ShowSerialEntryDialog(args);
    if (!result.confirmed) {
      context.dialogResult = DialogAnswer::kCancel;
      return {};
    }
    // Blanks alone are no serial number either.
    std::string serial = Trim(result.text);
    if (!serial.empty()) return serial;
    context.ui.ShowMessage(context.Message(kMsgSerialRequired), kProgramTitle, MessageButtons::Ok,
                           MessageIcon::Exclamation);
  }
}

std::string ReadPatientValue(const std::string& file, const char* key) {
  return ReadIniValue(file, kPatientSection, key, "");
}

// The candidate key of an attempt: the serial number itself, then serial + "0", then
// serial + "-1", serial + "-2", ...
std::string CandidateKey(const std::string& serial, int attempt) {
  if (attempt == 0) return serial;
  if (attempt == 1) return serial + "0";
  return serial + "-" + std::to_string(attempt - 1);
}

}  // namespace

std::string PatientIdentifier(std::string_view diaryFileName) {
  const std::size_t dot = diaryFileName.rfind('.');
  return std::string(dot == std::string_view::npos ? diaryFileName : diaryFileName.substr(0, dot));
}

std::string CommandLinePatientIdentifier(const std::array<std::string, 4>& patientValues) {
  std::string id = "cl:";
  for (std::size_t i = 0; i < patientValues.size(); ++i) {
    if (i > 0) id += '|';
    id += patientValues[i];
  }
  return ToLower(id);
}

std::string ArtificialSerialNumber(std::string_view patientId) {
  return HashPrefix(patientId, 10);
}

std::string CurrentPatientFilePath(ProcessContext& context) {
  return FindHostPath(context.host.baseFolder,
                      {"_Extras", "KELSAR",
                       context.platform.Machine().ComputerName() + "_" +
                           context.platform.Machine().UserName() + ".txt"});
}

std::string SerialMappingStorePath(ProcessContext& context) {
  return context.paths.ConfigFolder() + "KELSAR Relay.rly";
}

std::string MapSerialToPatient(ProcessContext& context, const std::string& patientId,
                               const std::string& serial) {
  const std::string store = SerialMappingStorePath(context);
  // Every candidate is looked up in one read of the store: a store holding the serial
  // number and all its alternatives costs one pass, not one per candidate.
  std::vector<std::string> candidates;
  for (int attempt = 0; attempt <= kMaxSerialCandidates; ++attempt) {
    candidates.push_back(CandidateKey(serial, attempt));
  }
  const std::vector<std::string> owners = ReadIniValues(store, kMappingSection, candidates, "");
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (owners[i].empty()) {
      // A mapping that did not reach the store would give the next import of another
      // patient the same number: the run stops and the user is told instead.
      if (!WriteIniValue(context.platform, store, kMappingSection, candidates[i], patientId,
                         FileAccess::OwnerOnly)) {
        throw PathFileAccessError("MapSerialToPatient", store);
      }
      return candidates[i];
    }
    if (EqualsNoCase(owners[i], patientId)) return candidates[i];
  }
  throw RuntimeError(kErrInvalidArgument, "MapSerialToPatient",
                     "No free serial number for patient " + patientId + ": " + serial +
                         " and its " + std::to_string(kMaxSerialCandidates) +
                         " alternatives belong to other patients");
}

std::string ResolveSerialNumber(ProcessContext& context) {
  const std::string patientFile = CurrentPatientFilePath(context);
  const std::array<std::string, 4>& values = context.patientValues;
  std::string serial;

  const std::string crLf(kCrLf);
  if (!values[0].empty()) {
    // The host named the patient on the command line: a yes/no question.
    const std::string patientText =
        values[0] + ", " + values[1] + " (" + values[3] + ", *" + values[2] + ")";
    const std::string question =
        context.Message(kMsgCommandLinePatientQuestion, {crLf}) + crLf + crLf + patientText;
    const DialogAnswer answer = AskForArtificialSerial(context, question, SerialQuestion::kYesNo);
    if (answer == DialogAnswer::kCancel) {
      // "No" is not the end of the import: the user may still type a serial number.
      context.dialogResult = DialogAnswer::kNone;
    } else if (answer == DialogAnswer::kAuto) {
      const std::string id = CommandLinePatientIdentifier(values);
      serial = MapSerialToPatient(context, id, ArtificialSerialNumber(id));
    }
  } else if (FileExists(patientFile)) {
    const std::string diaryFileName = ReadPatientValue(patientFile, "diary_filename");
    if (!diaryFileName.empty()) {
      const std::string id = PatientIdentifier(diaryFileName);
      const std::string patientText = ReadPatientValue(patientFile, "last_name") + ", " +
                                      ReadPatientValue(patientFile, "first_name") + " " +
                                      ReadPatientValue(patientFile, "birth_date") + crLf +
                                      ReadPatientValue(patientFile, "ext_id");
      const std::string question =
          context.Message(kMsgOpenPatientQuestion) + crLf + crLf + patientText;
      const DialogAnswer answer =
          AskForArtificialSerial(context, question, SerialQuestion::kAutoManualCancel);
      if (answer == DialogAnswer::kCancel) return {};
      if (answer == DialogAnswer::kAuto) {
        serial = MapSerialToPatient(context, id, ArtificialSerialNumber(id));
      }
    }
  } else {
    if (AskWithoutPatient(context) == DialogAnswer::kCancel) return {};
  }

  if (serial.empty()) serial = AskForSerialNumber(context);
  return serial;
}

}  // namespace tavrin
