// The converter stopped from outside in the middle of writing its document.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "export_generator.h"
#include "fakes/temp_dir.h"

namespace tavrin::e2e {
namespace {

std::vector<fs::path> NewFiles(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().string().ends_with(".new~")) found.push_back(entry.path());
  }
  return found;
}

// SIGTERM while the document is written (the run is held with SIGSTOP once its new file
// shows, so that the signal surely comes in the middle) removes the part written; the run
// ends by the signal. A run that finished before it could be held is tried again.
TEST(ConverterInterrupted, AStoppedRunLeavesNoPartOfTheDocument) {
  testing::TempDir temp;
  const SampleHost host(temp.Path());
  const fs::path folder = host.root / "out", exportFile = host.root / "large.csv";
  fs::create_directories(folder);
  std::string text = tools::ExportGenerator::Header();
  tools::ExportGenerator rows;
  for (int i = 0; i < 200000; ++i) rows.AppendRow(text);
  WriteFile(exportFile, text);

  bool heldInTheMiddle = false;
  for (int attempt = 0; attempt < 5 && !heldInTheMiddle; ++attempt) {
    fs::remove(folder / "large.xml");
    Spawned run({TAVRIN_E2E_CONVERTER, "-q", "--regional", "de", "-o",
                 (folder / "large.xml").string(), exportFile.string()},
                host.Environment(), host.root);
    run.Answer("");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (NewFiles(folder).empty() && !fs::exists(folder / "large.xml") &&
           std::chrono::steady_clock::now() < deadline) {
    }
    run.Send(SIGSTOP);
    heldInTheMiddle = !NewFiles(folder).empty() && !fs::exists(folder / "large.xml");
    run.Send(SIGTERM);
    run.Send(SIGCONT);
    const std::optional<int> code = run.Wait();
    const std::vector<fs::path> left = NewFiles(folder);
    EXPECT_TRUE(left.empty()) << left.front();
    // Caught in the middle, the run ends by the signal; otherwise it may have ended well.
    EXPECT_TRUE(heldInTheMiddle ? run.EndSignal() == SIGTERM : code.value_or(0) == 0)
        << run.Output();
  }
  EXPECT_TRUE(heldInTheMiddle) << "the write was never caught in the middle";
}

}  // namespace
}  // namespace tavrin::e2e
