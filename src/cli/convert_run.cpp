#include "cli/convert_run.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "app/import_pipeline.h"
#include "cli/console_ui.h"
#include "cli/converter_locale.h"
#include "handover/import_call.h"
#include "platform/ini_file.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

// Below this many rows the file is read before a bar would be worth seeing.
constexpr long kProgressBarRows = 5000;

// "(line a)" or "(lines a, b, ...)": the first lines of a number of rows.
void PrintLines(std::ostream& out, long rows, const std::vector<long>& lines) {
  out << (lines.size() > 1 ? "(lines " : "(line ");
  for (std::size_t i = 0; i < lines.size(); ++i) out << (i > 0 ? ", " : "") << lines[i];
  if (rows > static_cast<long>(lines.size())) out << ", ...";
  out << ")";
}

const char* NotAFileText(FileKind kind) {
  switch (kind) {
    case FileKind::kMissing:
      return "export file not found: ";
    case FileKind::kFolder:
      return "the export is a folder, not a file: ";
    case FileKind::kFifo:
      return "the export is a named pipe (FIFO), not a file: ";
    case FileKind::kDevice:
      return "the export is a device, not a file: ";
    default:
      return "the export is not a regular file: ";
  }
}

// The exit code and the words of a run-time error that ended the step it happened in.
struct StepFailure {
  int code;
  const char* what;
};

StepFailure FailureOfStage(ImportStage stage) {
  switch (stage) {
    case ImportStage::kCheck:
    case ImportStage::kRead:
    case ImportStage::kVet:
      return {kExitBadInput, "cannot read the export file"};
    case ImportStage::kPrepare:
    case ImportStage::kConvert:
      return {kExitConversion, "conversion failed"};
    case ImportStage::kWrite:
      return {kExitConversion, "cannot write the output"};
    case ImportStage::kReport:
      return {kExitConversion, "cannot write the report"};
    case ImportStage::kHandOver:
      break;
  }
  return {kExitHandoverFailed, "hand-over failed"};
}

class ConverterRun {
 public:
  ConverterRun(ConvertOptions options, Platform& platform, const ConverterOutput& output)
      : options_(std::move(options)),
        output_(output),
        locale_(platform.Locale()),
        platform_(platform.WithLocale(locale_)),
        ui_(output.err, options_.quiet, output.errIsTerminal),
        context_(platform_, ui_) {}

  // Runs the conversion; a failure that escapes it is traced before it goes on.
  int Run();

 private:
  int RunSteps();
  int Fail(int code, const std::string& message) {
    ui_.EndProgress();
    output_.err << "tavrin-convert: " << message << '\n' << std::flush;
    return code;
  }
  // The trace log is a help for support staff; a log that cannot be written stops nothing.
  void Trace(const std::string& line) { context_.trace.TryWrite(line); }
  int Setup();
  ImportRequest Request();
  int Failure();
  std::string ExportFailureText() const;
  void PrintSummary();
  void PrintReadNotes(std::ostream& out);

  ConvertOptions options_;
  const ConverterOutput& output_;
  ConverterLocale locale_;
  Platform platform_;  // the system's services, with the locale above
  ConsoleUi ui_;
  ProcessContext context_;
  ImportResult result_;
  std::string handoverResult_;
};

int ConverterRun::Run() {
  try {
    return RunSteps();
  } catch (const std::exception& error) {
    Trace("Ended by a failure: " + AsRuntimeError(error, "tavrin-convert").Detail());
    throw;
  }
}

int ConverterRun::RunSteps() {
  try {
    if (const int code = Setup(); code != kExitSuccess) return code;
  } catch (const std::exception& error) {
    return Fail(kExitUsage, "cannot start: " + AsRuntimeError(error, "tavrin-convert").Detail());
  }
  result_ = RunImport(context_, Request());
  if (result_.toolExitCode) {
    const int code = static_cast<int>(*result_.toolExitCode);
    const ImportToolExit meaning = ImportToolExitText(code);
    handoverResult_ = "exit code " + std::to_string(code);
    if (!meaning.text.empty()) handoverResult_ += " (" + meaning.text + ")";
  }
  if (result_.Ok()) {
    if (!options_.quiet) PrintSummary();
    return kExitSuccess;
  }
  const int code = Failure();
  // A failed hand-over leaves the documents written: the summary still names them.
  if (result_.stage == ImportStage::kHandOver && result_.failure != ImportFailure::kEnded &&
      !options_.quiet) {
    PrintSummary();
  }
  return code;
}

int ConverterRun::Setup() {
  if (options_.regional) {
    switch (*options_.regional) {
      case RegionalChoice::German:
        locale_.OverrideRegional(RegionalSettings::German());
        break;
      case RegionalChoice::EnglishUS:
        locale_.OverrideRegional(RegionalSettings::EnglishUS());
        break;
      case RegionalChoice::EnglishUK:
        locale_.OverrideRegional(RegionalSettings::EnglishUK());
        break;
    }
  }
  if (!options_.settingsPath.empty()) {
    const std::string settings = AbsolutePath(options_.settingsPath);
    if (!FileExists(settings)) return Fail(kExitUsage, "settings file not found: " + settings);
    context_.paths.SetSettingsFilePath(settings);
  }
  // The settings file is only read: the converter leaves the plug-in's configuration as
  // it found it.
  cIniFile settings(platform_);
  settings.IniFile(context_.paths.SettingsFilePath());
  const std::string language =
      settings.Load("Config", "Language", Languages::SystemLanguageCode(platform_));
  context_.languages = std::make_unique<Languages>(platform_, context_.paths, language);

  FillDefaultOutputPaths(options_);
  Trace("tavrin-convert " + options_.exportPath);
  return kExitSuccess;
}

// The converter's import: the files named on the command line, the serial number given
// there (the converter never asks), an export without rows converted to nothing and
// reported, the import tool's paths checked at the hand-over, the report with the
// documents.
ImportRequest ConverterRun::Request() {
  ImportRequest request;
  request.exportPath = options_.exportPath;
  if (output_.errIsTerminal && !options_.quiet) {
    request.beforeRead = [this](const std::string& path) {
      const long rows = CountDataRows(path);
      if (rows >= kProgressBarRows) ui_.SetExpectedRows(rows);
    };
  }
  request.afterRead = [this] { ui_.EndProgress(); };
  request.serialNumber = options_.serial;
  request.withoutRows = ExportWithoutRows::kConverted;
  request.target = DocumentTarget::kNamedFiles;
  request.pathCheck = ToolPathCheck::kAtHandOver;
  request.xmlPath = options_.outputPath;
  request.jsonPath = options_.jsonPath;
  request.handOverFolder = options_.handoverFolder;
  request.report = !options_.reportPath.empty();
  request.reportPath = options_.reportPath;
  request.reportDays = options_.reportDays;
  request.reportTime = ReportTime::kWithTheDocuments;
  return request;
}

// Why the export file was refused, for its exit code kExitBadInput.
std::string ConverterRun::ExportFailureText() const {
  const ImportResult& r = result_;
  const std::string& path = options_.exportPath;
  switch (r.failure) {
    case ImportFailure::kExportNotAFile:
      return NotAFileText(r.exportKind) + path;
    case ImportFailure::kSecondHeader:
      return "the export file joins two exports, nothing was written: line " +
             std::to_string(r.secondHeader->Line()) + " is a second header with other units (" +
             r.secondHeader->Found() + " instead of " + r.secondHeader->Expected() + "): " + path;
    case ImportFailure::kExportNotRead:
      if (r.error->Number() == kErrFileChanged) {
        return "the export file changed while it was read, nothing was written: " + path;
      }
      return "cannot read the export file " + path + ": " + r.error->Detail();
    default:  // empty, or without rows
      return "the export file is empty: " + path;
  }
}

// The message and exit code of a run that did not reach its end.
int ConverterRun::Failure() {
  const ImportResult& r = result_;
  const bool nothingConverted = r.conversion.result.empty() && r.conversion.json.empty();
  // Whatever was refused or skipped is why nothing is left: the user sees the lines
  // before the report's trouble or the verdict.
  if (r.stage == ImportStage::kReport && nothingConverted &&
      r.failure != ImportFailure::kNothingConverted) {
    ui_.EndProgress();
    PrintReadNotes(output_.err);
  }
  switch (r.failure) {
    case ImportFailure::kExportNotAFile:
    case ImportFailure::kSecondHeader:
    case ImportFailure::kExportNotRead:
    case ImportFailure::kExportEmpty:
    case ImportFailure::kNoRows:
      return Fail(kExitBadInput, ExportFailureText());
    case ImportFailure::kCancelled:
      return Fail(kExitConversion, "conversion cancelled");
    case ImportFailure::kNothingConverted:
      ui_.EndProgress();
      PrintReadNotes(output_.err);
      if (!r.reportPath.empty()) output_.err << "Report:           " << r.reportPath << '\n';
      return Fail(kExitConversion,
                  "nothing to convert: the export holds no rows that can be imported (" +
                      std::to_string(r.read.linesRead) + " rows read)");
    case ImportFailure::kOutputIsExport:
      return Fail(kExitUsage, "the output file would overwrite the export file: " + r.path);
    case ImportFailure::kJsonIsExport:
      return Fail(kExitUsage, "the JSON file would overwrite the export file: " + r.path);
    case ImportFailure::kOutputsSame:
      return Fail(kExitUsage, "the XML and the JSON output name the same file: " + r.path);
    case ImportFailure::kReportOverwrites:
      return Fail(kExitUsage, "the report would overwrite " + r.path);
    case ImportFailure::kNoInstallation:
      return Fail(kExitHandoverFailed, "no usable Orvolux installation in " + r.path);
    case ImportFailure::kInstallationUnreadable:
      return Fail(kExitHandoverFailed,
                  "cannot read the Orvolux installation: " + r.error->Detail());
    case ImportFailure::kOtherInstallation:
      return Fail(kExitHandoverFailed, "the Orvolux installation found is " + r.path +
                                           ", not the one named: " +
                                           AddBackslash(AbsolutePath(options_.handoverFolder)));
    case ImportFailure::kPathNotForTool:
      return Fail(kExitHandoverFailed,
                  "the import tool cannot be given a path with blanks or quotes: " + r.path +
                      " (choose another output file with -o/--json)");
    case ImportFailure::kToolFolderMissing:
      return Fail(kExitHandoverFailed, "cannot enter the import tool's folder " + r.path);
    case ImportFailure::kToolRefused: {
      const bool login = ImportToolExitText(static_cast<int>(*r.toolExitCode)).loginRelated;
      return Fail(kExitHandoverFailed, "the import tool reported a failure: " + handoverResult_ +
                                           (login ? ", a login problem" : ""));
    }
    case ImportFailure::kEnded:
      if (r.stage == ImportStage::kConvert) return Fail(kExitConversion, "conversion ended early");
      return kExitConversion;
    case ImportFailure::kError: {
      const StepFailure step = FailureOfStage(r.stage);
      return Fail(step.code, std::string(step.what) + ": " + r.error->Detail());
    }
    case ImportFailure::kNone:
      break;
  }
  return kExitSuccess;
}

void ConverterRun::PrintSummary() {
  std::ostream& out = output_.out;
  const ExportReadResult& read = result_.read;
  const ConversionResult& converted = result_.conversion;
  out << "Export file:      " << options_.exportPath << '\n';
  out << "Rows read:        " << read.linesRead << '\n';
  out << "Records written:  " << converted.bgRecords << '\n';
  out << "CGM readings:     " << converted.cgmReadings << '\n';
  PrintReadNotes(out);
  out << "Serial number:    " << converted.serialNumber << '\n';
  if (!result_.xmlPath.empty()) {
    const bool isXml = converted.result.starts_with("<?xml") || converted.result.starts_with("<");
    out << (isXml ? "XML document:     " : "Record list:      ") << result_.xmlPath << '\n';
  }
  if (!result_.jsonPath.empty()) out << "JSON stream:      " << result_.jsonPath << '\n';
  if (!result_.reportPath.empty()) out << "Report:           " << result_.reportPath << '\n';
  if (!handoverResult_.empty()) out << "Import tool:      " << handoverResult_ << '\n';
  out.flush();
}

// What the reader skipped, refused, kept as text and how it read the dates.
void ConverterRun::PrintReadNotes(std::ostream& out) {
  const ExportReadResult& read = result_.read;
  out << "Rows skipped:     " << read.rowsWithoutDate;
  if (read.rowsWithoutDate > 0) {
    out << " without a readable date ";
    PrintLines(out, read.rowsWithoutDate, read.skippedLineNumbers);
  }
  out << '\n';
  if (read.valuesRefused > 0) {
    out << "Values refused:   " << read.valuesRefused << " unreadable or out of range ";
    PrintLines(out, read.rowsWithRefusedValues, read.refusedLineNumbers);
    out << '\n';
  }
  if (read.glucoseKeptAsText > 0) {
    out << "Kept as text:     " << read.glucoseKeptAsText << " glucose values that are no number ";
    PrintLines(out, read.glucoseKeptAsText, read.keptLineNumbers);
    out << '\n';
  }
  if (read.endsInHalfCharacter) {
    out << "Warning:          the UTF-16 export ends in half a character (an odd number of "
           "bytes); it may be cut short\n";
  }
  if (read.headerLinesInData > 0) {
    out << "Header lines:     " << read.headerLinesInData << " inside the data, passed over ";
    PrintLines(out, read.headerLinesInData, read.headerLineNumbers);
    out << '\n';
  }
  if (read.fileDateOrder != DayMonthOrder::kNone) {
    const bool dayFirst = read.fileDateOrder == DayMonthOrder::kDayFirst;
    out << "Date order:       " << (dayFirst ? "day first" : "month first")
        << ", as the export shows: "
        << (dayFirst ? read.datesOnlyDayFirst : read.datesOnlyMonthFirst)
        << " dates can only be read that way, none the other way\n";
  }
  if (read.MixedDateOrders()) {
    out << "Warning:          the dates mix day/month orders (" << read.datesDayFirst
        << " rows read day first, " << read.datesMonthFirst
        << " month first); some may be in the wrong month\n";
  }
}

}  // namespace

long CountDataRows(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) return 0;
  long lineFeeds = 0;
  bool endsWithLineFeed = false;
  bool empty = true;
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    const std::streamsize count = in.gcount();
    for (std::streamsize i = 0; i < count; ++i) {
      if (buffer[i] == '\n') ++lineFeeds;
    }
    empty = false;
    endsWithLineFeed = buffer[count - 1] == '\n';
  }
  if (empty) return 0;
  const long lines = endsWithLineFeed ? lineFeeds : lineFeeds + 1;
  return lines - 1;  // the header
}

int RunConverter(ConvertOptions options, Platform& platform, const ConverterOutput& output) {
  try {
    ConverterRun run(std::move(options), platform, output);
    return run.Run();
  } catch (const std::exception& error) {
    // Nothing is thrown past the converter's edge; the run has traced it (ConverterRun::Run)
    // unless its context could not be made.
    output.err << "tavrin-convert: " << error.what() << '\n';
    return kExitConversion;
  } catch (const ProgramEnded&) {
    return kExitConversion;
  }
}

}  // namespace tavrin
