// Feeds arbitrary bytes to the export reader as the content of an export file. It must
// never crash. A header too short for the weight column (run-time error 9) and a second
// header inside the data with other units (kErrHeaderInData) are the reader's normal
// refusals of such a file; any other error is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_context.h"
#include "importer/export_reader.h"
#include "shared/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavrin::fuzzing::FuzzContext fuzz("export-reader");
  // The first byte picks the regional settings, so that both decimal separators and both
  // date orders are exercised, and whether the text is read on one thread or cut in two
  // halves wherever a line starts behind its middle.
  if (size > 0) {
    fuzz.PickRegional(data[0]);
    fuzz.context->threads = {.oneThread = (data[0] & 0x80) == 0, .twoThreadBytes = 1};
  }
  try {
    (void)tavrin::ReadExportText(*fuzz.context,
                                 std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tavrin::RuntimeError& e) {
    if (e.Number() != tavrin::kErrSubscript && e.Number() != tavrin::kErrHeaderInData) throw;
  }
  fuzz.Tidy();
  return 0;
}
