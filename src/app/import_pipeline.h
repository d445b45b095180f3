#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "importer/export_reader.h"
#include "importer/record_conversion.h"
#include "shared/error.h"
#include "shared/fs.h"

namespace tavrin {

class ProcessContext;
class cTempFiles;
class JobNumberSource;
struct DateTime;

// One import, whoever starts it: the main window, the terminal front end and the batch
// converter build an ImportRequest, run it with RunImport and turn the ImportResult into
// their own messages and exit codes. The run goes down one way only:
//   export file -> rows (ExportReadResult) -> records and documents (ConversionResult)
//   -> written files -> report -> hand-over to the host's import tool.

// Where the documents go.
enum class DocumentTarget {
  // Temporary files of this process, recorded for deletion at a later start and handed to
  // the import tool of the installation the settings name (the plug-in's run). With
  // `dump`, copies and replay batch files go to a dump folder of the run.
  kImportTool,
  // The files the request names; handed to the import tool of `handOverFolder` when one
  // is named (the converter's run).
  kNamedFiles,
};

// When the import tool's command line is checked for the documents' paths, which it
// carries unquoted. Before the questions: a path it cannot carry ends the run before the
// user is asked anything (the plug-in's temporary files, whose folder is then given in its
// short form). At the hand-over: the documents are written first, as files the user asked
// for, and only their hand-over is refused.
enum class ToolPathCheck { kBeforeQuestions, kAtHandOver };

// What becomes of an export that holds no row. Refused: it is the run's answer, before
// any question. Converted: the conversion finds nothing, the report (when asked for) lists
// what was left out; a file without even a header is refused as empty.
enum class ExportWithoutRows { kRefused, kConverted };

// When the import report is written. With the documents: once they are written, before
// any hand-over, and a report that cannot be written fails the run. After an accepted
// hand-over: only when the import tool took the documents; it is traced, opened with the
// shell when asked, and a failure to write it is traced without stopping the run.
enum class ReportTime { kWithTheDocuments, kAfterAcceptedHandOver };

struct ImportRequest {
  std::string exportPath;
  // Called once the export is known to be a file, before it is read, and once it has
  // been read (the converter sizes and ends its progress bar there); may be empty.
  std::function<void(const std::string& exportPath)> beforeRead;
  std::function<void()> afterRead;

  // The serial number for a run whose export has none; when absent, the serial-number
  // dialogs settle it, and a number they settle is passed to serialSettled (the main
  // window keeps it), when given.
  std::optional<std::string> serialNumber;
  std::function<void(const std::string& serial)> serialSettled;
  // Whether the user is asked (OK/Cancel) before dates that mix the orders of day and
  // month are converted.
  bool askAboutMixedDateOrders = false;
  ExportWithoutRows withoutRows = ExportWithoutRows::kRefused;

  DocumentTarget target = DocumentTarget::kImportTool;
  ToolPathCheck pathCheck = ToolPathCheck::kBeforeQuestions;
  // kImportTool: the process's temporary-file record and transfer-job numbers, and
  // whether dump copies are kept.
  cTempFiles* tempFiles = nullptr;
  JobNumberSource* jobNumbers = nullptr;
  bool dump = false;
  // kNamedFiles: the documents' files by the names given (the XML document or plain list,
  // and the JSON stream), and the host installation to hand them to (empty: none).
  std::string xmlPath;
  std::string jsonPath;
  std::string handOverFolder;

  // The import report: off when not wanted. Its path, when empty (only after an accepted
  // hand-over), is "report.html" in the run's dump folder. lastDays limits the summary to the
  // export's last days (0: all).
  bool report = false;
  std::string reportPath;
  int reportDays = 0;
  ReportTime reportTime = ReportTime::kWithTheDocuments;
  bool openReport = false;
};

// The steps of a run, in their order; a failure names the one it happened in.
enum class ImportStage { kCheck, kRead, kVet, kPrepare, kConvert, kWrite, kReport, kHandOver };

// Why a run ended before its end. kNone: the documents were written and, when asked,
// handed over and accepted.
enum class ImportFailure {
  kNone,
  kExportNotAFile,    // missing, a folder, a pipe, a device or another special file: exportKind
  kSecondHeader,      // a header with other units inside the data: secondHeader
  kExportNotRead,     // error says why (kErrFileChanged: the file changed while read)
  kExportEmpty,       // not even a header (kConverted)
  kNoRows,            // a header but no row (kRefused)
  kCancelled,         // by the user: the date-order question (kVet) or a dialog (kConvert)
  kNothingConverted,  // no row gave a record or reading
  kOutputIsExport,    // path: the XML document's file is the export file
  kJsonIsExport,      // path: the JSON stream's file is the export file
  kOutputsSame,       // path: the XML and the JSON file are one
  kReportOverwrites,  // path: the report's file is the export or a document
  kNoInstallation,    // no usable host installation in path
  kInstallationUnreadable,  // the named installation's files could not be read: error
  kOtherInstallation,       // path: the installation found; handOverFolder was named
  kPathNotForTool,          // path: the import tool's command line cannot carry it
  kToolFolderMissing,       // path: the import tool's folder could not be entered
  kToolRefused,             // the import tool's exit code was not 0
  kEnded,                   // the process was ended during the run (endedExitCode)
  kError,                   // a run-time error at `stage`: error
};

struct ImportResult {
  ImportFailure failure = ImportFailure::kNone;
  ImportStage stage = ImportStage::kCheck;
  std::optional<RuntimeError> error;
  std::optional<HeaderInDataError> secondHeader;
  FileKind exportKind = FileKind::kRegular;
  std::string path;
  int endedExitCode = 0;

  ExportReadResult read;
  ConversionResult conversion;
  // The documents' files as written (kNamedFiles: as full paths), the names given, and
  // the report's path; empty when not written.
  std::string xmlPath;
  std::string jsonPath;
  std::string xmlName;
  std::string jsonName;
  std::string reportPath;
  // The import tool's exit code, when it was started.
  std::optional<std::uint32_t> toolExitCode;

  bool Ok() const { return failure == ImportFailure::kNone; }
};

// Runs the request from the export file on.
ImportResult RunImport(ProcessContext& context, const ImportRequest& request);
// Runs the request from rows already read (the export file is not read again).
ImportResult RunImport(ProcessContext& context, const ImportRequest& request,
                       ExportReadResult read);

// The run's time stamp "yyyymmddHHMMSS", which names its dump folder.
std::string RunTimeStamp(const DateTime& now);

}  // namespace tavrin
