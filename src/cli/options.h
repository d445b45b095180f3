#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin {

class Platform;

// The exit codes of tavrin-convert.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitUsage = 1,           // the command line could not be understood
  kExitBadInput = 2,        // the export file is missing, unreadable or not an export
  kExitConversion = 3,      // the conversion failed or found nothing to convert
  kExitHandoverFailed = 4,  // the import tool could not be started or reported a failure
};

// Regional settings that replace the system's for reading dates and numbers.
enum class RegionalChoice { German, EnglishUS, EnglishUK };

struct ConvertOptions {
  std::string exportPath;
  std::string outputPath;  // empty: the export's path with the extension ".xml"
  std::string jsonPath;    // empty: the export's path with the extension ".json"
  std::string reportPath;  // empty: no import report
  int reportDays = 0;      // the report's summary covers the last days only; 0: all
  std::string serial = "unknown";
  std::string settingsPath;  // empty: the settings file beside the program
  std::optional<RegionalChoice> regional;
  std::string handoverFolder;  // empty: no hand-over
  bool quiet = false;
  bool help = false;
  bool version = false;
};

struct ParsedOptions {
  ConvertOptions options;
  std::string error;  // empty when the command line was understood
};

// Reads the arguments after the program's name. Options may come before or after the
// export file; "--name=value" is the same as "--name value"; "--" ends the options.
// --help and --version need no export file.
ParsedOptions ParseConvertOptions(const std::vector<std::string>& arguments);

// The path with its extension (the part after the last "." of the file name) replaced by
// the given one ("xml", "json"); a name without extension gets one appended.
std::string WithExtension(std::string_view path, std::string_view extension);

// Fills in the default output paths: the export's path with the extensions ".xml" and
// ".json".
void FillDefaultOutputPaths(ConvertOptions& options);

// The text printed for --help.
std::string UsageText();

}  // namespace tavrin
