#include "app/import_run.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "app/file_dialog.h"
#include "app/main_window.h"
#include "app/shell_open.h"
#include "handover/import_call.h"
#include "handover/serial_numbers.h"
#include "handover/transfer_job.h"
#include "importer/import_report.h"
#include "importer/record_conversion.h"
#include "platform/end_program.h"
#include "platform/file_replace.h"
#include "platform/process_context.h"
#include "platform/settings.h"
#include "platform/system_info.h"
#include "platform/temp_files.h"
#include "shared/date_time.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"
#include "shared/version.h"

namespace tavrin {

namespace {

constexpr const char* kCancel = "Cancel";
constexpr int kMsgLeftOutSeeReport = 5780;
constexpr int kMsgLeftOutSeeTrace = 5781;
constexpr int kMsgCancelled = 5774;

// Settles the serial number through the serial-number dialogs and keeps it in the window.
class WindowSerialSource : public SerialNumberSource {
 public:
  explicit WindowSerialSource(frmMeterImport& window) : window_(window) {}
  std::string ResolveSerialNumber(ProcessContext& context) override {
    std::string serial = ::tavrin::ResolveSerialNumber(context);
    if (!serial.empty()) window_.SetSeriennummer(serial);
    return serial;
  }

 private:
  frmMeterImport& window_;
};

std::string StatusText(ProcessContext& context) {
  const std::string code = context.languages ? context.languages->Code() : std::string();
  if (code == "DE") return "Daten zur Übergabe vorbereiten...";
  if (ToUpper(code) == "EN") return "Prepare data for transfer to Orvolux...";
  return context.Message(5297) + " (->Orvolux)...";
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
  for (const std::string& line : lines) content += platform.Utf8ToAnsi(line) + "\r\n";
  if (!ReplaceFile(platform, path, content, FileAccess::OwnerOnly).Ok()) {
    throw PathFileAccessError("WriteBatchFile", path);
  }
}

// Dump copies are a help for support; failing to keep them never stops the hand-over.
// They are patient data: the folders are the user's alone (Platform::CreateFolders).
bool CreateFolderQuietly(Platform& platform, const std::string& folder) {
  try {
    return platform.CreateFolders(folder);
  } catch (const std::exception&) {
    return false;
  }
}

void WriteDumpCopy(Platform& platform, const std::string& path, const std::string& document) {
  try {
    WriteUtf8File(platform, path, document, FileAccess::OwnerOnly);
  } catch (const std::exception&) {
  }
}

class ImportRun {
 public:
  ImportRun(ProcessContext& context, frmMeterImport& window)
      : context_(context), platform_(context.platform), window_(window) {}

  void Run(const RowTable& rows, const std::string& exportUnit, const ExportReadResult* read);

 private:
  void PrepareFiles();
  std::optional<ConversionResult> Convert(const RowTable& rows, const std::string& exportUnit);
  void WriteDocuments(const ConversionResult& conversion);
  std::uint32_t HandOver(const ConversionResult& conversion);
  void PrepareDumpFolder();
  std::string ReportAndOpen(const ExportReadResult& read, const ConversionResult& conversion);
  void TellWhatWasLeftOut(const ExportReadResult& read, const std::string& reportPath);
  void WriteJsonReplay(const std::string& mac);
  void WriteXmlReplay(const std::string& mac);
  std::string Replay(const std::string& dumpFileName, const std::string& mac);

  ProcessContext& context_;
  Platform& platform_;
  frmMeterImport& window_;
  std::string xmlPath_;
  std::string jsonPath_;
  // Where the dump copies and replay files go; empty when no dump is kept (switched off,
  // or the folder could not be made).
  std::string dumpFolder_;
};

void ImportRun::Run(const RowTable& rows, const std::string& exportUnit,
                    const ExportReadResult* read) {
  context_.ui.SetStatusText(StatusText(context_));
  context_.trace.Write("Preparing data for Orvolux");
  PrepareFiles();

  context_.trace.Write("Creating stream for call");
  const std::optional<ConversionResult> conversion = Convert(rows, exportUnit);
  if (!conversion) {
    // The status line no longer says that data are being prepared.
    context_.ui.SetStatusText(context_.Message(kMsgCancelled));
    context_.trace.Write("Import cancelled, nothing handed over.");
    return;
  }
  WriteDocuments(*conversion);

  const std::uint32_t exitCode = HandOver(*conversion);

  // Off by default: the report is an addition for those who switch it on.
  std::string reportPath;
  if (exitCode == 0 && read != nullptr &&
      IsTrueText(window_.Settings().Load("Config", "CreateReport", "0"))) {
    reportPath = ReportAndOpen(*read, *conversion);
  }
  if (read != nullptr) TellWhatWasLeftOut(*read, reportPath);

  context_.ui.KeepMainWindowOnTop(true);
  context_.trace.Write("Job completed.");
  EndProgram(context_);
}

void ImportRun::PrepareFiles() {
  cTempFiles& tempFiles = window_.TempFiles();
  // A path the import tool's command line cannot carry ends the run here, before the
  // user is asked anything.
  xmlPath_ = ToolFilePath(context_, WithShortFolder(platform_, tempFiles.GetTempFile("xml", true)));
  jsonPath_ =
      ToolFilePath(context_, WithShortFolder(platform_, tempFiles.GetTempFile("json", true)));

  // "CreateFormattedJSON" only changes the layout switch of the JSON writer, whose
  // stream comes out the same either way, so it is not consulted here.
  if (IsTrueText(window_.Settings().Load("Config", "CreateDump", ""))) PrepareDumpFolder();
}

// The documents, or nothing when the user cancelled.
std::optional<ConversionResult> ImportRun::Convert(const RowTable& rows,
                                                   const std::string& exportUnit) {
  WindowSerialSource serials(window_);
  ConversionResult conversion = ConvertRows(context_, rows, exportUnit, serials);
  if (context_.dialogResult == kCancel || conversion.cancelled) return std::nullopt;
  return conversion;
}

void ImportRun::WriteDocuments(const ConversionResult& conversion) {
  const std::string& xml = conversion.result;
  const std::string& json = conversion.json;
  // The documents wait in the shared temporary folder for the import tool: patient data
  // for the user's eyes only.
  if (!xml.empty()) WriteUtf8File(platform_, xmlPath_, xml, FileAccess::OwnerOnly);
  if (!json.empty()) WriteUtf8File(platform_, jsonPath_, json, FileAccess::OwnerOnly);
  if (!dumpFolder_.empty()) {
    if (!xml.empty()) WriteDumpCopy(platform_, dumpFolder_ + "stream.xml", xml);
    if (!json.empty()) WriteDumpCopy(platform_, dumpFolder_ + "stream.json", json);
  }
}

// Hands the JSON stream (the XML document waiting as a transfer job beside it) or the XML
// document alone to the import tool and returns the tool's exit code; 1 when there was
// nothing to hand over, which the user is told.
std::uint32_t ImportRun::HandOver(const ConversionResult& conversion) {
  const std::string& xml = conversion.result;
  const std::string& json = conversion.json;
  std::string jobSuffix;
  if (!xml.empty() && !json.empty()) {
    jobSuffix = CreateTransferJob(context_, xmlPath_, window_.JobNumbers());
  }
  // The import tool's windows come up in front of the main window while it works.
  context_.ui.KeepMainWindowOnTop(false);
  // Each hand-over puts the current folder back as it found it.
  if (!json.empty()) {
    const HandOverResult call = HandOverToImportTool(
        context_, {.form = CommandForm::L,
                   .filePath = jsonPath_,
                   .document = json,
                   .jobSuffix = jobSuffix,
                   .beforeStart = [this](const std::string& mac) { WriteJsonReplay(mac); }});
    context_.trace.Write("JSON-Call-Results: " + std::to_string(call.exitCode) +
                         "|0|Currently not retrievable!");
    if (!dumpFolder_.empty() && !xml.empty()) WriteXmlReplay(ComputeFileMac(context_, xml));
    return call.exitCode;
  }
  if (!xml.empty()) {
    const HandOverResult call = HandOverToImportTool(
        context_, {.form = CommandForm::S,
                   .filePath = xmlPath_,
                   .document = xml,
                   .beforeStart = [this](const std::string& mac) { WriteXmlReplay(mac); }});
    context_.trace.Write("XML-Call-Results: " + std::to_string(call.exitCode) + "|0|");
    return call.exitCode;
  }
  // Ending without a word would look like a successful import.
  context_.ui.ShowMessage(context_.Message(5700, {window_.txtImportDatei}), kProgramTitle,
                          MessageButtons::Ok, MessageIcon::Information);
  return 1;
}

std::string RunDumpFolder(ProcessContext& context) {
  return context.paths.ConfigFolder() + "Dump" + kPathSep + RunTimeStamp(context.platform.Now()) +
         " Tavrin App" + kPathSep;
}

void ImportRun::PrepareDumpFolder() {
  context_.trace.Write("Saving dump file");
  const std::string folder = RunDumpFolder(context_);
  if (CreateFolderQuietly(platform_, folder)) dumpFolder_ = folder;
}

// The report is a help for the user like the dumps: a failure to write it is noted in the
// trace log, one to open it is also shown; neither stops the run. Returns the report's
// path, or an empty text when it was not written.
std::string ImportRun::ReportAndOpen(const ExportReadResult& read,
                                     const ConversionResult& conversion) {
  const std::string folder = dumpFolder_.empty() ? RunDumpFolder(context_) : dumpFolder_;
  const std::string path = folder + "report.html";
  try {
    if (!CreateFolderQuietly(platform_, folder)) throw PathFileAccessError("ReportAndOpen", folder);
    // "ReportDays" limits the summary to the last days of the export; 0 or none: all.
    const double days = Val(window_.Settings().Load("Config", "ReportDays", "0"));
    const int lastDays = days >= 1 && days <= 36500 ? static_cast<int>(days) : 0;
    WriteImportReport(context_, path, {window_.txtImportDatei, read, conversion, lastDays});
    context_.trace.Write("Report written: " + path);
    // A page that cannot be opened is named to the user, as every shell open is.
    if (!OpenWithShell(context_, path)) context_.trace.Write("Report not opened: " + path);
    return path;
  } catch (const std::exception& error) {
    try {
      context_.trace.Write(std::string("Report not written: ") + error.what());
    } catch (const std::exception&) {
    }
  }
  return std::string();
}

// Values left out and rows skipped are otherwise seen only by those who read the trace
// log: the user learns how many, and where they are listed.
void ImportRun::TellWhatWasLeftOut(const ExportReadResult& read, const std::string& reportPath) {
  if (read.valuesRefused == 0 && read.rowsWithoutDate == 0) return;
  const bool inReport = !reportPath.empty();
  const std::string text =
      context_.Message(inReport ? kMsgLeftOutSeeReport : kMsgLeftOutSeeTrace,
                       {window_.txtImportDatei, std::to_string(read.valuesRefused),
                        std::to_string(read.rowsWithoutDate), "\r\n",
                        inReport ? reportPath : context_.trace.FilePath()});
  context_.ui.ShowMessage(text, kProgramTitle, MessageButtons::Ok, MessageIcon::Information);
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

void RunImport(ProcessContext& context, frmMeterImport& window, const RowTable& rows,
               const std::string& exportUnit, const ExportReadResult* read) {
  try {
    ImportRun(context, window).Run(rows, exportUnit, read);
  } catch (const std::exception& error) {
    // Out of memory, too, ends the run as a numbered error: traced and told (5051).
    EndAfterRunError(context, AsRuntimeError(error, "RunImport"));
  }
}

void EndAfterRunError(ProcessContext& context, const RuntimeError& error) {
  const std::string detail = error.Detail();
  context.ui.ShowMessage(context.Message(5051, {context.Message(5390), detail}), kProgramTitle,
                         MessageButtons::Ok, MessageIcon::None);
  try {
    context.trace.Write("Error: " + detail);
  } catch (const std::exception&) {
    // The process ends all the same.
  }
  EndProgram(context);
}

std::string RunTimeStamp(const DateTime& now) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  return stamp;
}

}  // namespace tavrin
