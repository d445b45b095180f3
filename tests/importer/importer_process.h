#pragma once

#include <memory>
#include <string>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/languages.h"
#include "platform/posix/openssl_crypto.h"
#include "platform/process_context.h"
#include "shared/date_time.h"

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
  OpenSslCrypto crypto;
  FakePlatform platform;
  FakeUi ui;
  std::unique_ptr<ProcessContext> context;
};

inline DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return DateTime{year, month, day, hour, minute, second};
}

}  // namespace tavrin::testing
