#pragma once

#include <string>
#include <string_view>

#include "formats/html_report.h"
#include "importer/export_reader.h"
#include "importer/record_conversion.h"

namespace tavrin {

class ProcessContext;

// What an import report is made of: the export's path and what the reader and the
// conversion made of it.
struct ReportSources {
  std::string exportPath;
  const ExportReadResult& read;
  const ConversionResult& conversion;
  int lastDays = 0;  // the summary and the profile cover the last days only; 0: all
};

// Gathers the report's figures: the row text is read once more for the readings (in the
// export's unit, HIGH and LO marked), the per-day insulin and carbohydrate sums and the
// counts per kind of value; the reader's noted rows become the table of skipped rows with
// their reasons in the chosen language. Makes no OS calls.
ImportReport GatherImportReport(ProcessContext& context, const ReportSources& sources);

// The report's page in the chosen language.
std::string ImportReportPage(ProcessContext& context, const ReportSources& sources);

// Writes the report's page to the path (readable by the user only, as the documents).
// Throws the write's RuntimeError.
void WriteImportReport(ProcessContext& context, const std::string& path,
                       const ReportSources& sources);

}  // namespace tavrin
