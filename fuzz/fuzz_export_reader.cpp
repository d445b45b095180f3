// Feeds arbitrary bytes to the export reader as the content of an export file. It must
// never crash; a header too short for the weight column is rejected with run-time error 9,
// which is the reader's normal answer to such a file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "importer/export_reader.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/fs.h"

namespace {

// One process context for the whole run, with its program folder (and so its trace log)
// below the temporary folder.
struct FuzzContext {
  FuzzContext() {
    std::error_code ec;
    folder = std::filesystem::temp_directory_path(ec) / "tavrin-fuzz-export-reader";
    std::filesystem::create_directories(folder, ec);
    platform.programPath = tavrin::PathText(folder / "TavrinPlugin");
    context = std::make_unique<tavrin::ProcessContext>(platform, ui);
    context->languages =
        std::make_unique<tavrin::Languages>(platform, context->paths, std::string("DE"));
  }

  std::filesystem::path folder;
  tavrin::testing::FakePlatform platform;
  tavrin::testing::FakeUi ui;
  std::unique_ptr<tavrin::ProcessContext> context;
  long runs = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static FuzzContext fuzz;
  // The first byte picks the regional settings, so that both decimal separators and both
  // date orders are exercised, and whether the text is read on one thread or cut in two
  // halves wherever a line starts behind its middle.
  if (size > 0) {
    fuzz.platform.regional = data[0] % 2 == 0 ? tavrin::RegionalSettings::German()
                                              : tavrin::RegionalSettings::EnglishUS();
    fuzz.context->threads = {.oneThread = (data[0] & 2) == 0, .twoThreadBytes = 1};
  }
  try {
    (void)tavrin::ReadExportText(*fuzz.context,
                                 std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tavrin::RuntimeError& e) {
    if (e.Number() != 9) throw;
  }
  // The reader notes skipped rows in the trace log; keep the log from growing without end.
  fuzz.ui.statusTexts.clear();
  if (++fuzz.runs % 4096 == 0) {
    std::error_code ec;
    std::filesystem::remove(fuzz.context->trace.FilePath(), ec);
  }
  return 0;
}
