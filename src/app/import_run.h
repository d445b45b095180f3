#pragma once

#include <string>

namespace tavrin {

class ProcessContext;
class RowTable;
class RuntimeError;
class frmMeterImport;
struct DateTime;
struct ExportReadResult;

// One import from the main window: converts the rows of the export, writes the host
// documents to temporary files (and, with "CreateDump", dump copies and replay batch
// files), hands them to the host's import tool and ends the process. Returns only when
// the user cancelled during the conversion. A run-time error ends the process through
// EndAfterRunError; a run that yields nothing to import tells the user so and ends.
// `read`, when given, is the reader's result that the rows come from: with "CreateReport"
// a hand-over that the import tool accepted leaves the import report in the dump folder
// and opens it, and the user is told what was left out.
void RunImport(ProcessContext& context, frmMeterImport& window, const RowTable& rows,
               const std::string& exportUnit, const ExportReadResult* read = nullptr);

// The end of a failed run: message 5051 naming the action (message 5390) and the error's
// description and number, the trace line "Error: " + that text, and EndProgram.
[[noreturn]] void EndAfterRunError(ProcessContext& context, const RuntimeError& error);

// The run's time stamp "yyyymmddHHMMSS", which names its dump folder.
std::string RunTimeStamp(const DateTime& now);

}  // namespace tavrin
