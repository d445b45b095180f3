#pragma once

// The process context the fuzz targets share: fake platform and user interface, the
// program folder (and so settings, trace log and language files) in a temporary folder of
// the target's own, and the regional settings picked by one input byte.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "platform/process_context.h"
#include "platform/system_crypto.h"
#include "shared/fs.h"

namespace tavrin::fuzzing {

struct FuzzContext {
  explicit FuzzContext(const std::string& name) {
    std::error_code ec;
    // A folder of this process's own: a campaign and a replay of the same target at the
    // same time must not write each other's settings file.
    folder = ScratchRoot() / ("tavrin-fuzz-" + name + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder, ec);
    platform.programPath = PathText(folder / "TavrinPlugin");
    platform.crypto = &crypto;
    context = std::make_unique<ProcessContext>(platform, ui);
    context->languages = std::make_unique<Languages>(platform, context->paths, "DE");
  }

  ~FuzzContext() {
    context.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  FuzzContext(const FuzzContext&) = delete;
  FuzzContext& operator=(const FuzzContext&) = delete;

  void PickRegional(std::uint8_t byte) {
    static const RegionalSettings kChoices[] = {
        RegionalSettings::German(), RegionalSettings::EnglishUS(), RegionalSettings::EnglishUK()};
    platform.regional = kChoices[byte % 3];
  }

  // Keeps what the code under test collects (the user interface's records, trace lines)
  // from growing without end over millions of runs.
  void Tidy() {
    ui.ForgetCalls();
    if (++runs % 4096 == 0) {
      std::error_code ec;
      std::filesystem::remove(context->trace.FilePath(), ec);
    }
  }

  // Every input writes the settings, the trace log or the input itself as files; on a disk
  // the file system's work (journal, discards on rename) costs more than the parsing, so
  // the folder goes into a memory file system where there is one.
  static std::filesystem::path ScratchRoot() {
    std::error_code ec;
    const std::filesystem::path memory = "/dev/shm";
    if (std::filesystem::is_directory(memory, ec)) return memory;
    return std::filesystem::temp_directory_path(ec);
  }

  std::filesystem::path folder;
  SystemCrypto crypto;
  testing::FakePlatform platform;
  testing::FakeUi ui;
  std::unique_ptr<ProcessContext> context;
  long runs = 0;
};

}  // namespace tavrin::fuzzing
