#include "app/startup.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fakes/fake_platform.h"
#include "fakes/fake_ui.h"
#include "fakes/temp_dir.h"
#include "platform/process_context.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {
namespace {

using testing::FakePlatform;
using testing::FakeUi;
using testing::TempDir;

std::string ReadBytes(const std::string& path) {
  std::ifstream in(FsPath(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() { platform.programPath = dir.File("TavrinPlugin"); }
  TempDir dir;
  FakePlatform platform;
  FakeUi ui;
};

TEST_F(StartupTest, FirstStartCreatesSettingsWithSwitchesAndNormalAttributes) {
  platform.localeInfo[3] = "DEU";
  ProcessContext context(platform, ui);
  Main(context);

  const std::string settings = dir.File("TavrinPlugin.ini");
  EXPECT_EQ(ReadBytes(settings), "[Config]\r\nNewerOnly=0\r\nCreateDump=0\r\n");
  EXPECT_TRUE(platform.normalAttributeCalls.count(settings));
  ASSERT_TRUE(context.languages);
  EXPECT_EQ(context.languages->Code(), "DE");
}

TEST_F(StartupTest, ExistingSettingsKeepTheirValuesAndLanguage) {
  {
    std::ofstream out(FsPath(dir.File("TavrinPlugin.ini")), std::ios::binary);
    out << "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\n";
  }
  ProcessContext context(platform, ui);
  Main(context);

  EXPECT_EQ(ReadBytes(dir.File("TavrinPlugin.ini")),
            "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\nNewerOnly=0\r\n");
  EXPECT_TRUE(platform.normalAttributeCalls.empty());
  EXPECT_EQ(context.languages->Code(), "EN");
}

TEST_F(StartupTest, SecondProcessCannotTakeTheRunMarker) {
  ProcessContext first(platform, ui);
  ASSERT_TRUE(TakeRunMarker(first));

  ProcessContext second(platform, ui);
  EXPECT_FALSE(TakeRunMarker(second));
  // The second process ends without touching the first one's marker.
  EXPECT_THROW(EndProgram(second), ProgramEnded);
  EXPECT_TRUE(FileExists(RunMarkerPath(first)) || platform.heldFiles.count(RunMarkerPath(first)));
  EXPECT_TRUE(platform.heldFiles.count(RunMarkerPath(first)));
}

TEST_F(StartupTest, EndProgramReleasesAndDeletesTheMarker) {
  ProcessContext context(platform, ui);
  ASSERT_TRUE(TakeRunMarker(context));
  const std::string marker = RunMarkerPath(context);
  { std::ofstream touch(FsPath(marker)); }  // the fake holds no real file; make one

  try {
    EndProgram(context, 3);
    FAIL() << "EndProgram returned";
  } catch (const ProgramEnded& ended) {
    EXPECT_EQ(ended.exitCode, 3);
  }
  EXPECT_FALSE(FileExists(marker));
  EXPECT_TRUE(platform.heldFiles.empty());

  // A later start takes the marker again.
  ProcessContext next(platform, ui);
  EXPECT_TRUE(TakeRunMarker(next));
}

}  // namespace
}  // namespace tavrin
