// The trace log: first-line handling, the line format and appending.
#include <gtest/gtest.h>

#include <filesystem>

#include "fakes/fake_platform.h"
#include "fakes/temp_dir.h"
#include "platform/file_helpers.h"
#include "platform/settings.h"
#include "platform/trace_log.h"
#include "shared/error.h"
#include "shared/fs.h"

namespace tavrin {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class TraceLogTest : public ::testing::Test {
 protected:
  static testing::FakePlatform PlatformIn(const testing::TempDir& dir) {
    testing::FakePlatform platform;
    platform.programPath = dir.File("TavrinPlugin.exe");
    return platform;
  }
  std::string LogPath() const {
    return dir.Path(true) + "cfg" + kPathSep + "PC1_anna" + kPathSep + "tVtrace.log";
  }

  testing::TempDir dir;
  testing::FakePlatform platform = PlatformIn(dir);
  AppPaths paths{platform};
};

TEST_F(TraceLogTest, WithoutSettingsFileTheOldLogIsDeleted) {
  WriteBytes(LogPath(), "old run\r\n");
  TraceLog log(platform, paths);
  std::string message = "Command line args: ";
  log.Write(message);
  EXPECT_EQ(message, "Started, Command line args: ");
  EXPECT_EQ(log.FilePath(), LogPath());
  EXPECT_EQ(ReadBytes(LogPath()), "04.12.2026 23:35:08: Started, Command line args: \r\n");
}

TEST_F(TraceLogTest, KeptLogGetsTheNewRunAppended) {
  WriteBytes(paths.SettingsFilePath(), "[Config]\r\nDeleteLogOnStartup=0\r\n");
  WriteBytes(LogPath(), "04.12.2026 20:00:00: Job completed.\r\n");
  TraceLog log(platform, paths);
  log.Write("x");
  platform.now.second = 9;
  log.Write("Preparing data for Orvolux");
  EXPECT_EQ(ReadBytes(LogPath()),
            "04.12.2026 20:00:00: Job completed.\r\n"
            "04.12.2026 23:35:08: Started, x\r\n"
            "04.12.2026 23:35:09: Preparing data for Orvolux\r\n");
}

TEST_F(TraceLogTest, EachProcessStartsAnew) {
  TraceLog(platform, paths).Write("first");
  TraceLog(platform, paths).Write("second");
  EXPECT_EQ(ReadBytes(LogPath()), "04.12.2026 23:35:08: Started, second\r\n");
}

TEST_F(TraceLogTest, MessageWrittenAsItIs) {
  TraceLog log(platform, paths);
  log.Write("a");
  log.Write("two\r\nlines Größe");
  EXPECT_EQ(ReadBytes(LogPath()),
            "04.12.2026 23:35:08: Started, a\r\n"
            "04.12.2026 23:35:08: two\r\nlines Gr\xF6\xDF\x65\r\n");
}

TEST_F(TraceLogTest, RegionalDateFormat) {
  platform.regional = RegionalSettings::EnglishUS();
  TraceLog(platform, paths).Write("x");
  EXPECT_EQ(ReadBytes(LogPath()), "12/4/2026 11:35:08 PM: Started, x\r\n");
}

TEST_F(TraceLogTest, ConfigFolderIsCreatedWhenMissing) {
  TraceLog log(platform, paths);
  log.Write("a");
  std::filesystem::remove_all(FsPath(dir.File("cfg")));
  log.Write("b");
  EXPECT_EQ(ReadBytes(LogPath()), "04.12.2026 23:35:08: b\r\n");
}

TEST_F(TraceLogTest, UnwritableLogReportsAnError) {
  TraceLog log(platform, paths);
  // A folder (not empty, so it cannot be deleted) where the log file should be.
  std::filesystem::create_directories(FsPath(LogPath() + kPathSep + "inside"));
  try {
    log.Write("a");
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.Number(), 75);
  }
}

}  // namespace
}  // namespace tavrin
