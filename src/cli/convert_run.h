#pragma once

#include <ostream>

#include "cli/options.h"

namespace tavrin {

class Platform;

// How the converter reports: the summary goes to out, warnings, errors and the progress
// bar to err; the bar only when err is a terminal.
struct ConverterOutput {
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;
};

// Converts the export file as the options say and, with --handover, hands the document to
// the host's import tool. Returns the exit code (ExitCode). Never throws.
int RunConverter(ConvertOptions options, Platform& platform, const ConverterOutput& output);

// The number of data rows (lines after the header) of a file, counted by its line feeds;
// 0 when it cannot be read.
long CountDataRows(const std::string& path);

}  // namespace tavrin
