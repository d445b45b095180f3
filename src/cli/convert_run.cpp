#include "cli/convert_run.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "cli/console_ui.h"
#include "cli/converter_platform.h"
#include "handover/import_call.h"
#include "handover/transfer_job.h"
#include "importer/export_reader.h"
#include "importer/import_report.h"
#include "importer/record_conversion.h"
#include "platform/file_replace.h"
#include "platform/host_discovery.h"
#include "platform/ini_file.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/fs.h"
#include "shared/text.h"
#include "shared/utf8.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

// Below this many rows the file is read before a bar would be worth seeing.
constexpr long kProgressBarRows = 5000;

// The serial number given on the command line; the converter never asks for one.
class FixedSerialNumber : public SerialNumberSource {
 public:
  explicit FixedSerialNumber(std::string serial) : serial_(std::move(serial)) {}
  std::string ResolveSerialNumber(ProcessContext& /*context*/) override { return serial_; }

 private:
  std::string serial_;
};

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(FsPath(path), ec);
  return ec ? path : PathText(absolute.lexically_normal());
}

// The import tool splits its command line at blanks and the path goes in unquoted, so a
// path holding a blank, tab or quote would reach it cut in pieces.
bool PathFitsCommandLine(std::string_view path) {
  return path.find_first_of(" \t\"") == std::string_view::npos;
}

// "(line a)" or "(lines a, b, ...)": the first lines of a number of rows.
void PrintLines(std::ostream& out, long rows, const std::vector<long>& lines) {
  out << (lines.size() > 1 ? "(lines " : "(line ");
  for (std::size_t i = 0; i < lines.size(); ++i) out << (i > 0 ? ", " : "") << lines[i];
  if (rows > static_cast<long>(lines.size())) out << ", ...";
  out << ")";
}

class ConverterRun {
 public:
  ConverterRun(ConvertOptions options, Platform& platform, const ConverterOutput& output)
      : options_(std::move(options)),
        output_(output),
        platform_(platform),
        ui_(output.err, options_.quiet, output.errIsTerminal),
        context_(platform_, ui_) {}

  int Run();

 private:
  int Fail(int code, const std::string& message) {
    ui_.EndProgress();
    output_.err << "tavrin-convert: " << message << '\n' << std::flush;
    return code;
  }
  // The trace log is a help for support staff; a log that cannot be written stops nothing.
  void Trace(const std::string& line) {
    try {
      context_.trace.Write(std::string_view(line));
    } catch (const std::exception&) {
    }
  }
  int Setup();
  int Read();
  int Convert();
  int WriteOutputs();
  int WriteReport();
  int HandOver();
  void PrintSummary();
  void PrintReadNotes(std::ostream& out);

  ConvertOptions options_;
  const ConverterOutput& output_;
  ConverterPlatform platform_;
  ConsoleUi ui_;
  ProcessContext context_;
  ExportReadResult read_;
  ConversionResult converted_;
  std::string xmlName_;  // written files, by the names given; empty when not written
  std::string jsonName_;
  std::string xmlPath_;  // the same as absolute paths
  std::string jsonPath_;
  std::string reportPath_;
  std::string handoverResult_;
};

int ConverterRun::Run() {
  // Each step with the exit code and the words of a failure that escapes it (running out
  // of memory, as a rule): the step it happened in decides what the user is told.
  struct Step {
    int (ConverterRun::*run)();
    int failure;
    const char* what;
  };
  const bool handOver = !options_.handoverFolder.empty();
  for (const Step& step : {
           Step{&ConverterRun::Setup, kExitUsage, "cannot start"},
           Step{&ConverterRun::Read, kExitBadInput, "cannot read the export file"},
           Step{&ConverterRun::Convert, kExitConversion, "conversion failed"},
           Step{&ConverterRun::WriteOutputs, kExitConversion, "cannot write the output"},
           Step{&ConverterRun::WriteReport, kExitConversion, "cannot write the report"},
           Step{handOver ? &ConverterRun::HandOver : nullptr, kExitHandoverFailed,
                "hand-over failed"},
       }) {
    if (step.run == nullptr) continue;
    int code = kExitSuccess;
    try {
      code = (this->*step.run)();
    } catch (const std::exception& error) {
      code = Fail(step.failure, std::string(step.what) + ": " +
                                    AsRuntimeError(error, "tavrin-convert").Detail());
    }
    if (code == kExitSuccess) continue;
    // A failed hand-over leaves the documents written: the summary still names them.
    if (step.run == &ConverterRun::HandOver && !options_.quiet) PrintSummary();
    return code;
  }
  if (!options_.quiet) PrintSummary();
  return kExitSuccess;
}

int ConverterRun::Setup() {
  if (options_.regional) {
    switch (*options_.regional) {
      case RegionalChoice::German:
        platform_.OverrideRegional(RegionalSettings::German());
        break;
      case RegionalChoice::EnglishUS:
        platform_.OverrideRegional(RegionalSettings::EnglishUS());
        break;
      case RegionalChoice::EnglishUK:
        platform_.OverrideRegional(RegionalSettings::EnglishUK());
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

int ConverterRun::Read() {
  const std::string& path = options_.exportPath;
  // A special file is named for what it is; a named pipe is never opened, since reading
  // it would wait for a writer.
  switch (KindOfFile(path)) {
    case FileKind::kRegular:
      break;
    case FileKind::kMissing:
      return Fail(kExitBadInput, "export file not found: " + path);
    case FileKind::kFolder:
      return Fail(kExitBadInput, "the export is a folder, not a file: " + path);
    case FileKind::kFifo:
      return Fail(kExitBadInput, "the export is a named pipe (FIFO), not a file: " + path);
    case FileKind::kDevice:
      return Fail(kExitBadInput, "the export is a device, not a file: " + path);
    case FileKind::kOther:
      return Fail(kExitBadInput, "the export is not a regular file: " + path);
  }
  if (output_.errIsTerminal && !options_.quiet) {
    const long rows = CountDataRows(path);
    if (rows >= kProgressBarRows) ui_.SetExpectedRows(rows);
  }
  try {
    read_ = ReadExportFile(context_, path);
  } catch (const HeaderInDataError& error) {
    return Fail(kExitBadInput, "the export file joins two exports, nothing was written: line " +
                                   std::to_string(error.Line()) + " is a second header with other units (" +
                                   error.Found() + " instead of " + error.Expected() + "): " + path);
  } catch (const std::exception& caught) {
    const RuntimeError error = AsRuntimeError(caught, "ReadExportFile");
    if (error.Number() == kErrFileChanged) {
      return Fail(kExitBadInput,
                  "the export file changed while it was read, nothing was written: " + path);
    }
    return Fail(kExitBadInput, "cannot read the export file " + path + ": " + error.Detail());
  }
  ui_.EndProgress();
  if (read_.exportUnit.empty()) {
    return Fail(kExitBadInput, "the export file is empty: " + path);
  }
  return kExitSuccess;
}

int ConverterRun::Convert() {
  FixedSerialNumber serial(options_.serial);
  try {
    converted_ = ConvertRows(context_, read_.rows, read_.exportUnit, serial);
  } catch (const ProgramEnded&) {
    return Fail(kExitConversion, "conversion ended early");
  }
  if (converted_.cancelled) return Fail(kExitConversion, "conversion cancelled");
  if (converted_.result.empty() && converted_.json.empty()) {
    // Whatever was refused or skipped is why nothing is left: the user sees the lines,
    // and the report (when asked for) lists them.
    ui_.EndProgress();
    PrintReadNotes(output_.err);
    if (const int code = WriteReport(); code != kExitSuccess) return code;
    if (!reportPath_.empty()) output_.err << "Report:           " << reportPath_ << '\n';
    return Fail(kExitConversion,
                "nothing to convert: the export holds no rows that can be imported (" +
                    std::to_string(read_.linesRead) + " rows read)");
  }
  return kExitSuccess;
}

// Files are compared, read and written by the names given, which lead from the current
// folder to the file also where the full path is longer than the system takes; the full
// paths are what the user is shown and the import tool is given.
int ConverterRun::WriteOutputs() {
  const std::string& xml = options_.outputPath;
  const std::string& json = options_.jsonPath;
  const bool writeXml = !converted_.result.empty();
  const bool writeJson = !converted_.json.empty();
  // Written over the export, the input would be lost; one output over the other, half of
  // the result.
  if (writeXml && IsSameFile(platform_, xml, options_.exportPath)) {
    return Fail(kExitUsage,
                "the output file would overwrite the export file: " + AbsolutePath(xml));
  }
  if (writeJson && IsSameFile(platform_, json, options_.exportPath)) {
    return Fail(kExitUsage, "the JSON file would overwrite the export file: " + AbsolutePath(json));
  }
  if (writeXml && writeJson && IsSameFile(platform_, xml, json)) {
    return Fail(kExitUsage, "the XML and the JSON output name the same file: " + AbsolutePath(xml));
  }
  // Each output is replaced whole through a file of this run's own, so a second converter
  // writing the same name at the same time never mixes its document into ours. The
  // documents are patient data: readable by the user only. A read-only output or one
  // that is no regular file is refused, never made writable or replaced.
  try {
    if (writeXml) {
      WriteUtf8File(platform_, xml, converted_.result, FileAccess::OwnerOnly);
      xmlName_ = xml;
      xmlPath_ = AbsolutePath(xml);
    }
    if (writeJson) {
      WriteUtf8File(platform_, json, converted_.json, FileAccess::OwnerOnly);
      jsonName_ = json;
      jsonPath_ = AbsolutePath(json);
    }
  } catch (const RuntimeError& error) {
    return Fail(kExitConversion, "cannot write the output: " + error.Detail());
  }
  return kExitSuccess;
}

// The report shows what the documents hold, so it is written once they are.
int ConverterRun::WriteReport() {
  if (options_.reportPath.empty()) return kExitSuccess;
  const std::string& report = options_.reportPath;
  for (const std::string& taken : {options_.exportPath, xmlName_, jsonName_}) {
    if (!taken.empty() && IsSameFile(platform_, report, taken)) {
      return Fail(kExitUsage, "the report would overwrite " + AbsolutePath(taken));
    }
  }
  try {
    WriteImportReport(context_, report,
                      {options_.exportPath, read_, converted_, options_.reportDays});
  } catch (const RuntimeError& error) {
    return Fail(kExitConversion, "cannot write the report: " + error.Detail());
  }
  reportPath_ = AbsolutePath(report);
  return kExitSuccess;
}

int ConverterRun::HandOver() {
  const std::string folder = AddBackslash(AbsolutePath(options_.handoverFolder));
  // The folder named on the command line takes the place of the settings' one.
  try {
    DetermineHostFolders(context_, folder);
  } catch (const ProgramEnded&) {
    return Fail(kExitHandoverFailed, "no usable Orvolux installation in " + folder);
  } catch (const RuntimeError& error) {
    return Fail(kExitHandoverFailed, "cannot read the Orvolux installation: " + error.Detail());
  }
  // A converter kept in a "plugins" folder of another installation finds that one first.
  const std::string& base = context_.host.baseFolder;
  const std::string parent = PathText(FsPath(folder).parent_path().parent_path());
  if (!IsSameFile(platform_, base, folder) && !IsSameFile(platform_, base, parent)) {
    return Fail(kExitHandoverFailed,
                "the Orvolux installation found is " + base + ", not the one named: " + folder);
  }

  const bool json = !jsonPath_.empty();
  const std::string& file = json ? jsonPath_ : xmlPath_;
  if (!PathFitsCommandLine(file) || (json && !PathFitsCommandLine(xmlPath_))) {
    return Fail(kExitHandoverFailed,
                "the import tool cannot be given a path with blanks or quotes: " + file +
                    " (choose another output file with -o/--json)");
  }

  std::uint32_t exitCode = 0;
  try {
    // Both documents: the XML one waits as a transfer job until the host asks for it.
    const std::string jobSuffix =
        json && !xmlPath_.empty() ? CreateTransferJob(context_, xmlPath_) : std::string();
    exitCode =
        HandOverToImportTool(context_, {.form = json ? CommandForm::L : CommandForm::S,
                                        .filePath = file,
                                        .document = json ? converted_.json : converted_.result,
                                        .jobSuffix = jobSuffix,
                                        .trace = [this](const std::string& line) { Trace(line); }})
            .exitCode;
  } catch (const ToolFolderError& error) {
    return Fail(kExitHandoverFailed, "cannot enter the import tool's folder " + error.Folder());
  }

  const int code = static_cast<int>(exitCode);
  Trace("Hand-over result: " + std::to_string(code));
  const ImportToolExit meaning = ImportToolExitText(code);
  handoverResult_ = "exit code " + std::to_string(code);
  if (!meaning.text.empty()) handoverResult_ += " (" + meaning.text + ")";
  if (code != 0) {
    return Fail(kExitHandoverFailed, "the import tool reported a failure: " + handoverResult_ +
                                         (meaning.loginRelated ? ", a login problem" : ""));
  }
  return kExitSuccess;
}

void ConverterRun::PrintSummary() {
  std::ostream& out = output_.out;
  out << "Export file:      " << options_.exportPath << '\n';
  out << "Rows read:        " << read_.linesRead << '\n';
  out << "Records written:  " << converted_.bgRecords << '\n';
  out << "CGM readings:     " << converted_.cgmReadings << '\n';
  PrintReadNotes(out);
  out << "Serial number:    " << converted_.serialNumber << '\n';
  if (!xmlPath_.empty()) {
    const bool isXml = converted_.result.starts_with("<?xml") || converted_.result.starts_with("<");
    out << (isXml ? "XML document:     " : "Record list:      ") << xmlPath_ << '\n';
  }
  if (!jsonPath_.empty()) out << "JSON stream:      " << jsonPath_ << '\n';
  if (!reportPath_.empty()) out << "Report:           " << reportPath_ << '\n';
  if (!handoverResult_.empty()) out << "Import tool:      " << handoverResult_ << '\n';
  out.flush();
}

// What the reader skipped, refused, kept as text and how it read the dates.
void ConverterRun::PrintReadNotes(std::ostream& out) {
  out << "Rows skipped:     " << read_.rowsWithoutDate;
  if (read_.rowsWithoutDate > 0) {
    out << " without a readable date ";
    PrintLines(out, read_.rowsWithoutDate, read_.skippedLineNumbers);
  }
  out << '\n';
  if (read_.valuesRefused > 0) {
    out << "Values refused:   " << read_.valuesRefused << " unreadable or out of range ";
    PrintLines(out, read_.rowsWithRefusedValues, read_.refusedLineNumbers);
    out << '\n';
  }
  if (read_.glucoseKeptAsText > 0) {
    out << "Kept as text:     " << read_.glucoseKeptAsText << " glucose values that are no number ";
    PrintLines(out, read_.glucoseKeptAsText, read_.keptLineNumbers);
    out << '\n';
  }
  if (read_.endsInHalfCharacter) {
    out << "Warning:          the UTF-16 export ends in half a character (an odd number of "
           "bytes); it may be cut short\n";
  }
  if (read_.headerLinesInData > 0) {
    out << "Header lines:     " << read_.headerLinesInData << " inside the data, passed over ";
    PrintLines(out, read_.headerLinesInData, read_.headerLineNumbers);
    out << '\n';
  }
  if (read_.fileDateOrder != DayMonthOrder::kNone) {
    const bool dayFirst = read_.fileDateOrder == DayMonthOrder::kDayFirst;
    out << "Date order:       " << (dayFirst ? "day first" : "month first")
        << ", as the export shows: "
        << (dayFirst ? read_.datesOnlyDayFirst : read_.datesOnlyMonthFirst)
        << " dates can only be read that way, none the other way\n";
  }
  if (read_.MixedDateOrders()) {
    out << "Warning:          the dates mix day/month orders (" << read_.datesDayFirst
        << " rows read day first, " << read_.datesMonthFirst
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
    output.err << "tavrin-convert: " << error.what() << '\n';
    return kExitConversion;
  } catch (const ProgramEnded&) {
    return kExitConversion;
  }
}

}  // namespace tavrin
