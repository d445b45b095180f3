// The whole program's state on the real POSIX back end, under the most open umask.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/startup.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "handover/transfer_job.h"
#include "platform/file_helpers.h"
#include "platform/file_replace.h"
#include "platform/posix/posix_helpers.h"
#include "platform/process_context.h"
#include "platform/temp_files.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Under a umask of 000 a start, a recorded temporary file, a transfer job and a dump folder
// leave nothing that another user could read or change: every folder the program made is
// 0700, every file 0600.
TEST(PosixFiles, StateIsTheUsersAloneWhateverTheUmask) {
  TempDir dir;
  const std::string program = dir.File("bin"), temp = dir.File("tmp"), source = dir.File("a.xml");
  fs::create_directory(program), fs::create_directory(temp), WriteBytes(source, "<a/>");
  ScopedEnv configHome("XDG_CONFIG_HOME", dir.File("config/home").c_str());
  ScopedEnv tmpdir("TMPDIR", temp.c_str());
  const mode_t umask = ::umask(0);
  PlatformWithProgramAt platform;
  platform.program = program + "/TavrinPlugin";
  FakeUi ui;
  ProcessContext context(platform, ui);
  Main(context);  // the settings file, the run marker, the trace log, the configuration folder
  cTempFiles files(platform);
  files.SetDeleteAtEnd(false);
  WriteUtf8File(platform, files.GetTempFile("xml", cTempFiles::Record::kYes), "<a/>",
                FileAccess::OwnerOnly);
  CreateTransferJob(context, source);
  EXPECT_TRUE(
      platform.Files().CreateFolders(context.paths.ConfigFolder() + "Dump/20261204 Tavrin App"));
  ::umask(umask);
  int checked = 0;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.Path())) {
    const std::string path = entry.path().string();
    if (path == program || path == temp || path == source) continue;  // made by the test
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o",
                  static_cast<unsigned>(entry.symlink_status().permissions()));
    EXPECT_EQ(mode, std::string(entry.is_directory() ? "700" : "600")) << path;
    ++checked;
  }
  // cfg, its folder, trace log, settings, run marker, the store's three folders, store, three
  // lock files, the document, jobs, job file, Dump and the run's dump folder.
  EXPECT_GE(checked, 18);
}

}  // namespace
}  // namespace tavrin
