#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "shared/error.h"
#include "shared/text.h"

namespace tavrin {
namespace {

using testing::ReadFile;

class StartupTest : public testing::AppFixture {
 protected:
  std::string SettingsFile() { return ProgramFolder() + "TavrinPlugin.ini"; }
};

TEST_F(StartupTest, FirstStartCreatesSettingsWithSwitchesAndNormalAttributes) {
  std::filesystem::remove(FsPath(SettingsFile()));
  Main(context);
  EXPECT_EQ(ReadFile(SettingsFile()), "[Config]\r\nNewerOnly=0\r\nCreateDump=0\r\n");
  EXPECT_TRUE(platform.normalAttributeCalls.count(SettingsFile()));
  EXPECT_EQ(context.languages->Code(), "DE");  // from the system's locale
}

TEST_F(StartupTest, ExistingSettingsKeepTheirValuesAndLanguage) {
  testing::WriteFile(SettingsFile(), "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\n");
  Main(context);
  EXPECT_EQ(ReadFile(SettingsFile()), "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\nNewerOnly=0\r\n");
  EXPECT_TRUE(platform.normalAttributeCalls.empty());
  EXPECT_EQ(context.languages->Code(), "EN");
  // A file that cannot be written stops nothing: the values read stay in force, the failure
  // is traced and the user is told.
  std::filesystem::permissions(FsPath(SettingsFile()), std::filesystem::perms::owner_read);
  Main(context);
  EXPECT_EQ(ReadFile(SettingsFile()), "[Config]\r\nLanguage=EN\r\nCreateDump=1\r\nNewerOnly=0\r\n");
  EXPECT_EQ(ui.messages.at(0).text, context.Message(5720, {SettingsFile()}));
  EXPECT_TRUE(Traced({"Settings not saved: Path/File access error: Cannot replace file: " +
                      SettingsFile() + " (read-only) (75)"}));
}

TEST_F(StartupTest, OneProcessAtATimeHoldsTheRunMarker) {
  ASSERT_TRUE(TakeRunMarker(context));
  const std::string marker = RunMarkerPath(context);
  { std::ofstream touch(FsPath(marker)); }  // the fake holds no real file; make one

  // A second process ends without touching the first one's marker.
  ProcessContext second(platform, ui);
  EXPECT_FALSE(TakeRunMarker(second));
  EXPECT_THROW(EndProgram(second), ProgramEnded);
  EXPECT_TRUE(FileExists(marker) && platform.heldFiles.count(marker));

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
