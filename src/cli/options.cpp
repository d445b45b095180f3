#include "cli/options.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"
#include "shared/fs.h"

namespace tavrin {

namespace {

namespace fs = std::filesystem;

enum class Option {
  Output,
  Json,
  Report,
  ReportDays,
  Serial,
  Settings,
  Regional,
  Handover,
  Quiet,
  Help,
  Version
};

struct OptionName {
  std::string_view longName;
  char shortName;  // 0 when the option has none
  Option option;
  bool takesValue;
};

constexpr OptionName kOptions[] = {
    {"output", 'o', Option::Output, true},        {"json", 0, Option::Json, true},
    {"serial", 0, Option::Serial, true},          {"settings", 0, Option::Settings, true},
    {"regional", 0, Option::Regional, true},      {"handover", 0, Option::Handover, true},
    {"quiet", 'q', Option::Quiet, false},         {"help", 'h', Option::Help, false},
    {"version", 'V', Option::Version, false},     {"report", 0, Option::Report, true},
    {"report-days", 0, Option::ReportDays, true},
};

const OptionName* FindLong(std::string_view name) {
  for (const OptionName& entry : kOptions) {
    if (entry.longName == name) return &entry;
  }
  return nullptr;
}

const OptionName* FindShort(char name) {
  for (const OptionName& entry : kOptions) {
    if (entry.shortName != 0 && entry.shortName == name) return &entry;
  }
  return nullptr;
}

std::optional<RegionalChoice> ParseRegional(std::string_view text) {
  std::string key;
  for (char c : text) {
    key += c == '_' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  if (key == "de") return RegionalChoice::German;
  if (key == "en-us") return RegionalChoice::EnglishUS;
  if (key == "en-gb") return RegionalChoice::EnglishUK;
  return std::nullopt;
}

// Stores one option's value; returns an error text, empty when it was accepted.
std::string Apply(ConvertOptions& options, Option option, const std::string& value) {
  switch (option) {
    case Option::Output:
      options.outputPath = value;
      break;
    case Option::Json:
      options.jsonPath = value;
      break;
    case Option::Report:
      options.reportPath = value;
      break;
    case Option::ReportDays: {
      int days = 0;
      const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), days);
      if (ec != std::errc() || end != value.data() + value.size() || days < 1 || days > 36500) {
        return "the number of report days must be a whole number from 1 to 36500, not '" + value +
               "'";
      }
      options.reportDays = days;
      break;
    }
    case Option::Serial:
      options.serial = value;
      break;
    case Option::Settings:
      options.settingsPath = value;
      break;
    case Option::Regional:
      options.regional = ParseRegional(value);
      if (!options.regional) {
        return "unknown regional settings '" + value + "' (expected de, en-us or en-gb)";
      }
      break;
    case Option::Handover:
      options.handoverFolder = value;
      break;
    case Option::Quiet:
      options.quiet = true;
      break;
    case Option::Help:
      options.help = true;
      break;
    case Option::Version:
      options.version = true;
      break;
  }
  return {};
}

// The value options that name files must not be empty: an empty name would silently
// fall back to a file nobody asked for.
bool NeedsNonEmptyValue(Option option) {
  return option == Option::Output || option == Option::Json || option == Option::Settings ||
         option == Option::Handover;
}

}  // namespace

ParsedOptions ParseConvertOptions(const std::vector<std::string>& arguments) {
  ParsedOptions parsed;
  ConvertOptions& options = parsed.options;
  bool optionsEnded = false;

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
    if (!isOption) {
      if (!options.exportPath.empty()) {
        parsed.error =
            "more than one export file given ('" + options.exportPath + "' and '" + argument + "')";
        return parsed;
      }
      if (argument.empty()) {
        parsed.error = "the export file's name is empty";
        return parsed;
      }
      options.exportPath = argument;
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }

    const OptionName* entry = nullptr;
    std::optional<std::string> inlineValue;
    if (argument.starts_with("--")) {
      std::string_view name = std::string_view(argument).substr(2);
      if (const auto equals = name.find('='); equals != std::string_view::npos) {
        inlineValue = std::string(name.substr(equals + 1));
        name = name.substr(0, equals);
      }
      entry = FindLong(name);
    } else if (argument.size() == 2) {
      entry = FindShort(argument[1]);
    }
    if (entry == nullptr) {
      parsed.error = "unknown option '" + argument + "'";
      return parsed;
    }

    std::string value;
    if (entry->takesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        parsed.error = "option '" + argument + "' needs a value";
        return parsed;
      }
      if (value.empty() && NeedsNonEmptyValue(entry->option)) {
        parsed.error = "option '--" + std::string(entry->longName) + "' needs a non-empty value";
        return parsed;
      }
    } else if (inlineValue) {
      parsed.error = "option '--" + std::string(entry->longName) + "' takes no value";
      return parsed;
    }
    if (std::string error = Apply(options, entry->option, value); !error.empty()) {
      parsed.error = std::move(error);
      return parsed;
    }
  }

  if (options.exportPath.empty() && !options.help && !options.version) {
    parsed.error = "no export file given";
  }
  return parsed;
}

std::string WithExtension(std::string_view path, std::string_view extension) {
  const std::size_t nameStart =
      path.find_last_of("/\\") == std::string_view::npos ? 0 : path.find_last_of("/\\") + 1;
  std::size_t dot = path.rfind('.');
  // A dot that opens the name (".hidden") or lies in a folder name is no extension.
  if (dot == std::string_view::npos || dot <= nameStart) dot = path.size();
  return std::string(path.substr(0, dot)) + "." + std::string(extension);
}

void FillDefaultOutputPaths(ConvertOptions& options) {
  if (options.outputPath.empty()) options.outputPath = WithExtension(options.exportPath, "xml");
  if (options.jsonPath.empty()) options.jsonPath = WithExtension(options.exportPath, "json");
}

std::string UsageText() {
  return R"(Usage: tavrin-convert [options] EXPORT.csv

Converts an export file of the Tavrin app into the import document of the Orvolux
software, without the Orvolux software at hand, and can hand the document to an
Orvolux installation's import tool.

Options:
  -o, --output FILE      write the XML document to FILE (default: EXPORT with the
                         extension .xml); when the setting "Driver"/"XML" is off, the
                         plain record list is written there instead
      --json FILE        write the JSON stream of CGM readings to FILE, when the export
                         holds any (default: EXPORT with the extension .json)
      --report FILE      also write the import report, a page for any web browser, to
                         FILE (.html): the export's days, counts, charts of glucose,
                         insulin and carbohydrates, and every skipped row and why
      --report-days N    let the report's glucose summary and daily profile cover the
                         last N days of the export only (default: the whole export)
      --serial TEXT      the meter serial number of the document (default: unknown)
      --settings FILE    read the settings from FILE instead of tavrin-convert.ini
                         beside the program; the file is only read
      --regional R       read dates, times and numbers as written in R (de, en-us or
                         en-gb) instead of by the system's regional settings
      --handover FOLDER  hand the finished document to the import tool of the Orvolux
                         installation in FOLDER and report the tool's result
  -q, --quiet            print errors only (no warnings, progress or summary)
  -h, --help             print this text and exit
  -V, --version          print the version and exit

Warnings about the age of the data are printed on standard error and answered with
OK. The trace log is written to the cfg folder beside the program.

Exit codes:
  0  success
  1  usage error (unknown option, missing value, no export file, an output file that
     would overwrite the export file)
  2  bad input: the export file is missing, is not a regular file, cannot be read,
     changed while it was read, its header was rejected, or it joins two exports
     whose headers give other units
  3  conversion error, or nothing to convert, or an output file cannot be written
     (a read-only output or one that is not a regular file is refused, not replaced)
  4  hand-over failure: the import tool could not be started, or it ended with an
     exit code other than 0
Running out of memory ends the step it happens in with that step's exit code and
the error Out of memory (number 7); a file larger than the program reads of its
kind (settings 16 MiB, the Orvolux patient list 64 MiB) is named in that message.
)";
}

}  // namespace tavrin
