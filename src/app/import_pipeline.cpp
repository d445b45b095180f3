#include "app/import_pipeline.h"

#include <cstdio>
#include <functional>
#include <vector>

#include "app/file_dialog.h"
#include "app/shell_open.h"
#include "handover/import_call.h"
#include "handover/serial_numbers.h"
#include "handover/transfer_job.h"
#include "importer/import_report.h"
#include "platform/file_replace.h"
#include "platform/host_discovery.h"
#include "platform/process_context.h"
#include "platform/system_info.h"
#include "platform/temp_files.h"
#include "shared/date_time.h"
#include "shared/text.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr int kMsgMixedDateOrders = 5745;

// The serial number given with the request; the dialogs are never shown.
class GivenSerialNumber : public SerialNumberSource {
 public:
  explicit GivenSerialNumber(std::string serial) : serial_(std::move(serial)) {}
  std::string ResolveSerialNumber(ProcessContext& /*context*/) override { return serial_; }

 private:
  std::string serial_;
};

// The serial number settled through the serial-number dialogs.
class DialogSerialNumber : public SerialNumberSource {
 public:
  explicit DialogSerialNumber(const std::function<void(const std::string&)>& settled)
      : settled_(settled) {}
  std::string ResolveSerialNumber(ProcessContext& context) override {
    std::string serial = ::tavrin::ResolveSerialNumber(context);
    if (!serial.empty() && settled_) settled_(serial);
    return serial;
  }

 private:
  const std::function<void(const std::string&)>& settled_;
};

std::string StatusText(ProcessContext& context) {
  const std::string code = context.languages ? context.languages->Code() : std::string();
  if (code == "DE") return "Daten zur Übergabe vorbereiten...";
  if (ToUpper(code) == "EN") return "Prepare data for transfer to Orvolux...";
  return context.Message(5297) + " (->Orvolux)...";
}

// The import tool splits its command line at blanks and the path goes in unquoted, so a
// path holding a blank, tab or quote would reach it cut in pieces.
bool PathFitsCommandLine(std::string_view path) {
  return path.find_first_of(" \t\"") == std::string_view::npos;
}

// The import tool reads the path unquoted from its command line, so the folder part is
// given in its short form, which holds no blanks.
std::string WithShortFolder(Platform& platform, const std::string& path) {
  const std::string folder = FolderOfPath(path);
  if (folder.empty()) return path;
  return AddBackslash(ShortPath(platform, folder)) + path.substr(folder.size());
}

// Batch files are read by the command interpreter in the ANSI code page, line by line.
// They name the patient's documents, so they are kept from other users like the dumps.
void WriteBatchFile(Platform& platform, const std::string& path,
                    const std::vector<std::string>& lines) {
  std::string content;
  for (const std::string& line : lines) content += platform.Locale().Utf8ToAnsi(line) + "\r\n";
  if (!ReplaceFile(platform, path, content, FileAccess::OwnerOnly).Ok()) {
    throw PathFileAccessError("WriteBatchFile", path);
  }
}

// Dump copies and the report are a help for support and the user; failing to keep them
// never stops the hand-over, whatever the failure, so it is only traced. They are patient
// data: the folders are the user's alone (FileService::CreateFolders).
bool CreateFolderQuietly(ProcessContext& context, const std::string& folder) {
  try {
    return context.platform.Files().CreateFolders(folder);
  } catch (const std::exception& error) {
    context.trace.TryWrite("Folder not created: " + folder + ": " +
                           AsRuntimeError(error, "CreateFolders").Detail());
    return false;
  }
}

void WriteDumpCopy(ProcessContext& context, const std::string& path, const std::string& document) {
  try {
    WriteUtf8File(context.platform, path, document, FileAccess::OwnerOnly);
  } catch (const std::exception& error) {
    context.trace.TryWrite("Dump copy not written: " +
                           AsRuntimeError(error, "WriteDumpCopy").Detail());
  }
}

std::string RunDumpFolder(ProcessContext& context) {
  return context.paths.ConfigFolder() + "Dump" + kPathSep +
         RunTimeStamp(context.platform.Clock().Now()) + " Tavrin App" + kPathSep;
}

// A step's way out: false ends the run with the result as it stands.
using Step = bool;

class ImportRun {
 public:
  ImportRun(ProcessContext& context, const ImportRequest& request)
      : context_(context), platform_(context.platform), request_(request) {}

  ImportResult Run();
  ImportResult Run(ExportReadResult read);

 private:
  // Runs one step; a run-time error (out of memory among them) or the end of the process
  // escaping it ends the run as the failure of that step.
  bool Stage(ImportStage stage, Step (ImportRun::*step)());
  Step Fail(ImportFailure failure, std::string path = std::string()) {
    result_.failure = failure;
    result_.path = std::move(path);
    return false;
  }

  Step CheckExport();
  Step Read();
  Step Vet();
  Step Prepare();
  Step Convert();
  Step Write();
  Step WriteToolFiles();
  Step WriteNamedFiles();
  Step Report();
  Step HandOver();
  Step HandOverToTool();
  Step HandOverNamedFiles();
  Step CheckToolPaths();
  Step ReportAfterHandOver();
  Step Deliver();
  void WriteJsonReplay(const std::string& mac);
  void WriteXmlReplay(const std::string& mac);
  std::string Replay(const std::string& dumpFileName, const std::string& mac);

  ProcessContext& context_;
  Platform& platform_;
  const ImportRequest& request_;
  ImportResult result_;
  bool toolPathsChecked_ = false;
  // Where the dump copies and replay files go; empty when no dump is kept (switched off,
  // or the folder could not be made).
  std::string dumpFolder_;
};

bool ImportRun::Stage(ImportStage stage, Step (ImportRun::*step)()) {
  result_.stage = stage;
  try {
    return (this->*step)();
  } catch (const ProgramEnded& ended) {
    result_.endedExitCode = ended.exitCode;
    return Fail(ImportFailure::kEnded);
  } catch (const std::exception& error) {
    result_.error = AsRuntimeError(error, "RunImport");
    return Fail(ImportFailure::kError);
  }
}

ImportResult ImportRun::Run() {
  if (Stage(ImportStage::kCheck, &ImportRun::CheckExport) &&
      Stage(ImportStage::kRead, &ImportRun::Read)) {
    Deliver();
  }
  return std::move(result_);
}

ImportResult ImportRun::Run(ExportReadResult read) {
  result_.read = std::move(read);
  Deliver();
  return std::move(result_);
}

Step ImportRun::Deliver() {
  return Stage(ImportStage::kVet, &ImportRun::Vet) &&
         Stage(ImportStage::kPrepare, &ImportRun::Prepare) &&
         Stage(ImportStage::kConvert, &ImportRun::Convert) &&
         Stage(ImportStage::kWrite, &ImportRun::Write) &&
         (request_.reportTime != ReportTime::kWithTheDocuments ||
          Stage(ImportStage::kReport, &ImportRun::Report)) &&
         Stage(ImportStage::kHandOver, &ImportRun::HandOver) &&
         (request_.reportTime != ReportTime::kAfterAcceptedHandOver ||
          Stage(ImportStage::kReport, &ImportRun::ReportAfterHandOver));
}

// A special file is named for what it is; a named pipe is never opened, since reading
// it would wait for a writer.
Step ImportRun::CheckExport() {
  result_.exportKind = KindOfFile(request_.exportPath);
  if (result_.exportKind != FileKind::kRegular) {
    return Fail(ImportFailure::kExportNotAFile, request_.exportPath);
  }
  return true;
}

Step ImportRun::Read() {
  if (request_.beforeRead) request_.beforeRead(request_.exportPath);
  try {
    result_.read = ReadExportFile(context_, request_.exportPath);
  } catch (const HeaderInDataError& error) {
    result_.secondHeader = error;
    return Fail(ImportFailure::kSecondHeader, request_.exportPath);
  } catch (const std::exception& caught) {
    result_.error = AsRuntimeError(caught, "ReadExportFile");
    return Fail(ImportFailure::kExportNotRead, request_.exportPath);
  }
  if (request_.afterRead) request_.afterRead();
  return true;
}

// The verdict on the file comes before any question about it.
Step ImportRun::Vet() {
  const ExportReadResult& read = result_.read;
  if (request_.withoutRows == ExportWithoutRows::kRefused) {
    if (read.rows.Empty()) return Fail(ImportFailure::kNoRows, request_.exportPath);
  } else if (read.exportUnit.empty()) {
    return Fail(ImportFailure::kExportEmpty, request_.exportPath);
  }
  // Dates that mix the orders of day and month may have landed in the wrong months:
  // the user decides before anything is handed over.
  if (request_.askAboutMixedDateOrders && read.MixedDateOrders() &&
      context_.ui.ShowMessage(
          context_.Message(kMsgMixedDateOrders,
                           {request_.exportPath, std::to_string(read.datesDayFirst),
                            std::to_string(read.datesMonthFirst), "\r\n"}),
          kProgramTitle, MessageButtons::OkCancel,
          MessageIcon::Exclamation) == MessageResult::Cancel) {
    return Fail(ImportFailure::kCancelled);
  }
  return true;
}

Step ImportRun::Prepare() {
  const bool toTool = request_.target == DocumentTarget::kImportTool;
  const bool checkNow = request_.pathCheck == ToolPathCheck::kBeforeQuestions;
  if (toTool) {
    context_.ui.SetStatusText(StatusText(context_));
    context_.trace.Write("Preparing data for Orvolux");
    // A path the import tool's command line cannot carry ends the run here, before the
    // user is asked anything, and before the next temporary file is recorded.
    for (std::string* path : {&result_.xmlPath, &result_.jsonPath}) {
      const char* extension = path == &result_.xmlPath ? "xml" : "json";
      *path = WithShortFolder(platform_,
                              request_.tempFiles->GetTempFile(extension, cTempFiles::Record::kYes));
      if (checkNow) *path = ToolFilePath(context_, *path);
    }
    toolPathsChecked_ = checkNow;
  } else if (checkNow && !CheckToolPaths()) {
    return false;
  }
  // "CreateFormattedJSON" only changes the layout switch of the JSON writer, whose
  // stream comes out the same either way, so it is not consulted here.
  if (toTool && request_.dump) {
    context_.trace.Write("Saving dump file");
    const std::string folder = RunDumpFolder(context_);
    if (CreateFolderQuietly(context_, folder)) dumpFolder_ = folder;
  }
  if (toTool) context_.trace.Write("Creating stream for call");
  return true;
}

// The paths the import tool will be given, checked once: the temporary files' in the form
// the tool's command line carries (their folder shortened; a blank or quote left is
// run-time error 52), the named files' as they stand (before they are written: both
// names, as either may be handed over).
Step ImportRun::CheckToolPaths() {
  if (toolPathsChecked_) return true;
  toolPathsChecked_ = true;
  if (request_.target == DocumentTarget::kImportTool) {
    result_.xmlPath = ToolFilePath(context_, result_.xmlPath);
    result_.jsonPath = ToolFilePath(context_, result_.jsonPath);
    return true;
  }
  const bool written = !result_.xmlPath.empty() || !result_.jsonPath.empty();
  const std::string xml = written ? result_.xmlPath : AbsolutePath(request_.xmlPath);
  const std::string json = written ? result_.jsonPath : AbsolutePath(request_.jsonPath);
  const std::string& file = json.empty() ? xml : json;
  if (!PathFitsCommandLine(file)) return Fail(ImportFailure::kPathNotForTool, file);
  if (!json.empty() && !PathFitsCommandLine(xml)) {
    return Fail(ImportFailure::kPathNotForTool, file);
  }
  return true;
}

Step ImportRun::Convert() {
  GivenSerialNumber given(request_.serialNumber.value_or(std::string()));
  DialogSerialNumber dialogs(request_.serialSettled);
  SerialNumberSource& serials =
      request_.serialNumber ? static_cast<SerialNumberSource&>(given) : dialogs;
  result_.conversion = ConvertRows(context_, result_.read.rows, result_.read.exportUnit, serials);
  const ConversionResult& conversion = result_.conversion;
  if (conversion.cancelled ||
      (!request_.serialNumber && context_.dialogResult == DialogAnswer::kCancel)) {
    return Fail(ImportFailure::kCancelled);
  }
  if (request_.target == DocumentTarget::kNamedFiles && conversion.result.empty() &&
      conversion.json.empty()) {
    // Whatever was refused or skipped is why nothing is left; the report, when asked
    // for, lists it.
    if (request_.report && request_.reportTime == ReportTime::kWithTheDocuments) {
      result_.stage = ImportStage::kReport;
      if (!Report()) return false;
    }
    return Fail(ImportFailure::kNothingConverted);
  }
  return true;
}

Step ImportRun::Write() {
  return request_.target == DocumentTarget::kImportTool ? WriteToolFiles() : WriteNamedFiles();
}

Step ImportRun::WriteToolFiles() {
  const std::string& xml = result_.conversion.result;
  const std::string& json = result_.conversion.json;
  // The documents wait in the shared temporary folder for the import tool: patient data
  // for the user's eyes only.
  if (!xml.empty()) WriteUtf8File(platform_, result_.xmlPath, xml, FileAccess::OwnerOnly);
  if (!json.empty()) WriteUtf8File(platform_, result_.jsonPath, json, FileAccess::OwnerOnly);
  if (!dumpFolder_.empty()) {
    if (!xml.empty()) WriteDumpCopy(context_, dumpFolder_ + "stream.xml", xml);
    if (!json.empty()) WriteDumpCopy(context_, dumpFolder_ + "stream.json", json);
  }
  return true;
}

// Files are compared, read and written by the names given, which lead from the current
// folder to the file also where the full path is longer than the system takes; the full
// paths are what the user is shown and the import tool is given.
Step ImportRun::WriteNamedFiles() {
  const std::string& xml = request_.xmlPath;
  const std::string& json = request_.jsonPath;
  const bool writeXml = !result_.conversion.result.empty();
  const bool writeJson = !result_.conversion.json.empty();
  // Written over the export, the input would be lost; one output over the other, half of
  // the result.
  if (writeXml && IsSameFile(platform_, xml, request_.exportPath)) {
    return Fail(ImportFailure::kOutputIsExport, AbsolutePath(xml));
  }
  if (writeJson && IsSameFile(platform_, json, request_.exportPath)) {
    return Fail(ImportFailure::kJsonIsExport, AbsolutePath(json));
  }
  if (writeXml && writeJson && IsSameFile(platform_, xml, json)) {
    return Fail(ImportFailure::kOutputsSame, AbsolutePath(xml));
  }
  // Each output is replaced whole through a file of this run's own, so a second run
  // writing the same name at the same time never mixes its document into ours. The
  // documents are patient data: readable by the user only. A read-only output or one
  // that is no regular file is refused, never made writable or replaced.
  if (writeXml) {
    WriteUtf8File(platform_, xml, result_.conversion.result, FileAccess::OwnerOnly);
    result_.xmlName = xml;
    result_.xmlPath = AbsolutePath(xml);
  }
  if (writeJson) {
    WriteUtf8File(platform_, json, result_.conversion.json, FileAccess::OwnerOnly);
    result_.jsonName = json;
    result_.jsonPath = AbsolutePath(json);
  }
  return true;
}

// The report shows what the documents hold, so it is written once they are.
Step ImportRun::Report() {
  if (!request_.report) return true;
  const std::string& report = request_.reportPath;
  for (const std::string& taken : {request_.exportPath, result_.xmlName, result_.jsonName}) {
    if (!taken.empty() && IsSameFile(platform_, report, taken)) {
      return Fail(ImportFailure::kReportOverwrites, AbsolutePath(taken));
    }
  }
  WriteImportReport(context_, report,
                    {request_.exportPath, result_.read, result_.conversion, request_.reportDays});
  result_.reportPath = AbsolutePath(report);
  return true;
}

Step ImportRun::HandOver() {
  if (request_.target == DocumentTarget::kImportTool) return HandOverToTool();
  if (request_.handOverFolder.empty()) return true;
  return HandOverNamedFiles();
}

// Hands the JSON stream (the XML document waiting as a transfer job beside it) or the XML
// document alone to the import tool; with nothing to hand over, the tool is not started.
Step ImportRun::HandOverToTool() {
  if (!CheckToolPaths()) return false;
  const std::string& xml = result_.conversion.result;
  const std::string& json = result_.conversion.json;
  std::string jobSuffix;
  if (!xml.empty() && !json.empty()) {
    jobSuffix = CreateTransferJob(context_, result_.xmlPath, *request_.jobNumbers);
  }
  // The import tool's windows come up in front of the main window while it works.
  context_.ui.KeepMainWindowOnTop(false);
  // Each hand-over puts the current folder back as it found it.
  if (!json.empty()) {
    const HandOverResult call = HandOverToImportTool(
        context_, {.form = CommandForm::L,
                   .filePath = result_.jsonPath,
                   .document = json,
                   .jobSuffix = jobSuffix,
                   .beforeStart = [this](const std::string& mac) { WriteJsonReplay(mac); }});
    context_.trace.Write("JSON-Call-Results: " + std::to_string(call.exitCode) +
                         "|0|Currently not retrievable!");
    if (!dumpFolder_.empty() && !xml.empty()) WriteXmlReplay(ComputeFileMac(context_, xml));
    result_.toolExitCode = call.exitCode;
  } else if (!xml.empty()) {
    const HandOverResult call = HandOverToImportTool(
        context_, {.form = CommandForm::S,
                   .filePath = result_.xmlPath,
                   .document = xml,
                   .beforeStart = [this](const std::string& mac) { WriteXmlReplay(mac); }});
    context_.trace.Write("XML-Call-Results: " + std::to_string(call.exitCode) + "|0|");
    result_.toolExitCode = call.exitCode;
  } else {
    return Fail(ImportFailure::kNothingConverted);
  }
  return *result_.toolExitCode == 0 || Fail(ImportFailure::kToolRefused);
}

// The installation named with the request takes the place of the settings' one. The
// trace log is a help for support staff here: one that cannot be written stops nothing.
Step ImportRun::HandOverNamedFiles() {
  const std::string folder = AddBackslash(AbsolutePath(request_.handOverFolder));
  try {
    DetermineHostFolders(context_, folder);
  } catch (const ProgramEnded&) {
    return Fail(ImportFailure::kNoInstallation, folder);
  } catch (const RuntimeError& error) {
    result_.error = error;
    return Fail(ImportFailure::kInstallationUnreadable, folder);
  }
  // A converter kept in a "plugins" folder of another installation finds that one first.
  const std::string& base = context_.host.baseFolder;
  const std::string parent = PathText(FsPath(folder).parent_path().parent_path());
  if (!IsSameFile(platform_, base, folder) && !IsSameFile(platform_, base, parent)) {
    return Fail(ImportFailure::kOtherInstallation, base);
  }
  if (!CheckToolPaths()) return false;

  const bool json = !result_.jsonPath.empty();
  try {
    // Both documents: the XML one waits as a transfer job until the host asks for it.
    const std::string jobSuffix = json && !result_.xmlPath.empty()
                                      ? CreateTransferJob(context_, result_.xmlPath)
                                      : std::string();
    result_.toolExitCode =
        HandOverToImportTool(
            context_, {.form = json ? CommandForm::L : CommandForm::S,
                       .filePath = json ? result_.jsonPath : result_.xmlPath,
                       .document = json ? result_.conversion.json : result_.conversion.result,
                       .jobSuffix = jobSuffix,
                       .trace = [this](const std::string& line) { context_.trace.TryWrite(line); }})
            .exitCode;
  } catch (const ToolFolderError& error) {
    return Fail(ImportFailure::kToolFolderMissing, error.Folder());
  }
  context_.trace.TryWrite("Hand-over result: " +
                          std::to_string(static_cast<int>(*result_.toolExitCode)));
  return *result_.toolExitCode == 0 || Fail(ImportFailure::kToolRefused);
}

// The report is a help for the user like the dumps: a failure to write it is noted in the
// trace log, one to open it is also shown; neither stops the run.
Step ImportRun::ReportAfterHandOver() {
  if (!request_.report) return true;
  const bool named = !request_.reportPath.empty();
  const std::string folder = named                 ? FolderOfPath(request_.reportPath)
                             : dumpFolder_.empty() ? RunDumpFolder(context_)
                                                   : dumpFolder_;
  const std::string path = named ? request_.reportPath : folder + "report.html";
  try {
    if (!CreateFolderQuietly(context_, folder)) throw PathFileAccessError("ReportAndOpen", folder);
    WriteImportReport(context_, path,
                      {request_.exportPath, result_.read, result_.conversion, request_.reportDays});
    context_.trace.Write("Report written: " + path);
    result_.reportPath = path;
    // A page that cannot be opened is named to the user, as every shell open is.
    if (request_.openReport && !OpenWithShell(context_, path)) {
      context_.trace.Write("Report not opened: " + path);
    }
  } catch (const std::exception& error) {
    context_.trace.TryWrite(std::string("Report not written: ") + error.what());
  }
  return true;
}

std::string ImportRun::Replay(const std::string& dumpFileName, const std::string& mac) {
  return ReplayCommandLine(context_, ShortPath(platform_, dumpFolder_ + dumpFileName), mac);
}

void ImportRun::WriteJsonReplay(const std::string& mac) {
  if (dumpFolder_.empty()) return;
  WriteBatchFile(platform_, dumpFolder_ + "StartJSN.bat",
                 {Replay("stream.json", mac) + " 2>errJSN.log"});
}

// The replay of the XML document always carries the MAC of that document, also in runs
// where the JSON stream went first, so that the dump copy can be handed over again.
void ImportRun::WriteXmlReplay(const std::string& mac) {
  if (dumpFolder_.empty()) return;
  WriteBatchFile(platform_, dumpFolder_ + "StartXML.bat",
                 {"echo key=xxx{" + context_.host.databaseId + "}",
                  Replay("stream.xml", mac) + " 2>errXml.log", "pause"});
}

}  // namespace

ImportResult RunImport(ProcessContext& context, const ImportRequest& request) {
  return ImportRun(context, request).Run();
}

ImportResult RunImport(ProcessContext& context, const ImportRequest& request,
                       ExportReadResult read) {
  return ImportRun(context, request).Run(std::move(read));
}

std::string RunTimeStamp(const DateTime& now) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  return stamp;
}

}  // namespace tavrin
