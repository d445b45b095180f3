#include "app/import_run.h"

#include "app/main_window.h"
#include "platform/end_program.h"
#include "platform/process_context.h"
#include "platform/settings.h"
#include "shared/error.h"
#include "shared/text.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr int kMsgExportIsFolder = 5740;
constexpr int kMsgExportIsFifo = 5741;
constexpr int kMsgExportIsDevice = 5742;
constexpr int kMsgExportIsSpecial = 5743;
constexpr int kMsgExportChanged = 5744;
constexpr int kMsgHeaderInData = 5746;
constexpr int kMsgFileNotFound = 5577;
constexpr int kMsgNoData = 5700;
constexpr int kMsgNotAnExport = 5772;
constexpr int kMsgExportUnreadable = 5773;
constexpr int kMsgCancelled = 5774;
constexpr int kMsgLeftOutSeeReport = 5780;
constexpr int kMsgLeftOutSeeTrace = 5781;

void ShowWarning(ProcessContext& context, const std::string& text) {
  context.ui.ShowMessage(text, kProgramTitle, MessageButtons::Ok, MessageIcon::Exclamation);
}

// A folder, pipe or device is named for what it is; a pipe is never opened.
void TellNotAFile(ProcessContext& context, const ImportResult& result) {
  const int message = result.exportKind == FileKind::kMissing  ? kMsgFileNotFound
                      : result.exportKind == FileKind::kFolder ? kMsgExportIsFolder
                      : result.exportKind == FileKind::kFifo   ? kMsgExportIsFifo
                      : result.exportKind == FileKind::kDevice ? kMsgExportIsDevice
                                                               : kMsgExportIsSpecial;
  ShowWarning(context, context.Message(message, {result.path}));
}

// The errors a wrong or busy file gives are named for what they mean to the user; the
// window stays, for another file.
void TellNotRead(ProcessContext& context, const std::string& path, const RuntimeError& error) {
  const int message = error.Number() == kErrFileChanged      ? kMsgExportChanged
                      : error.Number() == kErrSubscript      ? kMsgNotAnExport
                      : error.Number() == kErrPathFileAccess ? kMsgExportUnreadable
                                                             : 0;
  if (message != 0) {
    context.trace.TryWrite("Export not read: " + error.Detail());
    ShowWarning(context, context.Message(message, {path}));
    return;
  }
  if (error.Number() == kErrOutOfMemory) {
    // The export is too large for this process: the window stays, for a smaller file.
    const std::string detail = error.Detail() + ": " + path;
    context.trace.TryWrite("Export not read: " + detail);
    ShowWarning(context, context.Message(5051, {context.Message(5390), detail}));
    return;
  }
  ShowWarning(context, "Internal Error: " + error.Detail());
}

// Values left out and rows skipped are otherwise seen only by those who read the trace
// log: the user learns how many, and where they are listed.
void TellWhatWasLeftOut(ProcessContext& context, const std::string& exportPath,
                        const ImportResult& result) {
  const ExportReadResult& read = result.read;
  if (read.valuesRefused == 0 && read.rowsWithoutDate == 0) return;
  const bool inReport = !result.reportPath.empty();
  const std::string text = context.Message(
      inReport ? kMsgLeftOutSeeReport : kMsgLeftOutSeeTrace,
      {exportPath, std::to_string(read.valuesRefused), std::to_string(read.rowsWithoutDate), "\r\n",
       inReport ? result.reportPath : context.trace.FilePath()});
  context.ui.ShowMessage(text, kProgramTitle, MessageButtons::Ok, MessageIcon::Information);
}

// The end of a run past its questions: cancelled (the window stays), or ended with or
// without a hand-over (the process ends).
void EndRun(ProcessContext& context, frmMeterImport& window, const ImportResult& result) {
  switch (result.failure) {
    case ImportFailure::kCancelled:
      // Cancelled in a serial-number dialog: the status line no longer says that data
      // are being prepared. The date-order question leaves the window as it was.
      if (result.stage == ImportStage::kConvert) {
        context.ui.SetStatusText(context.Message(kMsgCancelled));
        context.trace.Write("Import cancelled, nothing handed over.");
      }
      return;
    case ImportFailure::kNothingConverted:
      // Ending without a word would look like a successful import.
      context.ui.ShowMessage(context.Message(kMsgNoData, {window.txtImportDatei}), kProgramTitle,
                             MessageButtons::Ok, MessageIcon::Information);
      break;
    case ImportFailure::kNone:
    case ImportFailure::kToolRefused:
      break;
    default:
      // The plug-in hands over temporary files only; no other failure reaches here.
      throw RuntimeError(kErrInternal, "RunImport", "Unexpected end of the run");
  }
  TellWhatWasLeftOut(context, window.txtImportDatei, result);
  context.ui.KeepMainWindowOnTop(true);
  context.trace.Write("Job completed.");
  EndProgram(context);
}

}  // namespace

ImportRequest PluginImportRequest(frmMeterImport& window, const std::string& exportPath) {
  cIniFile& settings = window.Settings();
  ImportRequest request;
  request.exportPath = exportPath;
  request.serialSettled = [&window](const std::string& serial) { window.SetSeriennummer(serial); };
  request.askAboutMixedDateOrders = true;
  request.withoutRows = ExportWithoutRows::kRefused;
  request.target = DocumentTarget::kImportTool;
  request.pathCheck = ToolPathCheck::kBeforeQuestions;
  request.tempFiles = &window.TempFiles();
  request.jobNumbers = &window.JobNumbers();
  request.dump = IsTrueText(settings.Load("Config", "CreateDump", ""));
  // Off by default: the report is an addition for those who switch it on.
  request.report = IsTrueText(settings.Load("Config", "CreateReport", "0"));
  if (request.report) {
    // "ReportDays" limits the summary to the last days of the export; 0 or none: all.
    const double days = Val(settings.Load("Config", "ReportDays", "0"));
    request.reportDays = days >= 1 && days <= 36500 ? static_cast<int>(days) : 0;
  }
  request.reportTime = ReportTime::kAfterAcceptedHandOver;
  request.openReport = true;
  return request;
}

void EndPluginImport(ProcessContext& context, frmMeterImport& window, const ImportResult& result) {
  switch (result.failure) {
    case ImportFailure::kExportNotAFile:
      return TellNotAFile(context, result);
    case ImportFailure::kSecondHeader: {
      const HeaderInDataError& error = *result.secondHeader;
      context.trace.TryWrite("Export not read: " + error.Detail());
      return ShowWarning(
          context, context.Message(kMsgHeaderInData, {result.path, std::to_string(error.Line()),
                                                      error.Found(), error.Expected()}));
    }
    case ImportFailure::kExportNotRead:
      return TellNotRead(context, result.path, *result.error);
    case ImportFailure::kNoRows:
      return ShowWarning(context, context.Message(kMsgNoData, {result.path}));
    case ImportFailure::kEnded:
      throw ProgramEnded{result.endedExitCode};
    case ImportFailure::kError:
      // Until the export has been vetted, the window stays, as for an unreadable file.
      if (result.stage <= ImportStage::kVet) {
        return TellNotRead(context, Trim(window.txtImportDatei), *result.error);
      }
      EndAfterRunError(context, *result.error);
    default:
      break;
  }
  try {
    EndRun(context, window, result);
  } catch (const std::exception& error) {
    // Out of memory, too, ends the run as a numbered error: traced and told (5051).
    EndAfterRunError(context, AsRuntimeError(error, "RunImport"));
  }
}

void EndAfterRunError(ProcessContext& context, const RuntimeError& error) {
  const std::string detail = error.Detail();
  context.ui.ShowMessage(context.Message(5051, {context.Message(5390), detail}), kProgramTitle,
                         MessageButtons::Ok, MessageIcon::None);
  // The process ends all the same when the log cannot be written.
  context.trace.TryWrite("Error: " + detail);
  EndProgram(context);
}

}  // namespace tavrin
