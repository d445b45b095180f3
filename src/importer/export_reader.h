#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shared/regional.h"

namespace tavrin {

class Platform;
class ProcessContext;

// What the reader found in an export file.
struct ExportReadResult {
  std::string rowText;       // the RowText: "DD.MM.YYYY HH:NN;code;value" lines, CR LF each
  std::string exportUnit;    // "mg/dL" or "mmol/L"; empty when the file was empty
  long linesRead = 0;        // data lines after the header (the progress count)
  long rowsWithoutDate = 0;  // rows skipped because their date could not be read
  std::vector<long> skippedLineNumbers;  // file line numbers (1 = header) of the first few
};

// How many line numbers of rows without a readable date are kept for the trace log.
inline constexpr std::size_t kMaxSkippedLineNumbers = 10;

// Reads the app's CSV export into the RowText. The file is read in the ANSI code page, or
// as UTF-8 or UTF-16 when it starts with that byte-order mark (as spreadsheet programs
// save it); a UTF-8 file read as ANSI is repaired. A missing or empty file gives an empty
// result; a header with fewer than 21 fields throws RuntimeError 9 before any row is read;
// a file that exists but cannot be read throws RuntimeError 75. Shows the progress in the
// status line and writes one trace line when rows had to be skipped for want of a date.
ExportReadResult ReadExportFile(ProcessContext& context, const std::string& path);

// The same for the file's bytes already in memory.
ExportReadResult ReadExportText(ProcessContext& context, std::string_view bytes);

// The same, reading the text in pieces of about pieceBytes bytes (the reader's own size
// is a few megabytes): the result does not depend on it.
ExportReadResult ReadExportText(ProcessContext& context, std::string_view bytes,
                                std::size_t pieceBytes);

// The file's bytes as UTF-8 text: a UTF-8 or UTF-16 (either byte order) byte-order mark
// selects that encoding and is dropped; bytes without a mark are read in the ANSI code page.
std::string DecodeExportBytes(Platform& platform, std::string_view bytes);

// Puts back the German letters and a few accented ones of a UTF-8 file that was read in
// the ANSI code page ("Ã¶" becomes "ö" and so on).
std::string RepairUtf8(std::string_view text);

// Splits one CSV line. An empty line gives no fields; one separator at the very end is
// dropped; separators inside quotes do not split. A field ended by a separator loses one
// leading and one trailing quote character; the last field is kept as it stands.
// The vector is reused: its strings keep their capacity from call to call.
void SplitCsvLine(std::string_view line, char separator, std::vector<std::string>& fields,
                  char quote = '"');

// Blanks trimmed, then leading and trailing double quotes removed (trimming after each).
std::string StripQuotes(std::string_view text);

// True when the whole text is a number in the regional format: blanks around it, an
// optional sign, digits with the regional thousands separator between digits of the whole
// part, and an optional regional decimal separator followed by digits.
bool IsNumericText(std::string_view text, const RegionalSettings& regional);

}  // namespace tavrin
