#pragma once

#include <string>

#include "app/import_pipeline.h"

namespace tavrin {

class ProcessContext;
class RuntimeError;
class frmMeterImport;

// The plug-in's import, run by the main window's start button: the request that the
// window and its settings make, and the end of the run as the user sees it.

// The import of the export file to the host's import tool: the serial number through the
// dialogs, the user asked about mixed date orders, an export without rows refused, the
// paths checked before any question; dump copies with "CreateDump", the import report
// after an accepted hand-over with "CreateReport" (its summary limited by "ReportDays").
ImportRequest PluginImportRequest(frmMeterImport& window, const std::string& exportPath);

// Tells the user how the run ended. Returns when the window stays open: the export was
// refused (named for what is wrong with it) or the user cancelled. Otherwise ends the
// process: after a hand-over (what was left out is told, and where it is listed), when
// there was nothing to hand over (message 5700), and after a run-time error
// (EndAfterRunError).
void EndPluginImport(ProcessContext& context, frmMeterImport& window, const ImportResult& result);

// The end of a failed run: message 5051 naming the action (message 5390) and the error's
// description and number, the trace line "Error: " + that text, and EndProgram.
[[noreturn]] void EndAfterRunError(ProcessContext& context, const RuntimeError& error);

}  // namespace tavrin
