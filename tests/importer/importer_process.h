#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "formats/golden_file.h"
#include "platform/languages.h"
#include "platform/process_context.h"
#include "platform/system_crypto.h"
#include "shared/date_time.h"
#include "shared/text.h"

namespace tavrin::testing {

// A process as the importer sees it: the program in a temporary folder (so its settings
// file and trace log are the test's own), German messages, "now" 4 December 2026 23:35.
struct ImporterProcess {
  ImporterProcess() {
    platform.programPath = dir.File("TavrinPlugin");
    platform.crypto = &crypto;
    context = std::make_unique<ProcessContext>(platform, ui);
    context->languages = std::make_unique<Languages>(platform, context->paths, "DE");
  }

  // Work cut in two halves wherever it can be, however small, or kept on one thread.
  void UseTwoThreads() { context->threads = ThreadUse{.oneThread = false, .twoThreadBytes = 1}; }
  void UseOneThread() { context->threads = ThreadUse{.oneThread = true}; }

  TempDir dir;
  SystemCrypto crypto;
  FakePlatform platform;
  FakeUi ui;
  std::unique_ptr<ProcessContext> context;
};

// The lines of a file below tests/data, without those that start with "#" (comments).
// Throws for a missing or empty file, which would otherwise pass every check of a table.
inline std::vector<std::string> GoldenLines(const std::string& name) {
  std::vector<std::string> lines = SplitText(GoldenFile(name), "\r\n");
  std::erase_if(lines, [](const std::string& line) { return line.starts_with('#'); });
  if (lines.empty()) throw std::runtime_error("no lines in tests/data/" + name);
  return lines;
}

inline DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return DateTime{year, month, day, hour, minute, second};
}

}  // namespace tavrin::testing
